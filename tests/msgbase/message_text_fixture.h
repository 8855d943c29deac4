// Helpers for the text-layer tests: a plain MessageBase used as a line reader
// over literal bytes, and a stream that has failed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "msgbase/file_hooks.h"
#include "msgbase/message_base.h"

namespace mvx::texttest {

// A stream that has failed (memory ran out, say): the failure is sticky,
// writes go nowhere and reads give zeros, yet it still claims 8 bytes.
class FailedStream final : public DataStream {
 public:
  FailedStream() : DataStream(0, Str()) { status_ = kStreamShortWrite; }
  void ReadBytes(void* buffer, std::uint16_t count) override { std::memset(buffer, 0, count); }
  void WriteBytes(const void*, std::uint16_t) override {}
  void SeekTo(std::int32_t offset) override { pos_ = offset; }
  std::int32_t Position() override { return pos_; }
  std::int32_t Size() override { return 8; }
  void Flush() override {}
  void TruncateHere() override {}
  void ClearError() override {}

 private:
  std::int32_t pos_ = 0;
};

// A base of type B whose text buffer holds exactly these bytes, at offset 0.
template <typename B = MessageBase>
std::unique_ptr<B> ReaderOver(std::string_view bytes) {
  InstallFileHooks();
  std::unique_ptr<DataStream> stream = NewMemoryStream(65536);
  stream->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  stream->SeekTo(0);
  return std::make_unique<B>(std::move(stream));
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
  Str line;
  for (base.MoveTextTo(0); !base.AtTextEnd(); lines.push_back(line.str())) base.ReadTextLineStr(line);
  return lines;
}

}  // namespace mvx::texttest
