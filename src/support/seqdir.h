// MSGID serials shared with the node's other programs through a counter
// directory (the SEQDIR of the husky tools).
//
// The directory holds one counter file whose name is the next free serial in
// hex with the extension ".seq". A program takes serials by renaming the
// largest counter to a larger name: the rename succeeds for one program
// only, so every program that follows the protocol gets distinct serials.
// Counters start at the Unix time and may run ahead of it; one that ran too
// far ahead (a clock that was once wrong) is dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "error/error.h"

namespace mvx {

// How far a counter may run ahead of the clock when nothing says otherwise:
// three years.
constexpr std::int64_t kDefaultSeqOutrun = 3LL * 365 * 86400;

// "N" seconds, or N with the suffix h, d, w, m (31 days) or y (365 days).
// An unknown suffix is an error when strict (the tosser configuration), and
// means seconds otherwise (the environment).
std::optional<std::int64_t> ParseSeqOutrun(const std::string& text, bool strict);

struct SeqDirResult {
  std::uint32_t first = 0;  // the first serial taken
  Error error;              // the system's reason of a failure, when there is one
  std::string why;          // what failed
};

// Takes count (at least 1) consecutive serials from the counter directory
// dir at Unix time now. Creates the directory when it is missing. False when
// the protocol cannot be followed (the caller falls back to its own serials).
// lockWaitMs: how long a counter another program holds is waited for.
bool TakeSeqDirSerials(const std::string& dir, std::uint32_t count, std::int64_t now,
                       std::int64_t outrun, int lockWaitMs, SeqDirResult& out);

}  // namespace mvx
