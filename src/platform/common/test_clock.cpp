#include "platform/common/test_clock.h"

namespace mvx::platform {

namespace {

bool gTestClockSet = false;
bool gTestClockStill = false;
LocalTime gTestClock;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Adds ms milliseconds to the test clock, carrying into seconds, minutes,
// hours, days, months and years.
void AdvanceTestClock(int ms) {
  LocalTime& t = gTestClock;
  t.millisecond += ms;
  t.second += t.millisecond / 1000;
  t.millisecond %= 1000;
  t.minute += t.second / 60;
  t.second %= 60;
  t.hour += t.minute / 60;
  t.minute %= 60;
  const int days = t.hour / 24;
  t.hour %= 24;
  for (int i = 0; i < days; ++i) {
    if (++t.day > DaysInMonth(t.year, t.month)) {
      t.day = 1;
      if (++t.month > 12) {
        t.month = 1;
        ++t.year;
      }
    }
  }
}

}  // namespace

void SetTestClock(const LocalTime& t) {
  gTestClock = t;
  gTestClockSet = true;
}

void ClearTestClock() {
  gTestClockSet = false;
  gTestClockStill = false;
}

void HoldTestClock(bool still) { gTestClockStill = still; }

namespace common {

// Sakamoto's method.
int DayOfWeek(int y, int m, int d) {
  static const int kOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 1 || m > 12) return 0;
  if (m < 3) y -= 1;
  const int w = (y + y / 4 - y / 100 + y / 400 + kOffset[m - 1] + d) % 7;
  return w < 0 ? w + 7 : w;
}

std::optional<LocalTime> TestClockNow() {
  if (!gTestClockSet) return std::nullopt;
  LocalTime t = gTestClock;
  t.dayOfWeek = DayOfWeek(t.year, t.month, t.day);
  return t;
}

bool AdvanceTestClockHundredth() {
  if (!gTestClockSet) return false;
  if (!gTestClockStill) AdvanceTestClock(10);
  return true;
}

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
