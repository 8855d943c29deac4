#include "msgbase/data_stream.h"

#include <algorithm>
#include <cstdint>

namespace mvx {

// No status test inside the loop: a failing source gives zeros, and those are
// written, so both streams' Status() must be looked at afterwards.
void DataStream::CopyFrom(DataStream& source, std::int32_t count) {
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
