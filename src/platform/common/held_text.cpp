#include "platform/common/held_text.h"

#include "platform/platform.h"

namespace mvx::platform::common {

std::string HeldByOtherText() {
  const int ms = LockWaitMilliseconds();
  return "held by another program, waited " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) : std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100)) +
         " s";
}

}  // namespace mvx::platform::common
