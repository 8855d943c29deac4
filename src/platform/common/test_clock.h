// Pieces of the clock that do not depend on the operating system: the test
// clock that stands in for the real one, the day of the week, and the DOS
// packing of a local date and time. Both platform layers build on these.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace mvx::platform::common {

// 0 = Sunday ... 6 = Saturday, over the proleptic Gregorian calendar.
int DayOfWeek(int year, int month, int day);

// The test clock's moment (day of the week filled in) while one is set.
std::optional<LocalTime> TestClockNow();

// WaitHundredth on the test clock: moves it on by 10 ms unless it is held.
// False when no test clock is set (the caller waits on the real clock).
bool AdvanceTestClockHundredth();

// A local date and time as DOS date (high 16 bits: day, month, year - 1980)
// and time (low 16 bits: seconds / 2, minutes, hours). Years before 1980 or
// after 2107 clamp to the first or last moment the packing holds; a leap
// second reads as :59.
std::uint32_t PackDosTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace mvx::platform::common
