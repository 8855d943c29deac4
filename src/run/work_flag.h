// The daily work flag: an empty file "EVERYDAY.FLG" in the current directory
// whose modification date is the day of the last full scheduled run.
#pragma once

#include "run/run_context.h"

namespace mvx {

inline constexpr const char* kWorkFlagName = "EVERYDAY.FLG";

// True when no run has been recorded for today's date (year, month and day).
bool WorkFlagAllowsRun();

// Creates or empties the flag and stamps it with the current local time. A
// flag that cannot be made is reported on the console only.
void WriteWorkFlag(RunContext& ctx);

}  // namespace mvx
