// The process environment, the system's error texts and its name.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/common/held_text.h"

namespace mvx::platform {

std::optional<std::string> GetEnv(const std::string& name) {
  // A name with "=" or a 0 byte would look up another variable than the
  // one asked for.
  if (name.empty() || name.find('=') != std::string::npos || name.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string ErrorText(int error, int lockWaitMs) {
  if (error <= 0) return std::string();
  if (error == kErrorHeldByOther) return common::HeldByOtherText(lockWaitMs);
  // strerror may share its buffer between calls; the text is copied at once.
  return std::string(std::strerror(error));
}

Error OsFailure(Errc operation, int error, const std::string& name) {
  if (error == ENOENT) return Error(Errc::kNotFound, error, name);
  if (error == EEXIST) return Error(Errc::kNameTaken, error, name);
  if (error == kErrorHeldByOther) return Error(Errc::kHeldByOther, error, name);
  return Error(operation, error, name);
}

bool IsDeniedError(int error) { return error == EPERM || error == EACCES; }

std::string SystemName() { return "UNIX"; }

}  // namespace mvx::platform
