// Directory and file tests and changes, and the path helpers. "\" and "/"
// both separate directories in every name the program handles.
#include <string>

#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && platform::IsSeparator(path.back());
}

std::string InDirectory(const std::string& dir, const std::string& name) {
  const bool absolute = (!name.empty() && platform::IsSeparator(name[0])) || (name.size() >= 2 && name[1] == ':');
  if (dir.empty() || name.empty() || absolute) return name;
  return EndsWithSeparator(dir) ? dir + name : dir + "/" + name;
}

Str FileNamePart(const Str& path) {
  std::size_t i = path.size();
  while (i > 0 && !platform::IsSeparator(path[i - 1])) --i;
  return path.sub(i);
}

bool DirHasEntries(const Str& path) {
  std::string mask = path.str();
  if (!EndsWithSeparator(mask)) mask += '\\';
  platform::DirSearch search;
  platform::DirEntry entry;
  // The platform's search lists "." and ".." in every directory, as the
  // Windows one does everywhere but in a drive root, so an existing but empty
  // directory passes: callers use this as the test for an existing directory.
  // "." alone is asked first: it answers without listing a directory of
  // thousands of message files.
  return search.First(mask + ".", &entry) || search.First(mask + "*.*", &entry);
}

bool FileExists(const Str& name) {
  if (name.empty()) return false;
  platform::DirSearch search;
  platform::DirEntry entry;
  return search.First(name.str(), &entry);
}

bool DeleteFileKeepingError(const Str& name) {
  // The program keeps no pending input/output error of its own, so there is
  // nothing to save and restore around the deletion.
  return platform::DeleteFile(name.str()).ok();
}

namespace {

// The part of a full path that names its root, separator included: "/" on
// POSIX, "C:\" for a drive ("C:" alone, a drive's current directory, counts
// as its root too), and "\\server\share\" for a network share, whose server
// and share are no directories that can be made. 0 when there is none. Any
// other 3-character path ("/fm") is an ordinary directory that must be made
// like any other.
std::size_t RootLength(std::string_view p) {
  if (p.size() >= 2 && platform::IsSeparator(p[0]) && platform::IsSeparator(p[1])) {
    int separators = 0;
    for (std::size_t i = 2; i < p.size(); ++i) {
      if (platform::IsSeparator(p[i]) && ++separators == 2) return i + 1;
    }
    return p.size();  // "\\server\share" without its separator
  }
  const bool letter = !p.empty() && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (letter && p.size() >= 2 && p[1] == ':') return p.size() >= 3 && platform::IsSeparator(p[2]) ? 3 : 2;
  return !p.empty() && platform::IsSeparator(p[0]) ? 1 : 0;
}

// A root keeps its separator.
bool IsRoot(std::string_view p) {
  const std::size_t root = RootLength(p);
  return root > 0 && p.size() <= root;
}

void CreateOneDirectory(std::string p) {
  if (!IsRoot(p) && EndsWithSeparator(p)) p.pop_back();
  if (p.empty()) return;
  // An existing directory or an unreachable parent only fails here; the
  // callers find out later when they use the directory.
  platform::CreateDirectory(p).Ignore();
}

}  // namespace

bool MakeDirectory(const Str& path) {
  CreateOneDirectory(path.str());
  return true;
}

bool MakeDirectoryPath(const Str& path) {
  std::string p = platform::FullPath(path.str());
  if (IsRoot(p) || p.empty()) return true;
  if (EndsWithSeparator(p)) p.pop_back();
  // Every level below the root is attempted whether or not the one above
  // was made: a level that exists fails harmlessly.
  const std::size_t root = RootLength(p);
  for (std::size_t i = root + 1; i < p.size(); ++i) {
    if (platform::IsSeparator(p[i])) CreateOneDirectory(p.substr(0, i));
  }
  CreateOneDirectory(p);
  return true;
}

Str DirectoryOf(const Str& path) {
  if (path.empty()) return Str();
  std::string p = platform::FullPath(path.str());
  std::size_t i = p.size();
  while (i > 0 && !platform::IsSeparator(p[i - 1])) --i;
  if (i == 0) return Str();
  // The part before the last separator; for a name directly in the root
  // that is the root itself, kept as a usable path ("/", "C:\",
  // "\\server\share\").
  const std::size_t root = RootLength(p);
  if (i <= root) return Str(p.substr(0, root));
  return Str(p.substr(0, i - 1));
}

}  // namespace mvx
