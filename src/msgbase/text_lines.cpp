// The text of the current message: line reading and writing, and the plain
// pass-throughs to the text buffer stream.
//
// Every operation here needs a text buffer. Without one (no message begun or
// loaded) the text behaves as empty: reads give nothing, AtTextEnd is true,
// offsets and lengths are 0 and writes go nowhere. That is a caller's mistake,
// but it must not take the process down through a null stream.
#include <algorithm>
#include <cstring>
#include <string>

#include "msgbase/message_base.h"

namespace mvx {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

}  // namespace

void MessageBase::ReadTextLine(std::uint16_t maxLen, char* buffer) {
  // With maxLen 0 the caller has no room even for the terminating 0: nothing
  // is written, but the line is still consumed as with a limit of 1.
  const bool canWrite = maxLen > 0 && buffer != nullptr;
  const std::int32_t limit = maxLen > 0 ? maxLen - 1 : 0;
  std::int32_t copied = 0;
  if (canWrite) buffer[0] = '\0';

  DataStream* text = textBuffer_.get();
  if (text == nullptr) return;
  std::int32_t pos = text->Position();
  const std::int32_t size = text->Size();
  if (!text->Status().ok() || pos < 0 || pos >= size) return;

  std::uint8_t block[kReadBlock];
  auto keep = [&](const std::uint8_t* from, std::int32_t count) {
    const std::int32_t n = std::min(count, limit - copied);
    if (n > 0 && canWrite) std::memcpy(buffer + copied, from, static_cast<std::size_t>(n));
    if (n > 0) copied += n;
  };

  while (pos < size) {
    // Never read past the logical end: a memory stream's bytes beyond it are
    // whatever its buffer held.
    const auto n = static_cast<std::uint16_t>(std::min<std::int32_t>(kReadBlock, size - pos));
    text->ReadBytes(block, n);
    if (!text->Status().ok()) {
      // A failed stream reads zeros; treat the failure as the end of the text.
      pos = size;
      break;
    }
    const std::uint8_t* end = block + n;
    const std::uint8_t* hit =
        std::find_if(static_cast<const std::uint8_t*>(block), end,
                     [](std::uint8_t c) { return c == kCr || c == 0; });
    if (hit == end) {
      keep(block, n);
      pos += n;
      continue;
    }
    const auto i = static_cast<std::int32_t>(hit - block);
    keep(block, i);
    pos += i + 1;
    // The LF of a CR LF pair belongs to this line, also when the CR was the
    // last byte of the block.
    if (i + 1 < n) {
      if (block[i + 1] == kLf) ++pos;
    } else if (pos < size) {
      std::uint8_t next = 0;
      text->ReadBytes(&next, 1);
      if (text->Status().ok() && next == kLf) ++pos;
    }
    break;
  }
  text->SeekTo(pos);
  if (canWrite) buffer[copied] = '\0';
}

void MessageBase::ReadTextLineStr(Str& line) {
  char buffer[256];
  ReadTextLine(sizeof buffer, buffer);
  line = Str(std::string_view(buffer, std::strlen(buffer)));
}

void MessageBase::AppendTextLine(const char* line) {
  DataStream* text = textBuffer_.get();
  if (text == nullptr) return;
  if (line != nullptr) text->WriteAll(line, static_cast<std::uint32_t>(std::strlen(line)));
  const std::uint8_t cr = kCr;
  text->WriteBytes(&cr, 1);
}

void MessageBase::AppendTextLineStr(const Str& line) {
  // c_str() is the zero-terminated copy: a 0 byte inside the string ends
  // what is written.
  AppendTextLine(line.c_str());
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
