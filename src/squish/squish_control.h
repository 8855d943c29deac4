// The control area of a stored Squish message: its control lines (each
// starting with 0x01) back to back without line ends, then a NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mvx {

// Longest control line loading keeps (a 16384-byte line buffer with its
// terminator); the rest of a longer line is dropped.
constexpr std::size_t kSquishMaxControlLine = 16383;

// The control area as text lines, each ended by CR: every 0x01 after the
// first byte starts a new line, NUL bytes are dropped. An area that holds
// nothing but NULs gives no line at all, so a message without control lines
// reads back as it was written.
std::vector<std::uint8_t> ControlAreaToLines(const std::uint8_t* area, std::size_t size);

}  // namespace mvx
