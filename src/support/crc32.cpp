// One step of the reflected CRC-32 that the Squish and JAM name hashes use.
#include <array>
#include <cstdint>

#include "support/text.h"

namespace mvx {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

std::uint32_t Crc32Step(std::uint8_t byte, std::uint32_t crc) {
  return (crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF];
}

}  // namespace mvx
