// MemoryStream: a growable byte buffer with the DataStream operations; holds
// the text of the current message.
//
// Capacity follows the format's chunk rule: resizing to n bytes gives
// (n div 8192 + 1) * 8192, so it is always at least 8192. The bytes live in
// one contiguous buffer, so reads and writes cost the same wherever they are.
#pragma once

#include <vector>

#include "msgbase/data_stream.h"

namespace mvx {

class MemoryStream final : public DataStream {
 public:
  static constexpr std::int32_t kChunk = 8192;

  MemoryStream();

  // Copies like the base, after growing Capacity and Length for Pos + count.
  void CopyFrom(DataStream& source, std::int32_t count) override;
  // Reads at most the bytes below Capacity; the rest of buffer is zeroed.
  void ReadBytes(void* buffer, std::uint16_t count) override;
  void WriteBytes(const void* buffer, std::uint16_t count) override;
  // A negative offset counts as 0, as with a file.
  void SeekTo(std::int32_t offset) override;
  std::int32_t Position() override { return pos_; }
  std::int32_t Size() override { return length_; }
  void Flush() override {}
  void TruncateHere() override;
  // A memory stream never fails; calling this is a programming error.
  void ClearError() override;

  const std::uint8_t* BytesInMemory(std::int32_t count) override;

  std::int32_t Capacity() const { return static_cast<std::int32_t>(data_.size()); }
  // Direct access to the bytes below Size(), for callers that scan a text.
  const std::uint8_t* Bytes() const { return data_.data(); }

 private:
  void Resize(std::int64_t n);
  bool GrowFor(std::int64_t end);
  std::vector<std::uint8_t> data_;
  std::int32_t pos_ = 0;
  std::int32_t length_ = 0;
};

}  // namespace mvx
