// Streams that fail on purpose: a plan says which step of which files goes
// wrong (the process stops there, the writes after it never reach the disk,
// that one fails, or it and every later one fail as on a full disk), and
// a test env wraps every stream it opens in one that follows it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "msgbase/data_stream.h"
#include "testkit/testkit.h"

namespace mvx::testkit {

enum class Fault { kNone, kStop, kCrash, kFailOnce, kDiskFull };

// The steps are creates, writes, truncations and (for kStop and kNone, which
// counts them) flushes of the counted files, numbered from 1. kStop ends the process before step `at`; kCrash
// lets writes after step `at` vanish without an error; kFailOnce fails step
// `at`; kDiskFull fails it and every later one but lets files shrink.
struct FaultPlan {
  Fault kind = Fault::kNone;
  int at = 0;
  std::vector<std::string> files{};  // name endings (any case) that count; empty: all
  bool countCreates = true;
  std::int64_t byteBudget = -1;  // >= 0: writes fail once this many bytes are written
  bool memoryStreams = false;    // memory streams follow the plan too
  std::string refuseOpensOf{};   // opens of names ending so fail
  bool refuseWriteOpens = false; // plain opens for writing fail (creates do not)
  // Called before every open: "another program" may act there.
  std::function<void(const std::string& name, std::uint16_t mode)> beforeOpen{};
  int steps = 0;     // steps taken so far
  bool hit = false;  // whether a step failed (or writes vanished)
};

// The streams env opens follow `plan` while the object lives; what env
// opened with before, after.
class ScopedFaults {
 public:
  ScopedFaults(TestEnv& env, FaultPlan& plan);
  ~ScopedFaults();
  ScopedFaults(const ScopedFaults&) = delete;
  ScopedFaults& operator=(const ScopedFaults&) = delete;

 private:
  TestEnv& env_;
  TestEnv::OpenFn savedOpen_;
  TestEnv::MemoryFn savedMemory_;
};

// A stream that has failed (memory ran out, say): the failure is sticky,
// writes go nowhere and reads give zeros, yet it still claims 8 bytes.
class FailedStream final : public DataStream {
 public:
  FailedStream() : DataStream(0, Str()) { status_ = Error(Errc::kShortWrite); }
  void ReadBytes(void* buffer, std::uint16_t count) override;
  void WriteBytes(const void*, std::uint16_t) override {}
  void SeekTo(std::int32_t offset) override { pos_ = offset; }
  std::int32_t Position() override { return pos_; }
  std::int32_t Size() override { return 8; }
  void Flush() override {}
  void TruncateHere() override {}
  void ClearError() override {}

 private:
  std::int32_t pos_ = 0;
};

}  // namespace mvx::testkit
