// Reading and setting a file's last-write time in local time.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/dos_time.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

std::optional<std::uint32_t> GetFileDosTime(const std::string& name) {
  if (!common::IsUsableName(name)) return std::nullopt;
  const std::string native = NativeName(name);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) return std::nullopt;
  return posix::PackLocalDosTime(st.st_mtime);
}

std::optional<std::int64_t> GetChangeStamp(const std::string& name) {
  if (!common::IsUsableName(name)) return std::nullopt;
  const std::string native = NativeName(name);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) return std::nullopt;
  return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

Error SetFileTime(const std::string& name, const LocalTime& t) {
  if (!common::IsUsableName(name)) return OsFailure(Errc::kTimeFailed, ENOENT, name);
  // The C library decides whether summer time applies.
  const std::int64_t when = UnixTimeOf(t);
  if (when == -1) return Error(Errc::kTimeFailed, EINVAL, name);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the access time stays
  times[1].tv_sec = static_cast<time_t>(when);
  times[1].tv_nsec = (t.millisecond >= 0 && t.millisecond < 1000) ? t.millisecond * 1000000L : 0;
  const std::string native = NativeName(name);
  if (utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) return OsFailure(Errc::kTimeFailed, errno, name);
  return Error();
}

}  // namespace mvx::platform
