#include "platform/posix/dos_time.h"

#include <time.h>

#include "platform/common/calendar.h"

namespace mvx::platform::posix {

std::uint32_t PackLocalDosTime(std::time_t t) {
  struct tm tm {};
  if (localtime_r(&t, &tm) == nullptr) return common::PackDosTime(1980, 1, 1, 0, 0, 0);
  return common::PackDosTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

}  // namespace mvx::platform::posix
