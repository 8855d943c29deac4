#include "platform/posix/dos_time.h"

#include <time.h>

namespace mvx::platform::posix {

namespace {
constexpr std::uint32_t kFirstMoment = ((1u << 5) | 1u) << 16;  // 1 January 1980, 00:00:00
constexpr std::uint32_t kLastMoment =
    (((127u << 9) | (12u << 5) | 31u) << 16) | ((23u << 11) | (59u << 5) | 29u);
}  // namespace

std::uint32_t PackLocalDosTime(std::time_t t) {
  struct tm tm {};
  if (localtime_r(&t, &tm) == nullptr) return kFirstMoment;
  const int year = tm.tm_year + 1900;
  if (year < 1980) return kFirstMoment;
  if (year > 2107) return kLastMoment;
  const std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                             (static_cast<std::uint32_t>(tm.tm_mon + 1) << 5) |
                             static_cast<std::uint32_t>(tm.tm_mday);
  // A leap second (60) would overflow the 5-bit field; 59 halves to 29.
  const int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  const std::uint32_t time = (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
                             (static_cast<std::uint32_t>(tm.tm_min) << 5) |
                             static_cast<std::uint32_t>(sec / 2);
  return (date << 16) | time;
}

}  // namespace mvx::platform::posix
