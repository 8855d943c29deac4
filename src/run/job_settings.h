// The settings lines: the common part fills the defaults, each area block's
// lines fill the job, and every posting starts from the defaults.
#pragma once

#include "run/run_context.h"
#include "support/str.h"

namespace mvx {

// Fills the job and the encoding settings from the common defaults (run
// before every posting).
void ResetJob(RunContext& ctx);

// Offers one common-part line to every common keyword.
void ApplyCommonLine(RunContext& ctx, const Str& line);

// Applies one line of an area block (leading blanks already removed).
void ApplyAreaLine(RunContext& ctx, const Str& line);

// Sets due from a schedule rule (DAILY, WEEKLY, MOUNTHLY, YEARLY and their
// numbers) and today's date; an unrecognised rule leaves due as it was.
void EvaluateWhen(Clock& clock, const Str& rule, bool& due);

}  // namespace mvx
