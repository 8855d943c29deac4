// Posting a text file into the job's message base as one message, or as
// several numbered parts when it is larger than one message may hold.
#pragma once

#include <cstdint>

#include "run/run_context.h"
#include "support/charset.h"
#include "support/str.h"

namespace mvx {

// Opens or creates the base, announces the posting, checks that the file
// exists, marks the encoding lines as control lines when asked to.
void PreparePosting(RunContext& ctx);

// Writes the file as messages and closes the base; logs "  - Ok..." at the
// end. Only complains (and releases the base) when PreparePosting failed.
void WriteMessages(RunContext& ctx);

// The -p run: the file ("-" for standard input) and the area tag come first
// in args, then keyword and value pairs that override the job.
void PostFromCommandLine(RunContext& ctx, const Str& args);

// The dry run's stand-in for the two above: logs what the posting would do
// (file, area, base, number of messages) and the errors that would stop it,
// without opening the base or writing anything.
void DescribePosting(RunContext& ctx);

// The number of messages WriteMessages will write for the file: its lines
// (recoded from the character set into CP866, then each cut to 255
// characters, counted as length plus 2) packed in order into parts of at
// most kPartLimit bytes. 0 for an empty or unreadable file, or one another
// program holds for longer than lockWaitMs.
std::int32_t CountMessageParts(const Str& name, Charset from, int lockWaitMs);

// Marks the posting as failed and logs the text as an error.
void PostingError(RunContext& ctx, const Str& text);

}  // namespace mvx
