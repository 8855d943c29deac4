#include "msgbase/data_stream.h"

#include <algorithm>
#include <cstdint>

namespace mvx {

// No status test inside the loop: a failing source gives zeros, and those are
// written, so both streams' Status() must be looked at afterwards.
//
// A message's text goes from its memory stream to the file in one write
// rather than in 1024-byte pieces: a posted part is about 16 KiB, and the
// pieces were most of the system calls of a posting. Other copies keep the
// 1024-byte pieces, whose zero-filling on a short read callers know. The
// bytes, positions and statuses are the same either way.
void DataStream::CopyFrom(DataStream& source, std::int32_t count) {
  if (count <= 0) return;
  if (const std::uint8_t* bytes = source.BytesInMemory(count)) {
    const std::int32_t from = source.Position();
    WriteAll(bytes, static_cast<std::uint32_t>(count));
    source.SeekTo(from + count);
    return;
  }
  std::uint8_t buffer[1024];
  while (count > 0) {
    const auto n = static_cast<std::uint16_t>(std::min<std::int32_t>(count, sizeof buffer));
    source.ReadBytes(buffer, n);
    WriteBytes(buffer, n);
    count -= n;
  }
}

void DataStream::ReadAll(void* buffer, std::uint32_t count) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    const auto n = static_cast<std::uint16_t>(std::min<std::uint32_t>(count, 65535));
    ReadBytes(p, n);
    p += n;
    count -= n;
  }
}

void DataStream::WriteAll(const void* buffer, std::uint32_t count) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    const auto n = static_cast<std::uint16_t>(std::min<std::uint32_t>(count, 65535));
    WriteBytes(p, n);
    p += n;
    count -= n;
  }
}

}  // namespace mvx
