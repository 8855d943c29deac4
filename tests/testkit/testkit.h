// Shared test helpers: scratch directories, the test clock, file bytes.
// (Messages: messages.h; failing streams: faults.h.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mvx::testkit {

using Bytes = std::vector<std::uint8_t>;

// Tests whose right answer differs by system ask this.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes. path() has no trailing separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes the test clock read the given moment while the object lives.
class ScopedClock {
 public:
  ScopedClock(int year, int month, int day, int hour, int minute, int second, int ms = 0);
  ~ScopedClock();
};

// Sets how long a file another program holds is waited for, while the
// object lives.
class ScopedLockWait {
 public:
  explicit ScopedLockWait(int ms) : old_(platform::LockWaitMilliseconds()) { platform::SetLockWaitMilliseconds(ms); }
  ~ScopedLockWait() { platform::SetLockWaitMilliseconds(old_); }

 private:
  int old_;
};

// Runs the body with the current directory changed, restoring it afterwards.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir);
  ~ScopedCurrentDir();

 private:
  std::string old_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
// The little-endian 32-bit value at `at` (0xDEADDEAD past the end), and the
// file with one such value written over.
std::uint32_t U32At(const Bytes& bytes, std::size_t at);
inline std::uint32_t U32At(const std::string& path, std::size_t at) { return U32At(ReadFileBytes(path), at); }
void PatchU32(const std::string& path, std::size_t at, std::uint32_t value);
// The name a message base gives a file it makes, written in lower case:
// "2.msg" on POSIX, "2.MSG" on Windows (see platform::NewFileExtension).
std::string Made(const std::string& lowerName);
// Whether name ends in suffix without regard to ASCII case, as file names
// compare in the program's world (and on Windows for real).
bool EndsWithName(const std::string& name, const std::string& suffix);
// Names in a directory, sorted.
std::vector<std::string> ListDir(const std::string& path);

}  // namespace mvx::testkit
