// The process environment.
#include <cstdlib>

#include "platform/platform.h"

namespace mvx::platform {

std::optional<std::string> GetEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  if (v == nullptr) return std::nullopt;
  return std::string(v);
}

}  // namespace mvx::platform
