// Standard input, read to its end: the text a -p run posts from a pipe.
#include "platform/win32/windows_api.h"

namespace mvx::platform {

bool ReadStandardInput(std::string& all, int* error) {
  all.clear();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || input == nullptr) {
    win32::SetError(error, input == nullptr ? ERROR_INVALID_HANDLE : GetLastError());
    return false;
  }
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(input, buffer, sizeof buffer, &got, nullptr)) {
      // A pipe whose writer has closed its end reports that as an error.
      const DWORD failure = GetLastError();
      if (failure == ERROR_BROKEN_PIPE) return true;
      win32::SetError(error, failure);
      return false;
    }
    if (got == 0) return true;
    all.append(buffer, got);
  }
}

}  // namespace mvx::platform
