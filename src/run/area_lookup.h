// Finding an echo area's message base in the tosser's own configuration: a
// fidoconfig-style file (HPTPATH), a Squish-style file (SQUISH) or a file of a
// third kind (TERMINATE, scanned but with no line rules).
#pragma once

#include <optional>

#include "run/run_context.h"
#include "support/str.h"

namespace mvx {

// The options of a fidoconfig area line that matter here.
struct AreaOptions {
  Str Type;         // "-b": "S", "J" or "M"
  Str OurAddress;   // "-a": address text to send from
  Str Description;  // "-d": area description
};

// Fills BasePath and BaseType of the job (and possibly FromAddr and
// AreaDescription) from the first tosser configuration named; logs
// "Area <tag> not found... " when the scan finds no path. With no tosser
// configuration named nothing changes.
void LookupArea(RunContext& ctx);

// Reads fidoconfig option words from text into options. The last word of a
// text is never taken as an option; the first word that is no known option
// (a link address, say) ends the options.
void ParseAreaOptions(RunContext& ctx, const Str& text, AreaOptions& options);

// "SQUISH" -> "S", "MSG" -> "M", "JAM" -> "J" (any case); any other word is
// logged as an error and gives an empty type.
Str TypeLetter(RunContext& ctx, const Str& word);

// One line of each kind of tosser configuration. ApplyFidoconfigLine returns
// true when the line named the area (the scan then stops).
// defaults is the scan's ECHOAREADEFAULTS record, replaced by each such line.
bool ApplyFidoconfigLine(RunContext& ctx, const Str& line, std::optional<AreaOptions>& defaults);
void ApplySquishLine(RunContext& ctx, const Str& line);

}  // namespace mvx
