#include "jam/jam_subfields.h"

#include <algorithm>

#include "support/le_bytes.h"

namespace mvx {

bool SubfieldBuffer::Add(std::uint16_t id, std::string_view data) {
  const std::uint64_t need = std::uint64_t{kJamSubfieldHeadSize} + data.size();
  if (need > kJamSubfieldBufferSize - used_) return false;
  std::uint8_t* p = bytes_.data() + used_;
  PutU16(p + 0, id);
  PutU16(p + 2, 0);
  PutU32(p + 4, static_cast<std::uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), p + kJamSubfieldHeadSize);
  used_ += static_cast<std::uint32_t>(need);
  return true;
}

void SubfieldBuffer::Assign(const std::uint8_t* bytes, std::uint32_t count) {
  used_ = std::min(count, kJamSubfieldBufferSize);
  std::copy(bytes, bytes + used_, bytes_.begin());
}

bool SubfieldWalker::Next(Subfield& out) {
  if (limit_ < kJamSubfieldHeadSize || pos_ > limit_ - kJamSubfieldHeadSize) return false;
  const std::uint8_t* p = bytes_ + pos_;
  const std::uint32_t length = GetU32(p + 4);
  const std::uint32_t room = limit_ - pos_ - kJamSubfieldHeadSize;
  if (length > room) {
    pos_ = limit_;
    return false;
  }
  out.Id = GetU16(p + 0);
  out.Data = Str(std::string_view(reinterpret_cast<const char*>(p + kJamSubfieldHeadSize),
                                  std::min<std::uint32_t>(length, Str::kMax)));
  pos_ += kJamSubfieldHeadSize + length;
  return true;
}

}  // namespace mvx
