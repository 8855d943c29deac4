#include "squish/squish_attributes.h"

namespace mvx {

std::uint32_t SquishAttributeBit(std::int32_t generic) {
  switch (generic) {
    case 0x0001: case 0x0002: case 0x0004: case 0x0008: case 0x0010:
    case 0x0020: case 0x0040: case 0x0080: case 0x0100: case 0x0200:
      return static_cast<std::uint32_t>(generic);
    case 0x0400: return 0x00000800;  // file request
    case 0x0800: return 0x00001000;  // return receipt request
    case 0x2000: return 0x00004000;  // audit request
    case 0x8000: return 0x00010000;  // scanned
    default: return 0;
  }
}

}  // namespace mvx
