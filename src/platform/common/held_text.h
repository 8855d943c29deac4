// The words for kErrorHeldByOther, the same on every system.
#pragma once

#include <string>

namespace mvx::platform::common {

// "held by another program, waited 3 s" (tenths shown when the wait has them).
std::string HeldByOtherText();

}  // namespace mvx::platform::common
