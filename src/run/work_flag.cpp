// The daily work flag.
#include "run/work_flag.h"

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "support/datetime.h"

namespace mvx {

bool WorkFlagAllowsRun(Clock& clock, const std::string& flagName) {
  const platform::LocalTime now = clock.Now();
  const std::optional<std::uint32_t> stamp = platform::GetFileDosTime(flagName);
  if (!stamp) return true;
  DateTimeRec flag;
  UnpackDosDateTime(*stamp, flag);
  // The year counts too: a flag left on the same day of an earlier year must
  // not stop today's run.
  return !(flag.Day == now.day && flag.Month == now.month && flag.Year == now.year);
}

Error WorkFlagCanBeStamped(const std::string& flagName, int lockWaitMs) {
  const std::optional<std::uint32_t> stamp = platform::GetFileDosTime(flagName);
  platform::FileHandle h = platform::kNoFile;
  if (!stamp) {
    // No flag yet: one must be creatable here; the trial leaves nothing.
    if (Error e = platform::CreateNew(flagName, &h); !e.ok()) return e;
    platform::CloseFile(h);
    platform::DeleteFile(flagName).Ignore();
    return Error();
  }
  if (Error e = platform::OpenExisting(flagName, platform::Access::kWrite, platform::Share::kReadWrite, lockWaitMs, &h);
      !e.ok()) {
    return e;
  }
  platform::CloseFile(h);
  // Stamping needs more than write access (the owner's right to set file
  // times); setting the flag's own date again proves it.
  DateTimeRec flag;
  UnpackDosDateTime(*stamp, flag);
  const platform::LocalTime t{flag.Year, flag.Month, flag.Day, flag.Hour, flag.Minute, flag.Second};
  return platform::SetFileTime(flagName, t);
}

void WriteWorkFlag(RunContext& ctx) {
  const platform::LocalTime now = ctx.RunEnv.Time().Now();
  const int waitMs = ctx.RunEnv.LockWaitMs();
  const std::string flag = ctx.Here(kWorkFlagName);
  platform::FileHandle h = platform::kNoFile;
  if (const Error e = platform::CreateAlways(flag, waitMs, &h); !e.ok()) {
    ctx.Log.Console("Error rewriting work flag!.. " + Str(platform::ErrorText(e, waitMs)));
    return;
  }
  // Close before stamping, so that nothing the close does can move the
  // modification time again.
  platform::CloseFile(h);
  platform::SetFileTime(flag, now).Ignore();
}

}  // namespace mvx
