// Pieces of the clock that do not depend on the operating system: the DOS
// packing of a local date and time (the day of the week is in platform.h).
// Both platform layers build on these.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace mvx::platform::common {

// A local date and time as DOS date (high 16 bits: day, month, year - 1980)
// and time (low 16 bits: seconds / 2, minutes, hours). Years before 1980 or
// after 2107 clamp to the first or last moment the packing holds; a leap
// second reads as :59.
std::uint32_t PackDosTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace mvx::platform::common
