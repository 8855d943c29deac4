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

FileHandle OpenOrCreate(const std::string& name, int* error) {
  const int fd = OpenPlainFile(name, O_RDWR | O_CREAT, error);
  return fd < 0 ? kNoFile : fd;
}

FileHandle OpenAppendOrCreate(const std::string& name, int* error) {
  const int fd = OpenPlainFile(name, O_WRONLY | O_APPEND | O_CREAT, error);
  return fd < 0 ? kNoFile : fd;
}

FileHandle OpenExisting(const std::string& name, Access access, Share share, int waitMs, int* error) {
  // O_NONBLOCK only so that a name that turns out to be a pipe cannot hang
  // the open; it is cleared again below and means nothing for plain files.
  const int fd = OpenName(name, OpenFlags(access) | O_NONBLOCK, error);
  if (fd < 0) return kNoFile;
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
    SetError(error, refused);
    close(fd);
    return kNoFile;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!posix::TakeShareLock(fd, access, share, waitMs, error)) {
    close(fd);
    return kNoFile;
  }
  SetError(error, 0);
  return fd;
}

FileHandle CreateAlways(const std::string& name, int waitMs, int* error) {
  const int fd = OpenName(name, O_RDWR | O_CREAT, error);
  if (fd < 0) return kNoFile;
  if (!posix::EmptyUnderLock(fd, waitMs, error)) {
    close(fd);
    return kNoFile;
  }
  SetError(error, 0);
  return fd;
}

FileHandle CreateNew(const std::string& name, int* error, bool* exists) {
  // NativeName resolves the last component to an existing entry that differs
  // only in case, so O_EXCL refuses FOO.MSG when foo.msg is there.
  int err = 0;
  const int fd = OpenName(name, O_RDWR | O_CREAT | O_EXCL, &err);
  SetError(error, err);
  if (exists) *exists = fd < 0 && err == EEXIST;
  return fd < 0 ? kNoFile : fd;
}

FileHandle OpenAppend(const std::string& name, int* error) {
  // O_NONBLOCK: a log that is a pipe nobody reads would otherwise hang the
  // open for good; it fails instead (ENXIO) and the run logs to the console.
  // Cleared again for the writes.
  const int fd = OpenName(name, O_WRONLY | O_APPEND | O_NONBLOCK, error);
  if (fd < 0) return kNoFile;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  SetError(error, 0);
  return fd;
}

bool ReadFile(FileHandle h, void* buffer, std::size_t count, std::size_t* got, int* error) {
  std::size_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = read(h, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (got) *got = done;
      SetError(error, errno);
      return false;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (got) *got = done;
  SetError(error, 0);
  return true;
}

bool WriteFile(FileHandle h, const void* buffer, std::size_t count, std::size_t* put, int* error) {
  std::size_t done = 0;
  const auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    const ssize_t n = write(h, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (put) *put = done;
      SetError(error, errno);
      return false;
    }
    if (n == 0) break;  // nothing more will go (a full device reports so)
    done += static_cast<std::size_t>(n);
  }
  if (put) *put = done;
  SetError(error, 0);
  return true;
}

bool SeekFile(FileHandle h, std::int64_t offset, int* error) {
  if (offset < 0) {
    SetError(error, EINVAL);
    return false;
  }
  if (lseek(h, static_cast<off_t>(offset), SEEK_SET) < 0) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

std::int64_t TellFile(FileHandle h, int* error) {
  const off_t at = lseek(h, 0, SEEK_CUR);
  SetError(error, at < 0 ? errno : 0);
  return at < 0 ? -1 : static_cast<std::int64_t>(at);
}

std::int64_t FileSize(FileHandle h, int* error) {
  struct stat st {};
  if (fstat(h, &st) != 0) {
    SetError(error, errno);
    return -1;
  }
  SetError(error, 0);
  return static_cast<std::int64_t>(st.st_size);
}

bool TruncateFile(FileHandle h, int* error) {
  const off_t at = lseek(h, 0, SEEK_CUR);
  if (at < 0 || ftruncate(h, at) != 0) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

void CloseFile(FileHandle h) {
  if (h != kNoFile) close(h);  // also releases the sharing lock
}

bool DeleteFile(const std::string& name, int* error) {
  if (!common::IsUsableName(name)) {
    SetError(error, ENOENT);
    return false;
  }
  const std::string native = NativeName(name);
  if (unlink(native.c_str()) != 0) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

}  // namespace mvx::platform
