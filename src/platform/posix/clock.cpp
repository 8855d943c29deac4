// The local clock.
//
// The real clock is read through the C library (clock_gettime and
// localtime_r) rather than by asking the kernel some other way, so that the
// tools sysops use to run a program at a shifted time work on this one.
#include <time.h>

#include "platform/platform.h"

namespace mvx::platform {

namespace {

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

}  // namespace

LocalTime Now() { return ReadSystemClock(); }

void WaitHundredth() {
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

std::int64_t UnixTime() { return static_cast<std::int64_t>(time(nullptr)); }

std::int64_t UnixTimeOf(const LocalTime& t) {
  struct tm tm {};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(mktime(&tm));
}

}  // namespace mvx::platform
