// windows.h for the files of this layer, and nothing of it leaks further.
//
// windows.h turns CreateDirectory, DeleteFile and ReplaceFile into macros
// (CreateDirectoryW ...). platform.h declares functions of those names, so
// once windows.h was seen they would silently be defined under the W names
// and the rest of the program would not link. The macros go here, right
// after windows.h, and this layer calls the W functions by their full names.
#pragma once

#include <windows.h>

#undef CreateDirectory
#undef DeleteFile
#undef ReplaceFile

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace mvx::platform::win32 {

// A program name (code page 866 bytes, "\" or "/" between directories) as
// the UTF-16 name the W calls take, with "\" only. The original program
// converted names from the OEM code page with OemToCharA; going through 866
// to UTF-16 gives the same characters without depending on the code pages
// this particular system is set up with.
std::wstring Wide(const std::string& name);
// A UTF-16 name from the system back into code page 866; characters 866
// does not have become "?".
std::string Narrow(const std::wstring& name);

// A FileHandle is an int. Kernel handles fit into 32 bits (Windows keeps
// them so for 32-bit programs to share them), and INVALID_HANDLE_VALUE is
// -1, which is kNoFile.
inline HANDLE ToHandle(FileHandle h) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(h)); }
inline FileHandle FromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kNoFile : static_cast<FileHandle>(reinterpret_cast<std::intptr_t>(h));
}

inline void SetError(int* error, DWORD value) {
  if (error) *error = static_cast<int>(value);
}

// The local date and time of a UTC file time by the summer-time rule of
// that date (not of today, as FileTimeToLocalFileTime would have it).
bool FileTimeToLocal(const FILETIME& utc, SYSTEMTIME* local);

}  // namespace mvx::platform::win32
