// A JAM area built from the input: .jhr, .jdx, .jdt and .jlr.
#include "fuzzkit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mvx::fuzz;
  ClearScratchDir();
  const auto files = Unpack(data, size, 4);
  const std::string base = ScratchDir() + "/area";
  WriteFile(base + ".jhr", files[0]);
  WriteFile(base + ".jdx", files[1]);
  WriteFile(base + ".jdt", files[2]);
  WriteFile(base + ".jlr", files[3]);
  ExerciseArea({mvx::AreaType::kJam, mvx::Str(base)});
  return 0;
}
