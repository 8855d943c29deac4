// mvxdump: lists the messages of an area, opened by its area identifier.
#include <iostream>
#include <string>
#include <vector>

#include "dump/area_dump.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  mvx::DumpOptions options;
  std::string error;
  if (!mvx::ParseDumpArguments(args, options, error)) {
    std::cerr << "mvxdump: " << error << "\n" << mvx::DumpUsage();
    return mvx::kDumpUsage;
  }
  return mvx::DumpArea(options, std::cout, std::cerr);
}
