// Reading the configuration file: the common part fills the defaults, each
// area block (AREA ... ENDAREA) is handed to the area run.
#pragma once

#include "run/run_context.h"
#include "support/str.h"

namespace mvx {

enum class ConfigMode {
  kCommonOnly,  // the -p run: stop at the first AREA line
  kFullRun,     // the scheduled run: run every area block
};

// Reads the configuration file. Returns false when a line could not be read:
// FatalReadError has then logged it and closed the log, and the run ends with
// exit code 255. Writes the work flag when the file cannot be opened or is
// read to its end.
bool LoadConfiguration(RunContext& ctx, const Str& name, ConfigMode mode);

// Fills the job and the encoding settings from the common defaults (run
// before every posting).
void ResetJob(RunContext& ctx);

// Offers one common-part line to every common keyword.
void ApplyCommonLine(RunContext& ctx, const Str& line);

// Applies one line of an area block (leading blanks already removed).
void ApplyAreaLine(RunContext& ctx, const Str& line);

}  // namespace mvx
