// The process environment, the system's error texts and its name.
#include "platform/win32/windows_api.h"
#include "platform/common/held_text.h"

namespace mvx::platform {

std::optional<std::string> GetEnv(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos || name.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  // Names and values go through code page 866 like file names: a value is
  // usually one (SEQDIR, a path in a tosser configuration).
  const std::wstring wide = win32::Wide(name);
  SetLastError(0);
  DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(wide.c_str(), value.data(), n);
  value.resize(n);
  return win32::Narrow(value);
}

std::string ErrorText(int error, int lockWaitMs) {
  if (error <= 0) return std::string();
  if (error == kErrorHeldByOther) return common::HeldByOtherText(lockWaitMs);
  wchar_t* text = nullptr;
  // English, so that the log reads the same on every system; the system's
  // own language when it has no English texts.
  DWORD n = 0;
  for (const DWORD language : {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), static_cast<DWORD>(0)}) {
    n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n != 0) break;
  }
  if (n == 0 || text == nullptr) return std::string();
  std::wstring words(text, n);
  LocalFree(text);
  // The texts end in ".\r\n"; a log line carries neither.
  while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ' ||
                            words.back() == L'.')) {
    words.pop_back();
  }
  return win32::Narrow(words);
}

Error OsFailure(Errc operation, int error, const std::string& name) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Error(Errc::kNotFound, error, name);
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return Error(Errc::kNameTaken, error, name);
  if (error == kErrorHeldByOther) return Error(Errc::kHeldByOther, error, name);
  return Error(operation, error, name);
}

bool IsDeniedError(int error) { return error == ERROR_ACCESS_DENIED; }

std::string SystemName() { return "WIN"; }

}  // namespace mvx::platform
