#include "platform/common/calendar.h"

namespace mvx::platform {

// Sakamoto's method.
int DayOfWeek(int y, int m, int d) {
  static const int kOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 1 || m > 12) return 0;
  if (m < 3) y -= 1;
  const int w = (y + y / 4 - y / 100 + y / 400 + kOffset[m - 1] + d) % 7;
  return w < 0 ? w + 7 : w;
}

namespace common {

std::uint32_t PackDosTime(int year, int month, int day, int hour, int minute, int second) {
  constexpr std::uint32_t kFirstMoment = ((1u << 5) | 1u) << 16;  // 1 January 1980, 00:00:00
  constexpr std::uint32_t kLastMoment =
      (((127u << 9) | (12u << 5) | 31u) << 16) | ((23u << 11) | (59u << 5) | 29u);
  if (year < 1980) return kFirstMoment;
  if (year > 2107) return kLastMoment;
  const std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                             (static_cast<std::uint32_t>(month) << 5) | static_cast<std::uint32_t>(day);
  // A leap second (60) would overflow the 5-bit field; 59 halves to 29.
  const int sec = second > 59 ? 59 : second;
  const std::uint32_t time = (static_cast<std::uint32_t>(hour) << 11) |
                             (static_cast<std::uint32_t>(minute) << 5) | static_cast<std::uint32_t>(sec / 2);
  return (date << 16) | time;
}

}  // namespace common
}  // namespace mvx::platform
