// Messages of a *.MSG area on disk: loading, damage, storing, attributes,
// last-read, and posting then reading back. (Exact file bytes: base_factory_test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "msgbase/file_stream.h"
#include "msgdir/msg_attributes.h"
#include "msgdir/msg_date_text.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using namespace std::literals;
using MsgDirMessage = MsgDirTest;

const std::string kKludged =
    "\x01MSGID: 2:5020/1 0b4a6000\r\n\x01PID: Marvex\r"
    "Hello\r\x01Via a control line after the text\rBye\r";

TEST_F(MsgDirMessage, WholeTextOrOnlyTheLeadingControlLines) {
  PutFile("4.MSG", MsgFileBytes("Me", "Re: you", kKludged));
  PutFile("5.MSG", MsgFileBytes("Me", "Plain", "Just text\r\x01Late\r"));
  PutFile("6.MSG", MsgFileBytes("Me", "Only kludges", "\x01" "CHRS: CP866 2"));
  auto base = Open();
  ASSERT_TRUE(Load(*base, 4));
  EXPECT_EQ(TextOf(*base), kKludged);
  EXPECT_EQ(base->TextOffset(), 0);

  const std::string kludges[] = {"\x01MSGID: 2:5020/1 0b4a6000\r\x01PID: Marvex\r", "",
                                 "\x01" "CHRS: CP866 2\r"};
  for (std::int32_t n : {4, 5, 6}) {
    ASSERT_TRUE(Load(*base, n, true));
    EXPECT_EQ(base->FromName(), "Me");
    EXPECT_EQ(TextOf(*base), kludges[n - 4]) << n;  // lines come back with CR alone
  }
  ASSERT_TRUE(Load(*base, 4, true));
  FidoAddress orig;
  base->ReadOrigAddress(orig);
  EXPECT_EQ(FormatAddress4D(orig), "2:5020/1.0");
  // No file is held afterwards.
  EXPECT_FALSE(base->StoreHeaderOnly().ok());
  EXPECT_FALSE(base->ReleaseMessage().ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kMsgNotOpen);
}

TEST_F(MsgDirMessage, DamagedAndMissingFilesFailCleanly) {
  PutMessages({"4.MSG", "9.MSG"});
  PutFile("2.MSG", {});
  PutFile("3.MSG", std::vector<std::uint8_t>(189, 'x'));
  auto base = Open();
  std::filesystem::remove(Path("9.MSG"));
  const std::pair<std::int32_t, Errc> codes[] = {
      {1, Errc::kMsgNoMessage}, {2, Errc::kMsgOpenFailed}, {3, Errc::kMsgOpenFailed}, {9, Errc::kMsgOpenFailed}};
  for (const auto& [number, code] : codes) {
    ASSERT_TRUE(Load(*base, 4));
    base->PositionByUid(number);
    EXPECT_FALSE(base->LoadMessage().ok()) << number;
    EXPECT_EQ(base->ErrorCode(), code) << number;
    EXPECT_FALSE(base->LoadHeaderAndKludges().ok()) << number;
    EXPECT_EQ(base->ErrorCode(), code) << number;
    EXPECT_TRUE(number == 1 || base->TextBuffer() == nullptr) << number;
  }
}

TEST_F(MsgDirMessage, ShortOrUnterminatedFilesLoseNoText) {
  std::vector<std::uint8_t> bare = MsgFileBytes("", "", "");
  bare.pop_back();  // 190 bytes: header, no text, no NUL
  PutFile("2.MSG", bare);
  std::vector<std::uint8_t> noNul = MsgFileBytes("", "", "Line\rX");
  noNul.pop_back();
  PutFile("3.MSG", noNul);
  PutFile("4.MSG", std::vector<std::uint8_t>(191, 'A'));  // no field has its NUL
  auto base = Open();
  const char* const texts[] = {"", "Line\rX", "A"};
  for (std::int32_t n : {2, 3, 4}) {
    ASSERT_TRUE(Load(*base, n)) << n;
    EXPECT_EQ(TextOf(*base), texts[n - 2]) << n;
  }
  EXPECT_EQ(base->FromName().str(), std::string(36, 'A'));
  EXPECT_EQ(base->SubjectText().str(), std::string(72, 'A'));
}

TEST_F(MsgDirMessage, TextThatCannotBeHeldIsNoLoadedMessage) {
  PutFile("2.MSG", MsgFileBytes("Me", "Subj", kKludged));
  // Memory runs out 10 bytes into the text.
  FaultPlan plan{.byteBudget = 10, .memoryStreams = true};
  ScopedFaults faults(env_, plan);
  auto base = Open();
  base->PositionByUid(2);
  EXPECT_FALSE(base->LoadMessage().ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kMsgOpenFailed);
  EXPECT_EQ(base->TextBuffer(), nullptr);
  // Storing the cut text back would have cut the file.
  EXPECT_FALSE(base->StoreMessage().ok());
  EXPECT_EQ(testkit::ReadFileBytes(Path("2.MSG")), MsgFileBytes("Me", "Subj", kKludged));
  EXPECT_FALSE(base->ReleaseMessage().ok());  // another code, kMsgNotOpen
  EXPECT_FALSE(base->LoadHeaderAndKludges().ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kMsgOpenFailed);
}

TEST_F(MsgDirMessage, StoreHeaderOnlyRewritesTheHeaderInPlaceOrSaysItFailed) {
  PutFile("6.MSG", MsgFileBytes("Me", "Subj", "Text\r"));
  std::vector<std::uint8_t> want = MsgFileBytes("Me", "Subj", "Text\r");
  want[186] = 0x04;  // received
  want[187] = 0x20;  // is return receipt, stored as 0x2000
  auto base = Open();
  base->PositionByUid(6);
  FaultPlan full{.kind = Fault::kDiskFull, .at = 1};
  for (bool diskFails : {false, true}) {
    std::unique_ptr<ScopedFaults> faults(diskFails ? new ScopedFaults(env_, full) : nullptr);
    ASSERT_TRUE(base->LoadMessage().ok());
    base->ChangeAttribute(true, diskFails ? kAttrSent : kAttrReceived);
    base->ChangeAttribute(true, kAttrIsReturnReceipt);
    EXPECT_EQ(base->StoreHeaderOnly().ok(), !diskFails);
    // Stored whole, the message takes the place of its file under its name.
    EXPECT_EQ(base->StoreMessage().ok(), !diskFails);
    ASSERT_TRUE(base->ReleaseMessage().ok());
    EXPECT_EQ(testkit::ReadFileBytes(Path("6.MSG")), want);
    EXPECT_EQ(Names(), std::vector<std::string>{"6.MSG"});
  }
  // A message that can only be opened for reading is not written over.
  env_.openFile = [this](const Str& name, std::uint16_t m) {
    return env_.RealOpen((m & 0xFF) == kModeReadWrite ? name + ".absent" : name, m);
  };
  ASSERT_TRUE(base->LoadMessage().ok());
  EXPECT_FALSE(base->StoreMessage().ok());
  base->ReleaseMessage().Ignore();  // on Windows nobody else reads a message file held without sharing
  EXPECT_EQ(testkit::ReadFileBytes(Path("6.MSG")), want);
  EXPECT_EQ(Names(), std::vector<std::string>{"6.MSG"});
  EXPECT_FALSE(MsgDirBase().StoreMessage().ok());
  EXPECT_FALSE(MsgDirBase().StoreHeaderOnly().ok());
}

TEST_F(MsgDirMessage, ReleaseUnstoredAndCloseWithOne) {
  auto base = Open();
  // A message begun and released unstored leaves nothing behind.
  ASSERT_TRUE(base->BeginNewMessage().ok());
  EXPECT_EQ(Names().size(), 1u);
  ASSERT_TRUE(base->ReleaseMessage().ok());
  EXPECT_TRUE(Names().empty());
  // Closing the area keeps the open message; the object going stores nothing.
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->AppendTextLine("Still here");
  EXPECT_TRUE(base->CloseArea().ok());
  ASSERT_TRUE(base->StoreMessage().ok());
  base.reset();
  EXPECT_EQ(testkit::ReadFileBytes(Path("2.msg")).size(), 190u + 11u + 1u);
}

using MsgDirAttributes = MsgDirTest;

TEST_F(MsgDirAttributes, HeaderBitsAndScannedFromTheFlagsLine) {
  auto base = Open();
  EXPECT_FALSE(base->HasAttribute(kAttrScanned));  // no text at all
  ASSERT_TRUE(base->BeginNewMessage().ok());
  for (std::int32_t v : {kAttrPrivate, kAttrFileUpdateRequest, kAttrScanned, 0x0003}) base->ChangeAttribute(true, v);
  base->ChangeAttribute(false, kAttrPrivate);
  EXPECT_EQ(base->Header().Attributes(), 0x8000);  // scanned and a combination: nothing
  EXPECT_TRUE(base->HasAttribute(kAttrFileUpdateRequest));
  EXPECT_FALSE(base->HasAttribute(kAttrPrivate));
  EXPECT_FALSE(base->HasAttribute(0x0003));

  base->AppendTextLine("\x01" "FLAGS SCAN");
  EXPECT_FALSE(base->HasAttribute(kAttrScanned));
  base->AppendTextLine("Body");
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->AppendTextLine("\x01" "FLAGS  DIR Sca ");
  EXPECT_TRUE(base->HasAttribute(kAttrScanned));
  base->AppendTextLine("Body");  // asking did not move the place of the next line
  EXPECT_EQ(TextOf(*base), "\x01" "FLAGS  DIR Sca \rBody\r");
}

// The per-user last-read pointers ("lastread").
using MsgDirLastRead = MsgDirTest;

TEST_F(MsgDirLastRead, ReadsAndWritesTheWordOfTheUserIndex) {
  MsgDirBase closed;
  closed.WriteLastRead(0, 1);
  EXPECT_EQ(closed.ReadLastRead(0), 0);
  EXPECT_TRUE(Names().empty());

  auto base = Open();
  EXPECT_EQ(base->ReadLastRead(0), 0);  // no file yet
  base->WriteLastRead(3, 0x1234);
  EXPECT_EQ(testkit::ReadFileBytes(Path("lastread")), (Bytes{0, 0, 0, 0, 0, 0, 0x34, 0x12}));
  PutFile("lastread", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
  EXPECT_EQ(base->ReadLastRead(2), 3);
  EXPECT_EQ(base->ReadLastRead(3), 0);  // beyond the 6-byte file
  EXPECT_EQ(base->ReadLastRead(-1), 0);
  base->WriteLastRead(1, 0x10000 + 0xF234);  // cut to 16 bits, read back unsigned
  base->WriteLastRead(3, 7);
  EXPECT_EQ(testkit::ReadFileBytes(Path("lastread")), (Bytes{0x01, 0x00, 0x34, 0xF2, 0x03, 0x00, 0x07, 0x00}));
  EXPECT_EQ(base->ReadLastRead(1), 0xF234);
}

TEST_F(MsgDirLastRead, AFileThatCannotBeOpenedIsNeverEmptied) {
  PutFile("LASTREAD", {0x0A, 0x00, 0x0C, 0x00});
  Open()->WriteLastRead(1, 0x0B);  // found whatever its case
  FaultPlan plan{.refuseWriteOpens = true};  // as when another program holds it
  ScopedFaults faults(env_, plan);
  Open()->WriteLastRead(0, 0x55);
  EXPECT_EQ(testkit::ReadFileBytes(Path("LASTREAD")), (Bytes{0x0A, 0x00, 0x0B, 0x00}));
  EXPECT_EQ(Names(), std::vector<std::string>{"LASTREAD"});
}

// The date-written text of a header.
TEST(MsgDateText, LayoutsYearsAndDamagedTexts) {
  const char* const cases[][2] = {
      {"06 Dec 26  04:57:36", "2026-12-06 04:57:36"}, {"06 Dec 99 04:57:36", "1999-12-06 04:57:36"},
      {"06-12-26 04:57:36", "2026-12-06 04:57:36"},   {"Sun  6 Dec 26 04:57", "2026-12-06 04:57:00"},
      {"Wed 16 Jun 27 23:05", "2027-06-16 23:05:00"}, {"17 Jul 26  10:00:09", "2026-07-17 10:00:09"},
      {"01 Jan 70  00:00:00", "2070-01-01 00:00:00"}, {"01 jan 71  23:59:58", "1971-01-01 23:59:58"},
      // Unknown layouts give the year 2000 only; damaged ones what can be read.
      {"2026-12-06 04:57:36", "2000-00-00 00:00:00"}, {"", "2000-00-00 00:00:00"},
      {"06 Dez 26  04:57:36", "2026-00-06 04:57:36"}, {"06 Dec", "2000-12-06 00:00:00"},
      {"xx Dec 26  04:5x:36", "2026-12-00 04:00:36"}, {"06-12", "2000-12-06 00:00:00"},
  };
  for (const auto& c : cases) {
    DateTimeRec d;
    d.Hundredths = 55;
    ParseMsgDateText(c[0], d);
    EXPECT_EQ(DateText(d), c[1]) << c[0];
    EXPECT_EQ(d.Hundredths, 0);
  }
}

using MsgDirPost = MsgDirTest;

std::string Text4D(const FidoAddress& a) { return FormatAddress4D(a).str(); }

TEST_F(MsgDirPost, AddressesAndDatesComeBackThroughTheHeader) {
  {
    auto base = Open();
    ASSERT_TRUE(base->BeginNewMessage().ok());
    base->AppendTextLine("\x01MSGID: 1:1/1 12345678");  // its serial is carried over
    base->EmitAddressKludges(FidoAddress{1, 5020, 1, 3}, FidoAddress{3, 463, 99, 4}, false);
    base->PutWrittenDate(DateTimeRec{23, 59, 58, 0, 31, 1, 1999});
    base->PutArrivedDate(DateTimeRec{3, 4, 5, 6, 2, 1, 1999});
    ASSERT_TRUE(base->StoreMessage().ok() && base->ReleaseMessage().ok());
  }
  auto base = Open();
  ASSERT_TRUE(Load(*base, 2, true));
  EXPECT_EQ(TextOf(*base), "\x01MSGID: 1:5020/1.3 12345678\r");
  // Zone and point of the origin come from the MSGID line; the destination
  // has only the header's net and node, and zone 2 by default.
  FidoAddress orig, dest, only{7, 7, 7, 7};
  base->ReadBothAddresses(orig, dest);
  EXPECT_EQ(Text4D(orig) + " " + Text4D(dest), "1:5020/1.3 2:463/99.0");
  base->ReadOrigAddress(only);
  EXPECT_EQ(Text4D(only), "1:5020/1.3");
  base->ReadDestAddress(only);
  EXPECT_EQ(Text4D(only), "2:463/99.0");
  DateTimeRec written, arrived;
  base->ReadWrittenDate(written);
  base->ReadArrivedDate(arrived);
  EXPECT_EQ(DateText(written) + " / " + DateText(arrived), "1999-01-31 23:59:58 / 1999-01-02 03:04:04");  // 2-second steps
}

TEST_F(MsgDirPost, LongNamesAndSubjectsAreCutToTheirFields) {
  auto base = Open();
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->PutToName("To");
  base->PutFromName(std::string(50, 'F'));
  base->PutSubject(std::string(100, 'S'));
  const std::uint8_t* h = base->Header().data();
  EXPECT_EQ(std::string(h + 34, h + 38), "F\0To"s);
  EXPECT_EQ(std::string(h + 142, h + 165), "S\0" "06 Dec 26  04:57:36\0\0"s);  // the date follows intact
  EXPECT_EQ(base->FromName().str(), std::string(35, 'F'));
  EXPECT_EQ(base->SubjectText().str(), std::string(71, 'S'));
}

TEST_F(MsgDirPost, AreaPathAndDirectory) {
  for (const std::string suffix : {"", "/", "\\"}) {
    MsgDirBase base;
    ASSERT_TRUE(base.OpenArea(dir_.path() + suffix).ok()) << suffix;
    EXPECT_EQ(base.AreaPath(), dir_.path() + (suffix.empty() ? "\\" : suffix));
  }
  // CreateArea makes the directory with its parents, "\" separators included.
  std::string dos = Path("net/echo/area");
  std::replace(dos.begin(), dos.end(), '/', '\\');
  MsgDirBase base;
  ASSERT_FALSE(base.OpenArea(dos).ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kMsgNoArea);
  ASSERT_TRUE(base.CreateArea(dos).ok());
  ASSERT_TRUE(base.BeginNewMessage().ok() && base.StoreMessage().ok());
  EXPECT_EQ(testkit::ListDir(Path("net/echo/area")), std::vector<std::string>{testkit::Made("2.msg")});
  EXPECT_TRUE(base.CloseArea().ok());
  EXPECT_EQ(base.AreaPath(), "");
  // A directory that cannot be made fails at once, not at the first message.
  testkit::WriteFileText(Path("blocker"), "a file where the directory should be");
  EXPECT_FALSE(base.CreateArea(Path("blocker/area")).ok());
  EXPECT_FALSE(base.IsOpen());
  EXPECT_FALSE(base.BeginNewMessage().ok());
}

}  // namespace
}  // namespace mvx::msgdirtest
