// The generic attribute bits of the message base interface as JAM stores
// them.
#pragma once

#include <cstdint>

namespace mvx {

// The three message-kind bits JAM keeps besides the generic ones; they are
// accepted unchanged.
constexpr std::uint32_t kJamKindLocal = 0x00800000u;
constexpr std::uint32_t kJamKindEchomail = 0x01000000u;
constexpr std::uint32_t kJamKindNetmail = 0x02000000u;

// The JAM bit for one generic value, or 0 when JAM cannot hold it (is
// return receipt, file update request, scanned, combinations, anything
// else): such values are refused whole.
std::uint32_t JamAttributeBit(std::int32_t generic);

}  // namespace mvx
