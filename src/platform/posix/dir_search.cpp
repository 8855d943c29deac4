// Directory search over a mask such as "area/*.MSG".
//
// The names of the directory are read once when the search starts and sorted,
// so a search sees a stable list even while the caller creates or deletes
// files in that directory; each entry's details are read when it is reached,
// and an entry that has vanished by then is skipped.
//
// "." and ".." are returned like any directory, as the original system did:
// callers test whether a directory exists by searching "dir/*.*" for anything
// at all, and an existing but empty directory must pass that test. They carry
// only the directory bit (not hidden), so a search for plain files skips them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/dos_time.h"
#include "platform/common/name_check.h"
#include "platform/common/name_match.h"

namespace mvx::platform {

struct DirSearch::State {
  std::string dir;  // native directory, with a trailing "/" unless empty
  std::vector<std::string> names;
  std::vector<unsigned char> types;  // the directory's d_type of each name
  std::size_t next = 0;
  bool namesOnly = false;
};

namespace {

// Whether we may write the entry. A file of our own with its owner's write
// bit is writable without asking the system again; that spares a call per
// entry when a *.MSG area of thousands of files is listed (such a file on a
// read-only mount passes for writable; the bit only informs, it never keeps
// an entry out of a search). Anything else is asked with access(), which
// also knows groups and ACLs.
bool Writable(const std::string& path, const struct stat& st) {
  if ((st.st_mode & 0222) == 0) return false;
  if (st.st_uid == geteuid() && (st.st_mode & S_IWUSR) != 0) return true;
  return access(path.c_str(), W_OK) == 0;
}

bool Describe(const std::string& dir, const std::string& name, DirEntry* entry) {
  const std::string path = dir + name;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return false;
  std::uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr |= kAttrDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attr |= kAttrArchive;
  } else {
    attr |= kAttrSystem;  // devices, pipes, sockets, dangling links: not files to use
  }
  if (!Writable(path, st)) attr |= kAttrReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attr |= kAttrHidden;
  entry->name = name;
  entry->attr = attr;
  entry->dosTime = posix::PackLocalDosTime(st.st_mtime);
  entry->size = st.st_size > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<std::uint32_t>(st.st_size);
  return true;
}

// An entry from what the directory listing says alone. Entries whose kind
// the listing does not give (links, file systems without d_type) are
// described in full.
bool DescribeByType(const std::string& dir, const std::string& name, unsigned char type, DirEntry* entry) {
  if (type != DT_DIR && type != DT_REG) return Describe(dir, name, entry);
  entry->name = name;
  entry->attr = type == DT_DIR ? kAttrDirectory : kAttrArchive;
  if (name.size() > 1 && name[0] == '.' && name != "..") entry->attr |= kAttrHidden;
  entry->dosTime = 0;
  entry->size = 0;
  return true;
}

}  // namespace

DirSearch::DirSearch() : state_(nullptr) {}

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  delete state_;
  state_ = nullptr;
}

bool DirSearch::First(const std::string& mask, DirEntry* entry, bool namesOnly) {
  Close();
  state_ = new State;
  state_->namesOnly = namesOnly;
  std::size_t cut = mask.size();
  while (cut > 0 && !IsSeparator(mask[cut - 1])) --cut;
  const std::string pattern = mask.substr(cut);
  if (pattern.empty() || !common::IsUsableName(mask)) return false;
  state_->dir = cut > 0 ? NativeName(mask.substr(0, cut)) : std::string();
  if (!state_->dir.empty() && state_->dir.back() != '/') state_->dir += '/';

  if (!common::HasWildcard(pattern)) {
    // One name: resolve its case directly instead of listing the directory.
    const std::string native = NativeName(mask);
    std::size_t slash = native.rfind('/');
    const std::string found = slash == std::string::npos ? native : native.substr(slash + 1);
    if (common::EqualIgnoringCase(found, pattern)) {
      state_->names.push_back(found);
      state_->types.push_back(DT_UNKNOWN);
    }
  } else {
    DIR* d = opendir(state_->dir.empty() ? "." : state_->dir.c_str());
    if (d == nullptr) return false;
    std::vector<std::pair<std::string, unsigned char>> found;
    while (const dirent* e = readdir(d)) {
      if (common::MatchesMask(pattern, e->d_name)) found.emplace_back(e->d_name, e->d_type);
    }
    closedir(d);
    // A full search lists in name order; a names-only one is for callers
    // that look at every name anyway, and a large directory is not sorted
    // for them.
    if (!namesOnly) std::sort(found.begin(), found.end());
    state_->names.reserve(found.size());
    state_->types.reserve(found.size());
    for (auto& [name, type] : found) {
      state_->names.push_back(std::move(name));
      state_->types.push_back(type);
    }
  }
  return Next(entry);
}

bool DirSearch::Next(DirEntry* entry) {
  if (state_ == nullptr) return false;
  while (state_->next < state_->names.size()) {
    const std::size_t i = state_->next++;
    const std::string& name = state_->names[i];
    const bool described = state_->namesOnly ? DescribeByType(state_->dir, name, state_->types[i], entry)
                                             : Describe(state_->dir, name, entry);
    if (described) return true;
  }
  return false;
}

}  // namespace mvx::platform
