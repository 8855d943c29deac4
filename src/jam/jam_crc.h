// JamCrc: the name and message-id hash of the JAM format.
#pragma once

#include <cstdint>
#include <string_view>

namespace mvx {

// CRC-32 (reflected, polynomial 0xEDB88320) over the text with "A"-"Z"
// lowered, register started at 0xFFFFFFFF and no final inversion, so that
// the hash of a name does not depend on the case of its letters.
// "abc" gives 0xCADBBE3D; the empty text 0xFFFFFFFF.
std::uint32_t JamCrc(std::string_view text);

}  // namespace mvx
