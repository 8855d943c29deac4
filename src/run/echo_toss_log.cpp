// Appending to the tosser's echo toss log.
//
// The tosser reads the log when it scans and then deletes it without a lock
// of its own on the log, so a line appended between its read and its delete
// would be lost. It does hold its run lock (LockFile) for its whole run, so
// the append takes the same lock: with AdvisoryLock, a write lock on the lock
// file's first byte, waited for as long as the tosser itself would wait;
// without it, the lock file made exclusively and removed again.
#include "run/echo_toss_log.h"

#include <algorithm>

#include "platform/platform.h"
#include "support/words.h"

namespace mvx {

namespace {

constexpr int kLockPollMs = 100;


// Holds the tosser's run lock while it lives.
class TosserLock {
 public:
  TosserLock(const TosserSettings& tosser, const std::string& workDir, int lockWaitMs)
      : tosser_(tosser), file_(InDirectory(workDir, tosser.LockFile)), lockWaitMs_(lockWaitMs) {}
  ~TosserLock() {
    if (handle_ == platform::kNoFile) return;
    platform::CloseFile(handle_);
    if (madeFile_) platform::DeleteFile(file_).Ignore();
  }
  TosserLock(const TosserLock&) = delete;
  TosserLock& operator=(const TosserLock&) = delete;

  // The lock, or why not (the Error names the lock file as configured).
  Error Take() {
    if (tosser_.LockFile.empty()) return Error();
    Error e;
    if (tosser_.AdvisoryLock > 0) {
      e = platform::OpenOrCreate(file_, &handle_);
      if (e.ok()) e = platform::LockRange(handle_, 0, 1, true, tosser_.AdvisoryLock * 1000);
      if (e.ok()) return e;
    } else {
      const int waitMs = lockWaitMs_;
      for (int waited = 0;; waited += kLockPollMs) {
        e = platform::CreateNew(file_, &handle_);
        if (e.ok()) {
          madeFile_ = true;
          return e;
        }
        if (e.code() != Errc::kNameTaken || waited >= waitMs) break;
        platform::SleepMilliseconds(kLockPollMs);
      }
    }
    if (handle_ != platform::kNoFile) platform::CloseFile(handle_);
    handle_ = platform::kNoFile;
    return Error(e.code(), e.osError(), tosser_.LockFile);
  }

 private:
  const TosserSettings& tosser_;
  std::string file_;  // the lock file's name as the file system takes it
  int lockWaitMs_;
  platform::FileHandle handle_ = platform::kNoFile;
  bool madeFile_ = false;
};

}  // namespace

Error AppendEchoTossLog(const TosserSettings& tosser, const Str& tag, const std::string& workDir, int lockWaitMs) {
  TosserLock lock(tosser, workDir, lockWaitMs);
  if (Error e = lock.Take(); !e.ok()) return e;
  platform::FileHandle h = platform::kNoFile;
  if (const Error e = platform::OpenAppendOrCreate(InDirectory(workDir, tosser.EchoTossLog), &h); !e.ok()) {
    return Error(e.code(), e.osError(), tosser.EchoTossLog);
  }
  // One write of the whole line, so that appends of other programs never
  // land inside it.
  const std::string line = tag.str() + "\n";
  std::size_t put = 0;
  Error e = platform::WriteFile(h, line.data(), line.size(), &put);
  if (e.ok() && put != line.size()) e = Error(Errc::kShortWrite);
  platform::CloseFile(h);
  return e.ok() ? e : Error(e.code(), e.osError(), tosser.EchoTossLog);
}

void NoteAreaForScan(RunContext& ctx, const Str& tag) {
  if (ctx.Tosser.EchoTossLog.empty() || tag.empty()) return;
  const Str key = UpperCaseCyr(tag);
  auto& done = ctx.ScanNoted;
  if (std::find(done.begin(), done.end(), key) != done.end()) return;
  const int waitMs = ctx.RunEnv.LockWaitMs();
  const Error e = AppendEchoTossLog(ctx.Tosser, tag, ctx.RunEnv.WorkingDirectory(), waitMs);
  if (e.ok()) {
    done.push_back(key);
    return;
  }
  const std::string reason = platform::ErrorText(e, waitMs);
  ctx.Log.WriteError("Can't add " + tag + " to echo toss log " + Str(ctx.Tosser.EchoTossLog) + ": " +
                     Str(e.file() == ctx.Tosser.LockFile ? "tosser lock " + e.file() + " not taken: " + reason
                                                         : reason));
}

}  // namespace mvx
