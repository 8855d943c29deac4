// The MSGID serials of a run, taken from the node's shared state so that no
// serial repeats: from the tosser's counter directory when the node has one
// (SeqDir in the tosser configuration, or SEQDIR in the environment),
// otherwise from Marvex's own state file beside the log. Serials are reserved
// a posting at a time, before its first message is stored.
#pragma once

#include <cstdint>

#include "msgbase/message_base.h"
#include "run/run_context.h"
#include "support/msgid_serials.h"

namespace mvx {

// The state file that keeps the last serial handed out on this node.
inline constexpr const char* kSerialStateName = "Marvex.Serial";

class NodeSerials : public SerialSource {
 public:
  explicit NodeSerials(RunContext& ctx) : ctx_(ctx) {}
  // The posting about to be written needs about count serials; they are
  // reserved with the first one taken.
  void Expect(std::uint32_t count) { expected_ = count == 0 ? 1 : count; }
  std::uint32_t Next() override;

 private:
  bool ReserveFromSeqDir(std::uint32_t count, const std::string& dir);
  bool ReserveFromStateFile(std::uint32_t count);
  void Fallback(const Str& why);

  RunContext& ctx_;
  std::uint32_t expected_ = 1;
  std::uint32_t next_ = 0;
  std::uint32_t left_ = 0;
  bool clockOnly_ = false;  // the node's state failed: the clock rule for this run
};

// Makes the MSGID serials of the bases made with env come from source while
// the object lives.
class ScopedSerialSource {
 public:
  ScopedSerialSource(PostingEnv& env, SerialSource& source) : env_(env) { env_.UseSerials(&source); }
  ~ScopedSerialSource() { env_.UseSerials(nullptr); }
  ScopedSerialSource(const ScopedSerialSource&) = delete;
  ScopedSerialSource& operator=(const ScopedSerialSource&) = delete;

 private:
  PostingEnv& env_;
};

}  // namespace mvx
