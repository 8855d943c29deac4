// The daily work flag.
#include "run/work_flag.h"

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "support/datetime.h"

namespace mvx {

bool WorkFlagAllowsRun() {
  const platform::LocalTime now = platform::Now();
  const std::optional<std::uint32_t> stamp = platform::GetFileDosTime(kWorkFlagName);
  if (!stamp) return true;
  DateTimeRec flag;
  UnpackDosDateTime(*stamp, flag);
  // The year counts too: a flag left on the same day of an earlier year must
  // not stop today's run.
  return !(flag.Day == now.day && flag.Month == now.month && flag.Year == now.year);
}

bool WorkFlagCanBeStamped(std::string& why) {
  const std::optional<std::uint32_t> stamp = platform::GetFileDosTime(kWorkFlagName);
  platform::FileHandle h = platform::kNoFile;
  if (!stamp) {
    // No flag yet: one must be creatable here; the trial leaves nothing.
    if (const Error e = platform::CreateNew(kWorkFlagName, &h); !e.ok()) {
      why = platform::ErrorText(e);
      return false;
    }
    platform::CloseFile(h);
    platform::DeleteFile(kWorkFlagName).Ignore();
    return true;
  }
  if (const Error e = platform::OpenExisting(kWorkFlagName, platform::Access::kWrite, platform::Share::kReadWrite, &h);
      !e.ok()) {
    why = platform::ErrorText(e);
    return false;
  }
  platform::CloseFile(h);
  // Stamping needs more than write access (the owner's right to set file
  // times); setting the flag's own date again proves it.
  DateTimeRec flag;
  UnpackDosDateTime(*stamp, flag);
  const platform::LocalTime t{flag.Year, flag.Month, flag.Day, flag.Hour, flag.Minute, flag.Second};
  if (!platform::SetFileTime(kWorkFlagName, t).ok()) {
    why = "its time cannot be set";
    return false;
  }
  return true;
}

void WriteWorkFlag(RunContext& ctx) {
  const platform::LocalTime now = platform::Now();
  platform::FileHandle h = platform::kNoFile;
  if (const Error e = platform::CreateAlways(kWorkFlagName, &h); !e.ok()) {
    ctx.Log.Console("Error rewriting work flag!.. " + Str(platform::ErrorText(e)));
    return;
  }
  // Close before stamping, so that nothing the close does can move the
  // modification time again.
  platform::CloseFile(h);
  platform::SetFileTime(kWorkFlagName, now).Ignore();
}

}  // namespace mvx
