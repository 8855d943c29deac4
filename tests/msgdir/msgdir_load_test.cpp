// Loading messages from a *.MSG area: whole messages, the header with only
// the leading control lines, damaged files, and writing a header back.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "msgdir/msgdir_base.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using MsgDirLoadTest = MsgDirTest;

const std::string kKludgedText =
    "\x01MSGID: 2:5020/1 0b4a6000\r\n\x01PID: Marvex\r"
    "Hello\r\x01Via a control line after the text\rBye\r";

TEST_F(MsgDirLoadTest, LoadMessageGivesTheWholeText) {
  PutFile("4.MSG", MsgFileBytes("Me", "Re: you", kKludgedText));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(4);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.FromName(), "Me");
  EXPECT_EQ(base.SubjectText(), "Re: you");
  EXPECT_EQ(TextOf(base), kKludgedText);
  EXPECT_EQ(base.TextOffset(), 0);
}

TEST_F(MsgDirLoadTest, LoadHeaderAndKludgesGivesOnlyTheLeadingControlLines) {
  PutFile("4.MSG", MsgFileBytes("Me", "Re: you", kKludgedText));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(4);
  ASSERT_TRUE(base.LoadHeaderAndKludges());
  EXPECT_EQ(base.FromName(), "Me");
  // Lines come back with CR alone; the text stops before "Hello".
  EXPECT_EQ(TextOf(base), "\x01MSGID: 2:5020/1 0b4a6000\r\x01PID: Marvex\r");
  FidoAddress orig;
  base.ReadOrigAddress(orig);
  EXPECT_EQ(orig.Zone, 2);
  EXPECT_EQ(orig.Net, 5020);
  EXPECT_EQ(orig.Node, 1);
  // No file is held afterwards.
  EXPECT_FALSE(base.ReleaseMessage());
  EXPECT_EQ(base.ErrorCode(), kMsgErrNotOpen);
  EXPECT_FALSE(base.StoreHeaderOnly());
}

TEST_F(MsgDirLoadTest, LoadHeaderAndKludgesOfATextWithoutControlLines) {
  PutFile("4.MSG", MsgFileBytes("Me", "Plain", "Just text\r\x01Late\r"));
  PutFile("5.MSG", MsgFileBytes("Me", "Only kludges", "\x01" "CHRS: CP866 2\r"));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(4);
  ASSERT_TRUE(base.LoadHeaderAndKludges());
  EXPECT_EQ(TextOf(base), "");
  base.SetCurrentNumber(5);
  ASSERT_TRUE(base.LoadHeaderAndKludges());
  EXPECT_EQ(TextOf(base), "\x01" "CHRS: CP866 2\r");
}

TEST_F(MsgDirLoadTest, MissingNumberAndVanishedFile) {
  PutMessage("4.MSG");
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(3);
  EXPECT_FALSE(base.LoadMessage());
  EXPECT_EQ(base.ErrorCode(), kMsgErrNoMessage);
  EXPECT_FALSE(base.LoadHeaderAndKludges());
  EXPECT_EQ(base.ErrorCode(), kMsgErrNoMessage);

  std::filesystem::remove(Path("4.MSG"));
  base.SetCurrentNumber(4);
  EXPECT_FALSE(base.LoadMessage());
  EXPECT_EQ(base.ErrorCode(), kMsgErrOpenFailed);
  EXPECT_EQ(base.TextBuffer(), nullptr);
}

TEST_F(MsgDirLoadTest, TruncatedFilesFailCleanly) {
  PutFile("2.MSG", {});
  PutFile("3.MSG", std::vector<std::uint8_t>(100, 'x'));
  PutFile("4.MSG", std::vector<std::uint8_t>(189, 'x'));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  for (std::int32_t n : {2, 3, 4}) {
    base.SetCurrentNumber(n);
    EXPECT_FALSE(base.LoadMessage()) << n;
    EXPECT_EQ(base.ErrorCode(), kMsgErrOpenFailed);
    EXPECT_EQ(base.TextBuffer(), nullptr);
    EXPECT_EQ(base.FromName(), "");
    EXPECT_FALSE(base.LoadHeaderAndKludges()) << n;
    EXPECT_FALSE(base.ReleaseMessage());
  }
}

TEST_F(MsgDirLoadTest, HeaderOnlyAndMissingNulLoadWithoutLosingText) {
  std::vector<std::uint8_t> bare = MsgFileBytes("Bare", "", "");
  bare.pop_back();  // 190 bytes: header, no text, no NUL
  PutFile("2.MSG", bare);
  std::vector<std::uint8_t> noNul = MsgFileBytes("NoNul", "", "Line\rX");
  noNul.pop_back();
  PutFile("3.MSG", noNul);
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(2);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.FromName(), "Bare");
  EXPECT_EQ(base.TextLength(), 0);
  base.SetCurrentNumber(3);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(TextOf(base), "Line\rX");
}

TEST_F(MsgDirLoadTest, HeaderFieldsWithoutTheirNulStayInsideTheField) {
  std::vector<std::uint8_t> bytes(191, 'A');
  bytes[190] = 0;
  PutFile("2.MSG", bytes);
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(2);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.FromName().str(), std::string(36, 'A'));
  EXPECT_EQ(base.SubjectText().str(), std::string(72, 'A'));
  DateTimeRec d;
  base.ReadWrittenDate(d);  // 20 letters: no layout it knows
  EXPECT_EQ(d.Year, 2000);
  EXPECT_EQ(d.Month, 0);
}

TEST_F(MsgDirLoadTest, StoreHeaderOnlyRewritesTheHeaderInPlace) {
  PutFile("6.MSG", MsgFileBytes("Me", "Subj", "Text\r"));
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(6);
  ASSERT_TRUE(base.LoadMessage());
  base.ChangeAttribute(true, kAttrReceived);
  base.ChangeAttribute(true, kAttrIsReturnReceipt);
  ASSERT_TRUE(base.StoreHeaderOnly());
  ASSERT_TRUE(base.ReleaseMessage());
  const std::vector<std::uint8_t> bytes = testkit::ReadFileBytes(Path("6.MSG"));
  std::vector<std::uint8_t> want = MsgFileBytes("Me", "Subj", "Text\r");
  want[186] = 0x04;  // received
  want[187] = 0x20;  // is return receipt, stored as 0x2000
  EXPECT_EQ(bytes, want);
}

TEST_F(MsgDirLoadTest, ReleaseWithoutAMessage) {
  MsgDirBase base;
  EXPECT_FALSE(base.ReleaseMessage());
  EXPECT_EQ(base.ErrorCode(), kMsgErrNotOpen);
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  ASSERT_TRUE(base.BeginNewMessage());
  EXPECT_TRUE(base.ReleaseMessage());
  EXPECT_EQ(base.TextBuffer(), nullptr);
  EXPECT_FALSE(base.ReleaseMessage());
}

TEST_F(MsgDirLoadTest, ClosingKeepsTheOpenMessageUntilTheObjectGoes) {
  auto base = std::make_unique<MsgDirBase>();
  ASSERT_TRUE(base->OpenArea(dir_.path()));
  ASSERT_TRUE(base->BeginNewMessage());
  base->AppendTextLineStr("Still here");
  EXPECT_TRUE(base->CloseArea());
  ASSERT_TRUE(base->StoreMessage());
  base.reset();
  EXPECT_EQ(testkit::ReadFileBytes(Path("2.msg")).size(), 190u + 11u + 1u);
}

}  // namespace
}  // namespace mvx::msgdirtest
