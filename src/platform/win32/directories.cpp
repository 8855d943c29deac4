// Creating directories and making names absolute.
#include <vector>

#include "platform/win32/windows_api.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

Error CreateDirectory(const std::string& path) {
  if (!common::IsUsableName(path)) return OsFailure(Errc::kMakeDirectoryFailed, ERROR_PATH_NOT_FOUND, path);
  if (!CreateDirectoryW(win32::Wide(path).c_str(), nullptr)) {
    return OsFailure(Errc::kMakeDirectoryFailed, static_cast<int>(GetLastError()), path);
  }
  return Error();
}

char NativeSeparator() { return '\\'; }

// GetFullPathNameW knows what a name means on this system without asking
// the disk: "C:\fido", "\fido" (the root of the current drive), "C:fido" (the
// current directory of drive C, which every process remembers per drive),
// "\\server\share\fido"; it folds "." and ".." (never above the drive or the
// share) and keeps a trailing separator.
std::string FullPath(const std::string& name) {
  const std::wstring wide = win32::Wide(name.empty() ? std::string(".") : name);
  if (wide.find(L'\0') != std::wstring::npos) return name;
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (;;) {
    const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n == 0) return NativeName(name);
    if (n < buf.size()) return win32::Narrow(std::wstring(buf.data(), n));
    buf.resize(n + 1);
  }
}

}  // namespace mvx::platform
