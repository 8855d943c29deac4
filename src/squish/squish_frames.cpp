// Frame headers in the .SQD and the two doubly linked chains through them.
//
// A damaged file can point a link anywhere: into a message body, at the
// base header, past the end. A frame header is only ever rewritten after it
// has been read back as a frame (frame id, placed after the base header, its
// body inside the file), so a bad link never makes us scribble over data.

#include <cstdint>

#include "squish/squish_base.h"
#include "squish/squish_errors.h"

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
    SetErrorCode(kSquishFrameIoError);
    return false;
  }
  std::uint8_t buf[kSquishFrameHeaderSize];
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(offset));
  dataFile_->ReadBytes(buf, sizeof buf);
  if (dataFile_->Status() != kStreamOk) {
    dataFile_->ClearError();
    SetErrorCode(kSquishFrameIoError);
    return false;
  }
  f = DecodeFrameHeader(buf);
  return true;
}

bool SquishBase::WriteFrame(const SquishFrameHeader& f, std::uint32_t offset) {
  // Frames start after the base header; a write below it would destroy the
  // header.
  if (offset < kSquishBaseHeaderSize || offset > static_cast<std::uint32_t>(INT32_MAX) ||
      !dataFile_) {
    SetErrorCode(kSquishFrameIoError);
    return false;
  }
  std::uint8_t buf[kSquishFrameHeaderSize];
  EncodeFrameHeader(f, buf);
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(offset));
  dataFile_->WriteBytes(buf, sizeof buf);
  if (dataFile_->Status() != kStreamOk) {
    dataFile_->ClearError();
    SetErrorCode(kSquishFrameIoError);
    return false;
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

bool SquishBase::SetNextOf(std::uint32_t at, std::uint32_t to, bool& io) {
  SquishFrameHeader f;
  if (!ReadLinkable(at, f)) return false;
  f.NextFrame = to;
  if (!WriteFrame(f, at)) io = false;
  return true;
}

bool SquishBase::SetPrevOf(std::uint32_t at, std::uint32_t to, bool& io) {
  SquishFrameHeader f;
  if (!ReadLinkable(at, f)) return false;
  f.PrevFrame = to;
  if (!WriteFrame(f, at)) io = false;
  return true;
}

void SquishBase::UnlinkFrame(const SquishFrameHeader& f, std::uint32_t& head,
                             std::uint32_t& tail, bool& io) {
  if (!SetNextOf(f.PrevFrame, f.NextFrame, io)) head = f.NextFrame;
  if (!SetPrevOf(f.NextFrame, f.PrevFrame, io)) tail = f.PrevFrame;
  headerDirty_ = true;
}

void SquishBase::AppendToFreeChain(std::uint32_t offset, SquishFrameHeader f, bool& io) {
  // The frame keeps its length and its old contents; only its header says
  // it is free now.
  f.NextFrame = 0;
  f.FrameType = kSquishFreeFrame;
  if (SetNextOf(header_.LastFreeFrame, offset, io)) {
    f.PrevFrame = header_.LastFreeFrame;
  } else {
    f.PrevFrame = 0;
    header_.FirstFreeFrame = offset;
  }
  header_.LastFreeFrame = offset;
  headerDirty_ = true;
  if (!WriteFrame(f, offset)) io = false;
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
  return true;
}

bool SquishBase::FindFreeFrame(std::uint64_t needed, std::int64_t dataSize,
                               std::uint32_t& offset, SquishFrameHeader& f) {
  // A chain that loops (a damaged file) must not keep us here: no chain can
  // hold more frames than the file has room for.
  const std::int64_t maxSteps = dataSize / kSquishFrameHeaderSize + 1;
  std::uint32_t at = header_.FirstFreeFrame;
  for (std::int64_t step = 0; at != 0 && step < maxSteps; ++step) {
    if (!ReadLinkable(at, f) || f.FrameType != kSquishFreeFrame ||
        at + std::uint64_t{kSquishFrameHeaderSize} + f.FrameLength > header_.EndFrame) {
      return false;  // a broken free chain: append instead
    }
    if (f.FrameLength >= needed) {
      offset = at;
      return true;
    }
    at = f.NextFrame;
  }
  return false;
}

}  // namespace mvx
