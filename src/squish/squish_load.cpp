// Loading the current message: its frame and message header, its control
// lines and (for LoadMessage) its body.
//
// Every length comes from a file that may be damaged or hostile, so each is
// checked against the frame and the file before anything is read with it.

#include <cstdint>
#include <vector>

#include "msgbase/env.h"
#include "squish/squish_base.h"
#include "squish/squish_control.h"

namespace mvx {

namespace {

// Loading accepts control information up to this size, its NUL included.
constexpr std::uint32_t kMaxControlLength = 65519;

}  // namespace

bool SquishBase::DoLoadMessage() { return LoadCurrent(true); }

bool SquishBase::DoLoadHeaderAndKludges() { return LoadCurrent(false); }

bool SquishBase::DoReleaseMessage() {
  if (!TextBuffer()) return false;
  AttachTextBuffer(nullptr);
  return true;
}

bool SquishBase::LoadCurrent(bool withBody) {
  DoReleaseMessage();
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  if (!IsOpen() || !dataFile_) return false;

  const std::uint32_t offset = currentIndexRecord_.FrameOffset;
  if (offset < kSquishBaseHeaderSize) {
    // No frame can lie there (0 means none; below 256 is the base header).
    SetErrorCode(Errc::kSquishBadFrame);
    return false;
  }
  SquishFrameHeader f;
  if (!ReadFrame(offset, f)) return false;  // 0x3008 set
  if (f.FrameId != kSquishFrameId || f.FrameType != kSquishMessageFrame) {
    SetErrorCode(Errc::kSquishBadFrame);
    return false;
  }
  const std::int64_t size = DataSize();
  const std::uint64_t bodyStart = std::uint64_t{offset} + kSquishFrameHeaderSize;
  if (size < 0 || f.MessageLength > f.FrameLength ||
      bodyStart + f.FrameLength > static_cast<std::uint64_t>(size) ||
      std::uint64_t{kSquishMessageHeaderSize} + f.ControlLength > f.MessageLength ||
      f.ControlLength > kMaxControlLength) {
    SetErrorCode(Errc::kSquishBadFrame);
    return false;
  }

  std::uint8_t head[kSquishMessageHeaderSize];
  std::vector<std::uint8_t> control(f.ControlLength);
  dataFile_->ClearError();
  dataFile_->SeekTo(static_cast<std::int32_t>(bodyStart));
  dataFile_->ReadBytes(head, sizeof head);
  dataFile_->ReadAll(control.data(), f.ControlLength);
  if (!dataFile_->Status().ok()) {
    dataFile_->ClearError();
    SetErrorCode(Errc::kSquishFrameIoError);
    return false;
  }

  AttachTextBuffer(env().NewMemoryStream(65536));
  const std::vector<std::uint8_t> lines = ControlAreaToLines(control.data(), control.size());
  TextBuffer()->WriteAll(lines.data(), static_cast<std::uint32_t>(lines.size()));
  if (withBody) {
    // The text and the NUL that ends it; the NUL is dropped below (a writer
    // that left it out loses no character).
    const std::int32_t textLen =
        static_cast<std::int32_t>(f.MessageLength - kSquishMessageHeaderSize - f.ControlLength);
    TextBuffer()->CopyFrom(*dataFile_, textLen);
    if (!dataFile_->Status().ok()) {
      dataFile_->ClearError();
      AttachTextBuffer(nullptr);
      SetErrorCode(Errc::kSquishFrameIoError);
      return false;
    }
    const std::int32_t end = TextLength();
    if (textLen > 0) {
      std::uint8_t last = 0xFF;
      MoveTextTo(end - 1);
      ReadTextBytes(1, &last);
      if (last == 0) {
        MoveTextTo(end - 1);
        CutTextHere();
      }
    }
  }
  MoveTextTo(0);

  currentFrame_ = f;
  currentHeader_ = DecodeMessageHeader(head);
  currentFrameOffset_ = offset;
  messageIndexPos_ = indexPosition_;
  messageUid_ = currentIndexRecord_.Uid;
  state_ = withBody ? MessageState::kStored : MessageState::kHeaderOnly;
  return true;
}

}  // namespace mvx
