// The words for kErrorHeldByOther, the same on every system.
#pragma once

#include <string>

namespace mvx::platform::common {

// "held by another program, waited 3 s" for a wait of waitMs (tenths shown
// when the wait has them).
std::string HeldByOtherText(int waitMs);

}  // namespace mvx::platform::common
