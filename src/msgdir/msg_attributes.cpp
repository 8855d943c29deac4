#include "msgdir/msg_attributes.h"

#include "msgdir/ascii_case.h"
#include "support/text.h"

namespace mvx {

std::uint16_t MsgAttributeBit(std::int32_t value) {
  switch (value) {
    case 0x0001: case 0x0002: case 0x0004: case 0x0008: case 0x0010:
    case 0x0020: case 0x0040: case 0x0080: case 0x0100: case 0x0200:
      return static_cast<std::uint16_t>(value);
    case 0x0400: case 0x0800: case 0x1000: case 0x2000: case 0x4000:
      return static_cast<std::uint16_t>(value << 1);
    default:
      return 0;
  }
}

Str MsgFlagsName(std::int32_t value) { return value == 0x8000 ? Str("SCA") : Str(); }

bool FlagsLineHasName(const Str& flagsLine, const Str& name) {
  if (name.empty()) return false;
  // Word 1 is the key itself ("FLAGS" after its 0x01 byte).
  for (std::int32_t i = 2;; ++i) {
    const Str word = SplitWord(i, flagsLine.view(), " ");
    if (word.empty()) return false;
    if (SameIgnoringAsciiCase(word.view(), name.view())) return true;
  }
}

}  // namespace mvx
