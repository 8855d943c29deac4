// Intents, and settling an operation that a crash or a failed write
// interrupted.
//
// Before a store, a delete or a move writes anything another program could
// see, it writes its intent into the .SQI right after the live records,
// where readers (which take MessageTotal records) never look:
//
//   store   one record: the new message's own index record. Its uid is one
//           the base header has not handed out yet (NextUid is written only
//           with the store's last write), which tells it from anything
//           another program leaves there.
//   delete  two records: the message's index record, then {predecessor,
//           successor, kDeleteMark | record number}.
//   move    two records: the new index record, then {old frame, 0,
//           kMoveMark | record number}.
//
// No name hash has its top bit set, and the blank records other programs
// leave are all ones, so the marks tell the second records apart from
// anything else. The intent records are the last records of the
// file, and the operation cuts them off when it is done: every operation
// first cuts off whatever lies after the live records (another program's
// leftovers), so an intent found later is always the latest operation's.
//
// Settling reads the files and only ever completes a state the operation
// can have left: a link is rewritten only when it holds the value from
// before or after the operation, a frame is freed only when no live record
// and no chain names it. Anything else means the area changed in other
// hands since, and it is refused as damaged. Running a settle again after
// it was interrupted itself goes on from where it stopped.

#include <cstdint>

#include "squish/squish_base.h"

namespace mvx {

namespace {

constexpr std::int64_t kRecord = kSquishIndexRecordSize;
constexpr std::uint32_t kMarkMask = 0xFF000000;
constexpr std::uint32_t kDeleteMark = 0xD1000000;
constexpr std::uint32_t kMoveMark = 0xD2000000;

}  // namespace

bool SquishBase::WriteIntent(const Intent& in) {
  std::uint8_t buf[2 * kSquishIndexRecordSize];
  EncodeIndexRecord(in.record, buf);
  std::uint16_t size = kSquishIndexRecordSize;
  if (in.kind == Intent::Kind::kDelete || in.kind == Intent::Kind::kMove) {
    const std::int64_t number = in.position / kRecord;
    if (number < 0 || number > static_cast<std::int64_t>(~kMarkMask)) {
      SetErrorCode(Errc::kSquishLimitReached);
      return false;
    }
    const bool del = in.kind == Intent::Kind::kDelete;
    const SquishIndexRecord where{del ? in.prev : in.oldFrame, del ? in.next : 0,
                                  (del ? kDeleteMark : kMoveMark) |
                                      static_cast<std::uint32_t>(number)};
    EncodeIndexRecord(where, buf + kSquishIndexRecordSize);
    size = 2 * kSquishIndexRecordSize;
  }
  if (!indexFile_ || in.at < 0 || in.at > INT32_MAX - size) {
    SetErrorCode(Errc::kSquishLimitReached);
    return false;
  }
  indexFile_->ClearError();
  indexFile_->SeekTo(static_cast<std::int32_t>(in.at));
  indexFile_->WriteBytes(buf, size);
  if (indexFile_->Status().ok()) return true;
  // Nothing else was written: take back what went in of the intent, and
  // keep the reason.
  Failed(*indexFile_, Errc::kSquishIndexError);
  TruncateIndex(in.at);
  SetErrorCode(Errc::kSquishIndexError);
  return false;
}

SquishBase::Intent SquishBase::ReadIntent() {
  Intent in;
  const std::int64_t size = IndexSize();
  const std::int64_t total = header_.MessageTotal;
  if (size < 0 || size % kRecord != 0) return in;
  const std::int64_t extra = size / kRecord - total;
  SquishIndexRecord first;
  SquishIndexRecord second;
  if (extra == 1) {
    // A stale copy of a live record (which a header whose NextUid lags
    // behind could let through) names a live frame: not an intent.
    bool live = true;
    if (ReadIndexRecord(total * kRecord, first) && first.FrameOffset >= kSquishBaseHeaderSize &&
        first.Uid >= header_.NextUid && (first.NameHash & 0x80000000) == 0 &&
        FrameIsLive(first.FrameOffset, live) && !live) {
      in.kind = Intent::Kind::kStore;
      in.at = total * kRecord;
      in.record = first;
    }
    return in;
  }
  // A delete's header write moves MessageTotal down past its first intent
  // record; a move's leaves it.
  if (extra != 2 && extra != 3) return in;
  const std::int64_t at = (extra == 2 ? total : total + 1) * kRecord;
  if (!ReadIndexRecord(at, first) || !ReadIndexRecord(at + kRecord, second) ||
      first.FrameOffset < kSquishBaseHeaderSize) {
    return in;
  }
  const std::uint32_t mark = second.NameHash & kMarkMask;
  const std::int64_t position = std::int64_t{second.NameHash & ~kMarkMask} * kRecord;
  if (position >= at) return in;
  if (mark == kDeleteMark) {
    in.kind = Intent::Kind::kDelete;
    in.prev = second.FrameOffset;
    in.next = second.Uid;
  } else if (mark == kMoveMark && extra == 2) {
    in.kind = Intent::Kind::kMove;
    in.oldFrame = second.FrameOffset;
  } else {
    return in;
  }
  in.at = at;
  in.record = first;
  in.position = position;
  return in;
}

bool SquishBase::Recover(const Intent& in) {
  bool settled = false;
  std::int64_t keep = in.at;  // index bytes once the intent is cut off
  switch (in.kind) {
    case Intent::Kind::kNone:
      return true;
    case Intent::Kind::kStore:
      // The header is written again as it was: a failed write of it may
      // have left part of the new one.
      settled = UndoNewFrame(in.record.FrameOffset, in.record.Uid, header_.LastFrame,
                             header_.LastFrame, 0) &&
                CommitHeader(header_);
      break;
    case Intent::Kind::kDelete:
      settled = FinishDelete(in);
      keep = in.at - kRecord;
      break;
    case Intent::Kind::kMove:
      settled = SettleMove(in);
      break;
  }
  // The intent goes last: until it is gone, another try finds the
  // operation again.
  return settled && TruncateIndex(keep);
}

bool SquishBase::Abandon(const Intent& in) {
  const Errc code = ErrorCode();
  if (!Recover(in)) {
    repairPending_ = true;
    pendingIntent_ = in;
  }
  SetErrorCode(code);
  return false;
}

bool SquishBase::ReadyToWrite() {
  if (!repairPending_) return true;
  if (!Recover(pendingIntent_)) return false;
  repairPending_ = false;
  return true;
}

bool SquishBase::UndoNewFrame(std::uint32_t frame, std::uint32_t uid, std::uint32_t linkedFrom,
                              std::uint32_t prev, std::uint32_t next) {
  // The message chain's last frame may link to the new frame already (a
  // store's step 4): that link goes first, so that no walk along the chain
  // meets the frame while it is taken apart.
  if (linkedFrom != 0) {
    SquishFrameHeader t;
    if (!ReadChainFrame(linkedFrom, kSquishMessageFrame, t)) return Damaged();
    if (t.NextFrame == frame) {
      if (!WriteLink(linkedFrom, Link::kNext, 0)) return false;
    } else if (t.NextFrame != 0) {
      return Damaged();
    }
  }
  // Past EndFrame nothing counts: whatever got written there is leftovers.
  if (frame >= header_.EndFrame) return true;
  SquishFrameHeader f;
  if (!ReadLinkable(frame, f)) return Damaged();
  bool live = false;
  if (!FrameIsLive(frame, live)) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  if (live) return Damaged();
  // Still a free frame: it had not been given a message header yet, and its
  // header still names its neighbours in the free chain.
  if (f.FrameType == kSquishFreeFrame) return RelinkFree(frame, f);
  // A message frame in no chain, holding the new message: it goes to the
  // free chain's end (not back to its old place, which its header no
  // longer records).
  std::uint32_t stored = 0;
  if (f.FrameType != kSquishMessageFrame || f.PrevFrame != prev || f.NextFrame != next ||
      !ReadFrameUid(frame, stored) || stored != uid) {
    return Damaged();
  }
  return ReturnToFreeChain(frame);
}

bool SquishBase::RelinkFree(std::uint32_t at, const SquishFrameHeader& f) {
  // TakeFromFreeChain rewrites the successor's back link, the predecessor's
  // forward link, then the header's ends. Each of them holds its old value
  // (this frame) or its new one; the new ones go back in the reverse order.
  const std::uint32_t prev = f.PrevFrame;
  const std::uint32_t next = f.NextFrame;
  if (prev == at || next == at || (prev != 0 && prev == next)) return Damaged();
  SquishBaseHeader h = header_;
  bool relinkPrev = false;
  bool relinkNext = false;
  SquishFrameHeader n;
  if (prev == 0) {
    if (h.FirstFreeFrame == next) {
      h.FirstFreeFrame = at;
    } else if (h.FirstFreeFrame != at) {
      return Damaged();
    }
  } else {
    if (!ReadChainFrame(prev, kSquishFreeFrame, n)) return Damaged();
    if (n.NextFrame == next) {
      relinkPrev = true;
    } else if (n.NextFrame != at) {
      return Damaged();
    }
  }
  if (next == 0) {
    if (h.LastFreeFrame == prev) {
      h.LastFreeFrame = at;
    } else if (h.LastFreeFrame != at) {
      return Damaged();
    }
  } else {
    if (!ReadChainFrame(next, kSquishFreeFrame, n)) return Damaged();
    if (n.PrevFrame == prev) {
      relinkNext = true;
    } else if (n.PrevFrame != at) {
      return Damaged();
    }
  }
  if ((h.FirstFreeFrame != header_.FirstFreeFrame || h.LastFreeFrame != header_.LastFreeFrame) &&
      !CommitHeader(h)) {
    return false;
  }
  if (relinkPrev && !WriteLink(prev, Link::kNext, at)) return false;
  return !relinkNext || WriteLink(next, Link::kPrev, at);
}

bool SquishBase::SettleMove(const Intent& in) {
  const std::uint32_t to = in.record.FrameOffset;
  const std::uint32_t from = in.oldFrame;
  SquishIndexRecord rec;
  if (!ReadIndexRecord(in.position, rec)) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  if (rec.Uid != in.record.Uid || to == from) return Damaged();
  if (rec.FrameOffset == from) {
    // The index still names the old frame, which is untouched: undo. The
    // new frame's links (if its header went in) are the old frame's.
    SquishFrameHeader old;
    if (!ReadChainFrame(from, kSquishMessageFrame, old)) return Damaged();
    return UndoNewFrame(to, in.record.Uid, 0, old.PrevFrame, old.NextFrame) &&
           CommitHeader(header_);
  }
  if (rec.FrameOffset != to) return Damaged();
  // The index names the new frame: finish. Its header holds the message's
  // place in the chain.
  SquishFrameHeader f;
  if (!ReadChainFrame(to, kSquishMessageFrame, f)) return Damaged();
  if (f.PrevFrame == from || f.NextFrame == from || f.PrevFrame == to || f.NextFrame == to ||
      (f.PrevFrame != 0 && f.PrevFrame == f.NextFrame)) {
    return Damaged();
  }
  SquishFrameHeader n;
  if (f.NextFrame != 0) {
    if (!ReadChainFrame(f.NextFrame, kSquishMessageFrame, n)) return Damaged();
    if (n.PrevFrame == from) {
      if (!WriteLink(f.NextFrame, Link::kPrev, to)) return false;
    } else if (n.PrevFrame != to) {
      return Damaged();
    }
  }
  if (f.PrevFrame != 0) {
    if (!ReadChainFrame(f.PrevFrame, kSquishMessageFrame, n)) return Damaged();
    if (n.NextFrame == from) {
      if (!WriteLink(f.PrevFrame, Link::kNext, to)) return false;
    } else if (n.NextFrame != to) {
      return Damaged();
    }
  }
  SquishBaseHeader h = header_;
  if (h.FirstFrame == from) h.FirstFrame = to;
  if (h.LastFrame == from) h.LastFrame = to;
  const std::uint64_t end = std::uint64_t{to} + kSquishFrameHeaderSize + f.FrameLength;
  if (end > h.EndFrame) {
    if (to != h.EndFrame) return Damaged();  // appended frames start at EndFrame
    h.EndFrame = static_cast<std::uint32_t>(end);
  }
  if ((h.FirstFrame != header_.FirstFrame || h.LastFrame != header_.LastFrame ||
       h.EndFrame != header_.EndFrame) &&
      !CommitHeader(h)) {
    return false;
  }
  return ReturnToFreeChain(from);
}

}  // namespace mvx
