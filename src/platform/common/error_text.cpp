#include "platform/platform.h"

namespace mvx::platform {

std::string ErrorText(const Error& error) {
  std::string text = ErrorText(error.osError());
  return text.empty() ? std::string(ErrcText(error.code())) : text;
}

}  // namespace mvx::platform
