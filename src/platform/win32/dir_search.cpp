// Directory search over a mask such as "area\*.MSG".
//
// FindFirstFileExW matches a mask against the 8.3 short names as well as the
// long ones: "*.MSG" finds "1.MSGX" through its short name "1~1.MSG", and
// "*.SQD" finds "area.sqd.old". So every name the system returns is matched
// against the mask once more, by the same rule the POSIX layer uses.
//
// As there, the names are collected when the search starts (and sorted,
// unless only names are asked for), so the caller may create and delete
// files in the directory while it goes through them; each entry's details
// are read again when it is reached, and an entry gone by then is skipped.
#include <algorithm>
#include <vector>

#include "platform/win32/windows_api.h"
#include "platform/common/name_check.h"
#include "platform/common/name_match.h"
#include "platform/common/calendar.h"

namespace mvx::platform {

struct DirSearch::State {
  std::string dir;  // the mask's directory part, as given (program name)
  std::vector<DirEntry> entries;
  std::size_t next = 0;
  bool namesOnly = false;
};

namespace {

// The bits this world knows; FILE_ATTRIBUTE_NORMAL (0x80) and the newer
// ones above it mean nothing to it.
constexpr DWORD kKnownBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory | kAttrArchive;

std::uint32_t DosTimeOf(const FILETIME& written) {
  SYSTEMTIME local{};
  if (!win32::FileTimeToLocal(written, &local)) return common::PackDosTime(1980, 1, 1, 0, 0, 0);
  return common::PackDosTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
}

std::uint32_t Size32(DWORD high, DWORD low) { return high != 0 ? 0xFFFFFFFFu : low; }

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
  // "C:*.MSG" searches the current directory of drive C: the drive belongs
  // to the directory, not to the pattern.
  const bool letter = !mask.empty() && ((mask[0] >= 'A' && mask[0] <= 'Z') || (mask[0] >= 'a' && mask[0] <= 'z'));
  if (cut == 0 && letter && mask.size() > 2 && mask[1] == ':') cut = 2;
  const std::string pattern = mask.substr(cut);
  if (pattern.empty() || !common::IsUsableName(mask)) return false;
  state_->dir = mask.substr(0, cut);

  WIN32_FIND_DATAW found{};
  const HANDLE h = FindFirstFileExW(win32::Wide(mask).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                    nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    DirEntry e;
    e.name = win32::Narrow(found.cFileName);
    if (!common::MatchesMask(pattern, e.name)) continue;
    e.attr = found.dwFileAttributes & kKnownBits;
    if (namesOnly) {
      e.attr &= kAttrDirectory | kAttrHidden | kAttrSystem;
      if ((e.attr & kAttrDirectory) == 0) e.attr |= kAttrArchive;
    }
    state_->entries.push_back(std::move(e));
  } while (FindNextFileW(h, &found));
  FindClose(h);
  if (!namesOnly) {
    std::sort(state_->entries.begin(), state_->entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  }
  return Next(entry);
}

bool DirSearch::Next(DirEntry* entry) {
  if (state_ == nullptr) return false;
  while (state_->next < state_->entries.size()) {
    DirEntry& e = state_->entries[state_->next++];
    if (state_->namesOnly) {
      *entry = std::move(e);
      return true;
    }
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!GetFileAttributesExW(win32::Wide(state_->dir + e.name).c_str(), GetFileExInfoStandard, &now)) {
      // Gone meanwhile. "." and ".." of a drive root do not answer here,
      // but a root lists neither.
      continue;
    }
    e.attr = now.dwFileAttributes & kKnownBits;
    e.dosTime = DosTimeOf(now.ftLastWriteTime);
    e.size = Size32(now.nFileSizeHigh, now.nFileSizeLow);
    *entry = std::move(e);
    return true;
  }
  return false;
}

}  // namespace mvx::platform
