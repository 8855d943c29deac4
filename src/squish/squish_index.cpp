// The .SQI index: live records, navigation over them, removing one.
//
// The live records are the first MessageTotal ones (never more than the
// file holds). Other programs leave a blank record behind at the end after
// a delete and read only MessageTotal records, so whatever lies after the
// live records is ignored here, and a new record goes right after them.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "squish/squish_base.h"
#include "squish/squish_errors.h"

namespace mvx {

namespace {

constexpr std::int64_t kRecord = kSquishIndexRecordSize;
// Records read per block while scanning (a read buffer, not a cache).
constexpr std::int64_t kScanRecords = 512;

}  // namespace

std::int64_t SquishBase::LiveIndexBytes() {
  if (!indexFile_) return 0;
  indexFile_->ClearError();
  const std::int64_t size = indexFile_->Size();
  if (size < 0) {
    indexFile_->ClearError();
    return 0;
  }
  const std::int64_t records = std::min<std::int64_t>(header_.MessageTotal, size / kRecord);
  return records * kRecord;
}

bool SquishBase::ReadIndexRecord(std::int64_t pos, SquishIndexRecord& rec) {
  if (!indexFile_ || pos < 0 || pos > INT32_MAX - kRecord) return false;
  std::uint8_t buf[kSquishIndexRecordSize];
  indexFile_->ClearError();
  indexFile_->SeekTo(static_cast<std::int32_t>(pos));
  indexFile_->ReadBytes(buf, sizeof buf);
  if (indexFile_->Status() != kStreamOk) {
    indexFile_->ClearError();
    return false;
  }
  rec = DecodeIndexRecord(buf);
  return true;
}

bool SquishBase::WriteIndexRecord(std::int64_t pos, const SquishIndexRecord& rec) {
  if (!indexFile_ || pos < 0 || pos > INT32_MAX - kRecord) return false;
  std::uint8_t buf[kSquishIndexRecordSize];
  EncodeIndexRecord(rec, buf);
  indexFile_->ClearError();
  indexFile_->SeekTo(static_cast<std::int32_t>(pos));
  indexFile_->WriteBytes(buf, sizeof buf);
  if (indexFile_->Status() != kStreamOk) {
    indexFile_->ClearError();
    return false;
  }
  return true;
}

bool SquishBase::RemoveIndexRecord(std::int64_t pos) {
  // Only the live records after it move down; whatever lies past them is
  // leftovers, and the file is cut after the live records that remain. The
  // move goes block by block in place, so a huge (or hostile) file never
  // has to fit in memory.
  const std::int64_t live = LiveIndexBytes();
  if (pos < 0 || pos + kRecord > live) return false;
  std::vector<std::uint8_t> buf(kScanRecords * kRecord);
  for (std::int64_t from = pos + kRecord; from < live;) {
    const std::int64_t n = std::min(live - from, kScanRecords * kRecord);
    indexFile_->SeekTo(static_cast<std::int32_t>(from));
    indexFile_->ReadBytes(buf.data(), static_cast<std::uint16_t>(n));
    indexFile_->SeekTo(static_cast<std::int32_t>(from - kRecord));
    indexFile_->WriteBytes(buf.data(), static_cast<std::uint16_t>(n));
    if (indexFile_->Status() != kStreamOk) break;
    from += n;
  }
  if (indexFile_->Status() == kStreamOk) {
    indexFile_->SeekTo(static_cast<std::int32_t>(live - kRecord));
    indexFile_->TruncateHere();
  }
  const bool ok = indexFile_->Status() == kStreamOk;
  indexFile_->ClearError();
  return ok;
}

bool SquishBase::ScanLiveRecords(
    const std::function<bool(const SquishIndexRecord&, std::int64_t)>& visit) {
  const std::int64_t live = LiveIndexBytes();
  std::vector<std::uint8_t> buf(kScanRecords * kRecord);
  for (std::int64_t pos = 0; pos < live; pos += kScanRecords * kRecord) {
    const std::int64_t n = std::min(live - pos, kScanRecords * kRecord);
    indexFile_->ClearError();
    indexFile_->SeekTo(static_cast<std::int32_t>(pos));
    indexFile_->ReadBytes(buf.data(), static_cast<std::uint16_t>(n));
    if (indexFile_->Status() != kStreamOk) {
      indexFile_->ClearError();
      return false;
    }
    for (std::int64_t i = 0; i < n; i += kRecord) {
      if (!visit(DecodeIndexRecord(buf.data() + i), pos + i)) return true;
    }
  }
  return true;
}

bool SquishBase::HighestLiveFrame(std::uint32_t& highest) {
  highest = 0;
  return ScanLiveRecords([&](const SquishIndexRecord& rec, std::int64_t) {
    highest = std::max(highest, rec.FrameOffset);
    return true;
  });
}

void SquishBase::ClearPosition() {
  SetCurrentNumber(0);
  indexPosition_ = 0;
  currentIndexRecord_ = SquishIndexRecord{};
}

bool SquishBase::HasMessage(std::int32_t uid) {
  bool found = false;
  ScanLiveRecords([&](const SquishIndexRecord& rec, std::int64_t) {
    found = rec.Uid == static_cast<std::uint32_t>(uid);
    return !found;
  });
  return found;
}

void SquishBase::PositionFrom(std::int32_t uid) {
  bool found = false;
  ScanLiveRecords([&](const SquishIndexRecord& rec, std::int64_t pos) {
    if (static_cast<std::int32_t>(rec.Uid) < uid) return true;
    currentIndexRecord_ = rec;
    indexPosition_ = pos;
    SetCurrentNumber(static_cast<std::int32_t>(rec.Uid));
    found = true;
    return false;
  });
  if (!found) ClearPosition();
}

void SquishBase::StepForward() {
  const std::int64_t next = indexPosition_ + kRecord;
  SquishIndexRecord rec;
  if (next < 0 || next >= LiveIndexBytes() || !ReadIndexRecord(next, rec)) {
    ClearPosition();
    return;
  }
  indexPosition_ = next;
  currentIndexRecord_ = rec;
  SetCurrentNumber(static_cast<std::int32_t>(rec.Uid));
}

void SquishBase::StepBack() {
  const std::int64_t prev = indexPosition_ - kRecord;
  SquishIndexRecord rec;
  if (prev < 0 || prev >= LiveIndexBytes() || !ReadIndexRecord(prev, rec)) {
    ClearPosition();
    return;
  }
  indexPosition_ = prev;
  currentIndexRecord_ = rec;
  SetCurrentNumber(static_cast<std::int32_t>(rec.Uid));
}

bool SquishBase::IsPositioned() { return CurrentNumber() != 0; }

std::int32_t SquishBase::CurrentUid() { return static_cast<std::int32_t>(indexPosition_); }

void SquishBase::PositionByUid(std::int32_t bookmark) {
  SquishIndexRecord rec;
  if (bookmark < 0 || bookmark % kRecord != 0 || bookmark >= LiveIndexBytes() ||
      !ReadIndexRecord(bookmark, rec)) {
    ClearPosition();
    return;
  }
  indexPosition_ = bookmark;
  currentIndexRecord_ = rec;
  SetCurrentNumber(static_cast<std::int32_t>(rec.Uid));
}

std::int32_t SquishBase::HighestNumber() {
  return static_cast<std::int32_t>(header_.NextUid - 1);
}

std::int32_t SquishBase::MessageCount() { return static_cast<std::int32_t>(header_.MessageTotal); }

}  // namespace mvx
