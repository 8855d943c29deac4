#include "jam/jam_crc.h"

#include "support/text.h"

namespace mvx {

std::uint32_t JamCrc(std::string_view text) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char c : text) crc = Crc32Step(static_cast<std::uint8_t>(LowerAscii(c)), crc);
  return crc;
}

}  // namespace mvx
