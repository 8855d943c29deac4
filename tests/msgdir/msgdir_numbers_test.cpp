// Message numbers of a *.MSG area: the scan of an existing directory, the
// numbers new messages get, navigation and deletion.
#include <gtest/gtest.h>

#include <filesystem>

#include "msgdir/msgdir_base.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using MsgDirNumbersTest = MsgDirTest;

TEST_F(MsgDirNumbersTest, EmptyAreaGetsTwoNotTheTossersOne) {
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.HighestNumber(), 0);
  EXPECT_EQ(base.MessageCount(), 0);
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 2);
  EXPECT_EQ(base.HighestNumber(), 2);
  EXPECT_EQ(base.MessageCount(), 1);
  // The file exists, empty, until the message is stored.
  EXPECT_EQ(Names(), std::vector<std::string>{"2.msg"});
  EXPECT_TRUE(testkit::ReadFileBytes(Path("2.msg")).empty());
}

TEST_F(MsgDirNumbersTest, AreaHoldingOnlyTheHighWaterMarkGetsTwo) {
  PutFile("1.MSG", std::vector<std::uint8_t>(192, 0));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.MessageCount(), 1);
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 2);
  EXPECT_EQ(testkit::ReadFileBytes(Path("1.MSG")).size(), 192u);
}

TEST_F(MsgDirNumbersTest, NextNumberIsAboveTheHighest) {
  PutMessage("1.MSG");
  PutMessage("2.MSG");
  PutMessage("7.MSG");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.MessageCount(), 3);
  EXPECT_EQ(base.HighestNumber(), 7);
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 8);
  EXPECT_EQ(base.MessageCount(), 4);
  EXPECT_TRUE(testkit::PathExists(Path("8.msg")));
  // The next one continues from there.
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 9);
}

TEST_F(MsgDirNumbersTest, NamesAreFoundWhateverTheirCase) {
  PutMessage("3.msg");
  PutMessage("5.Msg");
  PutMessage("9.MSG");
  PutMessage("9.msg");  // the same number twice is one message
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.MessageCount(), 3);
  EXPECT_EQ(base.HighestNumber(), 9);
  base.SetCurrentNumber(5);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.SubjectText(), "Subject of 5.Msg");
}

TEST_F(MsgDirNumbersTest, OddNamesAreSkippedAndLeadingZerosCount) {
  PutMessage("0.MSG");
  PutMessage("ABC.MSG");
  PutMessage("3X.MSG");
  PutMessage("-4.MSG");
  PutMessage(".MSG");
  PutMessage("6.TXT");
  PutMessage("0012.MSG");
  ASSERT_TRUE(std::filesystem::create_directory(Path("20.MSG")));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.MessageCount(), 1);
  EXPECT_EQ(base.HighestNumber(), 12);
  EXPECT_FALSE(base.HasMessage(0));
  EXPECT_FALSE(base.HasMessage(20));
  // Message 12 is read and deleted under the name it was found by.
  base.SetCurrentNumber(12);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.SubjectText(), "Subject of 0012.MSG");
  ASSERT_TRUE(base.ReleaseMessage());
  ASSERT_TRUE(base.DeleteMessage());
  EXPECT_FALSE(testkit::PathExists(Path("0012.MSG")));
  EXPECT_EQ(base.MessageCount(), 0);
}

TEST_F(MsgDirNumbersTest, HugeNumbersInNamesAreLeftAlone) {
  PutMessage("99999999999.MSG");
  PutMessage("70000.msg");
  PutMessage("61440.MSG");
  PutMessage("32768.MSG");
  PutMessage("$FFFFFFFF.MSG");
  PutMessage("4.MSG");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.MessageCount(), 1);
  EXPECT_EQ(base.HighestNumber(), 4);
  EXPECT_FALSE(base.HasMessage(70000));
  EXPECT_FALSE(base.HasMessage(32768));
  EXPECT_FALSE(base.HasMessage(-1));
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 5);
  EXPECT_EQ(testkit::ReadFileBytes(Path("70000.msg")).size(), 190u + 18u + 1u);
}

TEST_F(MsgDirNumbersTest, NoNewMessageBeyondTheLastNumber) {
  PutMessage("32766.MSG");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 32767);
  ASSERT_TRUE(base.StoreMessage());
  EXPECT_FALSE(base.BeginNewMessage());
  EXPECT_EQ(base.HighestNumber(), 32767);
  EXPECT_EQ(base.MessageCount(), 2);
  EXPECT_EQ(Names().size(), 2u);
  // Nothing is held after the refusal.
  EXPECT_EQ(base.TextBuffer(), nullptr);
  EXPECT_FALSE(base.StoreMessage());
}

TEST_F(MsgDirNumbersTest, FileWrittenByAnotherProgramSinceTheScanIsNotReplaced) {
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  PutMessage("2.MSG", "Tosser");
  PutMessage("3.msg", "Editor");
  const std::vector<std::uint8_t> two = testkit::ReadFileBytes(Path("2.MSG"));
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 4);
  ASSERT_TRUE(base.StoreMessage());
  EXPECT_EQ(testkit::ReadFileBytes(Path("2.MSG")), two);
  EXPECT_TRUE(base.HasMessage(2));
  EXPECT_TRUE(base.HasMessage(3));
  EXPECT_EQ(base.MessageCount(), 3);
  EXPECT_EQ(testkit::ReadFileBytes(Path("4.msg")).size(), 191u);
}

TEST_F(MsgDirNumbersTest, NewMessageInAMissingDirectoryFailsAndSpendsTheNumber) {
  const std::string area = Path("area");
  ASSERT_TRUE(std::filesystem::create_directory(area));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(area));
  std::filesystem::remove(area);
  EXPECT_FALSE(base.BeginNewMessage());
  EXPECT_EQ(base.HighestNumber(), 2);
  EXPECT_EQ(base.MessageCount(), 0);
  EXPECT_FALSE(base.StoreMessage());
}

TEST_F(MsgDirNumbersTest, NoMessageWithoutAnOpenArea) {
  MsgDirBase base;
  EXPECT_FALSE(base.BeginNewMessage());
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.CloseArea();
  EXPECT_FALSE(base.BeginNewMessage());
  EXPECT_TRUE(Names().empty());
}

TEST_F(MsgDirNumbersTest, NavigationOverThreeFiveNine) {
  PutMessage("3.MSG");
  PutMessage("5.MSG");
  PutMessage("9.MSG");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.PositionFrom(1);
  EXPECT_EQ(base.CurrentNumber(), 3);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 5);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 9);
  EXPECT_EQ(base.CurrentUid(), 9);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 0);
  EXPECT_FALSE(base.IsPositioned());
  base.PositionFrom(6);
  EXPECT_EQ(base.CurrentNumber(), 9);
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 5);
  base.PositionFrom(10);
  EXPECT_EQ(base.CurrentNumber(), 0);
  base.PositionByUid(3);
  EXPECT_EQ(base.CurrentNumber(), 3);
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 0);
}

TEST_F(MsgDirNumbersTest, DeleteRemovesTheFileAndKeepsTheHighestNumber) {
  PutMessage("3.MSG");
  PutMessage("5.MSG");
  PutMessage("9.MSG");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(9);
  ASSERT_TRUE(base.DeleteMessage());
  EXPECT_FALSE(testkit::PathExists(Path("9.MSG")));
  EXPECT_FALSE(base.HasMessage(9));
  EXPECT_EQ(base.MessageCount(), 2);
  EXPECT_EQ(base.HighestNumber(), 9);
  // Gone already, or never there: false, nothing changes.
  EXPECT_FALSE(base.DeleteMessage());
  base.SetCurrentNumber(4);
  EXPECT_FALSE(base.DeleteMessage());
  EXPECT_EQ(base.MessageCount(), 2);
  // A file another program removed meanwhile cannot be deleted either.
  std::filesystem::remove(Path("5.MSG"));
  base.SetCurrentNumber(5);
  EXPECT_FALSE(base.DeleteMessage());
  EXPECT_TRUE(base.HasMessage(5));
  // The next new message is still above the deleted one.
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_EQ(base.CurrentNumber(), 10);
}

}  // namespace
}  // namespace mvx::msgdirtest
