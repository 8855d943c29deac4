// A Squish area built from the input: .sqd, .sqi and .sql.
#include "fuzzkit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mvx::fuzz;
  ClearScratchDir();
  const auto files = Unpack(data, size, 3);
  const std::string base = ScratchDir() + "/area";
  WriteFile(base + ".sqd", files[0]);
  WriteFile(base + ".sqi", files[1]);
  if (!files[2].empty()) WriteFile(base + ".sql", files[2]);
  ExerciseArea({mvx::AreaType::kSquish, mvx::Str(base)});
  return 0;
}
