#include "msgbase/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "support/fatal.h"

namespace mvx {

namespace {
// The largest end offset a memory stream grows to. Offsets are 32-bit, and
// the chunk rule adds up to one chunk above the end, so stay a little below
// the 32-bit limit; a write that would go further fails like a full disk.
constexpr std::int64_t kMaxEnd = std::numeric_limits<std::int32_t>::max() - 2 * MemoryStream::kChunk;
}  // namespace

MemoryStream::MemoryStream() : DataStream(0, Str()) {}

// Capacity becomes (n div 8192 + 1) * 8192: at least one chunk, and one chunk
// more than n needs when n is a multiple of 8192. Growing keeps the content;
// new bytes are zero, though callers must not count on that.
void MemoryStream::Resize(std::int64_t n) {
  const std::int64_t target = (n / kChunk + 1) * kChunk;
  data_.resize(static_cast<std::size_t>(target));
}

// Capacity and Length for a write that ends at `end`; false (and a failed
// stream) when that is past the 32-bit limit or memory runs out.
bool MemoryStream::GrowFor(std::int64_t end) {
  if (end > kMaxEnd) {
    Fail(Error(Errc::kShortWrite));
    return false;
  }
  if (end > Capacity()) {
    try {
      Resize(end);
    } catch (const std::bad_alloc&) {
      Fail(Error(Errc::kShortWrite));
      return false;
    }
  }
  if (end > length_) length_ = static_cast<std::int32_t>(end);
  return true;
}

void MemoryStream::WriteBytes(const void* buffer, std::uint16_t count) {
  if (!status_.ok() || count == 0) return;
  const std::int64_t end = static_cast<std::int64_t>(pos_) + count;
  if (!GrowFor(end)) return;
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ = static_cast<std::int32_t>(end);
}

void MemoryStream::ReadBytes(void* buffer, std::uint16_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int32_t n = 0;
  if (pos_ < Capacity()) n = std::min<std::int32_t>(count, Capacity() - pos_);
  if (n > 0) std::memcpy(out, data_.data() + pos_, static_cast<std::size_t>(n));
  // Past the last byte of the buffer there is nothing to copy: the caller's
  // buffer gets zeros there instead of whatever it held.
  std::memset(out + n, 0, static_cast<std::size_t>(count - n));
  pos_ += n;
}

void MemoryStream::CopyFrom(DataStream& source, std::int32_t count) {
  if (count <= 0 || !status_.ok()) return;
  if (!GrowFor(static_cast<std::int64_t>(pos_) + count)) return;
  DataStream::CopyFrom(source, count);
}

// A negative offset would put the next write before the buffer; it counts as
// 0, as it does for a file.
void MemoryStream::SeekTo(std::int32_t offset) { pos_ = offset < 0 ? 0 : offset; }

const std::uint8_t* MemoryStream::BytesInMemory(std::int32_t count) {
  if (!status_.ok() || static_cast<std::int64_t>(pos_) + count > Capacity()) return nullptr;
  return data_.data() + pos_;
}

void MemoryStream::TruncateHere() {
  if (pos_ > kMaxEnd) return;
  length_ = pos_;
  try {
    Resize(pos_);
  } catch (const std::bad_alloc&) {
    Fail(Error(Errc::kShortWrite));
    return;
  }
  data_.shrink_to_fit();
}

void MemoryStream::ClearError() { RunTimeError217("ClearError of a memory stream"); }

}  // namespace mvx
