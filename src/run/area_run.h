// Running one area block of the configuration: posted when it is due.
#pragma once

#include "run/run_context.h"
#include "support/str.h"
#include "support/text_file.h"

namespace mvx {

// Handles the block whose AREA line is in line: resets the job, looks the
// area up, applies the block's lines (read from file into line) up to its
// ENDAREA line, then posts or logs the skip. Returns false, having posted
// nothing, when a line could not be read: the caller ends the run.
bool RunAreaBlock(RunContext& ctx, TextFileReader& file, Str& line);

}  // namespace mvx
