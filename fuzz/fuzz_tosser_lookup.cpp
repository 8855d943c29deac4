// The tosser configurations: the first byte chooses the kind (fidoconfig
// style or Squish style), the rest is the file. The area is looked up by a
// tag that the seeds use.
#include <sstream>

#include "fuzzkit.h"
#include "run/area_lookup.h"
#include "run/run_context.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mvx;
  if (size == 0) return 0;
  fuzz::ClearScratchDir();
  const std::string path = fuzz::ScratchDir() + "/tosser.cfg";
  fuzz::WriteFile(path, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  std::ostringstream console;
  RunContext ctx(console);
  ctx.Job.AreaTag = "NET.TALK";
  if (data[0] & 1) {
    ctx.SquishCfgPath = path;
  } else {
    ctx.HptPath = path;
  }
  LookupArea(ctx);
  return 0;
}
