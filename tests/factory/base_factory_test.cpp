// The factory: area identifiers, the format objects they make, opening or
// creating the area, and closing and releasing it.
#include "msgbase/base_factory.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "msgbase/file_hooks.h"
#include "msgdir/msgdir_base.h"
#include "squish/squish_base.h"
#include "support/datetime.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

// A file stream that can be told to fail: every open (as a locked or
// unreadable file would), or every write (as a full disk would). The modes
// asked for are recorded.
struct FaultPlan {
  bool failOpens = false;
  bool failWrites = false;
  std::vector<std::uint16_t> modes;
};
FaultPlan g_faults;

class FaultyStream final : public DataStream {
 public:
  explicit FaultyStream(std::unique_ptr<DataStream> inner)
      : DataStream(inner->Mode(), inner->Name()), inner_(std::move(inner)) {
    status_ = g_faults.failOpens ? kStreamOpenError : inner_->Status();
  }
  void ReadBytes(void* buffer, std::uint16_t count) override {
    if (status_ != kStreamOk) {
      std::memset(buffer, 0, count);
      return;
    }
    inner_->ReadBytes(buffer, count);
    status_ = inner_->Status();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (status_ != kStreamOk) return;
    if (g_faults.failWrites) {
      status_ = kStreamShortWrite;
      return;
    }
    inner_->WriteBytes(buffer, count);
    status_ = inner_->Status();
  }
  void SeekTo(std::int32_t offset) override {
    if (status_ == kStreamOk) inner_->SeekTo(offset);
  }
  std::int32_t Position() override { return status_ == kStreamOk ? inner_->Position() : -1; }
  std::int32_t Size() override { return status_ == kStreamOk ? inner_->Size() : -1; }
  void Flush() override { inner_->Flush(); }
  void TruncateHere() override {
    if (status_ == kStreamOk) inner_->TruncateHere();
  }
  void ClearError() override {
    inner_->ClearError();
    status_ = inner_->Status();
  }

 private:
  std::unique_ptr<DataStream> inner_;
};

std::unique_ptr<DataStream> FaultyOpen(const Str& name, std::uint16_t mode) {
  g_faults.modes.push_back(mode);
  std::unique_ptr<DataStream> real = RealFileHooks().openFileStream(name, mode);
  if (!real) return real;
  return std::make_unique<FaultyStream>(std::move(real));
}

// Installs the faulty file streams for one test and puts the real ones back.
class ScopedFaultyFiles {
 public:
  ScopedFaultyFiles() {
    InstallFileHooks();
    g_faults = FaultPlan();
    FileHooks hooks = RealFileHooks();
    hooks.openFileStream = FaultyOpen;
    old_ = SetFileHooks(hooks);
  }
  ~ScopedFaultyFiles() {
    SetFileHooks(old_);
    g_faults = FaultPlan();
  }

 private:
  FileHooks old_;
};

bool CreatesAFile(std::uint16_t mode) { return (mode & 0xFF) == 0x01 || (mode & 0xFF) == 0x10; }

struct IdCase {
  const char* id;
  AreaType type;
  const char* path;
};

TEST(ParseAreaId, TypeLetterAndPath) {
  const IdCase cases[] = {
      {"J/fido/jam/echo", AreaType::kJam, "/fido/jam/echo"},
      {"jC:\\JAM\\ECHO", AreaType::kJam, "C:\\JAM\\ECHO"},
      {"F/fido/netmail", AreaType::kMsgDir, "/fido/netmail"},
      {"f/fido/netmail/", AreaType::kMsgDir, "/fido/netmail/"},
      {"M/fido/msg", AreaType::kMsgDir, "/fido/msg"},
      {"m/fido/msg", AreaType::kMsgDir, "/fido/msg"},
      {"*/fido/msg", AreaType::kMsgDir, "/fido/msg"},
      {"S/fido/sq/echo", AreaType::kSquish, "/fido/sq/echo"},
      {"s/fido/sq/echo", AreaType::kSquish, "/fido/sq/echo"},
      // The letter is required: a bare path is unknown and kept whole...
      {"c:\\fido\\echo", AreaType::kUnknown, "c:\\fido\\echo"},
      {"/fido/echo", AreaType::kUnknown, "/fido/echo"},
      // ...unless its drive letter is a type letter.
      {"m:\\fido\\echo", AreaType::kMsgDir, ":\\fido\\echo"},
      {"S:\\SQ\\ECHO", AreaType::kSquish, ":\\SQ\\ECHO"},
      // Nothing is trimmed: the blank after the letter is part of the path.
      {"S /fido/sq/echo", AreaType::kSquish, " /fido/sq/echo"},
      {"J", AreaType::kJam, ""},
  };
  for (const IdCase& c : cases) {
    AreaType type = AreaType::kJam;
    Str path = "previous";
    ParseAreaId(c.id, type, path);
    EXPECT_EQ(type, c.type) << c.id;
    EXPECT_EQ(path, c.path) << c.id;
  }
}

TEST(ParseAreaId, EmptyIdLeavesPathAlone) {
  AreaType type = AreaType::kJam;
  Str path = "previous";
  ParseAreaId("", type, path);
  EXPECT_EQ(type, AreaType::kUnknown);
  EXPECT_EQ(path, "previous");
}

TEST(MakeBase, ObjectOfTheIdentifiersFormat) {
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(MakeBase("S/x/echo", base));
  EXPECT_NE(dynamic_cast<SquishBase*>(base.get()), nullptr);
  ASSERT_TRUE(MakeBase("j/x/echo", base));
  EXPECT_NE(dynamic_cast<JamBase*>(base.get()), nullptr);
  for (const char* id : {"*/x", "F/x", "f/x", "M/x", "m/x"}) {
    ASSERT_TRUE(MakeBase(id, base)) << id;
    EXPECT_NE(dynamic_cast<MsgDirBase*>(base.get()), nullptr) << id;
    EXPECT_FALSE(base->IsOpen()) << id;
  }
  // An unknown or empty identifier leaves none, also over an earlier object.
  EXPECT_FALSE(MakeBase("c:\\x", base));
  EXPECT_EQ(base, nullptr);
  ASSERT_TRUE(MakeBase("J", base));
  EXPECT_FALSE(MakeBase("", base));
  EXPECT_EQ(base, nullptr);
}

class FactoryArea : public ::testing::Test {
 protected:
  void SetUp() override { InstallFileHooks(); }
  testkit::TempDir dir_;
};

TEST_F(FactoryArea, OpensOrCreatesAMsgDirectory) {
  for (const char* letter : {"*", "M", "F"}) {
    const std::string area = dir_ / (std::string("area") + (*letter == '*' ? "x" : letter));
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(Str(letter + area), base)) << letter;
    ASSERT_NE(dynamic_cast<MsgDirBase*>(base.get()), nullptr);
    EXPECT_TRUE(base->IsOpen());
    EXPECT_TRUE(testkit::PathExists(area)) << area;
    EXPECT_TRUE(CloseBase(base));
    EXPECT_EQ(base, nullptr);

    // Now it exists: opened, not created anew.
    ASSERT_TRUE(OpenOrCreateBase(Str(letter + area), base));
    EXPECT_TRUE(base->IsOpen());
    EXPECT_TRUE(CloseBase(base));
  }
}

TEST_F(FactoryArea, MessageWrittenThroughTheFactoryIsThereAfterReopening) {
  {
    // The serial differs from the last one handed out in this process.
    testkit::ScopedClock other(2001, 1, 1, 0, 0, 0);
    MsgIdSerial();
  }
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  const std::string id = "M" + (dir_ / "netmail");
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(OpenOrCreateBase(Str(id), base));
  ASSERT_TRUE(base->BeginNewMessage());
  FidoAddress orig;
  ParseAddress("2:5020/1", orig);
  base->EmitOrigKludges(true, orig);
  base->PutFromName("Sysop");
  base->PutToName("All");
  base->PutSubject("Rules");
  base->AppendTextLineStr("Hello");
  ASSERT_TRUE(base->StoreMessage());
  const std::int32_t number = base->CurrentNumber();
  base->ReleaseMessage();
  ASSERT_TRUE(CloseBase(base));

  ASSERT_TRUE(OpenOrCreateBase(Str(id), base));
  EXPECT_EQ(base->HighestNumber(), number);
  base->PositionFrom(1);
  ASSERT_EQ(base->CurrentNumber(), number);
  ASSERT_TRUE(base->LoadMessage());
  EXPECT_EQ(base->SubjectText(), "Rules");
  Str line;
  EXPECT_TRUE(base->FindControlLine("\001MSGID:", line));
  EXPECT_EQ(line, "\001MSGID: 2:5020/1 0b4a6000");
  EXPECT_TRUE(CloseBase(base));
}

TEST_F(FactoryArea, OpensOrCreatesSquishAndJamAreas) {
  std::unique_ptr<MessageBase> base;
  for (const char* letter : {"S", "s"}) {
    ASSERT_TRUE(OpenOrCreateBase(Str(letter + (dir_ / "sq/echo")), base)) << letter;
    EXPECT_NE(dynamic_cast<SquishBase*>(base.get()), nullptr);
    EXPECT_TRUE(base->IsOpen());
    EXPECT_TRUE(CloseBase(base));
  }
  for (const char* letter : {"J", "j"}) {
    ASSERT_TRUE(OpenOrCreateBase(Str(letter + (dir_ / "jam/echo")), base)) << letter;
    EXPECT_NE(dynamic_cast<JamBase*>(base.get()), nullptr);
    EXPECT_TRUE(base->IsOpen());
    EXPECT_TRUE(CloseBase(base));
  }
  const std::vector<std::string> names = testkit::ListDir(dir_.path());
  EXPECT_EQ(names, (std::vector<std::string>{"jam", "sq"}));
}

TEST_F(FactoryArea, UnknownTypeMakesNothing) {
  std::unique_ptr<MessageBase> base;
  EXPECT_FALSE(OpenOrCreateBase(Str(dir_ / "echo"), base));
  EXPECT_EQ(base, nullptr);
  EXPECT_FALSE(OpenOrCreateBase("", base));
  EXPECT_EQ(base, nullptr);
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
}

TEST_F(FactoryArea, CloseAndDisposeReportWhetherThereWasAnObject) {
  std::unique_ptr<MessageBase> base;
  EXPECT_FALSE(CloseBase(base));
  EXPECT_FALSE(DisposeBase(base));
  ASSERT_TRUE(OpenOrCreateBase(Str("*" + (dir_ / "a")), base));
  EXPECT_TRUE(CloseBase(base));
  EXPECT_FALSE(CloseBase(base));  // the second close finds none

  ASSERT_TRUE(MakeBase("S/never/opened", base));
  EXPECT_TRUE(DisposeBase(base));
  EXPECT_EQ(base, nullptr);
  EXPECT_FALSE(DisposeBase(base));
}

TEST_F(FactoryArea, PresentAreaThatCannotBeOpenedIsNotCreatedAnew) {
  for (const char* letter : {"J", "S"}) {
    const Str id = Str(letter + (dir_ / (std::string("locked") + letter)));
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(id, base)) << letter;
    ASSERT_TRUE(CloseBase(base));
    const std::vector<std::string> files = testkit::ListDir(dir_.path());

    ScopedFaultyFiles faulty;
    g_faults.failOpens = true;
    EXPECT_FALSE(OpenOrCreateBase(id, base)) << letter;
    ASSERT_NE(base, nullptr);  // left to the caller, not open
    EXPECT_FALSE(base->IsOpen());
    EXPECT_NE(base->ErrorCode(), 0);
    for (std::uint16_t mode : g_faults.modes) EXPECT_FALSE(CreatesAFile(mode)) << std::hex << mode;
    EXPECT_TRUE(DisposeBase(base));
    EXPECT_EQ(testkit::ListDir(dir_.path()), files);
  }
}

TEST_F(FactoryArea, CloseBaseReportsAFailedCloseAndStillReleases) {
  ScopedFaultyFiles faulty;
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(OpenOrCreateBase(Str("J" + (dir_ / "full")), base));
  ASSERT_NE(dynamic_cast<JamBase*>(base.get()), nullptr);
  g_faults.failWrites = true;  // the disk fills up before the close
  EXPECT_FALSE(CloseBase(base));
  EXPECT_EQ(base, nullptr);
  EXPECT_FALSE(CloseBase(base));
}

}  // namespace
}  // namespace mvx
