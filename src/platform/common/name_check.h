// Names that cannot be handed to the C library as they are.
#pragma once

#include <cstring>
#include <string>

namespace mvx::platform::common {

// A name with a 0 byte inside would reach the system cut at that byte and so
// name another file than the one asked for; such names are refused. An empty
// name names nothing.
inline bool IsUsableName(const std::string& name) {
  return !name.empty() && std::memchr(name.data(), '\0', name.size()) == nullptr;
}

}  // namespace mvx::platform::common
