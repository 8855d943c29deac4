// Frame headers in the .SQD and the two doubly linked chains through them.
//
// A damaged file can point a link anywhere: into a message body, at the
// base header, past the end. A frame header is only ever rewritten after it
// has been read back as a frame (frame id, placed after the base header, its
// body inside the file), so a bad link never makes us scribble over data.

#include <cstdint>

#include "squish/squish_base.h"
#include "support/le_bytes.h"

namespace mvx {

std::int64_t SquishBase::DataSize() {
  if (!dataFile_) return -1;
  dataFile_->ClearError();
  const std::int64_t size = dataFile_->Size();
  if (size < 0) dataFile_->ClearError();
  return size;
}

bool SquishBase::ReadFrame(std::uint32_t offset, SquishFrameHeader& f) {
  if (offset == 0 || !dataFile_) return false;
  if (offset > static_cast<std::uint32_t>(INT32_MAX)) {
    SetErrorCode(Errc::kSquishFrameIoError);
    return false;
  }
  std::uint8_t buf[kSquishFrameHeaderSize];
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(offset));
  dataFile_->ReadBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    return Failed(*dataFile_, Errc::kSquishFrameIoError);
  }
  f = DecodeFrameHeader(buf);
  return true;
}

bool SquishBase::WriteFrame(const SquishFrameHeader& f, std::uint32_t offset) {
  // Frames start after the base header; a write below it would destroy the
  // header.
  if (offset < kSquishBaseHeaderSize || offset > static_cast<std::uint32_t>(INT32_MAX) ||
      !dataFile_) {
    SetErrorCode(Errc::kSquishFrameIoError);
    return false;
  }
  std::uint8_t buf[kSquishFrameHeaderSize];
  EncodeFrameHeader(f, buf);
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(offset));
  dataFile_->WriteBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    return Failed(*dataFile_, Errc::kSquishFrameIoError);
  }
  return true;
}

bool SquishBase::ReadLinkable(std::uint32_t offset, SquishFrameHeader& f) {
  if (offset < kSquishBaseHeaderSize) return false;
  const std::int64_t size = DataSize();
  if (size < 0 || offset + std::int64_t{kSquishFrameHeaderSize} > size) return false;
  if (!ReadFrame(offset, f)) return false;
  return f.FrameId == kSquishFrameId &&
         offset + std::int64_t{kSquishFrameHeaderSize} + f.FrameLength <= size;
}

bool SquishBase::WriteLink(std::uint32_t at, Link which, std::uint32_t to) {
  // Only the link itself is written: a write cut short can then spoil no
  // other field of the header.
  if (at < kSquishBaseHeaderSize || at > static_cast<std::uint32_t>(INT32_MAX) - 12 ||
      !dataFile_) {
    SetErrorCode(Errc::kSquishFrameIoError);
    return false;
  }
  std::uint8_t buf[4];
  PutU32(buf, to);
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(at + (which == Link::kNext ? 4 : 8)));
  dataFile_->WriteBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    return Failed(*dataFile_, Errc::kSquishFrameIoError);
  }
  return true;
}

bool SquishBase::ReadChainFrame(std::uint32_t offset, std::uint16_t type, SquishFrameHeader& f) {
  return ReadLinkable(offset, f) && f.FrameType == type;
}

bool SquishBase::ReadFrameUid(std::uint32_t offset, std::uint32_t& uid) {
  SquishFrameHeader f;
  if (!ReadLinkable(offset, f) || f.FrameLength < kSquishMessageHeaderSize) return false;
  std::uint8_t buf[4];
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(offset + kSquishFrameHeaderSize + 214));
  dataFile_->ReadBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    dataFile_->ClearError();
    return false;
  }
  uid = GetU32(buf);
  return true;
}

bool SquishBase::TakeFromFreeChain(const SquishFrameHeader& f) {
  // The back link goes first: until the forward link is rewritten too, a
  // program walking the chain for a frame to fill (they walk forwards)
  // still finds this one, and the header's ends change last.
  const std::uint32_t prev = f.PrevFrame;
  const std::uint32_t next = f.NextFrame;
  if (next != 0 && !WriteLink(next, Link::kPrev, prev)) return false;
  if (prev != 0 && !WriteLink(prev, Link::kNext, next)) return false;
  if (prev != 0 && next != 0) return true;
  SquishBaseHeader h = header_;
  if (prev == 0) h.FirstFreeFrame = next;
  if (next == 0) h.LastFreeFrame = prev;
  return CommitHeader(h);
}

bool SquishBase::ReturnToFreeChain(std::uint32_t offset) {
  // The frame is in no chain yet, so its own header is rewritten first
  // (nobody reads it); then the chain's last frame links to it, then the
  // base header names it. A free chain whose last frame is not a sound
  // free frame is started afresh with this one, as if it were empty: its
  // frames are lost to reuse, but nothing live is written over.
  SquishFrameHeader f;
  if (!ReadLinkable(offset, f)) return Damaged();
  bool live = false;
  if (!FrameIsLive(offset, live)) {
    SetErrorCode(Errc::kSquishIndexError);
    return false;
  }
  if (live || header_.FirstFrame == offset || header_.LastFrame == offset) return Damaged();
  const std::uint32_t tail = header_.LastFreeFrame;
  if (tail == offset) return f.FrameType == kSquishFreeFrame || Damaged();
  SquishFrameHeader t;
  const bool tailSound = tail != 0 && ReadChainFrame(tail, kSquishFreeFrame, t) &&
                         (t.NextFrame == 0 || t.NextFrame == offset);
  const std::uint32_t after = tailSound ? tail : 0;
  if (f.FrameType == kSquishMessageFrame) {
    f.FrameType = kSquishFreeFrame;
    f.NextFrame = 0;
    f.PrevFrame = after;
    if (!WriteFrame(f, offset)) return false;
  } else if (f.FrameType != kSquishFreeFrame || f.NextFrame != 0 || f.PrevFrame != after) {
    return Damaged();
  }
  if (tailSound && t.NextFrame == 0 && !WriteLink(tail, Link::kNext, offset)) return false;
  SquishBaseHeader h = header_;
  h.LastFreeFrame = offset;
  if (!tailSound) h.FirstFreeFrame = offset;
  return CommitHeader(h);
}

bool SquishBase::FollowedByFrame(std::uint32_t offset, std::uint32_t frameLength) {
  // Frames lie back to back up to EndFrame, so a frame's end is either
  // EndFrame or where the next frame's header starts. A length that says
  // otherwise reaches into a neighbour, and writing that much would
  // overwrite it.
  const std::uint64_t end = std::uint64_t{offset} + kSquishFrameHeaderSize + frameLength;
  if (end == header_.EndFrame) return true;
  if (end > header_.EndFrame) return false;
  SquishFrameHeader next;
  return ReadFrame(static_cast<std::uint32_t>(end), next) && next.FrameId == kSquishFrameId;
}

bool SquishBase::AreaIsWritable(std::int64_t dataSize) {
  const SquishBaseHeader& h = header_;
  // EndFrame is where new frames go: it must lie after the header and not
  // past the end of the file (bytes after it are leftovers of an interrupted
  // write and may be overwritten).
  if (h.EndFrame < kSquishBaseHeaderSize || h.EndFrame > dataSize) return false;
  const std::uint32_t ends[] = {h.FirstFrame, h.LastFrame, h.FirstFreeFrame, h.LastFreeFrame};
  for (std::uint32_t off : ends) {
    if (off != 0 && (off < kSquishBaseHeaderSize ||
                     off + std::uint64_t{kSquishFrameHeaderSize} > h.EndFrame)) {
      return false;
    }
  }
  if ((h.FirstFrame == 0) != (h.LastFrame == 0)) return false;
  if ((h.FirstFreeFrame == 0) != (h.LastFreeFrame == 0)) return false;
  // The last frame of each chain must end at or before EndFrame, or a frame
  // appended at EndFrame would overwrite it.
  struct Tail {
    std::uint32_t offset;
    std::uint16_t type;
  };
  const Tail tails[] = {{h.LastFrame, kSquishMessageFrame}, {h.LastFreeFrame, kSquishFreeFrame}};
  for (const Tail& t : tails) {
    if (t.offset == 0) continue;
    SquishFrameHeader f;
    if (!ReadFrame(t.offset, f)) return false;
    if (f.FrameId != kSquishFrameId || f.FrameType != t.type || f.NextFrame != 0) return false;
    if (t.offset + std::uint64_t{kSquishFrameHeaderSize} + f.FrameLength > h.EndFrame) {
      return false;
    }
  }
  // In a sound area EndFrame is the file size and nothing can lie past it.
  // Bytes after an EndFrame below the size are leftovers only if no frame
  // in use lies there; a chain's last frame need not be the file's last.
  return h.EndFrame == dataSize || NothingLivesPastEnd(dataSize);
}

bool SquishBase::NothingLivesPastEnd(std::int64_t dataSize) {
  const std::uint32_t end = header_.EndFrame;
  // Every live message: its frame must start before EndFrame, and the one
  // that starts last must also end there or before.
  std::uint32_t highest = 0;
  if (!HighestLiveFrame(highest)) return false;
  if (highest >= end) return false;
  SquishFrameHeader f;
  if (highest >= kSquishBaseHeaderSize && ReadFrame(highest, f) && f.FrameId == kSquishFrameId &&
      highest + std::uint64_t{kSquishFrameHeaderSize} + f.FrameLength > end) {
    return false;
  }
  // Every free frame: one that ran past EndFrame would later be handed out
  // over the frame appended there.
  const std::int64_t maxSteps = dataSize / kSquishFrameHeaderSize + 1;
  std::uint32_t at = header_.FirstFreeFrame;
  for (std::int64_t step = 0; at != 0 && step < maxSteps; ++step) {
    if (!ReadFrame(at, f) || f.FrameId != kSquishFrameId) break;
    if (at + std::uint64_t{kSquishFrameHeaderSize} + f.FrameLength > end) return false;
    at = f.NextFrame;
  }
  return true;
}

bool SquishBase::FindFreeFrame(std::uint64_t needed, std::int64_t dataSize,
                               std::uint32_t& offset, SquishFrameHeader& f) {
  // A chain that loops (a damaged file) must not keep us here: no chain can
  // hold more frames than the file has room for.
  const std::int64_t maxSteps = dataSize / kSquishFrameHeaderSize + 1;
  std::uint32_t at = header_.FirstFreeFrame;
  std::uint32_t prev = 0;
  for (std::int64_t step = 0; at != 0 && step < maxSteps; ++step) {
    if (!ReadLinkable(at, f) || f.FrameType != kSquishFreeFrame || f.PrevFrame != prev ||
        at + std::uint64_t{kSquishFrameHeaderSize} + f.FrameLength > header_.EndFrame) {
      return false;  // a broken free chain: append instead
    }
    if (f.FrameLength >= needed) {
      // A length that reaches into the next frame would make us write over
      // it: leave such a frame alone. So is a frame whose successor does
      // not link back: taking it out of the chain would go wrong.
      SquishFrameHeader n;
      const bool linked = f.NextFrame == 0
                              ? header_.LastFreeFrame == at
                              : f.NextFrame != at && ReadChainFrame(f.NextFrame, kSquishFreeFrame, n) &&
                                    n.PrevFrame == at;
      if (!linked || !FollowedByFrame(at, f.FrameLength)) return false;
      offset = at;
      return true;
    }
    prev = at;
    at = f.NextFrame;
  }
  return false;
}

}  // namespace mvx
