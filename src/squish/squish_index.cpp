// The .SQI index: live records, navigation over them, moving and cutting
// records.
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

namespace mvx {

namespace {

constexpr std::int64_t kRecord = kSquishIndexRecordSize;
// Records read per block while scanning (a read buffer, not a cache).
constexpr std::int64_t kScanRecords = 512;

}  // namespace

std::int64_t SquishBase::IndexSize() {
  if (!indexFile_) return -1;
  indexFile_->ClearError();
  const std::int64_t size = indexFile_->Size();
  if (size < 0) indexFile_->ClearError();
  return size;
}

std::int64_t SquishBase::LiveIndexBytes() {
  const std::int64_t size = IndexSize();
  if (size < 0) return 0;
  const std::int64_t records = std::min<std::int64_t>(header_.MessageTotal, size / kRecord);
  return records * kRecord;
}

bool SquishBase::ReadIndexRecord(std::int64_t pos, SquishIndexRecord& rec) {
  if (!indexFile_ || pos < 0 || pos > INT32_MAX - kRecord) return false;
  std::uint8_t buf[kSquishIndexRecordSize];
  indexFile_->ClearError();
  indexFile_->SeekTo(static_cast<std::int32_t>(pos));
  indexFile_->ReadBytes(buf, sizeof buf);
  if (!indexFile_->Status().ok()) {
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
  if (!indexFile_->Status().ok()) {
    return Failed(*indexFile_, Errc::kSquishIndexError);
  }
  return true;
}

bool SquishBase::ShiftIndexDown(std::int64_t from, std::int64_t end) {
  // Block by block in place, so a huge (or hostile) file never has to fit
  // in memory. Each block is read before the one in front of it is written
  // over, and an interruption between blocks leaves one record twice in a
  // row, which is how FinishIndexShift finds where to go on.
  if (from < 0 || end > INT32_MAX || from % kRecord != 0 || end % kRecord != 0) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  std::vector<std::uint8_t> buf(kScanRecords * kRecord);
  for (std::int64_t at = from + kRecord; at < end;) {
    const std::int64_t n = std::min(end - at, kScanRecords * kRecord);
    indexFile_->ClearError();
    indexFile_->SeekTo(static_cast<std::int32_t>(at));
    indexFile_->ReadBytes(buf.data(), static_cast<std::uint16_t>(n));
    if (indexFile_->Status().ok()) {
      indexFile_->SeekTo(static_cast<std::int32_t>(at - kRecord));
      indexFile_->WriteBytes(buf.data(), static_cast<std::uint16_t>(n));
    }
    if (!indexFile_->Status().ok()) {
      return Failed(*indexFile_, Errc::kSquishIndexError);
    }
    at += n;
  }
  return true;
}

bool SquishBase::TruncateIndex(std::int64_t size) {
  if (!indexFile_ || size < 0 || size > INT32_MAX) return false;
  indexFile_->ClearError();
  indexFile_->SeekTo(static_cast<std::int32_t>(size));
  indexFile_->TruncateHere();
  if (!indexFile_->Status().ok()) {
    return Failed(*indexFile_, Errc::kSquishIndexError);
  }
  return true;
}

bool SquishBase::ClearIndexTail(std::int64_t live) {
  const std::int64_t size = IndexSize();
  if (size < 0) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  return size <= live || TruncateIndex(live);
}

bool SquishBase::ScanRecords(
    std::int64_t from, std::int64_t end,
    const std::function<bool(const SquishIndexRecord&, std::int64_t)>& visit) {
  if (!indexFile_ || from < 0 || end > INT32_MAX) return false;
  std::vector<std::uint8_t> buf(kScanRecords * kRecord);
  for (std::int64_t pos = from; pos + kRecord <= end; pos += kScanRecords * kRecord) {
    const std::int64_t n = std::min((end - pos) / kRecord * kRecord, kScanRecords * kRecord);
    indexFile_->ClearError();
    indexFile_->SeekTo(static_cast<std::int32_t>(pos));
    indexFile_->ReadBytes(buf.data(), static_cast<std::uint16_t>(n));
    if (!indexFile_->Status().ok()) {
      indexFile_->ClearError();
      return false;
    }
    for (std::int64_t i = 0; i < n; i += kRecord) {
      if (!visit(DecodeIndexRecord(buf.data() + i), pos + i)) return true;
    }
  }
  return true;
}

bool SquishBase::ScanLiveRecords(
    const std::function<bool(const SquishIndexRecord&, std::int64_t)>& visit) {
  return ScanRecords(0, LiveIndexBytes(), visit);
}

bool SquishBase::HighestLiveFrame(std::uint32_t& highest) {
  highest = 0;
  return ScanLiveRecords([&](const SquishIndexRecord& rec, std::int64_t) {
    highest = std::max(highest, rec.FrameOffset);
    return true;
  });
}

bool SquishBase::FrameIsLive(std::uint32_t frame, bool& live) {
  live = false;
  return ScanLiveRecords([&](const SquishIndexRecord& rec, std::int64_t) {
    live = rec.FrameOffset == frame;
    return !live;
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
  return static_cast<std::int32_t>(std::max(header_.NextUid, uidsTaken_) - 1);
}

std::int32_t SquishBase::MessageCount() { return static_cast<std::int32_t>(header_.MessageTotal); }

}  // namespace mvx
