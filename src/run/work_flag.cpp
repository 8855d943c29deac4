// The daily work flag.
#include "run/work_flag.h"

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace mvx {

bool WorkFlagAllowsRun() {
  const platform::LocalTime now = platform::Now();
  const std::optional<std::uint32_t> stamp = platform::GetFileDosTime(kWorkFlagName);
  if (!stamp) return true;
  // The DOS date word is the high half: day in bits 0-4, month in 5-8, years
  // since 1980 in 9-15.
  const std::uint32_t date = *stamp >> 16;
  const int day = static_cast<int>(date & 0x1F);
  const int month = static_cast<int>((date >> 5) & 0x0F);
  const int year = static_cast<int>((date >> 9) & 0x7F) + 1980;
  // The year counts too: a flag left on the same day of an earlier year must
  // not stop today's run.
  return !(day == now.day && month == now.month && year == now.year);
}

bool WorkFlagCanBeStamped(std::string& why) {
  int error = 0;
  const std::optional<std::uint32_t> stamp = platform::GetFileDosTime(kWorkFlagName);
  if (!stamp) {
    // No flag yet: one must be creatable here; the trial leaves nothing.
    bool exists = false;
    const platform::FileHandle h = platform::CreateNew(kWorkFlagName, &error, &exists);
    if (h == platform::kNoFile) {
      why = platform::ErrorText(error);
      return false;
    }
    platform::CloseFile(h);
    (void)platform::DeleteFile(kWorkFlagName, nullptr);
    return true;
  }
  const platform::FileHandle h =
      platform::OpenExisting(kWorkFlagName, platform::Access::kWrite, platform::Share::kReadWrite, &error);
  if (h == platform::kNoFile) {
    why = platform::ErrorText(error);
    return false;
  }
  platform::CloseFile(h);
  // Stamping needs more than write access (the owner's right to set file
  // times); setting the flag's own date again proves it.
  platform::LocalTime t;
  t.year = static_cast<int>((*stamp >> 25) & 0x7F) + 1980;
  t.month = static_cast<int>((*stamp >> 21) & 0x0F);
  t.day = static_cast<int>((*stamp >> 16) & 0x1F);
  t.hour = static_cast<int>((*stamp >> 11) & 0x1F);
  t.minute = static_cast<int>((*stamp >> 5) & 0x3F);
  t.second = static_cast<int>((*stamp & 0x1F) * 2);
  if (!platform::SetFileTime(kWorkFlagName, t)) {
    why = "its time cannot be set";
    return false;
  }
  return true;
}

void WriteWorkFlag(RunContext& ctx) {
  const platform::LocalTime now = platform::Now();
  int error = 0;
  const platform::FileHandle h = platform::CreateAlways(kWorkFlagName, &error);
  if (h == platform::kNoFile) {
    ctx.Log.Console("Error rewriting work flag!.. " + Str(platform::ErrorText(error)));
    return;
  }
  // Close before stamping, so that nothing the close does can move the
  // modification time again.
  platform::CloseFile(h);
  (void)platform::SetFileTime(kWorkFlagName, now);
}

}  // namespace mvx
