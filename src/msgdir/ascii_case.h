// Comparing names without regard to ASCII case, as FidoNet software compares
// file names and FLAGS names; bytes above 127 must match exactly.
#pragma once

#include <string_view>

#include "support/text.h"

namespace mvx {

inline bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace mvx
