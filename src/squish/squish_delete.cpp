// Deleting the current message: out of the index and the message chain, its
// frame to the end of the free chain (keeping its length and contents).
//
// The writes, in this order:
//
// 1. The intent, two records right after the live ones: the message's index
//    record, then its neighbours in the chain and the place of its record.
//    Readers take only MessageTotal records, so nobody sees them.
// 2. The index records after the message's move down by one, block by
//    block. Meanwhile the live records hold the message's record no more
//    and one other record twice; every message is still whole and in the
//    chain. An index cannot lose a record in the middle in one write, so
//    this torn state cannot be avoided; the intent makes it one that the
//    open recognises and finishes.
// 3. The chain: the successor's back link, then the predecessor's forward
//    link. A program walking the chain no longer meets the frame.
// 4. The base header: one message fewer, the chain's ends moved off the
//    frame. The delete has happened; the frame is now in no chain.
// 5. The frame becomes a free frame at the free chain's end (its header,
//    the chain's last frame's link, the base header: ReturnToFreeChain).
//    Until then it is a frame nobody reaches, which only wastes its space.
// 6. The records after the live ones (the repeated last record and the
//    intent) are cut off.
//
// An interruption anywhere after step 1 is finished, not undone, by the
// next open or write: every step checks what is already done.

#include <cstdint>

#include "squish/squish_base.h"

namespace mvx {

namespace {

bool SameRecord(const SquishIndexRecord& a, const SquishIndexRecord& b) {
  return a.FrameOffset == b.FrameOffset && a.Uid == b.Uid && a.NameHash == b.NameHash;
}

}  // namespace

bool SquishBase::DoDeleteMessage() {
  if (!IsOpen() || !dataFile_) return false;
  if (!ReadyToWrite()) return false;
  // The current index record must still be the one positioned on: a stale
  // position would delete some other message.
  const std::int64_t pos = indexPosition_;
  const std::int64_t live = LiveIndexBytes();
  SquishIndexRecord rec;
  if (pos < 0 || pos % kSquishIndexRecordSize != 0 || pos >= live ||
      !ReadIndexRecord(pos, rec) || rec.Uid != currentIndexRecord_.Uid ||
      rec.FrameOffset != currentIndexRecord_.FrameOffset) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  // Only a sound message frame is relinked: unlinking a zeroed or foreign
  // header would cut the chains.
  const std::uint32_t offset = rec.FrameOffset;
  SquishFrameHeader f;
  if (!ReadChainFrame(offset, kSquishMessageFrame, f)) {
    SetErrorCode(Errc::kSquishBadFrame);
    return false;
  }
  // Its neighbours must link back to it (or the chain's ends name it):
  // relinking along a damaged link would write into some other frame.
  SquishFrameHeader n;
  const std::uint32_t prev = f.PrevFrame;
  const std::uint32_t next = f.NextFrame;
  const bool prevOk = prev == 0 ? header_.FirstFrame == offset
                                : prev != offset &&
                                      ReadChainFrame(prev, kSquishMessageFrame, n) &&
                                      n.NextFrame == offset;
  const bool nextOk = next == 0 ? header_.LastFrame == offset
                                : next != offset && next != prev &&
                                      ReadChainFrame(next, kSquishMessageFrame, n) &&
                                      n.PrevFrame == offset;
  if (!prevOk || !nextOk) return Damaged();

  // A header that counts more messages than the index holds must be put
  // right by a store first: the delete's intent goes after the records the
  // header counts.
  if (live != std::int64_t{header_.MessageTotal} * kSquishIndexRecordSize) return Damaged();

  Intent in;
  in.kind = Intent::Kind::kDelete;
  in.at = live;
  in.record = rec;
  in.position = pos;
  in.prev = prev;
  in.next = next;
  if (!ClearIndexTail(live) || !WriteIntent(in)) return false;
  if (!FinishDelete(in) || !TruncateIndex(in.at - kSquishIndexRecordSize)) return Abandon(in);

  // The deleted message can no longer be stored; the position moves back so
  // that the next StepForward reaches the record that followed it.
  if (currentFrameOffset_ == offset) {
    state_ = MessageState::kNone;
    currentFrameOffset_ = 0;
  }
  indexPosition_ -= kSquishIndexRecordSize;
  return true;
}

bool SquishBase::FinishDelete(const Intent& in) {
  const std::uint32_t frame = in.record.FrameOffset;
  const std::int64_t total = in.at / kSquishIndexRecordSize;  // records before the delete
  if (header_.MessageTotal == total) {
    if ((header_.FirstFrame == frame) != (in.prev == 0) ||
        (header_.LastFrame == frame) != (in.next == 0)) {
      return Damaged();
    }
    if (!FinishIndexShift(in) || !UnlinkMessage(frame, in.prev, in.next)) return false;
    SquishBaseHeader h = header_;
    h.MessageTotal = static_cast<std::uint32_t>(total - 1);
    h.HighestMessage = h.MessageTotal;
    if (h.FirstFrame == frame) h.FirstFrame = in.next;
    if (h.LastFrame == frame) h.LastFrame = in.prev;
    if (!CommitHeader(h)) return false;
  } else if (header_.MessageTotal != total - 1) {
    return Damaged();
  }
  return ReturnToFreeChain(frame);
}

bool SquishBase::FinishIndexShift(const Intent& in) {
  const std::int64_t from = in.position;
  const std::int64_t end = in.at;
  if (from < 0 || from % kSquishIndexRecordSize != 0 || from >= end) return Damaged();
  if (from + kSquishIndexRecordSize == end) return true;  // the last record: nothing moves
  SquishIndexRecord first;
  if (!ReadIndexRecord(from, first)) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  if (first.FrameOffset == in.record.FrameOffset && first.Uid == in.record.Uid) {
    return ShiftIndexDown(from, end);
  }
  // Moved in part: the move stopped where a record stands twice in a row
  // (uids differ in a sound index, so nothing else repeats).
  std::int64_t resume = -1;
  SquishIndexRecord last = first;
  const bool read = ScanRecords(from + kSquishIndexRecordSize, end,
                                [&](const SquishIndexRecord& rec, std::int64_t pos) {
                                  if (SameRecord(rec, last)) {
                                    resume = pos;
                                    return false;
                                  }
                                  last = rec;
                                  return true;
                                });
  if (!read) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  if (resume < 0) return Damaged();
  return ShiftIndexDown(resume, end);
}

bool SquishBase::UnlinkMessage(std::uint32_t at, std::uint32_t prev, std::uint32_t next) {
  if (prev == at || next == at || (prev != 0 && prev == next)) return Damaged();
  SquishFrameHeader f;
  if (next != 0) {
    if (!ReadChainFrame(next, kSquishMessageFrame, f)) return Damaged();
    if (f.PrevFrame == at) {
      if (!WriteLink(next, Link::kPrev, prev)) return false;
    } else if (f.PrevFrame != prev) {
      return Damaged();
    }
  }
  if (prev != 0) {
    if (!ReadChainFrame(prev, kSquishMessageFrame, f)) return Damaged();
    if (f.NextFrame == at) {
      if (!WriteLink(prev, Link::kNext, next)) return false;
    } else if (f.NextFrame != next) {
      return Damaged();
    }
  }
  return true;
}

}  // namespace mvx
