// The local clock, and the test clock that stands in for it.
//
// The real clock is read through the C library (clock_gettime and
// localtime_r) rather than by asking the kernel some other way, so that the
// tools sysops use to run a program at a shifted time work on this one.
#include <time.h>

#include "platform/platform.h"

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

// 0 = Sunday (Sakamoto's method over the proleptic Gregorian calendar).
int DayOfWeek(int y, int m, int d) {
  static const int kOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 1 || m > 12) return 0;
  if (m < 3) y -= 1;
  const int w = (y + y / 4 - y / 100 + y / 400 + kOffset[m - 1] + d) % 7;
  return w < 0 ? w + 7 : w;
}

LocalTime ReadSystemClock() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm {};
  const time_t secs = ts.tv_sec;
  localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second reads as :59
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  t.dayOfWeek = tm.tm_wday;
  return t;
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

LocalTime Now() {
  if (!gTestClockSet) return ReadSystemClock();
  LocalTime t = gTestClock;
  t.dayOfWeek = DayOfWeek(t.year, t.month, t.day);
  return t;
}

void WaitHundredth() {
  if (gTestClockSet) {
    if (!gTestClockStill) AdvanceTestClock(10);
    return;
  }
  // Sleep in small steps until the hundredth reads differently. A clock that
  // stands still (a frozen shifted clock) must not hang the program, so the
  // wait gives up after about a second.
  const LocalTime start = ReadSystemClock();
  const struct timespec pause { 0, 1000000L };
  for (int i = 0; i < 1000; ++i) {
    nanosleep(&pause, nullptr);
    const LocalTime now = ReadSystemClock();
    if (now.millisecond / 10 != start.millisecond / 10 || now.second != start.second ||
        now.minute != start.minute || now.hour != start.hour || now.day != start.day) {
      return;
    }
  }
}

void SetTestClock(const LocalTime& t) {
  gTestClock = t;
  gTestClockSet = true;
}

void ClearTestClock() {
  gTestClockSet = false;
  gTestClockStill = false;
}

void HoldTestClock(bool still) { gTestClockStill = still; }

std::int64_t UnixTime() {
  if (!gTestClockSet) return static_cast<std::int64_t>(time(nullptr));
  // The test clock is local time, as the system clock is read.
  struct tm tm {};
  tm.tm_year = gTestClock.year - 1900;
  tm.tm_mon = gTestClock.month - 1;
  tm.tm_mday = gTestClock.day;
  tm.tm_hour = gTestClock.hour;
  tm.tm_min = gTestClock.minute;
  tm.tm_sec = gTestClock.second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(mktime(&tm));
}

}  // namespace mvx::platform
