#include "testkit/faults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "msgbase/file_stream.h"
#include "testkit/testkit.h"

namespace mvx::testkit {

namespace {

bool Counted(const FaultPlan& plan, const std::string& name) {
  if (plan.files.empty()) return true;
  for (const std::string& f : plan.files) {
    if (EndsWithName(name, f)) return true;
  }
  return false;
}

// Takes a step; true when it must fail.
bool Step(FaultPlan& p, bool canFail) {
  const int n = ++p.steps;
  if (p.kind == Fault::kStop && n == p.at) std::_Exit(0);
  const bool fails = canFail && ((p.kind == Fault::kCrash && n > p.at) || (p.kind == Fault::kFailOnce && n == p.at) ||
                                 (p.kind == Fault::kDiskFull && n >= p.at));
  p.hit = p.hit || fails;
  return fails;
}

class FaultStream final : public DataStream {
 public:
  FaultStream(FaultPlan& plan, std::unique_ptr<DataStream> inner)
      : DataStream(inner->Mode(), inner->Name()),
        plan_(plan),
        inner_(std::move(inner)),
        counted_(Counted(plan, Name().str())) {
    status_ = inner_->Status();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (!status_.ok()) return;
    bool fails = counted_ && Step(plan_, true);
    if (!fails && plan_.byteBudget >= 0) {
      fails = count > plan_.byteBudget;
      plan_.byteBudget -= fails ? 0 : count;
      plan_.hit = plan_.hit || fails;
    }
    if (fails) {
      // After a crash writes vanish without an error: the process is gone.
      if (plan_.kind != Fault::kCrash) status_ = Error(Errc::kWriteFailed, ENOSPC, Name().str());
      return;
    }
    inner_->WriteBytes(buffer, count);
    Sync();
  }
  void TruncateHere() override {
    if (!status_.ok()) return;
    // A full disk still lets a file shrink.
    if (counted_ && Step(plan_, plan_.kind != Fault::kDiskFull)) {
      if (plan_.kind != Fault::kCrash) status_ = Error(Errc::kWriteFailed, ENOSPC, Name().str());
      return;
    }
    inner_->TruncateHere();
    Sync();
  }
  void Flush() override {
    // A flush cannot fail here; it is a place where a process can stop.
    if (counted_ && (plan_.kind == Fault::kStop || plan_.kind == Fault::kNone)) Step(plan_, false);
    inner_->Flush();
  }
  void ReadBytes(void* buffer, std::uint16_t count) override {
    inner_->ReadBytes(buffer, count);
    Sync();
  }
  // Like any stream, one that has failed does nothing more until cleared.
  void SeekTo(std::int32_t offset) override {
    if (status_.ok()) inner_->SeekTo(offset);
  }
  std::int32_t Position() override { return status_.ok() ? inner_->Position() : -1; }
  std::int32_t Size() override { return status_.ok() ? inner_->Size() : -1; }
  void ClearError() override {
    inner_->ClearError();
    status_ = Error();
  }

 private:
  void Sync() {
    if (status_.ok()) status_ = inner_->Status();
  }
  FaultPlan& plan_;
  std::unique_ptr<DataStream> inner_;
  bool counted_;
};

std::unique_ptr<DataStream> FaultOpen(FaultPlan& plan, TestEnv& env, const Str& name, std::uint16_t mode) {
  const std::string n = name.str();
  if (plan.beforeOpen) plan.beforeOpen(n, mode);
  const bool creates = (mode & 0xFF) == kModeCreate || (mode & 0xFF) == kModeCreateNew;
  const bool refused = (!plan.refuseOpensOf.empty() && EndsWithName(n, plan.refuseOpensOf)) ||
                       (plan.refuseWriteOpens && (mode & 0xFF) == kModeWrite) ||
                       (creates && plan.countCreates && Counted(plan, n) && Step(plan, true));
  // A failed open, as the real hook gives one.
  std::unique_ptr<DataStream> real = env.RealOpen(refused ? Str("/nonexistent/x") : name, mode);
  if (!real || !real->Status().ok()) return real;
  return std::make_unique<FaultStream>(plan, std::move(real));
}

}  // namespace

ScopedFaults::ScopedFaults(TestEnv& env, FaultPlan& plan)
    : env_(env), savedOpen_(env.openFile), savedMemory_(env.newMemory) {
  env.openFile = [&plan, &env](const Str& name, std::uint16_t mode) { return FaultOpen(plan, env, name, mode); };
  if (plan.memoryStreams) {
    env.newMemory = [&plan, &env](std::int32_t size) {
      return std::make_unique<FaultStream>(plan, env.SystemEnv::NewMemoryStream(size));
    };
  }
}

ScopedFaults::~ScopedFaults() {
  env_.openFile = savedOpen_;
  env_.newMemory = savedMemory_;
}

void FailedStream::ReadBytes(void* buffer, std::uint16_t count) { std::memset(buffer, 0, count); }

}  // namespace mvx::testkit
