// MsgDirBase: the per-user last-read pointers in the area's "lastread" file,
// one unsigned 16-bit word per user index.
#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "msgdir/msg_file_names.h"
#include "msgdir/msgdir_base.h"
#include "support/le_bytes.h"

namespace mvx {

std::int32_t MsgDirBase::ReadLastRead(std::int32_t userIndex) {
  Str name;
  if (!IsOpen() || userIndex < 0 || !JoinAreaPath(AreaPath(), Str(kLastReadName), name)) return 0;
  std::unique_ptr<DataStream> file = env().OpenFileStream(name, kModeRead);
  if (!file || !file->Status().ok()) return 0;
  const std::int64_t offset = 2 * static_cast<std::int64_t>(userIndex);
  if (offset + 2 > file->Size()) return 0;
  std::uint8_t word[2] = {0, 0};
  file->SeekTo(static_cast<std::int32_t>(offset));
  file->ReadBytes(word, 2);
  if (!file->Status().ok()) return 0;
  return GetU16(word);
}

void MsgDirBase::WriteLastRead(std::int32_t userIndex, std::int32_t value) {
  Str name;
  if (!IsOpen() || userIndex < 0 || !JoinAreaPath(AreaPath(), Str(kLastReadName), name)) return;
  // The offset must fit the stream's 32-bit positions.
  if (userIndex > 0x3FFFFFFE) return;
  std::unique_ptr<DataStream> file = env().OpenFileStream(name, kModeWrite);
  if (!file || !file->Status().ok()) {
    // Made only when there is none: a file that exists but could not be
    // opened (held by a reader, say) keeps every other user's pointer.
    file = env().OpenFileStream(name, kModeCreateNew);
    if (!file || !file->Status().ok()) return;
  }
  std::uint8_t word[2];
  PutU16(word, static_cast<std::uint16_t>(value));
  file->SeekTo(2 * userIndex);
  file->WriteBytes(word, 2);
}

}  // namespace mvx
