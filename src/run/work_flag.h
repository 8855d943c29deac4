// The daily work flag: an empty file "EVERYDAY.FLG" in the current directory
// whose modification date is the day of the last full scheduled run.
#pragma once

#include <string>

#include "error/error.h"
#include "run/run_context.h"

namespace mvx {

inline constexpr const char* kWorkFlagName = "EVERYDAY.FLG";

// True when no run has been recorded for today's date (year, month and day)
// in the flag file flagName.
bool WorkFlagAllowsRun(Clock& clock, const std::string& flagName);

// Success when the flag will take its stamp at the end of the run: a run
// that posts and then cannot record it would post the same messages again on
// the next run. Leaves the flag's date as it was.
Error WorkFlagCanBeStamped(const std::string& flagName, int lockWaitMs);

// Creates or empties the flag and stamps it with the current local time. A
// flag that cannot be made is reported on the console only.
void WriteWorkFlag(RunContext& ctx);

}  // namespace mvx
