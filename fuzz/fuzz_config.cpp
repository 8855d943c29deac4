// The configuration file, read by a whole scheduled run (with -d) in a
// scratch directory that also holds a small tosser configuration and a text
// file, so that area blocks naming NET.TALK really post.
#include <sstream>

#include "fuzzkit.h"
#include "msgbase/env.h"
#include "run/entry.h"

namespace {

// The real env, with the scratch directory as the run's working directory.
class ScratchEnv final : public mvx::ForwardingEnv {
 public:
  explicit ScratchEnv(std::string dir) : ForwardingEnv(mvx::DefaultEnv()), dir_(std::move(dir)) {}
  std::string WorkingDirectory() override { return dir_; }

 private:
  std::string dir_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mvx;
  fuzz::ClearScratchDir();
  const std::string& dir = fuzz::ScratchDir();
  fuzz::WriteFile(dir + "/config.mvx", std::string(reinterpret_cast<const char*>(data), size));
  fuzz::WriteFile(dir + "/fido.cfg",
                  "EchoAreaDefaults -b Squish\n"
                  "EchoArea NET.TALK msgs/nettalk -b Msg -a 2:5020/1\n"
                  "EchoArea SQ.TALK msgs/sqtalk -a 2:5020/1\n"
                  "EchoArea JAM.TALK msgs/jamtalk -b Jam\n");
  fuzz::WriteFile(dir + "/squish.cfg", "EchoArea SQ.AREA msgs/sqarea -$ -p2:5020/2\n");
  fuzz::WriteFile(dir + "/text.txt", "Hello\nWorld\n...\n");
  ScratchEnv env(dir);
  std::ostringstream console;
  (void)RunMarvex({"-d"}, console, env);
  return 0;
}
