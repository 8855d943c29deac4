// Opening, creating and closing JAM areas, and their last-read pointers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "jam_test_support.h"

namespace mvx::jamtest {
namespace {

using JamAreaTest = AreaFixture;
using Names = std::vector<std::string>;

// On Windows names that differ only in case are one name, and a rename that
// only changes the case may keep the old spelling: names compare folded there.
Names AsCompared(const Names& names) { return kWindows ? testkit::Folded(names) : names; }

TEST_F(JamAreaTest, FileNamesTheDotRuleAndCase) {
  JamBase base(env_);
  ASSERT_TRUE(base.CreateArea(dir_ / "sub/dir/net").ok());
  EXPECT_EQ(base.AreaPath(), Str(dir_ / "sub/dir/net."));
  EXPECT_EQ(testkit::ListDir(dir_ / "sub/dir"),
            (Names{testkit::Made("net.jdt"), testkit::Made("net.jdx"), testkit::Made("net.jhr"), testkit::Made("net.jlr")}));
  // Existing files are found whatever the case of their names.
  MakeArea(env_, area(), {"one"});
  for (const auto& [lower, upper] : {std::pair{"jhr", "JHR"}, {"jdx", "JDX"}, {"jdt", "JDT"}, {"jlr", "JLR"}}) {
    ASSERT_EQ(std::rename(file(lower).c_str(), (dir_ / "AREA." + upper).c_str()), 0);
  }
  ASSERT_TRUE(base.OpenArea(area() + ".").ok());
  EXPECT_EQ(LoadText(base, 1), "one\r");
  ASSERT_TRUE(Post(base, "All", {"two"}));
  ASSERT_TRUE(base.CloseArea().ok());
  EXPECT_EQ(AsCompared(testkit::ListDir(dir_.path())), AsCompared(Names{"AREA.JDT", "AREA.JDX", "AREA.JHR", "AREA.JLR", "sub"}));
}

// The tossers never make a .JLR.
TEST_F(JamAreaTest, AMissingLastReadFileIsMadeAndNothingIsLost) {
  MakeArea(env_, area(), {"one", "two"});
  const Bytes headers = testkit::ReadFileBytes(file("jhr"));
  for (bool create : {false, true}) {
    ASSERT_EQ(std::remove(file("jlr").c_str()), 0);
    JamBase base(env_);
    EXPECT_TRUE(base.AreaExists(area()));
    ASSERT_TRUE(create ? base.CreateArea(area()).ok() : base.OpenArea(area()).ok());
    EXPECT_TRUE(base.HasLastReadFile() && testkit::ReadFileBytes(file("jlr")).empty());
    EXPECT_EQ(testkit::ReadFileBytes(file("jhr")), headers);
    EXPECT_EQ(LoadText(base, 2), "two\r");
  }
}

// Another program's fields are kept and a torn tail is reused.
TEST_F(JamAreaTest, LastReadAppendThenUpdate) {
  auto base = Open(true);
  EXPECT_EQ(base->ReadLastRead(5), 0);
  base->WriteLastRead(5, 10);
  base->WriteLastRead(7, 3);
  base->WriteLastRead(5, 0x0102);
  EXPECT_EQ(base->ReadLastRead(7), 3);
  EXPECT_EQ(base->ReadLastRead(6), 0);
  // Read once the area is closed: the .JLR is open without sharing, which
  // on Windows keeps every other reader out.
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(testkit::ReadFileBytes(file("jlr")), (Bytes{5, 0, 0, 0, 5, 0, 0, 0, 2, 1, 0, 0, 2, 1, 0, 0,  //
                                                        7, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0}));
  // A name CRC, two different numbers (reading gives the highest), a torn record.
  testkit::WriteFileBytes(file("jlr"), Bytes{0xAA, 0xBB, 0xCC, 0xDD, 9, 0, 0, 0, 4, 0, 0, 0, 6, 0, 0, 0, 1, 2, 3});
  base = Open();
  EXPECT_EQ(base->ReadLastRead(9), 6);
  base->WriteLastRead(9, 8);
  base->WriteLastRead(1, 1);
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(testkit::ReadFileBytes(file("jlr")), (Bytes{0xAA, 0xBB, 0xCC, 0xDD, 9, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0,  //
                                                        1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST_F(JamAreaTest, APartialAreaIsRefusedAndLeftAlone) {
  for (const auto& [missing, code] : {std::pair{"jhr", Errc::kJamNoHeaderFile}, {"jdx", Errc::kJamNoIndexFile},
                                      {"jdt", Errc::kJamNoTextFile}}) {
    MakeArea(env_, area(), {"one"});
    ASSERT_EQ(std::remove(file(missing).c_str()), 0);
    const auto before = DirContents(dir_.path());
    JamBase base(env_);
    EXPECT_FALSE(base.AreaExists(area()));
    EXPECT_FALSE(base.OpenArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), code);
    EXPECT_FALSE(base.CreateArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), code);
    EXPECT_EQ(DirContents(dir_.path()), before);
    RemoveArea();
  }
  // With none there, opening fails and every operation fails quietly.
  JamBase base(env_);
  EXPECT_FALSE(base.OpenArea(area()).ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kJamNoHeaderFile);
  base.PositionByUid(1);
  EXPECT_FALSE(base.HasMessage(1) || base.LoadMessage().ok() || base.BeginNewMessage().ok() || base.StoreMessage().ok() ||
               base.DeleteMessage().ok() || base.ReadLastRead(1) != 0);
  base.WriteLastRead(1, 1);
  EXPECT_TRUE(base.CloseArea().ok());
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
}

// Another run creates the area between our failed open and our create.
TEST_F(JamAreaTest, AnAreaMadeByAnotherRunMeanwhileIsJoined) {
  bool theirsMade = false;
  FaultPlan plan;
  plan.beforeOpen = [&](const std::string& name, std::uint16_t mode) {
    if (theirsMade || (mode & 0xFF) != kModeCreateNew || !EndsWithName(name, file("jhr"))) return;
    theirsMade = true;
    MakeArea(env_, area(), {"theirs"});
  };
  ScopedFaults faults(env_, plan);
  JamBase base(env_);
  EXPECT_FALSE(base.OpenArea(area()).ok());
  ASSERT_TRUE(base.CreateArea(area()).ok());
  EXPECT_TRUE(theirsMade);
  ASSERT_TRUE(Post(base, "All", {"ours"}));
  EXPECT_EQ(LoadText(base, 1), "theirs\r");
  EXPECT_EQ(LoadText(base, 2), "ours\r");
}

// Their maker stopped before writing the header: no message to lose.
TEST_F(JamAreaTest, ThreeEmptyFilesGetTheHeaderOfANewArea) {
  for (const char* ext : {"jhr", "jdx", "jdt"}) testkit::WriteFileBytes(file(ext), {});
  auto base = Open();
  EXPECT_EQ(testkit::ReadFileBytes(file("jhr")), NewAreaHeader());
  ASSERT_TRUE(Post(*base, "All", {"first"}));
  EXPECT_EQ(base->CurrentNumber(), 1);
}

// A half area would be refused by every later run.
TEST_F(JamAreaTest, AFailedCreationLeavesNothingBehind) {
  FaultPlan plan;
  ScopedFaults faults(env_, plan);
  JamBase base(env_);
  for (const auto& [ext, code] : {std::pair{".jhr", Errc::kJamCreateHeader}, {".jdx", Errc::kJamCreateIndex},
                                  {".jdt", Errc::kJamCreateText}}) {
    plan.refuseOpensOf = ext;
    EXPECT_FALSE(base.CreateArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), code);
    EXPECT_FALSE(base.IsOpen());
    EXPECT_TRUE(testkit::ListDir(dir_.path()).empty()) << ext;
  }
}

// A held .JLR is neither recreated nor needed; a held .JDX refuses the area.
TEST_F(JamAreaTest, FilesHeldByAnotherProgram) {
  MakeArea(env_, area(), {"one"});
  Open()->WriteLastRead(3, 1);
  const Bytes pointers = testkit::ReadFileBytes(file("jlr"));
  env_.lockWaitMs = 0;  // a held file fails at once, not after a wait
  std::unique_ptr<DataStream> holder = env_.OpenFileStream(file("jlr"), kModeReadWrite | kShareNone);
  ASSERT_TRUE(holder->Status().ok());
  JamBase base(env_);
  ASSERT_TRUE(base.OpenArea(area()).ok());
  EXPECT_FALSE(base.HasLastReadFile());
  base.WriteLastRead(3, 9);
  ASSERT_TRUE(Post(base, "All", {"two"}));
  EXPECT_TRUE(base.CloseArea().ok());
  holder.reset();  // on Windows nobody else reads what is held without sharing
  EXPECT_EQ(testkit::ReadFileBytes(file("jlr")), pointers);

  holder = env_.OpenFileStream(file("jdx"), kModeReadWrite | kShareNone);
  ASSERT_TRUE(holder->Status().ok());
  EXPECT_FALSE(base.OpenArea(area()).ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kJamOpenIndex);
  holder.reset();
  EXPECT_EQ(Open()->MessageCount(), 2);
}

TEST_F(JamAreaTest, TheBaseHeaderIsWrittenBackWholeWithItsReservedBytes) {
  MakeArea(env_, area(), {"one"});
  PatchU32(file("jhr"), 24, 0x12345678);  // another program's high-water mark
  PatchU32(file("jhr"), 1020, 0xAB000000);
  PatchU32(file("jhr"), 16, 0x0BADF00D);  // a password crc nobody checks
  Bytes expected = testkit::ReadFileBytes(file("jhr"));
  auto base = Open();
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  ASSERT_TRUE(base->CloseArea().ok());
  PutU32(expected.data() + 8, 2);   // ModifyCount
  PutU32(expected.data() + 12, 2);  // ActiveCount
  const Bytes after = testkit::ReadFileBytes(file("jhr"));
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 1024), Bytes(expected.begin(), expected.begin() + 1024));
}

}  // namespace
}  // namespace mvx::jamtest
