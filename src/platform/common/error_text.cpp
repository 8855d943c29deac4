#include "platform/platform.h"

namespace mvx::platform {

std::string ErrorText(const Error& error, int lockWaitMs) {
  std::string text = ErrorText(error.osError(), lockWaitMs);
  return text.empty() ? std::string(ErrcText(error.code())) : text;
}

}  // namespace mvx::platform
