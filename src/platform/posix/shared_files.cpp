// Files that Marvex shares with the node's other programs outside a message
// base: its serial state, the tosser's echo toss log and lock file. These need
// what the sharing modes of a base do not give: a lock on part of a file, an
// append that creates, and a replace that readers never see half done.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as usual
constexpr int kPollMs = 10;

void SetError(int* error, int value) {
  if (error) *error = value;
}

int OpenFlagged(const std::string& name, int flags, int* error) {
  if (!common::IsUsableName(name)) {
    SetError(error, ENOENT);
    return -1;
  }
  const std::string native = NativeName(name);
  int fd;
  do {
    fd = open(native.c_str(), flags | O_CLOEXEC | O_NONBLOCK, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetError(error, errno);
    return -1;
  }
  // These are plain files; a directory or a pipe under the name is refused
  // rather than written into or waited on.
  struct stat st {};
  const int refused = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
  if (refused != 0) {
    close(fd);
    SetError(error, refused);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  SetError(error, 0);
  return fd;
}

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

FileHandle OpenOrCreate(const std::string& name, int* error) {
  const int fd = OpenFlagged(name, O_RDWR | O_CREAT, error);
  return fd < 0 ? kNoFile : fd;
}

FileHandle OpenAppendOrCreate(const std::string& name, int* error) {
  const int fd = OpenFlagged(name, O_WRONLY | O_APPEND | O_CREAT, error);
  return fd < 0 ? kNoFile : fd;
}

// Open-file-description locks, like the sharing locks of the bases (see
// file_locks.cpp): closing some other descriptor of the same file in this
// process must not drop them, and they still conflict with the classic
// fcntl locks the tossers take.
bool LockRange(FileHandle h, std::int64_t start, std::int64_t count, bool exclusive, int waitMs,
               int* error) {
  struct flock fl = Range(exclusive ? F_WRLCK : F_RDLCK, start, count);
  int waited = 0;
  for (;;) {
    if (fcntl(h, F_OFD_SETLK, &fl) == 0) {
      SetError(error, 0);
      return true;
    }
    const int e = errno;
    if (e == EINTR) continue;
    if (e != EAGAIN && e != EACCES) {
      SetError(error, e);
      return false;
    }
    if (waited >= waitMs) {
      SetError(error, kErrorHeldByOther);
      return false;
    }
    SleepMilliseconds(kPollMs);
    waited += kPollMs;
  }
}

void UnlockRange(FileHandle h, std::int64_t start, std::int64_t count) {
  struct flock fl = Range(F_UNLCK, start, count);
  fcntl(h, F_OFD_SETLK, &fl);
}

}  // namespace mvx::platform
