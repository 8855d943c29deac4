// A *.MSG area built from the input: three message files and "lastread".
#include <filesystem>

#include "fuzzkit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mvx::fuzz;
  ClearScratchDir();
  const auto files = Unpack(data, size, 4);
  const std::string dir = ScratchDir() + "/area";
  std::filesystem::create_directories(dir);
  const char* names[] = {"1.msg", "2.MSG", "7.msg", "lastread"};
  for (int i = 0; i < 4; ++i) {
    if (!files[i].empty() || i == 1) WriteFile(dir + "/" + names[i], files[i]);
  }
  ExerciseArea({mvx::AreaType::kMsgDir, mvx::Str(dir)});
  return 0;
}
