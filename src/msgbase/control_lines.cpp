// Control lines (kludges): finding, replacing, deleting and inserting lines by
// their leading bytes, so that each control line occurs once and the control
// lines stay together at the top of the text.
//
// Edits in the middle of the text move the tail once into a temporary memory
// stream and once back; the text is never rebuilt line by line. Every edit
// leaves the text position at the end of the text, so lines appended
// afterwards follow everything already there.
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "msgbase/message_base.h"

namespace mvx {

namespace {

constexpr char kControlByte = 0x01;

}  // namespace

template <typename WriteFn>
void MessageBase::SpliceText(std::int32_t at, std::int32_t from, WriteFn write) {
  DataStream* text = textBuffer_.get();
  if (text == nullptr) return;
  const std::int32_t tail = text->Size() - from;
  std::unique_ptr<DataStream> saved;
  if (tail > 0) {
    saved = env_.NewMemoryStream(65536);
    if (saved) {
      text->SeekTo(from);
      saved->CopyFrom(*text, tail);
    }
    // A tail that could not be saved whole would come back as zeros: leave
    // the text as it is rather than overwrite it.
    if (!saved || !saved->Status().ok()) {
      text->SeekTo(text->Size());
      return;
    }
  }
  text->SeekTo(at);
  write();
  if (saved) {
    saved->SeekTo(0);
    text->CopyFrom(*saved, tail);
  }
  text->TruncateHere();
}

bool MessageBase::FindControlLine(std::string_view key, std::string& line) {
  std::string read;
  MoveTextTo(0);
  while (!AtTextEnd()) {
    foundLineStart_ = TextOffset();
    ReadTextLine(read, std::string::npos);
    if (read.starts_with(key)) {
      foundLineEnd_ = TextOffset();
      line = std::move(read);
      return true;
    }
  }
  return false;
}

void MessageBase::ReplaceControlLine(std::string_view key, std::string_view line) {
  std::string found;
  if (!FindControlLine(key, found)) {
    InsertControlLine(line);
    return;
  }
  SpliceText(foundLineStart_, foundLineEnd_, [&] { AppendTextLine(line); });
}

void MessageBase::DeleteControlLine(std::string_view key) {
  std::string found;
  if (!FindControlLine(key, found)) return;
  SpliceText(foundLineStart_, foundLineEnd_, [] {});
}

std::int32_t MessageBase::ControlBlockEnd() {
  std::int32_t result = TextLength();
  bool seen = false;
  // Only the first byte of each line matters here; the reader skips the rest
  // of the line just the same.
  std::string first;
  MoveTextTo(0);
  while (!AtTextEnd()) {
    const std::int32_t lineStart = TextOffset();
    ReadTextLine(first, 1);
    if (first.starts_with(kControlByte)) {
      seen = true;
    } else if (seen) {
      result = lineStart;
      break;
    }
  }
  return result;
}

void MessageBase::InsertControlLine(std::string_view line) {
  const std::int32_t at = ControlBlockEnd();
  const std::int32_t length = TextLength();
  if (at < length) {
    SpliceText(at, at, [&] { AppendTextLine(line); });
    return;
  }
  MoveTextTo(length);
  // A text whose last line has no line end (a loaded message, say) would
  // otherwise have the control line glued onto that line.
  if (length > 0) {
    std::uint8_t last = 0;
    MoveTextTo(length - 1);
    ReadTextBytes(1, &last);
    MoveTextTo(length);
    if (last != 0x0D && last != 0x0A && last != 0x00) AppendTextLine("");
  }
  AppendTextLine(line);
}

}  // namespace mvx
