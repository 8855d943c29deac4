// Beginning and storing messages: the control area, the choice of a frame
// (in place, first fit from the free chain, or appended at EndFrame), and
// the order of the writes.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "msgbase/env.h"
#include "squish/squish_attributes.h"
#include "squish/squish_base.h"
#include "squish/squish_hash.h"
#include "support/text.h"

namespace mvx {

namespace {

// A control line longer than this makes the store fail rather than be cut.
constexpr std::size_t kLineLimit = 16383;
// The control buffer holds 65521 bytes, but loading (ours and others')
// accepts at most 65519 bytes of control information with its NUL; more
// than that is refused rather than cut, so that no control line is lost
// without the store failing.
constexpr std::size_t kMaxControlBytes = 65518;
// Independent readers refuse an area with more messages than this.
constexpr std::int64_t kMaxMessages = 1000000;

}  // namespace

struct SquishBase::ControlArea {
  std::vector<std::uint8_t> bytes;  // control lines back to back, then a NUL
  std::int32_t bodyStart = 0;       // text offset where the body begins
};

struct SquishBase::Placement {
  std::uint32_t offset = 0;       // where the message's frame goes
  std::uint32_t frameLength = 0;  // its capacity
  std::uint32_t messageLength = 0;
  std::int64_t indexPos = 0;      // where its index record goes
  std::uint32_t prev = 0;         // neighbours in the message chain
  std::uint32_t next = 0;
  bool inPlace = false;           // rewritten in its own frame
  bool appended = false;          // a new frame at EndFrame
  bool reused = false;            // a frame taken from the free chain
  SquishFrameHeader freeFrame;    // ... with the header it had there
  bool moved = false;             // a stored message that left its frame
  std::uint32_t oldOffset = 0;
  SquishIndexRecord oldRecord;    // a stored message's index record as read
};

bool SquishBase::DoBeginNewMessage() {
  if (!IsOpen()) return false;
  currentHeader_ = SquishMessageHeader{};
  currentFrame_ = SquishFrameHeader{};
  currentIndexRecord_ = SquishIndexRecord{};

  // Uids rise in record order and are never reused. NextUid normally says
  // it all; the checks keep that true in an area whose header lags behind.
  const std::int64_t live = LiveIndexBytes();
  std::uint64_t uid = std::max<std::uint64_t>({header_.NextUid, uidsTaken_, 1});
  uid = std::max<std::uint64_t>(uid, live / kSquishIndexRecordSize + 1);
  SquishIndexRecord last;
  if (live > 0 && ReadIndexRecord(live - kSquishIndexRecordSize, last)) {
    uid = std::max<std::uint64_t>(uid, std::uint64_t{last.Uid} + 1);
  }
  if (uid >= static_cast<std::uint64_t>(INT32_MAX)) {
    SetErrorCode(Errc::kSquishLimitReached);
    state_ = MessageState::kNone;
    return false;
  }
  SetCurrentNumber(static_cast<std::int32_t>(uid));
  currentHeader_.Uid = static_cast<std::uint32_t>(uid);
  currentIndexRecord_.Uid = static_cast<std::uint32_t>(uid);
  // Only the uid is taken now, and kept in memory: the header on disk
  // moves on when the message is stored, or at CloseArea. The counters
  // rise only with the store, so a begun message that is never stored
  // leaves no count without a message behind it.
  uidsTaken_ = static_cast<std::uint32_t>(uid + 1);

  currentFrame_.FrameId = kSquishFrameId;
  currentFrameOffset_ = 0;
  currentHeader_.Attributes = kSquishAttrUidValid;
  indexPosition_ = live;
  AttachTextBuffer(env().NewMemoryStream(65536));
  StampNow();
  state_ = MessageState::kNew;
  return true;
}

bool SquishBase::GatherControlArea(ControlArea& ctl) {
  std::string line;
  MoveTextTo(0);
  ctl.bodyStart = 0;
  bool lastWasControl = false;
  while (!AtTextEnd()) {
    const std::int32_t start = TextOffset();
    ctl.bodyStart = start;
    ReadTextLine(line, kLineLimit);
    lastWasControl = false;
    if (!line.starts_with('\x01')) break;
    const std::size_t len = line.size();
    // A line end is at most two bytes (CR LF); more consumed means the line
    // was longer than the limit and came back cut.
    if (static_cast<std::size_t>(TextOffset() - start) > len + 2) return false;
    if (ctl.bytes.size() + len > kMaxControlBytes) return false;
    ctl.bytes.insert(ctl.bytes.end(), line.begin(), line.end());
    lastWasControl = true;
  }
  if (lastWasControl) ctl.bodyStart = TextOffset();  // only control lines: empty body
  ctl.bytes.push_back(0);
  return true;
}

bool SquishBase::PlaceMessage(std::uint64_t needed, std::int64_t dataSize, Placement& place) {
  place.messageLength = static_cast<std::uint32_t>(needed);
  if (state_ == MessageState::kStored) {
    // Rewriting a message that has a frame: its index record must still
    // name it, and the links are taken from the file as it is now (other
    // messages may have been added since it was loaded).
    SquishIndexRecord rec;
    if (messageIndexPos_ >= LiveIndexBytes() || !ReadIndexRecord(messageIndexPos_, rec) ||
        rec.Uid != messageUid_ || rec.FrameOffset != currentFrameOffset_) {
      SetErrorCode(Errc::kSquishIndexError);
      return false;
    }
    SquishFrameHeader old;
    if (!ReadChainFrame(currentFrameOffset_, kSquishMessageFrame, old) ||
        !FollowedByFrame(currentFrameOffset_, old.FrameLength)) {
      SetErrorCode(Errc::kSquishBadFrame);
      return false;
    }
    place.indexPos = messageIndexPos_;
    place.oldRecord = rec;
    place.prev = old.PrevFrame;
    place.next = old.NextFrame;
    if (old.FrameLength >= needed) {
      place.inPlace = true;
      place.offset = currentFrameOffset_;
      place.frameLength = old.FrameLength;
      return true;
    }
    // It grew beyond its frame: a new frame takes its place in the message
    // chain and the old one goes to the free chain. That needs neighbours
    // that link back to it (or chain ends in the header that name it).
    const std::uint32_t at = currentFrameOffset_;
    SquishFrameHeader n;
    const bool prevOk = place.prev == 0 ? header_.FirstFrame == at
                                        : place.prev != at &&
                                              ReadChainFrame(place.prev, kSquishMessageFrame, n) &&
                                              n.NextFrame == at;
    const bool nextOk = place.next == 0 ? header_.LastFrame == at
                                        : place.next != at && place.next != place.prev &&
                                              ReadChainFrame(place.next, kSquishMessageFrame, n) &&
                                              n.PrevFrame == at;
    if (!prevOk || !nextOk) return Damaged();
    place.moved = true;
    place.oldOffset = at;
  } else {
    const std::int64_t live = LiveIndexBytes();
    if (live / kSquishIndexRecordSize >= kMaxMessages) {
      SetErrorCode(Errc::kSquishLimitReached);
      return false;
    }
    place.indexPos = live;
    place.prev = header_.LastFrame;  // AreaIsWritable checked it ends the chain
    place.next = 0;
  }

  std::uint32_t freeAt = 0;
  if (header_.FirstFreeFrame != 0 && FindFreeFrame(needed, dataSize, freeAt, place.freeFrame)) {
    place.reused = true;
    place.offset = freeAt;
    place.frameLength = place.freeFrame.FrameLength;  // taken whole, never split
    return true;
  }
  if (header_.EndFrame + std::uint64_t{kSquishFrameHeaderSize} + needed >
      static_cast<std::uint64_t>(INT32_MAX)) {
    SetErrorCode(Errc::kSquishLimitReached);
    return false;
  }
  place.appended = true;
  place.offset = header_.EndFrame;
  place.frameLength = static_cast<std::uint32_t>(needed);
  return true;
}

std::vector<std::uint8_t> SquishBase::MessageBody(const ControlArea& ctl) {
  // The header takes the addresses from the control lines and the date
  // text from the written date, each time the message is stored.
  FidoAddress orig;
  FidoAddress dest;
  ReadBothAddresses(orig, dest);
  currentHeader_.OrigAddress = {static_cast<std::uint16_t>(orig.Zone),
                                static_cast<std::uint16_t>(orig.Net),
                                static_cast<std::uint16_t>(orig.Node),
                                static_cast<std::uint16_t>(orig.Point)};
  currentHeader_.DestAddress = {static_cast<std::uint16_t>(dest.Zone),
                                static_cast<std::uint16_t>(dest.Net),
                                static_cast<std::uint16_t>(dest.Node),
                                static_cast<std::uint16_t>(dest.Point)};
  currentHeader_.UtcOffset = 0;
  DateTimeRec written;
  ReadWrittenDate(written);
  PutNulField(currentHeader_.FtsDate.data(), currentHeader_.FtsDate.size(),
              FtsDateText(written).view());

  // Message header, control area, text, NUL: the frame's body in one run.
  const std::size_t textLen =
      static_cast<std::size_t>(std::max<std::int32_t>(TextLength() - ctl.bodyStart, 0));
  std::vector<std::uint8_t> body(kSquishMessageHeaderSize + ctl.bytes.size() + textLen + 1, 0);
  EncodeMessageHeader(currentHeader_, body.data());
  std::copy(ctl.bytes.begin(), ctl.bytes.end(), body.begin() + kSquishMessageHeaderSize);
  MoveTextTo(ctl.bodyStart);
  TextBuffer()->ReadAll(body.data() + kSquishMessageHeaderSize + ctl.bytes.size(),
                        static_cast<std::uint32_t>(textLen));
  body.back() = 0;
  return body;
}

bool SquishBase::WriteBody(std::uint32_t frame, const std::vector<std::uint8_t>& body) {
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(frame + kSquishFrameHeaderSize));
  dataFile_->WriteAll(body.data(), static_cast<std::uint32_t>(body.size()));
  if (!dataFile_->Status().ok()) {
    return Failed(*dataFile_, Errc::kSquishFrameIoError);
  }
  return true;
}

// A new message, in this order (each write stops the store when it fails,
// and everything before the base header is then undone):
//
// 1. Its index record, right after the live records. Readers take only
//    MessageTotal records, so it is invisible; it is also the store's
//    intent, which names the frame for whoever has to undo the store.
// 2. Only for a frame from the free chain: the frame leaves the chain -
//    its successor's back link, then its predecessor's forward link, then
//    the header's chain ends if it was one (written alone, the counters
//    unchanged). Until the forward link is rewritten, a program looking for
//    a free frame walks past it as before; afterwards the frame is in no
//    chain at all, which no reader notices.
// 3. The frame's body (message header, control area, text, NUL), then its
//    frame header. The frame is in no chain, or lies past EndFrame, where
//    every program takes bytes for leftovers of an interrupted write.
// 4. The forward link of the message chain's last frame. A program walking
//    the chain now finds one more message after the last one the header
//    names, whole, but not counted and not in the index: the one torn state
//    that two places to write leave. Marvex refuses to append after such a
//    chain end; the intent lets the open undo it (the link goes back to 0).
// 5. The base header: MessageTotal, HighestMessage, NextUid, the chain's
//    last (and first) frame, EndFrame. One write of 256 bytes; from here on
//    the index record is live and the message is in the area.
//
// After a crash the open finds the record of step 1 after the live records
// with a uid that the header has not handed out yet and undoes steps 4 to 2
// (UndoNewFrame): the area is as before the store, with every earlier
// message. A failed write undoes the same way at once.
bool SquishBase::StoreNew(const Placement& place, const std::vector<std::uint8_t>& body,
                          SquishFrameHeader frame) {
  const std::uint32_t tail = header_.LastFrame;
  Intent in;
  in.kind = Intent::Kind::kStore;
  in.at = place.indexPos;
  in.record = SquishIndexRecord{place.offset, currentHeader_.Uid, SquishNameHash(ToName().view())};
  if (!ClearIndexTail(in.at)) return false;
  if (!WriteIntent(in)) return false;
  if (place.reused && !TakeFromFreeChain(place.freeFrame)) return Abandon(in);
  frame.PrevFrame = tail;
  frame.NextFrame = 0;
  if (!WriteBody(place.offset, body) || !WriteFrame(frame, place.offset)) return Abandon(in);
  if (tail != 0 && !WriteLink(tail, Link::kNext, place.offset)) return Abandon(in);
  SquishBaseHeader h = header_;
  if (tail == 0) h.FirstFrame = place.offset;
  h.LastFrame = place.offset;
  if (place.appended) h.EndFrame = place.offset + kSquishFrameHeaderSize + place.frameLength;
  h.MessageTotal = static_cast<std::uint32_t>(in.at / kSquishIndexRecordSize + 1);
  h.HighestMessage = h.MessageTotal;
  h.NextUid = std::max({h.NextUid, uidsTaken_, in.record.Uid + 1});
  if (!CommitHeader(h)) return Abandon(in);
  Stored(place, frame, in.record);
  return true;
}

// A loaded message that still fits its frame is rewritten where it is: the
// body, then the frame header with its new lengths, then the name hash of
// its index record. Nothing else changes, but the frame is the message's
// only copy: a crash in the middle can leave this one message garbled
// (never another one, never the area's structure).
bool SquishBase::StoreInPlace(const Placement& place, const std::vector<std::uint8_t>& body,
                              SquishFrameHeader frame) {
  frame.PrevFrame = place.prev;
  frame.NextFrame = place.next;
  if (!WriteBody(place.offset, body) || !WriteFrame(frame, place.offset)) return false;
  SquishIndexRecord rec = place.oldRecord;
  rec.NameHash = SquishNameHash(ToName().view());
  if (rec.NameHash != place.oldRecord.NameHash && !WriteIndexRecord(place.indexPos, rec)) {
    return false;
  }
  Stored(place, frame, rec);
  return true;
}

// A loaded message that outgrew its frame moves to a new one, in this
// order:
//
// 1. The intent after the live records: the new index record, and the old
//    frame with the place of the record.
// 2. A frame from the free chain leaves it (as for a new message).
// 3. The new frame's body and header, with the old frame's neighbours as its
//    links. It is in no chain yet (or past EndFrame).
// 4. The message's index record names the new frame. Readers now find the
//    new text, whole; before this they found the old one, whole.
// 5. The neighbours link to the new frame (back link first), then the base
//    header takes it as a chain end (and EndFrame past it) if need be.
// 6. The old frame goes to the free chain (ReturnToFreeChain), and the
//    intent is cut off.
//
// An interruption before step 4 is undone like a new message's store; from
// step 4 on it is finished (SettleMove).
bool SquishBase::StoreMoved(const Placement& place, const std::vector<std::uint8_t>& body,
                            SquishFrameHeader frame) {
  Intent in;
  in.kind = Intent::Kind::kMove;
  in.at = LiveIndexBytes();
  in.record = SquishIndexRecord{place.offset, messageUid_, SquishNameHash(ToName().view())};
  in.position = place.indexPos;
  in.oldFrame = place.oldOffset;
  if (!ClearIndexTail(in.at)) return false;
  if (!WriteIntent(in)) return false;
  if (place.reused && !TakeFromFreeChain(place.freeFrame)) return Abandon(in);
  frame.PrevFrame = place.prev;
  frame.NextFrame = place.next;
  if (!WriteBody(place.offset, body) || !WriteFrame(frame, place.offset) ||
      !WriteIndexRecord(in.position, in.record) || !SettleMove(in) || !TruncateIndex(in.at)) {
    return Abandon(in);
  }
  Stored(place, frame, in.record);
  return true;
}

void SquishBase::Stored(const Placement& place, const SquishFrameHeader& frame,
                        const SquishIndexRecord& rec) {
  // From here on the message has its frame: storing it again rewrites it.
  state_ = MessageState::kStored;
  currentFrame_ = frame;
  currentFrameOffset_ = place.offset;
  messageIndexPos_ = place.indexPos;
  messageUid_ = rec.Uid;
  indexPosition_ = place.indexPos;
  currentIndexRecord_ = rec;
}

bool SquishBase::DoStoreMessage() {
  if (!IsOpen() || !dataFile_ || !TextBuffer()) return false;
  // A message loaded without its body would lose the body if stored whole.
  if (state_ != MessageState::kNew && state_ != MessageState::kStored) return false;
  if (!ReadyToWrite()) return false;

  ControlArea ctl;
  if (!GatherControlArea(ctl)) {
    SetErrorCode(Errc::kSquishBadFrame);
    return false;
  }
  const std::int64_t textLen = std::int64_t{TextLength()} - ctl.bodyStart;
  const std::uint64_t needed = kSquishMessageHeaderSize + ctl.bytes.size() +
                               static_cast<std::uint64_t>(std::max<std::int64_t>(textLen, 0)) + 1;
  if (needed > static_cast<std::uint64_t>(INT32_MAX)) {
    SetErrorCode(Errc::kSquishLimitReached);
    return false;
  }
  const std::int64_t dataSize = DataSize();
  if (dataSize < 0 || !AreaIsWritable(dataSize)) return Damaged();
  Placement place;
  if (!PlaceMessage(needed, dataSize, place)) return false;

  const std::vector<std::uint8_t> body = MessageBody(ctl);
  SquishFrameHeader frame;
  frame.FrameId = kSquishFrameId;
  frame.FrameLength = place.frameLength;
  frame.MessageLength = place.messageLength;
  frame.ControlLength = static_cast<std::uint32_t>(ctl.bytes.size());
  frame.FrameType = kSquishMessageFrame;
  if (state_ == MessageState::kNew) return StoreNew(place, body, frame);
  if (place.inPlace) return StoreInPlace(place, body, frame);
  return StoreMoved(place, body, frame);
}

bool SquishBase::DoStoreHeaderOnly() {
  // Only a message that has a frame has a header to rewrite; a begun
  // message that was never stored has none (and offset 0 is the base
  // header).
  if (!IsOpen() || !dataFile_) return false;
  if (state_ != MessageState::kStored && state_ != MessageState::kHeaderOnly) return false;
  if (!ReadyToWrite()) return false;
  SquishFrameHeader f;
  if (!ReadLinkable(currentFrameOffset_, f) || f.FrameType != kSquishMessageFrame ||
      f.FrameLength < kSquishMessageHeaderSize) {
    SetErrorCode(Errc::kSquishBadFrame);
    return false;
  }
  // One write over the old header (the lengths stay), then the index's
  // name hash; a crash between the two leaves a stale hash, which only
  // makes a search by name miss this message.
  std::uint8_t buf[kSquishMessageHeaderSize];
  EncodeMessageHeader(currentHeader_, buf);
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(currentFrameOffset_ + kSquishFrameHeaderSize));
  dataFile_->WriteBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    return Failed(*dataFile_, Errc::kSquishFrameIoError);
  }
  // Keep the index's name hash in step with a changed recipient.
  SquishIndexRecord rec;
  if (ReadIndexRecord(messageIndexPos_, rec) && rec.Uid == messageUid_ &&
      rec.FrameOffset == currentFrameOffset_) {
    const std::uint32_t hash = SquishNameHash(ToName().view());
    if (rec.NameHash != hash) {
      rec.NameHash = hash;
      if (!WriteIndexRecord(messageIndexPos_, rec)) return false;
    }
  }
  return true;
}

}  // namespace mvx
