// JamBase: last-read pointers in the .JLR, one 16-byte record per user in
// the order the users were first written. Without a .JLR (held by another
// program when the area was opened) reading gives 0 and writing does nothing.
#include <vector>

#include "jam/jam_base.h"

namespace mvx {

namespace {

// The whole file as records; false when it could not be read.
bool ReadAllRecords(DataStream& file, std::vector<JamLastReadRecord>& records) {
  const std::int32_t size = file.Size();
  if (size < 0) return false;
  const std::uint32_t count = static_cast<std::uint32_t>(size) / kJamLastReadRecordSize;
  std::vector<std::uint8_t> raw(count * kJamLastReadRecordSize);
  file.SeekTo(0);
  file.ReadAll(raw.data(), static_cast<std::uint32_t>(raw.size()));
  if (file.Status() != kStreamOk) return false;
  records.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    records.push_back(DecodeJamLastReadRecord(raw.data() + i * kJamLastReadRecordSize));
  }
  return true;
}

}  // namespace

std::int32_t JamBase::ReadLastRead(std::int32_t userIndex) {
  if (!lastReadFile_) return 0;
  ClearStatuses();
  std::vector<JamLastReadRecord> records;
  if (!ReadAllRecords(*lastReadFile_, records)) return 0;
  for (const JamLastReadRecord& r : records) {
    if (r.UserId == static_cast<std::uint32_t>(userIndex)) {
      return static_cast<std::int32_t>(r.HighReadNumber);
    }
  }
  return 0;
}

void JamBase::WriteLastRead(std::int32_t userIndex, std::int32_t value) {
  if (!lastReadFile_) return;
  ClearStatuses();
  std::vector<JamLastReadRecord> records;
  if (!ReadAllRecords(*lastReadFile_, records)) return;
  const auto user = static_cast<std::uint32_t>(userIndex);
  std::size_t at = 0;
  while (at < records.size() && records[at].UserId != user) ++at;
  JamLastReadRecord r;
  if (at < records.size()) {
    r = records[at];
  } else {
    r.UserCrc = user;
    r.UserId = user;
  }
  r.LastReadNumber = static_cast<std::uint32_t>(value);
  r.HighReadNumber = static_cast<std::uint32_t>(value);
  std::uint8_t raw[kJamLastReadRecordSize];
  EncodeJamLastReadRecord(r, raw);
  // A new user's record goes after the last whole one, over any torn tail.
  lastReadFile_->SeekTo(static_cast<std::int32_t>(at * kJamLastReadRecordSize));
  lastReadFile_->WriteBytes(raw, sizeof raw);
  lastReadFile_->Flush();
}

}  // namespace mvx
