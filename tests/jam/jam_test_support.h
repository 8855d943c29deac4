// Helpers shared by the JAM tests: a scratch area under the test clock,
// posting and loading messages, patching file bytes, and file hooks that
// make one file's writes or opens fail or let "another run" act first.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "msgbase/file_hooks.h"
#include "msgbase/file_stream.h"
#include "support/le_bytes.h"
#include "testkit/testkit.h"

namespace mvx::jamtest {

using Bytes = std::vector<std::uint8_t>;

// A temporary directory, the test clock at 6 Dec 2026 04:57:36 (1796533056
// seconds) and the real file hooks; the area is "<dir>/area".
class AreaFixture : public ::testing::Test {
 protected:
  AreaFixture() : clock_(2026, 12, 6, 4, 57, 36) { InstallFileHooks(); }
  ~AreaFixture() override { InstallFileHooks(); }

  std::string area() const { return dir_ / "area"; }
  std::string file(const char* ext) const { return dir_ / (std::string("area.") + ext); }
  std::unique_ptr<JamBase> Open(bool create = false) {
    auto base = std::make_unique<JamBase>();
    EXPECT_TRUE(create ? base->CreateArea(area()) : base->OpenArea(area())) << std::hex << base->ErrorCode();
    return base;
  }

  testkit::TempDir dir_;
  testkit::ScopedClock clock_;
};

// The 1024-byte base header of an area made at the test clock's time.
inline Bytes NewAreaHeader() {
  Bytes h{0x4A, 0x41, 0x4D, 0x00, 0x40, 0xEB, 0x14, 0x6B, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
  h.resize(1024, 0);  // reserved
  return h;
}

// Begins a message, appends the lines (each with a CR) and stores it.
inline bool Post(MessageBase& base, const std::string& to, const std::vector<std::string>& lines,
                 const std::string& from = "Marvex", const std::string& subject = "Rules") {
  if (!base.BeginNewMessage()) return false;
  base.PutFromName(from);
  base.PutToName(to);
  base.PutSubject(subject);
  for (const std::string& l : lines) base.AppendTextLine(l.c_str());
  const bool ok = base.StoreMessage();
  base.ReleaseMessage();
  return ok;
}

// An area holding one message per body, closed.
inline void MakeArea(const std::string& area, const std::vector<std::string>& bodies) {
  JamBase base;
  ASSERT_TRUE(base.CreateArea(area));
  for (const std::string& b : bodies) ASSERT_TRUE(Post(base, "All", {b}));
  ASSERT_TRUE(base.CloseArea());
}

inline std::string TextOf(MessageBase& base) {
  std::string bytes(static_cast<std::size_t>(base.TextLength()), '\0');
  base.MoveTextTo(0);
  base.ReadTextBytes(static_cast<std::uint16_t>(bytes.size()), bytes.data());
  base.MoveTextTo(0);
  return bytes;
}

// Loads message n and gives its whole text.
inline std::string LoadText(MessageBase& base, std::int32_t n) {
  base.SetCurrentNumber(n);
  EXPECT_TRUE(base.LoadMessage()) << "message " << n << " error " << std::hex << base.ErrorCode();
  return TextOf(base);
}

inline std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
  return at + 4 <= bytes.size() ? GetU32(bytes.data() + at) : 0xDEADDEAD;
}
inline std::uint32_t U32At(const std::string& path, std::size_t at) { return U32At(testkit::ReadFileBytes(path), at); }

inline void PatchU32(const std::string& path, std::size_t at, std::uint32_t v) {
  Bytes bytes = testkit::ReadFileBytes(path);
  ASSERT_LE(at + 4, bytes.size());
  PutU32(bytes.data() + at, v);
  testkit::WriteFileBytes(path, bytes);
}

// What the faulty hooks do to files whose names end in a given suffix.
struct FaultPlan {
  std::string failWritesTo;  // opened read-only, so every write fails
  std::string failOpensOf;   // opens and creates fail
  std::function<void(const std::string& name, std::uint16_t mode)> beforeOpen;
};

inline FaultPlan& Plan() {
  static FaultPlan plan;
  return plan;
}

// Installs hooks that follow Plan() (emptied) while it lives.
struct ScopedFaults {
  // Without regard to case: the files are "area.jdt" on POSIX, "area.JDT" on Windows.
  static bool EndsWith(const std::string& name, const std::string& suffix) {
    return !suffix.empty() && testkit::EndsWithName(name, suffix);
  }
  static std::unique_ptr<DataStream> OpenHook(const Str& name, std::uint16_t mode) {
    if (Plan().beforeOpen) Plan().beforeOpen(name.str(), mode);
    if (EndsWith(name.str(), Plan().failWritesTo)) mode = static_cast<std::uint16_t>((mode & 0xFF00) | kModeRead);
    // A failed open, as the real hook gives one.
    const bool fail = EndsWith(name.str(), Plan().failOpensOf);
    return RealFileHooks().openFileStream(fail ? Str("/nonexistent/x") : name, mode);
  }
  ScopedFaults() {
    Plan() = FaultPlan{};
    FileHooks hooks = RealFileHooks();
    hooks.openFileStream = OpenHook;
    SetFileHooks(hooks);
  }
  ~ScopedFaults() {
    Plan() = FaultPlan{};
    InstallFileHooks();
  }
};

}  // namespace mvx::jamtest
