#include "platform/common/held_text.h"

namespace mvx::platform::common {

std::string HeldByOtherText(int waitMs) {
  const int ms = waitMs < 0 ? 0 : waitMs;
  return "held by another program, waited " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) : std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100)) +
         " s";
}

}  // namespace mvx::platform::common
