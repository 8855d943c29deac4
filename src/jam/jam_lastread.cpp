// JamBase: last-read pointers in the .JLR, one 16-byte record per user in
// the order the users were first written. Without a .JLR (held by another
// program when the area was opened) reading gives 0 and writing does nothing.
#include <algorithm>
#include <vector>

#include "jam/jam_base.h"

namespace mvx {

namespace {

// Records read per block: the file is walked in pieces, so a huge or hostile
// .JLR costs time in proportion to its size but never memory.
constexpr std::uint32_t kBlockRecords = 4096;

// Finds the first record of user. at receives its record number, or the
// number of whole records when there is none (where a new one goes). False
// when the file could not be read.
bool FindUser(DataStream& file, std::uint32_t user, std::uint32_t& at, JamLastReadRecord& found) {
  const std::int32_t size = file.Size();
  if (size < 0) return false;
  const std::uint32_t count = static_cast<std::uint32_t>(size) / kJamLastReadRecordSize;
  std::vector<std::uint8_t> block;
  file.SeekTo(0);
  for (std::uint32_t first = 0; first < count; first += kBlockRecords) {
    const std::uint32_t n = std::min(kBlockRecords, count - first);
    block.resize(n * kJamLastReadRecordSize);
    file.ReadAll(block.data(), static_cast<std::uint32_t>(block.size()));
    if (!file.Status().ok()) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
      const JamLastReadRecord r = DecodeJamLastReadRecord(block.data() + i * kJamLastReadRecordSize);
      if (r.UserId == user) {
        at = first + i;
        found = r;
        return true;
      }
    }
  }
  at = count;
  return true;
}

}  // namespace

std::int32_t JamBase::ReadLastRead(std::int32_t userIndex) {
  if (!lastReadFile_) return 0;
  ClearStatuses();
  std::uint32_t at = 0;
  JamLastReadRecord r;
  if (!FindUser(*lastReadFile_, static_cast<std::uint32_t>(userIndex), at, r)) return 0;
  return static_cast<std::int32_t>(r.HighReadNumber);
}

void JamBase::WriteLastRead(std::int32_t userIndex, std::int32_t value) {
  if (!lastReadFile_) return;
  ClearStatuses();
  const auto user = static_cast<std::uint32_t>(userIndex);
  std::uint32_t at = 0;
  // A new user's record keeps the user number in both id fields.
  JamLastReadRecord r{user, user, 0, 0};
  if (!FindUser(*lastReadFile_, user, at, r)) return;
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
