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

// link(2) is refused by file systems that have no hard links (FAT, some
// network shares): those get the rename that refuses a taken name instead.
bool NoHardLinksHere(int e) { return e == EPERM || e == EOPNOTSUPP || e == ENOSYS || e == EMLINK; }

}  // namespace

Error RenameNew(const std::string& existing, const std::string& newName) {
  if (!common::IsUsableName(existing) || !common::IsUsableName(newName)) {
    return OsFailure(Errc::kRenameFailed, ENOENT, newName);
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
    return Error();
  }
  e = errno;
  if (NoHardLinksHere(e)) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return Error();
    }
    e = errno;
  }
  return OsFailure(Errc::kRenameFailed, e, newName);
}

// rename() replaces a file that others hold open: nothing to wait for here.
Error ReplaceFile(const std::string& from, const std::string& to, int /*waitMs*/) {
  if (!common::IsUsableName(from) || !common::IsUsableName(to)) {
    return OsFailure(Errc::kRenameFailed, ENOENT, to);
  }
  const std::string source = NativeName(from);
  const std::string target = NativeName(to);
  if (rename(source.c_str(), target.c_str()) != 0) return OsFailure(Errc::kRenameFailed, errno, to);
  return Error();
}

}  // namespace mvx::platform
