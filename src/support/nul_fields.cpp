// Fixed NUL-terminated fields of on-disk records.
#include <cstring>

#include "support/text.h"

namespace mvx {

void PutNulField(std::uint8_t* field, std::size_t fieldSize, std::string_view text) {
  if (field == nullptr || fieldSize == 0) return;
  std::size_t n = text.size() < fieldSize - 1 ? text.size() : fieldSize - 1;
  if (n > 0) std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, fieldSize - n);
}

Str GetNulField(const std::uint8_t* field, std::size_t fieldSize) {
  if (field == nullptr) return Str();
  std::size_t n = 0;
  while (n < fieldSize && field[n] != 0) ++n;
  return Str(std::string_view(reinterpret_cast<const char*>(field), n));
}

}  // namespace mvx
