// Running one area block of the configuration and deciding whether it is due.
#pragma once

#include "run/run_context.h"
#include "support/str.h"
#include "support/text_file.h"

namespace mvx {

// Handles the block whose AREA line is in line: resets the job, looks the
// area up, applies the block's lines (read from file into line) up to its
// ENDAREA line, then posts or logs the skip. Returns false when a line could
// not be read (FatalReadError has run).
bool RunAreaBlock(RunContext& ctx, TextFileReader& file, Str& line, const Str& configName);

// Sets due from a schedule rule (DAILY, WEEKLY, MOUNTHLY, YEARLY and their
// numbers) and today's date; an unrecognised rule leaves due as it was.
void EvaluateWhen(const Str& rule, bool& due);

}  // namespace mvx
