// The *.MSG base on disk: loading, damage, storing, attributes, last-read,
// posting then reading back (exact file bytes: base_factory_test), and the
// message numbers of an area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "msgdir/msg_attributes.h"
#include "msgdir/msg_date_text.h"
#include "msgdir/msg_file_names.h"
#include "msgdir/msgdir_base.h"
#include "msgdir/number_set.h"
#include "testkit/faults.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace std::literals;
using namespace testkit;

// A message file as another program would write it: a 190-byte header with
// the given from name and subject, the text and a NUL.
std::vector<std::uint8_t> MsgFileBytes(const std::string& from, const std::string& subject, const std::string& text) {
  std::vector<std::uint8_t> bytes(190 + text.size() + 1, 0);
  std::copy(from.begin(), from.end(), bytes.begin());
  std::copy(subject.begin(), subject.end(), bytes.begin() + 72);
  std::copy(text.begin(), text.end(), bytes.begin() + 190);
  return bytes;
}

class MsgDirTest : public testkit::ScratchTest {
 protected:
  std::string Path(const std::string& name) const { return dir_ / name; }
  void PutFile(const std::string& name, const std::vector<std::uint8_t>& bytes) { WriteFileBytes(Path(name), bytes); }
  // Messages with the body "Body\r" (196 bytes), each subject naming its file.
  void PutMessages(const std::vector<std::string>& names) {
    for (const std::string& name : names) PutFile(name, MsgFileBytes("A", "Subject of " + name, "Body\r"));
  }
  std::vector<std::string> Names() const { return testkit::ListDir(dir_.path()); }
  std::unique_ptr<MsgDirBase> Open() {
    auto base = std::make_unique<MsgDirBase>(env_);
    EXPECT_TRUE(base->OpenArea(dir_.path()).ok());
    return base;
  }
};

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

  const std::pair<std::int32_t, std::string> kludges[] = {
      {5, ""}, {6, "\x01" "CHRS: CP866 2\r"}, {4, "\x01MSGID: 2:5020/1 0b4a6000\r\x01PID: Marvex\r"}};
  for (const auto& [n, want] : kludges) {
    ASSERT_TRUE(Load(*base, n, true));
    EXPECT_EQ(base->FromName(), "Me");
    EXPECT_EQ(TextOf(*base), want) << n;  // lines come back with CR alone
  }
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
  const auto noNul = [](const std::string& text) {
    std::vector<std::uint8_t> bytes = MsgFileBytes("", "", text);
    bytes.pop_back();
    return bytes;
  };
  PutFile("2.MSG", noNul(""));  // 190 bytes: header, no text, no NUL
  PutFile("3.MSG", noNul("Line\rX"));
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
}

TEST_F(MsgDirMessage, ReleaseUnstoredAndCloseWithOne) {
  auto base = Open();
  // A message begun and released unstored leaves nothing behind.
  ASSERT_TRUE(base->BeginNewMessage().ok());
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

TEST_F(MsgDirPost, CreateAreaMakesTheDirectoryOrFailsAtOnce) {
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
  // A directory that cannot be made fails at once, not at the first message.
  testkit::WriteFileText(Path("blocker"), "a file where the directory should be");
  EXPECT_FALSE(base.CreateArea(Path("blocker/area")).ok());
  EXPECT_FALSE(base.BeginNewMessage().ok());
}

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
    // The message has no name of its own before it is stored, whole.
    EXPECT_FALSE(testkit::PathExists(dir / c.next)) << c.next;
    ASSERT_TRUE(base.StoreMessage().ok());
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
  // Gone already, or removed by another program: false.
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
}  // namespace mvx
