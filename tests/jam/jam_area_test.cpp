// Opening and creating areas: file names, the missing .JLR, partial areas,
// areas made by someone else in the meantime, a .JLR held by another
// program, and the base header's reserved bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "jam/jam_errors.h"
#include "jam_test_support.h"
#include "msgbase/file_stream.h"
#include "platform/platform.h"

namespace mvx::jamtest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using JamAreaTest = AreaFixture;

// Lets opens that meet another holder's lock fail at once instead of after
// the usual wait.
class NoLockWait {
 public:
  NoLockWait() : old_(platform::LockWaitMilliseconds()) { platform::SetLockWaitMilliseconds(0); }
  ~NoLockWait() { platform::SetLockWaitMilliseconds(old_); }

 private:
  int old_;
};

TEST_F(JamAreaTest, NewFilesGetLowerCaseExtensionsAndTheDotRule) {
  {
    JamBase base;
    ASSERT_TRUE(base.CreateArea(dir_ / "sub/dir/net"));
    EXPECT_EQ(base.AreaPath(), Str(dir_ / "sub/dir/net."));
    EXPECT_TRUE(base.IsOpen());
  }
  EXPECT_EQ(testkit::ListDir(dir_ / "sub/dir"),
            (std::vector<std::string>{"net.jdt", "net.jdx", "net.jhr", "net.jlr"}));
  JamBase base;
  ASSERT_TRUE(base.OpenArea(dir_ / "sub/dir/net."));
  EXPECT_EQ(base.AreaPath(), Str(dir_ / "sub/dir/net."));
  EXPECT_TRUE(base.AreaExists(dir_ / "sub/dir/net"));
}

TEST_F(JamAreaTest, ExistingFilesAreFoundWhateverTheirCase) {
  MakeArea(area(), {"one"});
  for (const auto& [lower, upper] : {std::pair{"area.jhr", "AREA.JHR"}, std::pair{"area.jdx", "AREA.JDX"},
                                      std::pair{"area.jdt", "AREA.JDT"}, std::pair{"area.jlr", "AREA.JLR"}}) {
    ASSERT_EQ(std::rename((dir_ / lower).c_str(), (dir_ / upper).c_str()), 0);
  }
  auto base = Open();
  EXPECT_EQ(LoadText(*base, 1), "one\r");
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  ASSERT_TRUE(base->CloseArea());
  EXPECT_EQ(testkit::ListDir(dir_.path()), (std::vector<std::string>{"AREA.JDT", "AREA.JDX", "AREA.JHR", "AREA.JLR"}));
}

TEST_F(JamAreaTest, AMissingLastReadFileIsMadeAndNothingIsLost) {
  MakeArea(area(), {"one", "two"});
  ASSERT_EQ(std::remove(jlr().c_str()), 0);
  JamBase base;
  EXPECT_TRUE(base.AreaExists(area()));
  ASSERT_TRUE(base.OpenArea(area()));
  EXPECT_TRUE(base.HasLastReadFile());
  EXPECT_TRUE(testkit::PathExists(jlr()));
  EXPECT_EQ(base.MessageCount(), 2);
  EXPECT_EQ(LoadText(base, 1), "one\r");
  EXPECT_EQ(LoadText(base, 2), "two\r");
  base.WriteLastRead(0, 2);
  EXPECT_EQ(testkit::ReadFileBytes(jlr()).size(), 16u);

  // CreateArea on the same area opens it too.
  ASSERT_EQ(std::remove(jlr().c_str()), 0);
  ASSERT_TRUE(base.CloseArea());
  ASSERT_TRUE(base.CreateArea(area()));
  EXPECT_EQ(base.MessageCount(), 2);
}

TEST_F(JamAreaTest, CreatingAnExistingAreaOpensItInsteadOfEmptyingIt) {
  MakeArea(area(), {"one", "two"});
  const Bytes headers = testkit::ReadFileBytes(jhr());
  JamBase base;
  ASSERT_TRUE(base.CreateArea(area()));
  EXPECT_EQ(testkit::ReadFileBytes(jhr()), headers);
  EXPECT_EQ(base.MessageCount(), 2);
  ASSERT_TRUE(Post(base, "All", {"three"}));
  EXPECT_EQ(LoadText(base, 1), "one\r");
  EXPECT_EQ(LoadText(base, 3), "three\r");
}

class JamPartialAreaTest : public AreaFixture,
                           public ::testing::WithParamInterface<std::pair<const char*, std::int32_t>> {};

TEST_P(JamPartialAreaTest, IsRefusedAndLeftAlone) {
  MakeArea(area(), {"one"});
  const std::string missing = dir_ / (std::string("area.") + GetParam().first);
  ASSERT_EQ(std::remove(missing.c_str()), 0);
  const std::vector<std::string> names = testkit::ListDir(dir_.path());
  Bytes all;
  for (const std::string& n : names) {
    const Bytes b = testkit::ReadFileBytes(dir_ / n);
    all.insert(all.end(), b.begin(), b.end());
  }

  JamBase base;
  EXPECT_FALSE(base.AreaExists(area()));
  EXPECT_FALSE(base.OpenArea(area()));
  EXPECT_EQ(base.ErrorCode(), GetParam().second);
  EXPECT_FALSE(base.CreateArea(area()));
  EXPECT_EQ(base.ErrorCode(), GetParam().second);
  EXPECT_FALSE(base.IsOpen());

  EXPECT_EQ(testkit::ListDir(dir_.path()), names);
  Bytes after;
  for (const std::string& n : names) {
    const Bytes b = testkit::ReadFileBytes(dir_ / n);
    after.insert(after.end(), b.begin(), b.end());
  }
  EXPECT_EQ(after, all);
}

INSTANTIATE_TEST_SUITE_P(EachFile, JamPartialAreaTest,
                         ::testing::Values(std::make_pair("jhr", kJamNoHeaderFile),
                                           std::make_pair("jdx", kJamNoIndexFile),
                                           std::make_pair("jdt", kJamNoTextFile)));

TEST_F(JamAreaTest, NoAreaAtAll) {
  JamBase base;
  EXPECT_FALSE(base.AreaExists(area()));
  EXPECT_FALSE(base.OpenArea(area()));
  EXPECT_EQ(base.ErrorCode(), kJamNoHeaderFile);
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
}

// Another run creates the area between our failed open and our create: its
// files are opened, not emptied, and both messages end up in the area.
TEST_F(JamAreaTest, AnAreaMadeByAnotherRunMeanwhileIsJoined) {
  ScopedFaults faults;
  bool theirsMade = false;
  const std::string target = jhr();
  Plan().beforeOpen = [&](const std::string& name, std::uint16_t mode) {
    if (theirsMade || (mode & 0xFF) != kModeCreateNew || name != target) return;
    theirsMade = true;
    MakeArea(area(), {"theirs"});
  };
  JamBase base;
  EXPECT_FALSE(base.OpenArea(area()));
  ASSERT_TRUE(base.CreateArea(area()));
  EXPECT_TRUE(theirsMade);
  ASSERT_TRUE(Post(base, "All", {"ours"}));
  ASSERT_TRUE(base.CloseArea());
  Plan().beforeOpen = nullptr;

  auto again = Open();
  EXPECT_EQ(again->MessageCount(), 2);
  EXPECT_EQ(LoadText(*again, 1), "theirs\r");
  EXPECT_EQ(LoadText(*again, 2), "ours\r");
}

// Another run has just made the .JHR of a new area and not yet written its
// header or made the other files: an opener waits for it instead of taking
// the area as damaged. The directory scans stand in for the passing time.
int gScansUntilMade = 0;
std::string gMakeArea;

std::unique_ptr<DirScanner> ScannerWhileAreaIsMade() {
  if (gScansUntilMade > 0 && --gScansUntilMade == 0) {
    Bytes header(kJamBaseHeaderSize);
    EncodeJamBaseHeader(NewJamBaseHeader(1), header.data());
    testkit::WriteFileBytes(gMakeArea + ".jhr", header);
    testkit::WriteFileBytes(gMakeArea + ".jdx", {});
    testkit::WriteFileBytes(gMakeArea + ".jdt", {});
  }
  return std::make_unique<DirScanner>();
}

TEST_F(JamAreaTest, AnAreaStillBeingMadeIsWaitedFor) {
  testkit::WriteFileBytes(jhr(), {});
  gMakeArea = area();
  gScansUntilMade = 12;
  FileHooks hooks = RealFileHooks();
  hooks.newDirScanner = ScannerWhileAreaIsMade;
  SetFileHooks(hooks);
  JamBase base;
  EXPECT_TRUE(base.OpenArea(area())) << std::hex << base.ErrorCode();
  EXPECT_EQ(gScansUntilMade, 0);
  EXPECT_EQ(base.BaseHeader().BaseNumber, 1u);
  ASSERT_TRUE(Post(base, "All", {"first"}));
  EXPECT_EQ(base.CurrentNumber(), 1);

  // Never finished: refused once the wait is over, and left as it was.
  ASSERT_TRUE(base.CloseArea());
  const std::string other = dir_ / "other";
  testkit::WriteFileBytes(other + ".jhr", {});
  EXPECT_FALSE(base.OpenArea(other));
  EXPECT_EQ(base.ErrorCode(), kJamNoIndexFile);
  EXPECT_TRUE(testkit::ReadFileBytes(other + ".jhr").empty());
}

TEST_F(JamAreaTest, ThreeEmptyFilesGetTheHeaderOfANewArea) {
  for (const std::string& name : {jhr(), jdx(), jdt()}) testkit::WriteFileBytes(name, {});
  auto base = Open();
  EXPECT_EQ(base->BaseHeader().BaseNumber, 1u);
  Bytes header{0x4A, 0x41, 0x4D, 0x00, 0x40, 0xEB, 0x14, 0x6B, 0, 0, 0, 0, 0, 0, 0, 0,
               0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
  header.resize(1024, 0);
  EXPECT_EQ(testkit::ReadFileBytes(jhr()), header);
  ASSERT_TRUE(Post(*base, "All", {"first"}));
  EXPECT_EQ(base->CurrentNumber(), 1);
}

// A creation that fails part way takes back the files it made, so no half
// area is left for every later run to refuse.
TEST_F(JamAreaTest, AFailedCreationLeavesNothingBehind) {
  ScopedFaults faults;
  Plan().failWritesTo = ".jhr";
  JamBase base;
  EXPECT_FALSE(base.CreateArea(area()));
  EXPECT_EQ(base.ErrorCode(), kJamCreateHeader);
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
  Plan().failWritesTo.clear();
  ASSERT_TRUE(base.CreateArea(area()));
  EXPECT_EQ(testkit::ReadFileBytes(jhr()).size(), 1024u);
}

TEST_F(JamAreaTest, AFileThatCannotBeMadeTakesBackTheOthers) {
  ScopedFaults faults;
  Plan().failOpensOf = ".jdt";
  JamBase base;
  EXPECT_FALSE(base.CreateArea(area()));
  EXPECT_EQ(base.ErrorCode(), kJamCreateText);
  EXPECT_FALSE(base.IsOpen());
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
  Plan().failOpensOf = ".jdx";
  EXPECT_FALSE(base.CreateArea(area()));
  EXPECT_EQ(base.ErrorCode(), kJamCreateIndex);
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
}

TEST_F(JamAreaTest, OperationsWithoutAnOpenAreaFailQuietly) {
  JamBase base;
  EXPECT_FALSE(base.HasMessage(1));
  base.SetCurrentNumber(1);
  EXPECT_FALSE(base.LoadMessage());
  EXPECT_EQ(base.ErrorCode(), kJamReadError);
  EXPECT_FALSE(base.BeginNewMessage());
  EXPECT_FALSE(base.StoreMessage());
  EXPECT_FALSE(base.StoreHeaderOnly());
  EXPECT_FALSE(base.DeleteMessage());
  EXPECT_EQ(base.ReadLastRead(1), 0);
  base.WriteLastRead(1, 1);
  EXPECT_EQ(base.HighestNumber(), 0);
  EXPECT_EQ(base.MessageCount(), 0);
  EXPECT_TRUE(base.CloseArea());
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
}

TEST_F(JamAreaTest, ALastReadFileHeldElsewhereIsNeitherRecreatedNorNeeded) {
  MakeArea(area(), {"one"});
  {
    JamBase base;
    ASSERT_TRUE(base.OpenArea(area()));
    base.WriteLastRead(3, 1);
  }
  const Bytes pointers = testkit::ReadFileBytes(jlr());
  ASSERT_EQ(pointers.size(), 16u);

  NoLockWait noWait;
  std::unique_ptr<DataStream> holder = OpenFileStream(jlr(), kModeReadWrite | kShareNone);
  ASSERT_TRUE(holder && holder->Status() == kStreamOk);
  JamBase base;
  ASSERT_TRUE(base.OpenArea(area()));
  EXPECT_FALSE(base.HasLastReadFile());
  EXPECT_EQ(base.ReadLastRead(3), 0);
  base.WriteLastRead(3, 9);
  ASSERT_TRUE(Post(base, "All", {"two"}));
  EXPECT_TRUE(base.CloseArea());
  holder.reset();
  EXPECT_EQ(testkit::ReadFileBytes(jlr()), pointers);
  auto again = Open();
  EXPECT_EQ(again->MessageCount(), 2);
  EXPECT_EQ(again->ReadLastRead(3), 1);
}

TEST_F(JamAreaTest, AnAreaHeldByAnotherProgramIsRefusedUntouched) {
  MakeArea(area(), {"one"});
  NoLockWait noWait;
  std::unique_ptr<DataStream> holder = OpenFileStream(jdx(), kModeReadWrite | kShareNone);
  ASSERT_TRUE(holder && holder->Status() == kStreamOk);
  JamBase base;
  EXPECT_FALSE(base.OpenArea(area()));
  EXPECT_EQ(base.ErrorCode(), kJamOpenIndex);
  EXPECT_TRUE(base.AreaExists(area()));
  EXPECT_EQ(testkit::ReadFileBytes(jdx()).size(), 8u);
}

TEST_F(JamAreaTest, TheBaseHeaderIsWrittenBackWholeWithItsReservedBytes) {
  MakeArea(area(), {"one"});
  Bytes headers = testkit::ReadFileBytes(jhr());
  PutU32At(headers, 24, 0x12345678);  // another program's high-water mark
  headers[1023] = 0xAB;
  PutU32At(headers, 16, 0x0BADF00D);  // a password crc nobody checks
  testkit::WriteFileBytes(jhr(), headers);

  auto base = Open();
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  ASSERT_TRUE(base->CloseArea());
  Bytes after = testkit::ReadFileBytes(jhr());
  after.resize(1024);
  PutU32At(headers, 8, 2);   // ModifyCount
  PutU32At(headers, 12, 2);  // ActiveCount
  headers.resize(1024);
  EXPECT_EQ(after, headers);
}

}  // namespace
}  // namespace mvx::jamtest
