// Reading the configuration file: the common part's lines fill the defaults,
// each area block (AREA ... ENDAREA) is handed to the area run.
#pragma once

#include "run/run_context.h"
#include "support/str.h"

namespace mvx {

enum class ConfigMode {
  kCommonOnly,  // the -p run: stop at the first AREA line
  kFullRun,     // the scheduled run: run every area block
};

// Reads the configuration file. Returns false when a line could not be read:
// that has then been logged and the log closed, and the run ends with
// exit code 255. Writes the work flag when the file cannot be opened or is
// read to its end.
bool LoadConfiguration(RunContext& ctx, const Str& name, ConfigMode mode);

}  // namespace mvx
