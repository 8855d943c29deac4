// An area's message base: its format and the path the format opens.
// Configurations, tosser configurations and command lines write it as text;
// that text is read once, where it comes in, and the value travels from there.
#pragma once

#include "support/str.h"

namespace mvx {

enum class AreaType : int { kJam = 0, kMsgDir = 1, kSquish = 2, kUnknown = 3 };

struct AreaId {
  AreaType type = AreaType::kUnknown;
  Str path;
};

// The text form is a type letter glued to the path, as mvxdump takes it.
// Type from the first character ("J"/"j" JAM; "F","f","M","m","*" *.MSG;
// "S"/"s" Squish; anything else unknown). path := the text without its first
// character for a known type, the whole text for an unknown one (empty for
// an empty text).
AreaId ParseAreaId(const Str& text);

}  // namespace mvx
