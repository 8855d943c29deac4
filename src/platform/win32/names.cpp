// Program names to native names and back.
//
// The file system is case-insensitive and knows "\" (and "/") as separator,
// so a program name needs no resolving against the disk: its bytes are code
// page 866 and go to the W calls as UTF-16. Names that a directory search
// finds come back through 866.
#include "platform/win32/windows_api.h"

namespace mvx::platform {

namespace win32 {

std::wstring Wide(const std::string& name) {
  if (name.empty()) return std::wstring();
  const int n = MultiByteToWideChar(866, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(866, 0, name.data(), static_cast<int>(name.size()), out.data(), n);
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

std::string Narrow(const std::wstring& name) {
  if (name.empty()) return std::string();
  const int n = WideCharToMultiByte(866, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(866, 0, name.data(), static_cast<int>(name.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace win32

std::string NativeName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

// Nothing is listed to resolve a name here, so there is nothing to keep.
NameResolutionScope::NameResolutionScope() {}
NameResolutionScope::~NameResolutionScope() {}

// DirSearch already hands out names in code page 866.
std::string ProgramName(const std::string& native) { return native; }

// The tossers and editors of this system look for the capitals the formats
// name ("SQD", "JHR", "MSG").
std::string NewFileExtension(const std::string& upperExt) { return upperExt; }

}  // namespace mvx::platform
