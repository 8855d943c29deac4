// Deleting the current message: out of the message chain and the index,
// its frame to the end of the free chain (keeping its length and contents).

#include <cstdint>

#include "squish/squish_base.h"
#include "squish/squish_errors.h"

namespace mvx {

bool SquishBase::DeleteMessage() {
  if (!IsOpen() || !dataFile_) return false;
  // The current index record must still be the one positioned on: a stale
  // position would delete some other message.
  const std::int64_t pos = indexPosition_;
  SquishIndexRecord rec;
  if (pos < 0 || pos % kSquishIndexRecordSize != 0 || pos >= LiveIndexBytes() ||
      !ReadIndexRecord(pos, rec) || rec.Uid != currentIndexRecord_.Uid ||
      rec.FrameOffset != currentIndexRecord_.FrameOffset) {
    SetErrorCode(kSquishIndexError);
    return false;
  }
  // Only a sound message frame is relinked: unlinking a zeroed or foreign
  // header would cut the chains.
  const std::uint32_t offset = rec.FrameOffset;
  SquishFrameHeader f;
  if (!ReadLinkable(offset, f) || f.FrameType != kSquishMessageFrame) {
    SetErrorCode(kSquishBadFrame);
    return false;
  }

  const std::int64_t live = LiveIndexBytes();
  if (!RemoveIndexRecord(pos)) {
    SetErrorCode(kSquishIndexError);
    return false;
  }
  bool io = true;
  UnlinkFrame(f, offset, kSquishMessageFrame, header_.FirstFrame, header_.LastFrame, io);
  AppendToFreeChain(offset, f, io);
  header_.MessageTotal = static_cast<std::uint32_t>(live / kSquishIndexRecordSize - 1);
  header_.HighestMessage = header_.MessageTotal;
  headerDirty_ = true;
  if (!WriteBaseHeader()) io = false;

  // The deleted message can no longer be stored; the position moves back so
  // that the next StepForward reaches the record that followed it.
  if (currentFrameOffset_ == offset) {
    state_ = MessageState::kNone;
    currentFrameOffset_ = 0;
  }
  indexPosition_ -= kSquishIndexRecordSize;
  return io;
}

}  // namespace mvx
