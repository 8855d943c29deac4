// Renames that never replace another program's file, and the one-step
// replacement of a file by a finished copy.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

namespace {

void SetError(int* error, int value) {
  if (error) *error = value;
}

// link(2) is refused by file systems that have no hard links (FAT, some
// network shares): those get the rename that refuses a taken name instead.
bool NoHardLinksHere(int e) { return e == EPERM || e == EOPNOTSUPP || e == ENOSYS || e == EMLINK; }

}  // namespace

bool RenameNew(const std::string& existing, const std::string& newName, int* error, bool* exists) {
  if (exists) *exists = false;
  if (!common::IsUsableName(existing) || !common::IsUsableName(newName)) {
    SetError(error, ENOENT);
    return false;
  }
  const std::string from = NativeName(existing);
  // NativeName finds a taken name in any letter case (12.MSG for 12.msg),
  // so the link below fails on it like on the exact spelling.
  const std::string to = NativeName(newName);
  int e = 0;
  if (link(from.c_str(), to.c_str()) == 0) {
    // The file has its new name; an old name that stays (it cannot be
    // removed) is a second name of the same file, not a copy.
    unlink(from.c_str());
    SetError(error, 0);
    return true;
  }
  e = errno;
  if (NoHardLinksHere(e)) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      SetError(error, 0);
      return true;
    }
    e = errno;
  }
  if (exists) *exists = e == EEXIST;
  SetError(error, e);
  return false;
}

// rename() replaces a file that others hold open: nothing to wait for here.
bool ReplaceFile(const std::string& from, const std::string& to, int /*waitMs*/, int* error) {
  if (!common::IsUsableName(from) || !common::IsUsableName(to)) {
    SetError(error, ENOENT);
    return false;
  }
  const std::string source = NativeName(from);
  const std::string target = NativeName(to);
  if (rename(source.c_str(), target.c_str()) != 0) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

}  // namespace mvx::platform
