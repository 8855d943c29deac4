// Name comparison as the program's world knows it: without regard to the case
// of ASCII letters, with "*" and "?" wildcards in directory-search masks.
// Bytes above 127 compare exactly (their case is not known here).
#pragma once

#include <string_view>

namespace mvx::platform::common {

bool EqualIgnoringCase(std::string_view a, std::string_view b);

// True when name matches mask. "*" matches any run of characters (also
// none), "?" exactly one. As on the program's original system, a mask ending
// in ".*" also matches a name without any dot ("*.*" matches every name).
bool MatchesMask(std::string_view mask, std::string_view name);

bool HasWildcard(std::string_view mask);

}  // namespace mvx::platform::common
