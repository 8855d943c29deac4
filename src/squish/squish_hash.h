// The name hash kept in every .SQI record: other programs look messages up
// by recipient through it, so it must match theirs bit for bit.
#pragma once

#include <cstdint>
#include <string_view>

namespace mvx {

// Hash of a to-name: ASCII letters count as lower case, bytes above 127 as
// they are; the result has its top bit clear. "abc" gives 0x00006783.
std::uint32_t SquishNameHash(std::string_view name);

}  // namespace mvx
