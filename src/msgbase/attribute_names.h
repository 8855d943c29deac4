// The names of the 16 attribute bits: how the configuration gives them (FLAGS)
// and how mvxdump shows them.
#pragma once

#include <cstdint>

#include "support/str.h"

namespace mvx {

// The 16 names in bit order: "Pvt" is 0x0001 ... "Sca" is 0x8000.
extern const char* const kAttributeNames[16];

// The attribute word for a blank-separated list of names (any case); words
// that are no name are ignored.
std::int32_t ApplyFlagNames(const Str& list);

}  // namespace mvx
