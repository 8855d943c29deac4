// Sharing modes as whole-file record locks.
//
// The tossers and editors that work on the same message bases coordinate
// their writers with POSIX record locks (fcntl); flock() locks are invisible
// to them. So the sharing byte of an open becomes a record lock over the
// whole file, taken at open and held until close:
//   no sharing             -> write lock
//   others may read        -> write lock when we write, read lock when we only read
//   others may write / all -> no lock
// Creating takes no lasting lock (a created file is open to everyone), but
// before it empties an existing file it waits, like a writer, for the locks of
// other programs to go: the Win32 create failed on a file held without
// sharing, and cutting a tosser's file away under it loses messages.
// A lock over the whole file (l_len 0) also covers bytes appended later.
//
// Why open-file-description (OFD) locks and not classic F_SETLK locks: a
// classic lock belongs to the process, and closing ANY descriptor of the file
// in this process drops it. A message base routinely has the same file open
// twice (its own stream plus, say, an existence check or a second stream), and
// closing one of them must not silently unlock the other. OFD locks belong to
// the open file description and go only when that description is closed. They
// still conflict with the classic locks other programs take, and, unlike
// classic locks, two opens inside this one process conflict as well, which is
// what the sharing modes promise.
//
// POSIX has no exclusive lock on a descriptor opened only for reading, so a
// read-only open without sharing takes a read lock: it still keeps every
// writer that locks out, which is the part of "no sharing" that protects data.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_locks.h"

#ifndef F_OFD_SETLK
#error "open-file-description locks (F_OFD_SETLK) are required"
#endif

namespace mvx::platform {

namespace posix {

namespace {

constexpr int kPollMs = 10;

// Sets a lock of the given type over the whole file, polling for at most
// waitMs while another holder's lock conflicts.
bool LockWholeFile(int fd, short type, int waitMs, int* error) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;  // to the end of the file, however far it grows
  fl.l_pid = 0;  // required by OFD locks
  int waited = 0;
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    const int e = errno;
    if (e == EINTR) continue;
    if (e != EAGAIN && e != EACCES) {
      if (error) *error = e;
      return false;
    }
    if (waited >= waitMs) {
      if (error) *error = kErrorHeldByOther;
      return false;
    }
    // Polling instead of F_OFD_SETLKW keeps the wait bounded without signals.
    const struct timespec pause { 0, kPollMs * 1000000L };
    nanosleep(&pause, nullptr);
    waited += kPollMs;
  }
}

}  // namespace

bool TakeShareLock(int fd, Access access, Share share, int waitMs, int* error) {
  switch (share) {
    case Share::kNone:
    case Share::kRead:
      return LockWholeFile(fd, access == Access::kRead ? F_RDLCK : F_WRLCK, waitMs, error);
    case Share::kWrite:
    case Share::kReadWrite:
      break;
  }
  return true;
}

bool EmptyUnderLock(int fd, int waitMs, int* error) {
  if (!LockWholeFile(fd, F_WRLCK, waitMs, error)) return false;
  const bool ok = ftruncate(fd, 0) == 0;
  if (!ok && error) *error = errno;
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fcntl(fd, F_OFD_SETLK, &fl);
  return ok;
}

}  // namespace posix
}  // namespace mvx::platform
