// The attribute bits of a *.MSG header and their names in a FLAGS control
// line.
#pragma once

#include <cstdint>

#include "support/str.h"

namespace mvx {

// The header bit for a generic attribute value (message_base.h): 0x0001 to
// 0x0200 keep their bit; file request, return receipt request, is return
// receipt, audit request and file update request move up one place (0x0800
// to 0x8000). 0 for a value the header cannot hold: scanned (0x8000), a
// combination of several bits, or anything else.
std::uint16_t MsgAttributeBit(std::int32_t value);

// The name that stands for a generic attribute in a FLAGS control line, for
// the values that have no header bit; empty when there is none.
//
// Only "scanned" is a single attribute without a header bit. The FLAGS names
// that other programs write have no name for it, so it goes by the name the
// configuration gives it ("Sca"), matched in any case like the other FLAGS
// names are by their readers.
Str MsgFlagsName(std::int32_t value);

// True when the text after the key of a FLAGS control line (blank-separated
// names) holds name, compared without regard to ASCII case.
bool FlagsLineHasName(const Str& flagsLine, const Str& name);

}  // namespace mvx
