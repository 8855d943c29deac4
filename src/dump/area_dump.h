// Listing an area's messages through the library's own reading operations:
// what the mvxdump tool prints.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "factory/area_id.h"

namespace mvx {

struct DumpOptions {
  AreaId area;                  // read from the type letter and path given
  bool headersOnly = false;     // no text
  std::int32_t fromNumber = 1;  // first message number to list
  std::int32_t maxCount = -1;   // at most this many messages; -1 = all
  std::int32_t onlyNumber = 0;  // list just this message; 0 = not used
};

// Exit codes of the tool.
constexpr int kDumpOk = 0;
constexpr int kDumpAreaError = 1;  // area missing or not openable
constexpr int kDumpUsage = 2;      // bad command line
constexpr int kDumpDamaged = 3;    // listed, but some messages could not be loaded

// Parses the command line (without the program name). False with a message
// in error for a bad one.
bool ParseDumpArguments(const std::vector<std::string>& args, DumpOptions& options,
                        std::string& error);
// Usage text of the tool.
std::string DumpUsage();
// Opens the area without ever creating it and lists its messages to out;
// problems go to err. Returns one of the exit codes above.
int DumpArea(const DumpOptions& options, std::ostream& out, std::ostream& err);

}  // namespace mvx
