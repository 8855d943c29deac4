// Files: open, create, read, write, seek, size, truncate, delete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/posix/file_locks.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as usual

void SetError(int* error, int value) {
  if (error) *error = value;
}

int OpenFlags(Access access) {
  switch (access) {
    case Access::kRead:
      return O_RDONLY;
    case Access::kWrite:
      return O_WRONLY;
    case Access::kReadWrite:
      break;
  }
  return O_RDWR;
}

// open(2) of a program name: refused for a name the system would misread,
// resolved to its native spelling, retried when a signal interrupts it.
// Returns the descriptor, or -1 with *error set.
int OpenName(const std::string& name, int flags, int* error) {
  if (!common::IsUsableName(name)) {
    SetError(error, ENOENT);
    return -1;
  }
  const std::string native = NativeName(name);
  int fd;
  do {
    fd = open(native.c_str(), flags | O_CLOEXEC, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  SetError(error, fd < 0 ? errno : 0);
  return fd;
}

// A plain file opened by name: a directory or a pipe under the name is
// refused rather than written into or waited on (O_NONBLOCK only for that
// look; it is cleared for the file's use).
int OpenPlainFile(const std::string& name, int flags, int* error) {
  const int fd = OpenName(name, flags | O_NONBLOCK, error);
  if (fd < 0) return -1;
  struct stat st {};
  const int refused = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
  if (refused != 0) {
    close(fd);
    SetError(error, refused);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

Error OpenOrCreate(const std::string& name, FileHandle* handle) {
  int err = 0;
  *handle = OpenPlainFile(name, O_RDWR | O_CREAT, &err);
  return *handle < 0 ? OsFailure(Errc::kOpenFailed, err, name) : Error();
}

Error OpenAppendOrCreate(const std::string& name, FileHandle* handle) {
  int err = 0;
  *handle = OpenPlainFile(name, O_WRONLY | O_APPEND | O_CREAT, &err);
  return *handle < 0 ? OsFailure(Errc::kOpenFailed, err, name) : Error();
}

Error OpenExisting(const std::string& name, Access access, Share share, int waitMs, FileHandle* handle) {
  *handle = kNoFile;
  // O_NONBLOCK only so that a name that turns out to be a pipe cannot hang
  // the open; it is cleared again below and means nothing for plain files.
  int err = 0;
  const int fd = OpenName(name, OpenFlags(access) | O_NONBLOCK, &err);
  if (fd < 0) return OsFailure(Errc::kOpenFailed, err, name);
  // A directory opens fine for reading on POSIX; the program means files.
  // A pipe opened for writing as well is its own writer, so a read from it
  // would wait forever: message base files are never pipes. Only a plain
  // read may come from one (a configuration given by process substitution).
  struct stat st {};
  int refused = 0;
  if (fstat(fd, &st) != 0) {
    refused = errno;
  } else if (S_ISDIR(st.st_mode)) {
    refused = EISDIR;
  } else if (S_ISFIFO(st.st_mode) && access != Access::kRead) {
    refused = ESPIPE;
  }
  if (refused != 0) {
    close(fd);
    return OsFailure(Errc::kOpenFailed, refused, name);
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!posix::TakeShareLock(fd, access, share, waitMs, &err)) {
    close(fd);
    return OsFailure(Errc::kOpenFailed, err, name);
  }
  *handle = fd;
  return Error();
}

Error CreateAlways(const std::string& name, int waitMs, FileHandle* handle) {
  *handle = kNoFile;
  int err = 0;
  const int fd = OpenName(name, O_RDWR | O_CREAT, &err);
  if (fd < 0) return OsFailure(Errc::kCreateFailed, err, name);
  if (!posix::EmptyUnderLock(fd, waitMs, &err)) {
    close(fd);
    return OsFailure(Errc::kCreateFailed, err, name);
  }
  *handle = fd;
  return Error();
}

Error CreateNew(const std::string& name, FileHandle* handle) {
  // NativeName resolves the last component to an existing entry that differs
  // only in case, so O_EXCL refuses FOO.MSG when foo.msg is there.
  int err = 0;
  *handle = OpenName(name, O_RDWR | O_CREAT | O_EXCL, &err);
  return *handle < 0 ? OsFailure(Errc::kCreateFailed, err, name) : Error();
}

Error OpenAppend(const std::string& name, FileHandle* handle) {
  // O_NONBLOCK: a log that is a pipe nobody reads would otherwise hang the
  // open for good; it fails instead (ENXIO) and the run logs to the console.
  // Cleared again for the writes.
  int err = 0;
  *handle = OpenName(name, O_WRONLY | O_APPEND | O_NONBLOCK, &err);
  if (*handle < 0) return OsFailure(Errc::kOpenFailed, err, name);
  fcntl(*handle, F_SETFL, fcntl(*handle, F_GETFL) & ~O_NONBLOCK);
  return Error();
}

Error ReadFile(FileHandle h, void* buffer, std::size_t count, std::size_t* got) {
  std::size_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = read(h, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (got) *got = done;
      return Error(Errc::kReadFailed, errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (got) *got = done;
  return Error();
}

Error WriteFile(FileHandle h, const void* buffer, std::size_t count, std::size_t* put) {
  std::size_t done = 0;
  const auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    const ssize_t n = write(h, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (put) *put = done;
      return Error(Errc::kWriteFailed, errno);
    }
    if (n == 0) break;  // nothing more will go (a full device reports so)
    done += static_cast<std::size_t>(n);
  }
  if (put) *put = done;
  return Error();
}

Error SeekFile(FileHandle h, std::int64_t offset) {
  if (offset < 0) return Error(Errc::kSeekFailed, EINVAL);
  if (lseek(h, static_cast<off_t>(offset), SEEK_SET) < 0) return Error(Errc::kSeekFailed, errno);
  return Error();
}

Error TellFile(FileHandle h, std::int64_t* offset) {
  const off_t at = lseek(h, 0, SEEK_CUR);
  *offset = at < 0 ? -1 : static_cast<std::int64_t>(at);
  return at < 0 ? Error(Errc::kSeekFailed, errno) : Error();
}

Error FileSize(FileHandle h, std::int64_t* size) {
  struct stat st {};
  if (fstat(h, &st) != 0) {
    *size = -1;
    return Error(Errc::kSizeFailed, errno);
  }
  *size = static_cast<std::int64_t>(st.st_size);
  return Error();
}

Error TruncateFile(FileHandle h) {
  const off_t at = lseek(h, 0, SEEK_CUR);
  if (at < 0 || ftruncate(h, at) != 0) return Error(Errc::kTruncateFailed, errno);
  return Error();
}

void CloseFile(FileHandle h) {
  if (h != kNoFile) close(h);  // also releases the sharing lock
}

Error DeleteFile(const std::string& name) {
  if (!common::IsUsableName(name)) return OsFailure(Errc::kDeleteFailed, ENOENT, name);
  const std::string native = NativeName(name);
  if (unlink(native.c_str()) != 0) return OsFailure(Errc::kDeleteFailed, errno, name);
  return Error();
}

}  // namespace mvx::platform
