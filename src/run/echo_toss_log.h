// The tosser's echo toss log: a list of area tags that its next scan exports
// from. A posting appends its area's tag, once per run, so the tosser sends
// the new messages out without a full scan.
#pragma once

#include <string>

#include "error/error.h"
#include "run/run_context.h"

namespace mvx {

// Appends the tag to the echo toss log the tosser configuration names,
// unless this run already did; nothing when none is named. Appends in one
// write, under the tosser's own lock when it keeps one, and never rewrites
// the file. A failure is logged as an error; the posting itself stands.
void NoteAreaForScan(RunContext& ctx, const Str& tag);

// The append itself. A failure names the file it concerns as the tosser
// configuration does: its lock file or its echo toss log. The file names of
// tosser are taken from workDir (empty: the current directory).
Error AppendEchoTossLog(const TosserSettings& tosser, const Str& tag, const std::string& workDir, int lockWaitMs);

}  // namespace mvx
