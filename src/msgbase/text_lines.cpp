// The text of the current message: line reading and writing, and the plain
// pass-throughs to the text buffer stream.
//
// Every operation here needs a text buffer. Without one (no message begun or
// loaded) the text behaves as empty: reads give nothing, AtTextEnd is true,
// offsets and lengths are 0 and writes go nowhere. That is a caller's mistake,
// but it must not take the process down through a null stream.
#include <cstring>
#include <string>

#include "msgbase/line_reader.h"
#include "msgbase/message_base.h"

namespace mvx {

void MessageBase::ReadTextLine(std::string& line, std::size_t maxLen) {
  if (textBuffer_) {
    ReadStreamLine(*textBuffer_, line, maxLen);
  } else {
    line.clear();
  }
}

void MessageBase::AppendTextLine(std::string_view line) {
  DataStream* text = textBuffer_.get();
  if (text == nullptr) return;
  // A 0 byte would end the line for every reader: what follows it is not
  // written.
  line = line.substr(0, line.find('\0'));
  text->WriteAll(line.data(), static_cast<std::uint32_t>(line.size()));
  const std::uint8_t cr = 0x0D;
  text->WriteBytes(&cr, 1);
}

// At or beyond the end: a position moved past the end must not make a caller
// that reads "until AtTextEnd" loop for ever. A failed stream counts as ended
// too: ReadTextLine reads nothing from it, so the position would never move.
bool MessageBase::AtTextEnd() {
  DataStream* text = textBuffer_.get();
  if (text == nullptr || !text->Status().ok()) return true;
  return text->Position() >= text->Size();
}

void MessageBase::MoveTextTo(std::int32_t offset) {
  if (textBuffer_) textBuffer_->SeekTo(offset);
}

std::int32_t MessageBase::TextOffset() { return textBuffer_ ? textBuffer_->Position() : 0; }

std::int32_t MessageBase::TextLength() { return textBuffer_ ? textBuffer_->Size() : 0; }

void MessageBase::CutTextHere() {
  if (textBuffer_) textBuffer_->TruncateHere();
}

void MessageBase::ReadTextBytes(std::uint16_t count, void* buffer) {
  if (textBuffer_) {
    textBuffer_->ReadBytes(buffer, count);
  } else if (count > 0) {
    std::memset(buffer, 0, count);
  }
}

void MessageBase::WriteTextBytes(std::uint16_t count, const void* buffer) {
  if (textBuffer_) textBuffer_->WriteBytes(buffer, count);
}

}  // namespace mvx
