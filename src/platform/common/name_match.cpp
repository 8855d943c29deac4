#include "platform/common/name_match.h"

#include <cstddef>
#include <vector>

namespace mvx::platform::common {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Iterative wildcard match with one backtrack point: linear in practice and
// free of recursion, so a hostile mask of many stars cannot blow the stack.
bool GlobMatch(std::string_view mask, std::string_view name) {
  std::size_t m = 0, n = 0;
  std::size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && (mask[m] == '?' || FoldAscii(mask[m]) == FoldAscii(name[n]))) {
      ++m;
      ++n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool HasWildcard(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

bool MatchesMask(std::string_view mask, std::string_view name) {
  if (GlobMatch(mask, name)) return true;
  // "NAME.*" also finds "NAME", and "*.*" every name, dotted or not.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos) {
    return GlobMatch(mask.substr(0, mask.size() - 2), name);
  }
  return false;
}

}  // namespace mvx::platform::common
