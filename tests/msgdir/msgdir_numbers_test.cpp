// Message numbers of a *.MSG area.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "msgdir/msg_file_names.h"
#include "msgdir/number_set.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using MsgDirNumbers = MsgDirTest;

TEST_F(MsgDirNumbers, NewNumbersStartAboveTheHighestAndNeverAtOne) {
  // The files there, the count and highest number they give, the next name.
  const struct { std::vector<std::string> present; std::int32_t count, highest; const char* next; } cases[] = {
      // 1.MSG is the tossers' high-water mark, which they overwrite.
      {{}, 0, 0, "2.msg"},
      {{"1.MSG"}, 1, 1, "2.msg"},
      {{"1.MSG", "2.MSG", "7.MSG"}, 3, 7, "8.msg"},
      // Any letter case; the same number twice is one message.
      {{"3.msg", "5.Msg", "9.MSG", "9.msg"}, 3, 9, "10.msg"},
      // Odd names are skipped; leading zeros count.
      {{"0.MSG", "ABC.MSG", "3X.MSG", "-4.MSG", ".MSG", "6.TXT", "0012.MSG"}, 1, 12, "13.msg"},
      // Numbers a 16-bit area cannot hold are left alone, and do not push
      // new numbers up to the limit.
      {{"99999999999.MSG", "70000.msg", "61440.MSG", "32768.MSG", "$FFFFFFFF.MSG", "4.MSG"}, 1, 4, "5.msg"},
  };
  for (const auto& c : cases) {
    testkit::TempDir dir;
    for (const std::string& name : c.present) testkit::WriteFileBytes(dir / name, MsgFileBytes("A", "", "Body\r"));
    MsgDirBase base;
    ASSERT_TRUE(base.OpenArea(dir.path()).ok());
    EXPECT_EQ(base.MessageCount(), c.count) << c.next;
    EXPECT_EQ(base.HighestNumber(), c.highest) << c.next;
    ASSERT_TRUE(base.BeginNewMessage().ok());
    EXPECT_EQ(base.CurrentNumber(), std::atoi(c.next));
    // The message has no name of its own before it is stored, whole.
    EXPECT_FALSE(testkit::PathExists(dir / c.next)) << c.next;
    ASSERT_TRUE(base.StoreMessage().ok());
    EXPECT_EQ(base.MessageCount(), c.count + 1);
    EXPECT_EQ(testkit::ReadFileBytes(dir / c.next).size(), 191u) << c.next;
    // On Windows names that differ only in case (9.MSG, 9.msg) are one file.
    const std::vector<std::string> names = kWindows ? Folded(c.present) : c.present;
    EXPECT_EQ(testkit::ListDir(dir.path()).size(), std::set<std::string>(names.begin(), names.end()).size() + 1);
    for (const std::string& name : c.present) EXPECT_EQ(testkit::ReadFileBytes(dir / name).size(), 196u);
  }
}

// marvex.top holds the highest number and the directory's change stamp. A
// moved stamp, a damaged hint or one far behind means a listing.
TEST_F(MsgDirNumbers, ABigAreaOpensFromItsTopHintWhileNothingChanged) {
  for (int n = 1; n <= 1000; ++n) WriteFileBytes(Path(std::to_string(n) + ".msg"), {0});
  const std::string hintFile = Path("marvex.top");
  auto post = [&] {
    MsgDirBase base;
    EXPECT_TRUE(base.OpenArea(dir_.path()).ok() && base.BeginNewMessage().ok() && base.StoreMessage().ok());
    const std::int32_t n = base.CurrentNumber();
    EXPECT_TRUE(base.CloseArea().ok());
    return n;
  };
  // The hint rewritten in place: the directory's stamp stays.
  auto hintSays = [&](const std::string& top) {
    const std::string hint = ReadFileText(hintFile);
    std::ofstream(hintFile, std::ios::binary) << top << hint.substr(hint.find(' '));
  };
  EXPECT_EQ(post(), 1001);
  EXPECT_EQ(ReadFileText(hintFile).substr(0, 5), "1001 ");
  hintSays("5000");
  EXPECT_EQ(post(), 5001);
  EXPECT_EQ(ReadFileText(hintFile).substr(0, 5), "5001 ");
#ifndef _WIN32
  // Another program's 5002 and 5003 in the same instant as our 5001.
  const auto stamp = std::filesystem::last_write_time(dir_.path());
  PutMessages({"5002.msg", "5003.msg"});
  std::filesystem::last_write_time(dir_.path(), stamp);
  EXPECT_EQ(post(), 5004);
  // Far behind (901 to 5004 taken): listed after all.
  hintSays("100");
  EXPECT_EQ(post(), 5005);
#endif
  const std::int32_t top = post();
  PutMessages({"other.tmp"});
  std::filesystem::remove(Path("other.tmp"));
  hintSays("9000");
  EXPECT_EQ(post(), top + 1);
  std::ofstream(hintFile, std::ios::binary) << "x";
  EXPECT_EQ(post(), top + 2);
  // A stopped run's temporary file, too young to remove: the area is listed
  // at every open until it is old enough to go.
  PutMessages({"~mvx5.$$$"});
  EXPECT_EQ(post(), top + 3);
  hintSays("9000");
  EXPECT_EQ(post(), top + 4);
  std::filesystem::remove(Path("~mvx5.$$$"));
  EXPECT_EQ(post(), top + 5);
  hintSays("9000");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()).ok());
  EXPECT_EQ(base.MessageCount(), std::int32_t(Names().size() - 1));
  EXPECT_EQ(base.HighestNumber(), top + 5);
  EXPECT_TRUE(base.HasMessage(1000));
}

TEST_F(MsgDirNumbers, MessagesUnderOddNamesAreReadAndDeletedByThoseNames) {
  PutMessages({"5.Msg", "0012.MSG"});
  ASSERT_TRUE(std::filesystem::create_directory(Path("20.MSG")));
  auto base = Open();
  EXPECT_FALSE(base->HasMessage(20));
  ASSERT_TRUE(Load(*base, 5));
  EXPECT_EQ(base->SubjectText(), "Subject of 5.Msg");
  ASSERT_TRUE(Load(*base, 12));
  EXPECT_EQ(base->SubjectText(), "Subject of 0012.MSG");
  ASSERT_TRUE(base->ReleaseMessage().ok() && base->DeleteMessage().ok());
  EXPECT_EQ(Names(), (std::vector<std::string>{"20.MSG", "5.Msg"}));
}

TEST_F(MsgDirNumbers, NoNewMessageBeyondTheLastNumberOrWithoutADirectory) {
  PutMessages({"32766.MSG"});
  auto base = Open();
  ASSERT_TRUE(base->BeginNewMessage().ok());
  EXPECT_EQ(base->CurrentNumber(), 32767);
  ASSERT_TRUE(base->StoreMessage().ok());
  EXPECT_FALSE(base->BeginNewMessage().ok());
  EXPECT_EQ(base->HighestNumber(), 32767);
  EXPECT_EQ(base->TextBuffer(), nullptr);  // nothing is held after the refusal
  EXPECT_FALSE(base->StoreMessage().ok());
  EXPECT_EQ(Names().size(), 2u);

  EXPECT_FALSE(MsgDirBase().BeginNewMessage().ok());  // no area open
  const std::string area = Path("area");
  ASSERT_TRUE(std::filesystem::create_directory(area));
  MsgDirBase gone;
  ASSERT_TRUE(gone.OpenArea(area).ok());
  std::filesystem::remove(area);
  EXPECT_FALSE(gone.BeginNewMessage().ok());
  EXPECT_FALSE(gone.StoreMessage().ok());
  EXPECT_EQ(gone.HighestNumber(), 0);  // no number is spent
  EXPECT_EQ(gone.MessageCount(), 0);
}

TEST_F(MsgDirNumbers, FileWrittenByAnotherProgramSinceTheScanIsNotReplaced) {
  auto base = Open();
  PutMessages({"2.MSG", "3.msg"});
  ASSERT_TRUE(base->BeginNewMessage().ok());
  ASSERT_TRUE(base->StoreMessage().ok());
  EXPECT_EQ(base->CurrentNumber(), 4);
  EXPECT_EQ(testkit::ReadFileBytes(Path("2.MSG")), MsgFileBytes("A", "Subject of 2.MSG", "Body\r"));
  EXPECT_EQ(base->MessageCount(), 3);
  EXPECT_EQ(testkit::ReadFileBytes(Path("4.msg")).size(), 191u);
}

TEST_F(MsgDirNumbers, NavigationAndDeleteOverThreeFiveNine) {
  PutMessages({"3.MSG", "5.MSG", "9.MSG"});
  auto base = Open();
  EXPECT_EQ(Walk(*base, 1), (std::vector<std::int32_t>{3, 5, 9}));
  EXPECT_EQ(Walk(*base, 9, true), (std::vector<std::int32_t>{9, 5, 3}));

  base->PositionByUid(9);
  ASSERT_TRUE(base->DeleteMessage().ok());
  EXPECT_FALSE(base->HasMessage(9));
  EXPECT_EQ(base->MessageCount(), 2);
  EXPECT_EQ(base->HighestNumber(), 9);
  // Gone already, never there, or removed by another program: false.
  EXPECT_FALSE(base->DeleteMessage().ok());
  base->PositionByUid(4);
  EXPECT_FALSE(base->DeleteMessage().ok());
  std::filesystem::remove(Path("5.MSG"));
  base->PositionByUid(5);
  EXPECT_FALSE(base->DeleteMessage().ok());
  EXPECT_EQ(base->MessageCount(), 2);
  EXPECT_EQ(Names(), std::vector<std::string>{"3.MSG"});
  ASSERT_TRUE(base->BeginNewMessage().ok());
  EXPECT_EQ(base->CurrentNumber(), 10);  // still above the deleted one
}

TEST(NumberSet, MarksCountOnceAndStayInsideTheSet) {
  NumberSet set;
  for (std::int32_t n : {5, 5, 61439, 61440, -1, 2147483647}) set.Mark(n);
  EXPECT_EQ(set.Count(), 2);  // outside the set: ignored, never stored
  for (std::int32_t n : {4, 6, 61440, -1}) EXPECT_FALSE(set.Test(n)) << n;
  for (std::int32_t n : {4, 70000, -1, 5}) set.Unmark(n);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_TRUE(set.Test(61439));
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
  EXPECT_FALSE(set.Test(61439));
}

TEST(MsgFileNames, APathThatWouldBeCutIsRefused) {
  Str path;
  ASSERT_TRUE(JoinAreaPath("area\\", MsgFileName(32767), path));
  EXPECT_EQ(path, "area\\" + testkit::Made("32767.msg"));
  EXPECT_FALSE(JoinAreaPath(Str(std::string(250, 'a')), "32767.msg", path));  // it names another file
  EXPECT_EQ(path, "area\\" + testkit::Made("32767.msg"));
}

}  // namespace
}  // namespace mvx::msgdirtest
