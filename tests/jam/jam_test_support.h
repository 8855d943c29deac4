// Helpers shared by the JAM tests: a scratch area under the test clock,
// posting a message, reading fields out of raw file bytes, and file hooks
// that make one file's writes fail or let "another run" act just before a
// file is created.
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

// A temporary directory, the test clock at 6 Dec 2026 04:57:36 (1796533056
// seconds) and the real file hooks; area() is "<dir>/area".
class AreaFixture : public ::testing::Test {
 protected:
  AreaFixture() : clock_(2026, 12, 6, 4, 57, 36) { InstallFileHooks(); }
  ~AreaFixture() override { InstallFileHooks(); }

  std::string area() const { return dir_ / "area"; }
  std::string jhr() const { return dir_ / "area.jhr"; }
  std::string jdx() const { return dir_ / "area.jdx"; }
  std::string jdt() const { return dir_ / "area.jdt"; }
  std::string jlr() const { return dir_ / "area.jlr"; }

  std::unique_ptr<JamBase> Create() {
    auto base = std::make_unique<JamBase>();
    EXPECT_TRUE(base->CreateArea(area())) << std::hex << base->ErrorCode();
    return base;
  }
  std::unique_ptr<JamBase> Open() {
    auto base = std::make_unique<JamBase>();
    EXPECT_TRUE(base->OpenArea(area())) << std::hex << base->ErrorCode();
    return base;
  }

  testkit::TempDir dir_;
  testkit::ScopedClock clock_;
};

// Begins a message with the given header fields and text lines (each line
// gets a CR) and stores it. Returns what StoreMessage returned.
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

// Makes an area holding one message per body text, then closes it.
inline void MakeArea(const std::string& area, const std::vector<std::string>& bodies) {
  JamBase base;
  ASSERT_TRUE(base.CreateArea(area));
  for (const std::string& b : bodies) ASSERT_TRUE(Post(base, "All", {b}));
  ASSERT_TRUE(base.CloseArea());
}

// The whole text buffer of a base; the text position is left where it was.
inline std::string TextOf(MessageBase& base) {
  if (base.TextBuffer() == nullptr) return std::string();
  const std::int32_t pos = base.TextOffset();
  std::string bytes(static_cast<std::size_t>(base.TextLength()), '\0');
  base.MoveTextTo(0);
  base.TextBuffer()->ReadAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  base.MoveTextTo(pos);
  return bytes;
}

// Loads message n and returns its whole text ("" and a failure if it did
// not load).
inline std::string LoadText(MessageBase& base, std::int32_t n) {
  base.SetCurrentNumber(n);
  EXPECT_TRUE(base.LoadMessage()) << "message " << n << " error " << std::hex << base.ErrorCode();
  return TextOf(base);
}

inline std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  EXPECT_LE(at + 4, bytes.size());
  return at + 4 <= bytes.size() ? GetU32(bytes.data() + at) : 0;
}
inline void PutU32At(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  ASSERT_LE(at + 4, bytes.size());
  PutU32(bytes.data() + at, v);
}

// Rewrites 4 bytes of a file in place.
inline void PatchU32(const std::string& path, std::size_t at, std::uint32_t v) {
  std::vector<std::uint8_t> bytes = testkit::ReadFileBytes(path);
  PutU32At(bytes, at, v);
  testkit::WriteFileBytes(path, bytes);
}

// A stream that passes everything to a real one, except that its writes
// fail while FaultPlan::failWrites says so for its name.
struct FaultPlan {
  // Writes to a file whose name ends in this (".jdt", say) fail; empty: none.
  std::string failWritesTo;
  // Opens and creates of a file whose name ends in this fail.
  std::string failOpensOf;
  // Called with the name and mode before every open or create.
  std::function<void(const std::string&, std::uint16_t)> beforeOpen;
};

inline FaultPlan& Plan() {
  static FaultPlan plan;
  return plan;
}

inline bool NameEndsWith(const std::string& name, const std::string& suffix) {
  return !suffix.empty() && name.size() >= suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class FaultyStream final : public DataStream {
 public:
  explicit FaultyStream(std::unique_ptr<DataStream> inner)
      : DataStream(inner->Mode(), inner->Name()), inner_(std::move(inner)) {
    status_ = inner_->Status();
  }
  void ReadBytes(void* buffer, std::uint16_t count) override {
    inner_->ReadBytes(buffer, count);
    Sync();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (status_ != kStreamOk) return;
    if (NameEndsWith(Name().str(), Plan().failWritesTo)) {
      status_ = kStreamShortWrite;
      return;
    }
    inner_->WriteBytes(buffer, count);
    Sync();
  }
  void SeekTo(std::int32_t offset) override {
    inner_->SeekTo(offset);
    Sync();
  }
  std::int32_t Position() override { return status_ == kStreamOk ? inner_->Position() : -1; }
  std::int32_t Size() override { return status_ == kStreamOk ? inner_->Size() : -1; }
  void Flush() override { inner_->Flush(); }
  void TruncateHere() override {
    if (status_ != kStreamOk) return;
    inner_->TruncateHere();
    Sync();
  }
  void ClearError() override {
    inner_->ClearError();
    status_ = kStreamOk;
  }

 private:
  void Sync() {
    if (status_ == kStreamOk) status_ = inner_->Status();
  }
  std::unique_ptr<DataStream> inner_;
};

inline std::unique_ptr<DataStream> FaultyOpen(const Str& name, std::uint16_t mode) {
  if (Plan().beforeOpen) Plan().beforeOpen(name.str(), mode);
  if (NameEndsWith(name.str(), Plan().failOpensOf)) {
    // A stream that failed to open, as the real hook gives one.
    return RealFileHooks().openFileStream(Str("/nonexistent-dir/x"), kModeReadWrite);
  }
  std::unique_ptr<DataStream> real = RealFileHooks().openFileStream(name, mode);
  if (!real) return real;
  return std::make_unique<FaultyStream>(std::move(real));
}

// Installs the faulty hooks for the lifetime of the object.
class ScopedFaults {
 public:
  ScopedFaults() {
    Plan() = FaultPlan{};
    FileHooks hooks = RealFileHooks();
    hooks.openFileStream = FaultyOpen;
    SetFileHooks(hooks);
  }
  ~ScopedFaults() {
    Plan() = FaultPlan{};
    InstallFileHooks();
  }
  ScopedFaults(const ScopedFaults&) = delete;
  ScopedFaults& operator=(const ScopedFaults&) = delete;
};

}  // namespace mvx::jamtest
