// Control lines (kludges): finding, replacing, deleting and inserting lines by
// their leading bytes, so that each control line occurs once and the control
// lines stay together at the top of the text.
//
// Edits in the middle of the text move the tail once into a temporary memory
// stream and once back; the text is never rebuilt line by line. Every edit
// leaves the text position at the end of the text, so lines appended
// afterwards follow everything already there.
#include <cstring>
#include <memory>
#include <vector>

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
    if (!saved || saved->Status() != kStreamOk) {
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

bool MessageBase::FindLinePrefix(const char* key, std::uint16_t maxLen, char* buffer) {
  const std::size_t n = key != nullptr ? std::strlen(key) : 0;
  MoveTextTo(0);
  for (;;) {
    if (AtTextEnd()) return false;
    foundLineStart_ = TextOffset();
    ReadTextLine(maxLen, buffer);
    // The buffer holds at most maxLen - 1 bytes, so a key longer than that
    // never matches, and the comparison stays inside the line read.
    if (buffer != nullptr && maxLen > 0 && std::strlen(buffer) >= n &&
        (n == 0 || std::memcmp(buffer, key, n) == 0)) {
      foundLineEnd_ = TextOffset();
      return true;
    }
  }
}

bool MessageBase::FindControlLine(const Str& key, Str& line) {
  char buffer[255];
  const bool found = FindLinePrefix(key.c_str(), sizeof buffer, buffer);
  // When the text is empty nothing was read into the buffer at all.
  if (TextLength() > 0) line = Str(std::string_view(buffer, std::strlen(buffer)));
  return found;
}

void MessageBase::ReplaceLinePrefix(const char* key, const char* line) {
  // The edit buffer keeps only the first 16383 bytes of a longer line, which
  // is enough to compare the key; the splice works on the stream offsets.
  std::vector<char> buffer(kEditLineBuffer);
  if (!FindLinePrefix(key, kEditLineBuffer, buffer.data())) {
    InsertControlLineC(line);
    return;
  }
  SpliceText(foundLineStart_, foundLineEnd_, [&] { AppendTextLine(line); });
}

void MessageBase::ReplaceControlLine(const Str& key, const Str& line) {
  ReplaceLinePrefix(key.c_str(), line.c_str());
}

void MessageBase::DeleteLinePrefix(const char* key) {
  std::vector<char> buffer(kEditLineBuffer);
  if (!FindLinePrefix(key, kEditLineBuffer, buffer.data())) return;
  SpliceText(foundLineStart_, foundLineEnd_, [] {});
}

void MessageBase::DeleteControlLine(const Str& key) { DeleteLinePrefix(key.c_str()); }

std::int32_t MessageBase::ControlBlockEnd() {
  std::int32_t result = TextLength();
  bool seen = false;
  // Only the first byte of each line matters here; a two-byte buffer gives it
  // and the reader skips the rest of the line just the same.
  char first[2];
  MoveTextTo(0);
  while (!AtTextEnd()) {
    const std::int32_t lineStart = TextOffset();
    ReadTextLine(sizeof first, first);
    if (first[0] == kControlByte) {
      seen = true;
    } else if (seen) {
      result = lineStart;
      break;
    }
  }
  return result;
}

void MessageBase::InsertControlLineC(const char* line) {
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

void MessageBase::InsertControlLine(const Str& line) { InsertControlLineC(line.c_str()); }

}  // namespace mvx
