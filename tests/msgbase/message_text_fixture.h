// Helpers for the text-layer tests: a plain MessageBase used as a line reader
// over a memory stream that holds literal bytes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "msgbase/file_hooks.h"
#include "msgbase/message_base.h"

namespace mvx::texttest {

// A plain base whose text buffer holds exactly these bytes, positioned at 0.
inline std::unique_ptr<MessageBase> ReaderOver(std::string_view bytes) {
  InstallFileHooks();
  std::unique_ptr<DataStream> stream = NewMemoryStream(65536);
  stream->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  stream->SeekTo(0);
  return std::make_unique<MessageBase>(std::move(stream));
}

// The whole text; the text position is left where it was.
inline std::string TextOf(MessageBase& base) {
  const std::int32_t pos = base.TextOffset();
  std::string bytes(static_cast<std::size_t>(base.TextLength()), '\0');
  base.MoveTextTo(0);
  base.TextBuffer()->ReadAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  base.MoveTextTo(pos);
  return bytes;
}

// Every line from the start, read with ReadTextLineStr until the end.
inline std::vector<std::string> LinesOf(MessageBase& base) {
  std::vector<std::string> lines;
  base.MoveTextTo(0);
  while (!base.AtTextEnd()) {
    Str line;
    base.ReadTextLineStr(line);
    lines.push_back(line.str());
  }
  return lines;
}

// The position rule every control-line edit keeps.
inline void ExpectAtEnd(MessageBase& base) {
  EXPECT_EQ(base.TextOffset(), base.TextLength());
}

}  // namespace mvx::texttest
