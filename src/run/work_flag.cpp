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

void WriteWorkFlag(RunContext& ctx) {
  const platform::LocalTime now = platform::Now();
  int error = 0;
  const platform::FileHandle h = platform::CreateAlways(kWorkFlagName, &error);
  if (h == platform::kNoFile) {
    ctx.Log.Console("Error rewriting work flag!..");
    return;
  }
  // Close before stamping, so that nothing the close does can move the
  // modification time again.
  platform::CloseFile(h);
  (void)platform::SetFileTime(kWorkFlagName, now);
}

}  // namespace mvx
