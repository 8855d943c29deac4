// FidoNet addresses: zone:net/node.point, four signed 16-bit numbers.
#pragma once

#include <cstdint>

#include "support/str.h"

namespace mvx {

struct FidoAddress {
  std::int16_t Zone = 0;
  std::int16_t Net = 0;
  std::int16_t Node = 0;
  std::int16_t Point = 0;
};

void ClearAddress(FidoAddress& a);
// Relative parse: only the parts the text names are stored; the others keep
// their values. False (and a unchanged) for text that is not an address.
// A domain ("@..." ) is dropped.
bool ParseAddress(const Str& text, FidoAddress& a);
Str FormatAddress4D(const FidoAddress& a);  // Z:N/F.P
Str FormatAddress3D(const FidoAddress& a);  // Z:N/F
Str FormatAddress(const FidoAddress& a);    // 3D when Point is 0, else 4D
// -1, 0 or 1 comparing Zone, Net, Node, Point as signed numbers.
std::int32_t CompareAddress(const FidoAddress& a, const FidoAddress& b);

}  // namespace mvx
