#include "testkit/faults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "msgbase/file_stream.h"
#include "testkit/testkit.h"

namespace mvx::testkit {

namespace {

FaultPlan* gPlan = nullptr;

bool Counted(const std::string& name) {
  if (gPlan->files.empty()) return true;
  for (const std::string& f : gPlan->files) {
    if (EndsWithName(name, f)) return true;
  }
  return false;
}

// Takes a step; true when it must fail.
bool Step(bool canFail) {
  FaultPlan& p = *gPlan;
  const int n = ++p.steps;
  if (p.kind == Fault::kStop && n == p.at) std::_Exit(0);
  const bool fails = canFail && ((p.kind == Fault::kCrash && n > p.at) || (p.kind == Fault::kFailOnce && n == p.at) ||
                                 (p.kind == Fault::kDiskFull && n >= p.at));
  p.hit = p.hit || fails;
  return fails;
}

class FaultStream final : public DataStream {
 public:
  explicit FaultStream(std::unique_ptr<DataStream> inner)
      : DataStream(inner->Mode(), inner->Name()), inner_(std::move(inner)), counted_(Counted(Name().str())) {
    status_ = inner_->Status();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (!status_.ok()) return;
    bool fails = counted_ && Step(true);
    if (!fails && gPlan->byteBudget >= 0) {
      fails = count > gPlan->byteBudget;
      gPlan->byteBudget -= fails ? 0 : count;
      gPlan->hit = gPlan->hit || fails;
    }
    if (fails) {
      // After a crash writes vanish without an error: the process is gone.
      if (gPlan->kind != Fault::kCrash) status_ = Error(Errc::kWriteFailed, ENOSPC, Name().str());
      return;
    }
    inner_->WriteBytes(buffer, count);
    Sync();
  }
  void TruncateHere() override {
    if (!status_.ok()) return;
    // A full disk still lets a file shrink.
    if (counted_ && Step(gPlan->kind != Fault::kDiskFull)) {
      if (gPlan->kind != Fault::kCrash) status_ = Error(Errc::kWriteFailed, ENOSPC, Name().str());
      return;
    }
    inner_->TruncateHere();
    Sync();
  }
  void Flush() override {
    // A flush cannot fail here; it is a place where a process can stop.
    if (counted_ && (gPlan->kind == Fault::kStop || gPlan->kind == Fault::kNone)) Step(false);
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
  std::unique_ptr<DataStream> inner_;
  bool counted_;
};

std::unique_ptr<DataStream> FaultOpen(const Str& name, std::uint16_t mode) {
  const std::string n = name.str();
  if (gPlan->beforeOpen) gPlan->beforeOpen(n, mode);
  const bool creates = (mode & 0xFF) == kModeCreate || (mode & 0xFF) == kModeCreateNew;
  const bool refused = (!gPlan->refuseOpensOf.empty() && EndsWithName(n, gPlan->refuseOpensOf)) ||
                       (gPlan->refuseWriteOpens && (mode & 0xFF) == kModeWrite) ||
                       (creates && gPlan->countCreates && Counted(n) && Step(true));
  // A failed open, as the real hook gives one.
  std::unique_ptr<DataStream> real = RealFileHooks().openFileStream(refused ? Str("/nonexistent/x") : name, mode);
  if (!real || !real->Status().ok()) return real;
  return std::make_unique<FaultStream>(std::move(real));
}

std::unique_ptr<DataStream> FaultMemory(std::int32_t size) {
  return std::make_unique<FaultStream>(RealFileHooks().newMemoryStream(size));
}

}  // namespace

ScopedFaults::ScopedFaults(FaultPlan& plan) : saved_(gPlan) {
  gPlan = &plan;
  FileHooks hooks = RealFileHooks();
  hooks.openFileStream = FaultOpen;
  if (plan.memoryStreams) hooks.newMemoryStream = FaultMemory;
  SetFileHooks(hooks);
}

ScopedFaults::~ScopedFaults() {
  gPlan = saved_;
  InstallFileHooks();
}

void FailedStream::ReadBytes(void* buffer, std::uint16_t count) { std::memset(buffer, 0, count); }

}  // namespace mvx::testkit
