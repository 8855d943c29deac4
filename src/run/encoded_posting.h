// The lines that let a decoder find and join the parts of an encoded file:
// an explanatory line, and a begin and an end line around every part's body.
#pragma once

#include <cstdint>

#include "run/run_context.h"
#include "support/str.h"

namespace mvx {

// Puts the control-line mark 0x01 in front of each of the three encoding
// texts that is not empty and not marked yet.
void MarkEncodedAsKludges(RunContext& ctx);

// Replaces the first "%" of text by value; with no "%" left the value goes in
// front of the text.
void FillPlaceholder(Str& text, const Str& value);

// The part of a path after its last "\" or "/".
Str FileNameOnly(const Str& path);

// The begin line of part partNumber of partCount of the file at path, from
// the template (part number, part count, file name, in that order).
Str BeginLineOfPart(const Str& templ, std::int32_t partNumber, std::int32_t partCount,
                    const Str& path);

}  // namespace mvx
