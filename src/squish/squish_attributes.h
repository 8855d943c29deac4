// Translation of the generic attribute bits of MessageBase into the bits a
// Squish message header stores.
#pragma once

#include <cstdint>

namespace mvx {

// Set in every message this program writes: tells readers the header's Uid
// field is valid.
constexpr std::uint32_t kSquishAttrUidValid = 0x00020000;

// The Squish bit for one generic bit, or 0 for a value Squish cannot hold
// (is-return-receipt, file-update-request, area kinds, combinations).
std::uint32_t SquishAttributeBit(std::int32_t generic);

}  // namespace mvx
