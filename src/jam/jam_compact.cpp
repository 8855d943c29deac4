// JamBase: dropping deleted records from the index.
//
// Other programs delete by marking the index record (0xFFFFFFFF), so areas
// with such holes are common. Dropping a record renumbers every message after
// it (number = BaseNumber + index position). Readers of the format rely on a
// header's MessageNumber following that rule, so each moved message gets its
// header's MessageNumber rewritten in place. The .JLR is left as it is.
//
// The rewrite is in place, so a run stopped half way leaves the records
// already moved, then stale copies of them (or deleted ones), then the rest
// as they were. Each message is still in the index at least once, in order,
// so compacting again finishes the job: it keeps the first record of each
// header and renumbers from there. A deletion lowers the count in the base
// header before the rewrite starts, so that the next open sees an index
// longer than the count and compacts.
#include <algorithm>
#include <unordered_set>
#include <vector>

#include "jam/jam_base.h"
#include "support/le_bytes.h"

namespace mvx {

namespace {

// Records handled per read: 32 KB at a time keeps memory flat for any index.
constexpr std::int64_t kBlockRecords = 4096;

}  // namespace

void JamBase::RenumberHeader(std::uint32_t offset, std::uint32_t number) {
  // A renumbering that failed before stays failed for CompactIndex to see;
  // the errors cleared below are only those of this call's own look.
  if (!headerFile_->Status().ok()) return;
  // Only a real header is touched: one that lies past the base header, whole
  // inside the file and opens with the signature. A damaged record is left
  // for loading to refuse.
  const std::int32_t size = headerFile_->Size();
  if (size < 0 || offset < kJamBaseHeaderSize ||
      std::int64_t{offset} + kJamMessageHeaderSize > size) {
    headerFile_->ClearError();
    return;
  }
  std::uint8_t signature[4];
  headerFile_->SeekTo(static_cast<std::int32_t>(offset));
  headerFile_->ReadBytes(signature, sizeof signature);
  if (!headerFile_->Status().ok() ||
      !std::equal(signature, signature + 4, kJamSignature.begin())) {
    headerFile_->ClearError();
    return;
  }
  std::uint8_t raw[4];
  PutU32(raw, number);
  headerFile_->SeekTo(static_cast<std::int32_t>(offset + kJamMessageNumberOffset));
  headerFile_->WriteBytes(raw, sizeof raw);
}

bool JamBase::CompactIndex() {
  ClearStatuses();
  const std::int64_t records = IndexRecordCount();
  if (records < 0) return false;

  // In place: the write position never passes the read position, and each
  // block is read whole before any of it is written back.
  std::vector<std::uint8_t> block;
  std::vector<std::uint8_t> kept;
  std::unordered_set<std::uint32_t> seen;  // header offsets kept so far
  std::int64_t written = 0;  // records kept so far
  for (std::int64_t first = 0; first < records; first += kBlockRecords) {
    const std::int64_t count = std::min(kBlockRecords, records - first);
    block.resize(static_cast<std::size_t>(count * kJamIndexRecordSize));
    indexFile_->SeekTo(static_cast<std::int32_t>(first * kJamIndexRecordSize));
    indexFile_->ReadAll(block.data(), static_cast<std::uint32_t>(block.size()));
    if (!indexFile_->Status().ok()) return false;

    kept.clear();
    const std::int64_t keptBefore = written;
    for (std::int64_t i = 0; i < count; ++i) {
      const std::uint8_t* raw = block.data() + i * kJamIndexRecordSize;
      const JamIndexRecord record = DecodeJamIndexRecord(raw);
      if (record.HeaderOffset == kJamDeletedRecord || !seen.insert(record.HeaderOffset).second) continue;
      if (written != first + i) {
        RenumberHeader(record.HeaderOffset, static_cast<std::uint32_t>(base_.BaseNumber + written));
      }
      kept.insert(kept.end(), raw, raw + kJamIndexRecordSize);
      ++written;
    }
    // Nothing dropped so far: the records already stand where they belong.
    if (keptBefore == first && written == first + count) continue;
    if (!kept.empty()) {
      indexFile_->SeekTo(static_cast<std::int32_t>(keptBefore * kJamIndexRecordSize));
      indexFile_->WriteAll(kept.data(), static_cast<std::uint32_t>(kept.size()));
    }
    if (!indexFile_->Status().ok() || !headerFile_->Status().ok()) return false;
  }

  // Also drops a torn record at the end (an index size not a multiple of 8).
  indexFile_->SeekTo(static_cast<std::int32_t>(written * kJamIndexRecordSize));
  indexFile_->TruncateHere();
  indexFile_->Flush();
  headerFile_->Flush();
  if (!indexFile_->Status().ok()) return false;
  base_.ActiveCount = static_cast<std::uint32_t>(written);
  return true;
}

}  // namespace mvx
