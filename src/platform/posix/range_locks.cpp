// Locks on part of a file, for the files Marvex shares with the node's other
// programs outside a message base: its serial state, and the tosser's echo
// toss log and lock file.
#include <fcntl.h>

#include <cerrno>

#include "platform/platform.h"

namespace mvx::platform {

namespace {

constexpr int kPollMs = 10;

struct flock Range(short type, std::int64_t start, std::int64_t count) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(count);
  fl.l_pid = 0;  // required by OFD locks
  return fl;
}

}  // namespace

// Open-file-description locks, like the sharing locks of the bases (see
// file_locks.cpp): closing some other descriptor of the same file in this
// process must not drop them, and they still conflict with the classic
// fcntl locks the tossers take.
Error LockRange(FileHandle h, std::int64_t start, std::int64_t count, bool exclusive, int waitMs) {
  struct flock fl = Range(exclusive ? F_WRLCK : F_RDLCK, start, count);
  int waited = 0;
  for (;;) {
    if (fcntl(h, F_OFD_SETLK, &fl) == 0) return Error();
    const int e = errno;
    if (e == EINTR) continue;
    if (e != EAGAIN && e != EACCES) return Error(Errc::kLockFailed, e);
    if (waited >= waitMs) return Error(Errc::kHeldByOther, kErrorHeldByOther);
    SleepMilliseconds(kPollMs);
    waited += kPollMs;
  }
}

void UnlockRange(FileHandle h, std::int64_t start, std::int64_t count) {
  struct flock fl = Range(F_UNLCK, start, count);
  fcntl(h, F_OFD_SETLK, &fl);
}

}  // namespace mvx::platform
