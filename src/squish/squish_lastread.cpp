// Last-read pointers: the .SQL file, one u32 uid per user number.

#include <cstdint>

#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "squish/squish_base.h"
#include "support/le_bytes.h"
#include "support/text.h"

namespace mvx {

namespace {

constexpr std::uint16_t kReadMode = kShareRead | kModeRead;    // 0x2004
constexpr std::uint16_t kWriteMode = kShareRead | kModeWrite;  // 0x2008
// Only a missing .SQL is created: one that merely could not be opened
// (another program holding it) keeps its pointers.
constexpr std::uint16_t kCreateMode = kShareRead | kModeCreateNew;

bool SlotInRange(std::int32_t user) {
  return user >= 0 && std::int64_t{user} * 4 + 4 <= INT32_MAX;
}

}  // namespace

std::int32_t SquishBase::ReadLastRead(std::int32_t userIndex) {
  if (AreaPath().empty() || !SlotInRange(userIndex)) return 0;
  std::unique_ptr<DataStream> f = env().OpenFileStream(FileName("SQL"), kReadMode);
  if (!f || !f->Status().ok()) return 0;
  const std::int32_t slot = userIndex * 4;
  if (f->Size() < slot + 4) return 0;  // beyond the end (or Size failed: -1)
  std::uint8_t buf[4];
  f->SeekTo(slot);
  f->ReadBytes(buf, sizeof buf);
  if (!f->Status().ok()) return 0;
  return static_cast<std::int32_t>(GetU32(buf));
}

void SquishBase::WriteLastRead(std::int32_t userIndex, std::int32_t value) {
  if (AreaPath().empty() || !SlotInRange(userIndex)) return;
  std::unique_ptr<DataStream> f = env().OpenFileStream(FileName("SQL"), kWriteMode);
  bool created = false;
  if (!f || !f->Status().ok()) {
    f = env().OpenFileStream(NewFileName("SQL"), kCreateMode);
    if (!f || !f->Status().ok()) return;  // silent, as lastread failures are
    created = true;
  }
  std::uint8_t buf[4];
  PutU32(buf, static_cast<std::uint32_t>(value));
  f->SeekTo(userIndex * 4);
  f->WriteBytes(buf, sizeof buf);
  if (created && !f->Status().ok()) {
    // A file we just made that holds less than the pointer is no use to
    // anyone: it goes again (silently, like every last-read failure).
    f.reset();
    DeleteFileKeepingError(NewFileName("SQL"));
  }
}

}  // namespace mvx
