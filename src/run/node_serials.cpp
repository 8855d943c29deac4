// Reserving serials from the counter directory or the state file.
#include "run/node_serials.h"

#include <cstring>

#include "platform/platform.h"
#include "support/seqdir.h"
#include "support/serial_state.h"

namespace mvx {

namespace {

Str Reason(const Error& error, int lockWaitMs) {
  const std::string text = platform::ErrorText(error.osError(), lockWaitMs);
  return text.empty() ? Str("no reason given") : Str(text);
}

}  // namespace

std::uint32_t NodeSerials::Next() {
  if (left_ == 0 && !clockOnly_) {
    std::string dir = ctx_.Tosser.SeqDir;
    if (dir.empty()) dir = platform::GetEnv("SEQDIR").value_or("");
    const bool ok = dir.empty() ? ReserveFromStateFile(expected_) : ReserveFromSeqDir(expected_, ctx_.Here(dir));
    if (ok) expected_ = 1;  // a posting that runs past its count takes one more at a time
  }
  if (left_ == 0) return ctx_.RunEnv.Serials().Next();
  const std::uint32_t v = next_;
  next_ = SerialAfter(next_, 1);
  --left_;
  return v;
}

bool NodeSerials::ReserveFromSeqDir(std::uint32_t count, const std::string& dir) {
  std::int64_t outrun = kDefaultSeqOutrun;
  if (!ctx_.Tosser.SeqOutrun.empty()) {
    const auto v = ParseSeqOutrun(ctx_.Tosser.SeqOutrun, true);
    if (v) {
      outrun = *v;
    } else {
      ctx_.Log.WriteError("Bad SeqOutrun " + Str(ctx_.Tosser.SeqOutrun) + ", three years taken");
    }
  } else if (const auto env = platform::GetEnv("SEQOUT")) {
    outrun = ParseSeqOutrun(*env, false).value_or(kDefaultSeqOutrun);
  }
  SeqDirResult r;
  if (TakeSeqDirSerials(dir, count, ctx_.RunEnv.Time().UnixTime(), outrun, ctx_.RunEnv.LockWaitMs(), r)) {
    next_ = r.first;
    left_ = count;
    return true;
  }
  Fallback("counter directory " + Str(dir) + ": " + Str(r.why) +
           (r.error.osError() != 0 ? " (" + Reason(r.error, ctx_.RunEnv.LockWaitMs()) + ")" : Str()));
  return false;
}

bool NodeSerials::ReserveFromStateFile(std::uint32_t count) {
  SerialReservation r;
  const std::uint32_t clock = ClockSerial(ctx_.RunEnv.Time().Now());
  if (ReserveSerials(ctx_.Here(kSerialStateName), count, clock, ctx_.RunEnv.LockWaitMs(), r)) {
    if (r.replacedDamaged) {
      ctx_.Log.WriteError("Serial state file " + Str(kSerialStateName) +
                          " was damaged: serials start again from the clock");
    }
    next_ = r.first;
    left_ = count;
    return true;
  }
  Fallback(Str(kSerialStateName) + ": can't " + Str(r.failedStep) + " (" + Reason(r.error, ctx_.RunEnv.LockWaitMs()) + ")");
  return false;
}

void NodeSerials::Fallback(const Str& why) {
  clockOnly_ = true;
  ctx_.Log.WriteError("MSGID serials can't be kept in " + why +
                      "; this run takes them from the clock");
}

}  // namespace mvx
