#include "msgbase/line_reader.h"

#include <algorithm>
#include <cstdint>

namespace mvx {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
// Lines are read in blocks of this many bytes.
constexpr std::uint16_t kReadBlock = 1024;

}  // namespace

void ReadStreamLine(DataStream& stream, std::string& line, std::size_t maxLen) {
  line.clear();
  std::int32_t pos = stream.Position();
  const std::int32_t size = stream.Size();
  if (!stream.Status().ok() || pos < 0 || pos >= size) return;

  std::uint8_t block[kReadBlock];
  auto keep = [&](const std::uint8_t* from, std::size_t count) {
    const std::size_t n = std::min(count, maxLen - line.size());
    line.append(reinterpret_cast<const char*>(from), n);
  };

  while (pos < size) {
    // Never read past the logical end: a memory stream's bytes beyond it are
    // whatever its buffer held.
    const auto n = static_cast<std::uint16_t>(std::min<std::int32_t>(kReadBlock, size - pos));
    stream.ReadBytes(block, n);
    if (!stream.Status().ok()) {
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
    keep(block, static_cast<std::size_t>(i));
    pos += i + 1;
    // The LF of a CR LF pair belongs to this line, also when the CR was the
    // last byte of the block.
    if (i + 1 < n) {
      if (block[i + 1] == kLf) ++pos;
    } else if (pos < size) {
      std::uint8_t next = 0;
      stream.ReadBytes(&next, 1);
      if (stream.Status().ok() && next == kLf) ++pos;
    }
    break;
  }
  stream.SeekTo(pos);
}

}  // namespace mvx
