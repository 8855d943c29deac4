// Beginning and storing messages: the control area, the choice of a frame
// (in place, first fit from the free chain, or appended at EndFrame), and
// the order of the writes.
//
// The writes go so that a failure leaves the area readable: the frame
// first, then its index record, then the links that make it part of the
// message chain, then the base header. Until the links are written nothing
// points at the new frame; an appended frame then lies past EndFrame, where
// every program treats bytes as leftovers.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "msgbase/file_hooks.h"
#include "squish/squish_attributes.h"
#include "squish/squish_base.h"
#include "squish/squish_errors.h"
#include "squish/squish_hash.h"
#include "support/text.h"

namespace mvx {

namespace {

constexpr std::uint16_t kLineBuffer = 16384;
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
  SquishFrameHeader oldFrame;
};

bool SquishBase::BeginNewMessage() {
  if (!IsOpen()) return false;
  currentHeader_ = SquishMessageHeader{};
  currentFrame_ = SquishFrameHeader{};
  currentIndexRecord_ = SquishIndexRecord{};

  // Uids rise in record order and are never reused. NextUid normally says
  // it all; the checks keep that true in an area whose header lags behind.
  const std::int64_t live = LiveIndexBytes();
  std::uint64_t uid = std::max<std::uint64_t>(header_.NextUid, 1);
  uid = std::max<std::uint64_t>(uid, live / kSquishIndexRecordSize + 1);
  SquishIndexRecord last;
  if (live > 0 && ReadIndexRecord(live - kSquishIndexRecordSize, last)) {
    uid = std::max<std::uint64_t>(uid, std::uint64_t{last.Uid} + 1);
  }
  if (uid >= static_cast<std::uint64_t>(INT32_MAX)) {
    SetErrorCode(kSquishLimitReached);
    state_ = MessageState::kNone;
    return false;
  }
  SetCurrentNumber(static_cast<std::int32_t>(uid));
  currentHeader_.Uid = static_cast<std::uint32_t>(uid);
  currentIndexRecord_.Uid = static_cast<std::uint32_t>(uid);
  // Only the uid is taken now; the message counters rise when the message
  // is stored, so a begun message that is never stored leaves no count
  // without a message behind it.
  header_.NextUid = static_cast<std::uint32_t>(uid + 1);
  headerDirty_ = true;

  currentFrame_.FrameId = kSquishFrameId;
  currentFrameOffset_ = 0;
  currentHeader_.Attributes = kSquishAttrUidValid;
  indexPosition_ = live;
  AttachTextBuffer(NewMemoryStream());
  StampNow();
  state_ = MessageState::kNew;
  return true;
}

bool SquishBase::GatherControlArea(ControlArea& ctl) {
  std::vector<char> line(kLineBuffer);
  MoveTextTo(0);
  ctl.bodyStart = 0;
  bool lastWasControl = false;
  while (!AtTextEnd()) {
    const std::int32_t start = TextOffset();
    ctl.bodyStart = start;
    ReadTextLine(kLineBuffer, line.data());
    lastWasControl = false;
    if (static_cast<std::uint8_t>(line[0]) != 0x01) break;
    const std::size_t len = std::strlen(line.data());
    // A line end is at most two bytes (CR LF); more consumed means the line
    // did not fit the line buffer and came back cut.
    if (static_cast<std::size_t>(TextOffset() - start) > len + 2) return false;
    if (ctl.bytes.size() + len > kMaxControlBytes) return false;
    ctl.bytes.insert(ctl.bytes.end(), line.data(), line.data() + len);
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
      SetErrorCode(kSquishIndexError);
      return false;
    }
    SquishFrameHeader old;
    if (!ReadLinkable(currentFrameOffset_, old) || old.FrameType != kSquishMessageFrame ||
        !FollowedByFrame(currentFrameOffset_, old.FrameLength)) {
      SetErrorCode(kSquishBadFrame);
      return false;
    }
    place.indexPos = messageIndexPos_;
    place.prev = old.PrevFrame;
    place.next = old.NextFrame;
    if (old.FrameLength >= needed) {
      place.inPlace = true;
      place.offset = currentFrameOffset_;
      place.frameLength = old.FrameLength;
      return true;
    }
    // It grew beyond its frame: a new frame takes its place in the message
    // chain and the old one goes to the free chain.
    place.moved = true;
    place.oldOffset = currentFrameOffset_;
    place.oldFrame = old;
  } else {
    const std::int64_t live = LiveIndexBytes();
    if (live / kSquishIndexRecordSize >= kMaxMessages) {
      SetErrorCode(kSquishLimitReached);
      return false;
    }
    place.indexPos = live;
    place.prev = header_.LastFrame;
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
    SetErrorCode(kSquishLimitReached);
    return false;
  }
  place.appended = true;
  place.offset = header_.EndFrame;
  place.frameLength = static_cast<std::uint32_t>(needed);
  return true;
}

bool SquishBase::WriteMessageFrame(const Placement& place, const ControlArea& ctl) {
  bool io = true;
  if (place.reused) {
    UnlinkFrame(place.freeFrame, place.offset, kSquishFreeFrame, header_.FirstFreeFrame,
                header_.LastFreeFrame, io);
  }

  SquishFrameHeader prevFrame;
  SquishFrameHeader nextFrame;
  bool prevOk = false;
  bool nextOk = false;
  SquishFrameHeader frame;
  if (place.inPlace) {
    frame.PrevFrame = place.prev;
    frame.NextFrame = place.next;
  } else {
    // The neighbours must link to where the message was (a new message's
    // predecessor is the chain's tail and links nowhere yet); a damaged link
    // naming some other frame is not followed.
    const std::uint32_t was = place.moved ? place.oldOffset : 0;
    prevOk = place.prev != place.offset && ReadLinkable(place.prev, prevFrame) &&
             prevFrame.FrameType == kSquishMessageFrame && prevFrame.NextFrame == was;
    nextOk = place.moved && place.next != place.offset && ReadLinkable(place.next, nextFrame) &&
             nextFrame.FrameType == kSquishMessageFrame && nextFrame.PrevFrame == was;
    frame.PrevFrame = prevOk ? place.prev : 0;
    frame.NextFrame = nextOk ? place.next : 0;
  }
  frame.FrameId = kSquishFrameId;
  frame.FrameLength = place.frameLength;
  frame.MessageLength = place.messageLength;
  frame.ControlLength = static_cast<std::uint32_t>(ctl.bytes.size());
  frame.FrameType = kSquishMessageFrame;
  frame.Reserved = 0;

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

  // One run: frame header, message header, control area, body, NUL.
  const std::int32_t textLen = TextLength() - ctl.bodyStart;
  std::vector<std::uint8_t> head(kSquishFrameHeaderSize + kSquishMessageHeaderSize +
                                 ctl.bytes.size());
  EncodeFrameHeader(frame, head.data());
  EncodeMessageHeader(currentHeader_, head.data() + kSquishFrameHeaderSize);
  std::copy(ctl.bytes.begin(), ctl.bytes.end(),
            head.begin() + kSquishFrameHeaderSize + kSquishMessageHeaderSize);
  const std::uint8_t nul = 0;
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(place.offset));
  dataFile_->WriteAll(head.data(), static_cast<std::uint32_t>(head.size()));
  MoveTextTo(ctl.bodyStart);
  dataFile_->CopyFrom(*TextBuffer(), textLen);
  dataFile_->WriteBytes(&nul, 1);
  if (dataFile_->Status() != kStreamOk) {
    // Nothing links to the frame yet. A reused free frame has left the free
    // chain, which the header must record.
    dataFile_->ClearError();
    SetErrorCode(kSquishFrameIoError);
    if (place.reused) WriteBaseHeader();
    return false;
  }

  const std::uint32_t uid = state_ == MessageState::kNew ? currentHeader_.Uid : messageUid_;
  const SquishIndexRecord rec{place.offset, uid, SquishNameHash(ToName().view())};
  if (!WriteIndexRecord(place.indexPos, rec)) {
    SetErrorCode(kSquishIndexError);
    if (place.reused) WriteBaseHeader();
    return false;
  }

  if (!place.inPlace) {
    // A chain end moves to the new frame when nothing precedes (follows) it:
    // for a moved message only if that end named its old frame.
    if (prevOk) {
      prevFrame.NextFrame = place.offset;
      if (!WriteFrame(prevFrame, place.prev)) io = false;
    } else if (!place.moved || header_.FirstFrame == place.oldOffset) {
      header_.FirstFrame = place.offset;
    }
    if (nextOk) {
      nextFrame.PrevFrame = place.offset;
      if (!WriteFrame(nextFrame, place.next)) io = false;
    } else if (!place.moved || header_.LastFrame == place.oldOffset) {
      header_.LastFrame = place.offset;
    }
    if (place.moved) AppendToFreeChain(place.oldOffset, place.oldFrame, io);
  }

  if (place.appended) {
    header_.EndFrame = place.offset + kSquishFrameHeaderSize + place.frameLength;
  }
  if (state_ == MessageState::kNew) {
    header_.MessageTotal =
        static_cast<std::uint32_t>(place.indexPos / kSquishIndexRecordSize + 1);
  }
  header_.HighestMessage = header_.MessageTotal;
  headerDirty_ = true;
  if (!WriteBaseHeader()) io = false;

  // From here on the message has its frame: storing it again rewrites it.
  state_ = MessageState::kStored;
  currentFrame_ = frame;
  currentFrameOffset_ = place.offset;
  messageIndexPos_ = place.indexPos;
  messageUid_ = uid;
  indexPosition_ = place.indexPos;
  currentIndexRecord_ = rec;
  return io;
}

bool SquishBase::StoreMessage() {
  if (!IsOpen() || !dataFile_ || !TextBuffer()) return false;
  // A message loaded without its body would lose the body if stored whole.
  if (state_ != MessageState::kNew && state_ != MessageState::kStored) return false;

  ControlArea ctl;
  if (!GatherControlArea(ctl)) {
    SetErrorCode(kSquishBadFrame);
    return false;
  }
  const std::int64_t textLen = std::int64_t{TextLength()} - ctl.bodyStart;
  const std::uint64_t needed = kSquishMessageHeaderSize + ctl.bytes.size() +
                               static_cast<std::uint64_t>(std::max<std::int64_t>(textLen, 0)) + 1;
  if (needed > static_cast<std::uint64_t>(INT32_MAX)) {
    SetErrorCode(kSquishLimitReached);
    return false;
  }
  const std::int64_t dataSize = DataSize();
  if (dataSize < 0 || !AreaIsWritable(dataSize)) {
    SetErrorCode(kSquishDamagedArea);
    return false;
  }
  Placement place;
  if (!PlaceMessage(needed, dataSize, place)) return false;
  return WriteMessageFrame(place, ctl);
}

bool SquishBase::StoreHeaderOnly() {
  // Only a message that has a frame has a header to rewrite; a begun
  // message that was never stored has none (and offset 0 is the base
  // header).
  if (!IsOpen() || !dataFile_) return false;
  if (state_ != MessageState::kStored && state_ != MessageState::kHeaderOnly) return false;
  SquishFrameHeader f;
  if (!ReadLinkable(currentFrameOffset_, f) || f.FrameType != kSquishMessageFrame ||
      f.FrameLength < kSquishMessageHeaderSize) {
    SetErrorCode(kSquishBadFrame);
    return false;
  }
  std::uint8_t buf[kSquishMessageHeaderSize];
  EncodeMessageHeader(currentHeader_, buf);
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(currentFrameOffset_ + kSquishFrameHeaderSize));
  dataFile_->WriteBytes(buf, sizeof buf);
  if (dataFile_->Status() != kStreamOk) {
    dataFile_->ClearError();
    SetErrorCode(kSquishFrameIoError);
    return false;
  }
  // Keep the index's name hash in step with a changed recipient.
  SquishIndexRecord rec;
  if (ReadIndexRecord(messageIndexPos_, rec) && rec.Uid == messageUid_ &&
      rec.FrameOffset == currentFrameOffset_) {
    const std::uint32_t hash = SquishNameHash(ToName().view());
    if (rec.NameHash != hash) {
      rec.NameHash = hash;
      if (!WriteIndexRecord(messageIndexPos_, rec)) {
        SetErrorCode(kSquishIndexError);
        return false;
      }
    }
  }
  return true;
}

}  // namespace mvx
