// Shared test helpers: scratch directories, the test env and its clock, file
// bytes. (Messages: messages.h; failing streams: faults.h.)
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "msgbase/env.h"
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

// A clock that reads the real one until it is set to a moment; from then on
// it reads that moment, and WaitHundredth moves it on by 10 ms (carrying
// into seconds, days, months and years) unless it is held still, as a
// frozen shifted clock stands.
class TestClock final : public Clock {
 public:
  void Set(int year, int month, int day, int hour, int minute = 0, int second = 0, int ms = 0);
  void Hold(bool still) { still_ = still; }
  platform::LocalTime Now() override;
  void WaitHundredth() override;
  std::int64_t UnixTime() override;

 private:
  std::optional<platform::LocalTime> moment_;
  bool still_ = false;
};

// The env a test gives the code it tests: the real files, a TestClock, MSGID
// serials by the clock rule over that clock (known to this env alone), a
// lock wait, open retry time and working directory of the test's choosing,
// and each of the three file constructors replaceable by the test (an empty
// one is the real one).
class TestEnv : public SystemEnv {
 public:
  using OpenFn = std::function<std::unique_ptr<DataStream>(const Str& name, std::uint16_t mode)>;
  using MemoryFn = std::function<std::unique_ptr<DataStream>(std::int32_t sizeHint)>;
  using ScannerFn = std::function<std::unique_ptr<DirScanner>()>;

  explicit TestEnv(int lockWaitMs = platform::kDefaultLockWaitMs) : lockWaitMs(lockWaitMs) {}
  TestClock clock;
  int lockWaitMs;
  std::string workDir;
  int openRetryMs = 1000;
  OpenFn openFile;
  MemoryFn newMemory;
  ScannerFn newScanner;

  // The real open, with this env's lock wait: for replacements that wrap it.
  std::unique_ptr<DataStream> RealOpen(const Str& name, std::uint16_t mode) {
    return SystemEnv::OpenFileStream(name, mode);
  }

  Clock& Time() override { return clock; }
  int LockWaitMs() override { return lockWaitMs; }
  std::unique_ptr<DataStream> OpenFileStream(const Str& name, std::uint16_t mode) override {
    return openFile ? openFile(name, mode) : RealOpen(name, mode);
  }
  std::unique_ptr<DataStream> NewMemoryStream(std::int32_t sizeHint) override {
    return newMemory ? newMemory(sizeHint) : SystemEnv::NewMemoryStream(sizeHint);
  }
  std::unique_ptr<DirScanner> NewDirScanner() override {
    return newScanner ? newScanner() : SystemEnv::NewDirScanner();
  }
  SerialSource& Serials() override { return serials_; }
  std::string WorkingDirectory() override { return workDir; }
  int OpenRetryMs() override { return openRetryMs; }

 private:
  ClockSerials serials_{clock};
};

// A scratch directory and a test env whose clock reads the test moment,
// Sunday 6 Dec 2026 04:57:36 (1796533056 seconds).
class ScratchTest : public ::testing::Test {
 protected:
  ScratchTest() { env_.clock.Set(2026, 12, 6, 4, 57, 36); }
  TempDir dir_;
  TestEnv env_;
};

// Runs the statements in a child process whose current directory is dir, for
// the tests of how relative names resolve: the test process's own current
// directory never changes. A failure in the child fails the test, with its
// message.
#define MVX_IN_DIRECTORY(dir, ...)                    \
  EXPECT_EXIT(([&] {                                  \
                std::filesystem::current_path(dir);   \
                __VA_ARGS__;                          \
                std::exit(::testing::Test::HasFailure() ? 1 : 0); \
              }()),                                   \
              ::testing::ExitedWithCode(0), "")

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
// Each name in a directory with the file's bytes: to show nothing changed.
std::map<std::string, Bytes> DirContents(const std::string& path);
// The names in ASCII lower case, sorted: as they compare where case does not count.
std::vector<std::string> Folded(std::vector<std::string> names);

}  // namespace mvx::testkit
