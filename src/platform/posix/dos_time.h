// Packing a file time into the DOS form the program stores and compares:
// date word (day, month, year - 1980) in the high 16 bits, time word (seconds
// / 2, minutes, hours) in the low 16 bits, both in local time.
#pragma once

#include <cstdint>
#include <ctime>

namespace mvx::platform::posix {

// Times outside what the packing can hold (before 1980, after 2107) are
// clamped to its first or last moment.
std::uint32_t PackLocalDosTime(std::time_t t);

}  // namespace mvx::platform::posix
