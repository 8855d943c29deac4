#include "squish/squish_hash.h"

#include "support/text.h"

namespace mvx {

std::uint32_t SquishNameHash(std::string_view name) {
  std::uint32_t h = 0;
  for (char c : name) {
    h = (h << 4) + static_cast<std::uint8_t>(LowerAscii(c));
    const std::uint32_t g = h & 0xF0000000u;
    if (g != 0) h |= (g >> 24) | g;
  }
  return h & 0x7FFFFFFFu;
}

}  // namespace mvx
