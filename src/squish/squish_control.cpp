#include "squish/squish_control.h"

namespace mvx {

std::vector<std::uint8_t> ControlAreaToLines(const std::uint8_t* area, std::size_t size) {
  std::vector<std::uint8_t> out;
  std::size_t lineLen = 0;
  bool any = false;
  auto endLine = [&] {
    out.push_back(0x0D);
    lineLen = 0;
  };
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = area[i];
    if (b == 0) continue;
    if (b == 0x01 && any) endLine();
    any = true;
    if (lineLen < kSquishMaxControlLine) {
      out.push_back(b);
      ++lineLen;
    }
  }
  if (any) endLine();
  return out;
}

}  // namespace mvx
