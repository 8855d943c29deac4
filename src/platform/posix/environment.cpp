// The process environment and the system's error texts.
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/platform.h"

namespace mvx::platform {

std::optional<std::string> GetEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  if (v == nullptr) return std::nullopt;
  return std::string(v);
}

std::string ErrorText(int error) {
  if (error == 0) return std::string();
  char buf[256];
  // The GNU strerror_r may return a static text instead of filling buf.
  const auto pick = [&](auto r) -> const char* {
    if constexpr (std::is_same_v<decltype(r), char*>) {
      return r;
    } else {
      return r == 0 ? buf : nullptr;
    }
  };
  const char* text = pick(strerror_r(error, buf, sizeof buf));
  return text != nullptr ? std::string(text) : "error " + std::to_string(error);
}

}  // namespace mvx::platform
