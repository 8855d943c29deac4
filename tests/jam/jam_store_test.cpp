// Storing messages: the bytes of a new area and of its first message, the
// control lines that become subfields, the limits, and failed writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "jam/jam_subfields.h"
#include "jam_test_support.h"

namespace mvx::jamtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A subfield as stored: id, id high 0, the length given, the text.
Bytes Sub(std::uint16_t id, std::uint8_t length, const std::string& text) {
  Bytes b(8 + text.size(), 0);
  b[0] = static_cast<std::uint8_t>(id & 0xFF);
  b[1] = static_cast<std::uint8_t>(id >> 8);
  b[4] = length;
  for (std::size_t i = 0; i < text.size(); ++i) b[8 + i] = static_cast<std::uint8_t>(text[i]);
  return b;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
  if (from >= bytes.size()) return {};
  return Bytes(bytes.begin() + from, bytes.begin() + std::min(bytes.size(), from + count));
}

// The subfields of the message header at offset in the .JHR bytes.
std::vector<Subfield> SubfieldsAt(const Bytes& jhr, std::size_t offset) {
  const std::uint32_t length = U32At(jhr, offset + 8);
  std::vector<Subfield> out;
  if (offset + 76 + length > jhr.size()) return out;
  SubfieldWalker walk(jhr.data() + offset + 76, length);
  Subfield f;
  while (walk.Next(f)) out.push_back(f);
  return out;
}

std::vector<std::uint16_t> IdsOf(const std::vector<Subfield>& fields) {
  std::vector<std::uint16_t> ids;
  for (const Subfield& f : fields) ids.push_back(f.Id);
  return ids;
}

using JamStoreTest = AreaFixture;

TEST_F(JamStoreTest, NewAreaAndFirstMessageBytes) {
  auto base = Create();
  Bytes header{0x4A, 0x41, 0x4D, 0x00, 0x40, 0xEB, 0x14, 0x6B, 0, 0, 0, 0, 0, 0, 0, 0,
               0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
  header.resize(1024, 0);
  EXPECT_EQ(testkit::ReadFileBytes(jhr()), header);
  EXPECT_TRUE(testkit::PathExists(jdx()) && testkit::ReadFileBytes(jdx()).empty());
  EXPECT_TRUE(testkit::PathExists(jdt()) && testkit::ReadFileBytes(jdt()).empty());
  EXPECT_TRUE(testkit::PathExists(jlr()) && testkit::ReadFileBytes(jlr()).empty());

  ASSERT_TRUE(base->BeginNewMessage());
  EXPECT_EQ(base->CurrentNumber(), 1);
  base->PutFromName("Alice");
  base->PutToName("Bob");
  base->PutSubject("Hi");
  base->ChangeAttribute(true, kAttrLocal);
  base->AppendTextLineStr("\x01MSGID: 2:5020/1.3 12345678");
  base->AppendTextLineStr("Hello");
  ASSERT_TRUE(base->StoreMessage());

  EXPECT_EQ(testkit::ReadFileBytes(jdx()), (Bytes{0xBF, 0x4E, 0x34, 0x0A, 0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(testkit::ReadFileText(jdt()), "Hello\r");
  const Bytes fixed{0x4A, 0x41, 0x4D, 0x00, 1, 0, 0, 0,          // signature, revision, reserved
                    97, 0, 0, 0, 0, 0, 0, 0,                     // subfield length, times read
                    0xE0, 0xF4, 0xC9, 0xC7, 0xFF, 0xFF, 0xFF, 0xFF,  // MSGID crc, REPLY crc
                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,          // reply to, first, next reply
                    0x40, 0xEB, 0x14, 0x6B, 0, 0, 0, 0,          // written, received
                    0x40, 0xEB, 0x14, 0x6B, 1, 0, 0, 0,          // processed, message number
                    1, 0, 0, 0, 0, 0, 0, 0,                      // attributes (local), attributes 2
                    0, 0, 0, 0, 6, 0, 0, 0,                      // text start, text size
                    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};         // password crc, cost
  Bytes expected = fixed;
  for (const Bytes& s : {Sub(2, 5, "Alice"), Sub(0, 10, "2:5020/1.3"), Sub(3, 3, "Bob"),
                         Sub(1, 10, "2:5020/1.3"), Sub(6, 2, "Hi"), Sub(4, 19, "2:5020/1.3 12345678")}) {
    expected.insert(expected.end(), s.begin(), s.end());
  }
  const Bytes file = testkit::ReadFileBytes(jhr());
  ASSERT_EQ(file.size(), 1024u + 76u + 97u);
  EXPECT_EQ(Slice(file, 1024, 76 + 97), expected);

  // The counters reach the file when the area is closed.
  EXPECT_EQ(U32At(file, 12), 0u);
  ASSERT_TRUE(base->CloseArea());
  const Bytes closed = testkit::ReadFileBytes(jhr());
  EXPECT_EQ(U32At(closed, 8), 1u);   // ModifyCount
  EXPECT_EQ(U32At(closed, 12), 1u);  // ActiveCount
}

TEST_F(JamStoreTest, ControlLinesBecomeSubfieldsAndTheBodyIsWhatRemains) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->PutFromName("Marvex");
  base->PutToName("All");
  base->PutSubject("Rules");
  base->AppendTextLineStr("\x01MSGID: 2:5020/1 0b4a6000");
  base->AppendTextLineStr("\x01PID: Marvex 2.1");
  base->AppendTextLineStr("Hello");
  base->AppendTextLineStr("SEEN-BY: 5020/1 2");
  ASSERT_TRUE(base->StoreMessage());

  EXPECT_EQ(testkit::ReadFileText(jdt()), "Hello\r");
  const std::vector<Subfield> fields = SubfieldsAt(testkit::ReadFileBytes(jhr()), 1024);
  EXPECT_EQ(IdsOf(fields), (std::vector<std::uint16_t>{2, 0, 3, 1, 6, 4, 7, 2001}));
  ASSERT_EQ(fields.size(), 8u);
  EXPECT_EQ(fields[5].Data, "2:5020/1 0b4a6000");
  EXPECT_EQ(fields[6].Data, "Marvex 2.1");
  EXPECT_EQ(fields[7].Data, "5020/1 2");
  EXPECT_EQ(base->CurrentHeader().TextSize, 6u);
}

TEST_F(JamStoreTest, EveryKindOfLineWhereverItStands) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->PutToName("Sysop");
  for (const char* line : {"\x01INTL 1:234/5 2:5020/1", "\x01MSGID: 2:5020/1 abc", "first",
                           "\x01REPLY: 1:234/5 def", "\x01" "FMPT 3", "\x01TOPT 7", "SEEN-BY: 5020/1",
                           "\x01" "FLAGS: DIR", "\x01Via 2:5020/1 @20261206", "\x01PATH: 5020/1",
                           "\x01" "CHRS: CP866 2", "Seen-by: lower case is text", "last"}) {
    base->AppendTextLineStr(line);
  }
  ASSERT_TRUE(base->StoreMessage());

  EXPECT_EQ(testkit::ReadFileText(jdt()), "first\rSeen-by: lower case is text\rlast\r");
  const std::vector<Subfield> fields = SubfieldsAt(testkit::ReadFileBytes(jhr()), 1024);
  // No subject (empty), no INTL, FMPT or TOPT: the addresses are in 0 and 1.
  EXPECT_EQ(IdsOf(fields), (std::vector<std::uint16_t>{2, 0, 3, 1, 4, 5, 2001, 2003, 8, 2002, 2000}));
  ASSERT_EQ(fields.size(), 11u);
  EXPECT_EQ(fields[1].Data, "2:5020/1.3");  // MSGID, then the FMPT point
  EXPECT_EQ(fields[3].Data, "1:234/5.7");   // INTL, then the TOPT point
  EXPECT_EQ(fields[5].Data, "1:234/5 def");
  EXPECT_EQ(fields[10].Data, "CHRS: CP866 2");
  EXPECT_EQ(base->CurrentHeader().MsgIdCrc, 0x7971EB54u);  // JamCrc("2:5020/1 abc")
  EXPECT_EQ(base->CurrentHeader().ReplyCrc, 0x9968E2EDu);  // JamCrc("1:234/5 def")
}

TEST_F(JamStoreTest, DestinationZeroTakesTheOrigin) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->AppendTextLineStr("\x01MSGID: 2:5020/1 12345678");
  ASSERT_TRUE(base->StoreMessage());
  const std::vector<Subfield> fields = SubfieldsAt(testkit::ReadFileBytes(jhr()), 1024);
  ASSERT_GE(fields.size(), 4u);
  EXPECT_EQ(fields[0].Data, "");  // an empty from-name still has its subfield
  EXPECT_EQ(fields[1].Data, "2:5020/1.0");
  EXPECT_EQ(fields[3].Data, "2:5020/1.0");
}

TEST_F(JamStoreTest, MessageKindFollowsTheArea) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->ChangeAttribute(true, 0x02000000);  // netmail kind, but the area has none
  base->ChangeAttribute(true, kAttrPrivate);
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->CurrentHeader().Attributes, 0x00000004u);

  base->SetAreaKind(1);
  ASSERT_TRUE(base->BeginNewMessage());
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->CurrentHeader().Attributes, 0x01000000u);
  EXPECT_TRUE(base->HasAttribute(0x01000000));
  EXPECT_FALSE(base->HasAttribute(0x1000));  // is return receipt: JAM cannot say
}

TEST_F(JamStoreTest, FileAttachAndRequestRepeatTheSubject) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->PutSubject("C:\\FILES\\NODELIST.ZIP");
  base->ChangeAttribute(true, kAttrFileAttached);
  base->ChangeAttribute(true, kAttrFileRequest);
  ASSERT_TRUE(base->StoreMessage());
  const std::vector<Subfield> fields = SubfieldsAt(testkit::ReadFileBytes(jhr()), 1024);
  EXPECT_EQ(IdsOf(fields), (std::vector<std::uint16_t>{2, 0, 3, 1, 6, 9, 11}));
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_EQ(fields[5].Data, "C:\\FILES\\NODELIST.ZIP");
  EXPECT_EQ(base->CurrentHeader().Attributes, 0x00003000u);
}

TEST_F(JamStoreTest, LongLinesAndTheSubfieldLimit) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->PutFromName("Marvex");
  base->PutToName("All");
  base->PutSubject("Rules");
  // A control line of 400 characters is cut to 255 before it is stored; a
  // body line of 20000 characters goes into the text whole.
  const std::string longBody(20000, 'b');
  base->AppendTextLine(("\x01X-LONG " + std::string(400, 'x')).c_str());
  base->AppendTextLine(longBody.c_str());
  // 60 SEEN-BY lines of 258 stored bytes each cannot all fit in 12288 bytes.
  for (int i = 0; i < 60; ++i) base->AppendTextLine(("SEEN-BY: " + std::string(250, 'a' + i % 26)).c_str());
  base->AppendTextLineStr("\x01PATH: 5020/1");
  ASSERT_TRUE(base->StoreMessage());

  const JamMessageHeader& h = base->CurrentHeader();
  EXPECT_LE(h.SubfieldLength, 12288u);
  EXPECT_EQ(h.TextSize, 20001u);
  EXPECT_EQ(testkit::ReadFileText(jdt()), longBody + "\r");
  const std::vector<Subfield> fields = SubfieldsAt(testkit::ReadFileBytes(jhr()), 1024);
  ASSERT_GE(fields.size(), 6u);
  EXPECT_EQ(fields[5].Id, 2000);
  EXPECT_EQ(fields[5].Data, Str("X-LONG " + std::string(248, 'x')));
  // Names, addresses and subject take 68 bytes, the control line 263: 46
  // SEEN-BY lines fit; the 14 after them and the PATH line (which alone
  // would fit) are left out, so the lines kept are the leading ones.
  EXPECT_EQ(fields.size(), 6u + 46u);
  EXPECT_EQ(fields.back().Id, 2001);
  EXPECT_EQ(fields.back().Data, Str(std::string(250, 't')));
  EXPECT_EQ(base->DroppedControlLines(), 15u);
  EXPECT_EQ(h.SubfieldLength, 68u + 263u + 46u * 258u);
}

TEST_F(JamStoreTest, CurrentNumberNamesTheNewMessageAndNoPhantomIsLeft) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "All", {"one"}));
  // Begun but never stored: no number is used up.
  ASSERT_TRUE(base->BeginNewMessage());
  EXPECT_EQ(base->CurrentNumber(), 2);
  EXPECT_EQ(base->CurrentHeader().MessageNumber, 2u);
  base->ReleaseMessage();
  EXPECT_EQ(base->MessageCount(), 1);
  EXPECT_FALSE(base->HasMessage(2));
  ASSERT_TRUE(base->BeginNewMessage());
  EXPECT_EQ(base->CurrentNumber(), 2);
  base->AppendTextLineStr("two");
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->MessageCount(), 2);
  EXPECT_EQ(testkit::ReadFileBytes(jdx()).size(), 16u);
  ASSERT_TRUE(base->CloseArea());
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jhr()), 12), 2u);
}

TEST_F(JamStoreTest, StoringALoadedMessageRepointsItsRecord) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "All", {"one"}, "Marvex", "Old"));
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  base->SetCurrentNumber(1);
  ASSERT_TRUE(base->LoadMessage());
  base->PutSubject("New");
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->MessageCount(), 2);
  const Bytes index = testkit::ReadFileBytes(jdx());
  ASSERT_EQ(index.size(), 16u);
  const std::uint32_t offset = U32At(index, 4);
  EXPECT_GT(offset, U32At(index, 12));  // a new header, appended
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jhr()), offset + 48), 1u);
  ASSERT_TRUE(base->CloseArea());

  auto again = Open();
  EXPECT_EQ(LoadText(*again, 1), "one\r");
  EXPECT_EQ(again->SubjectText(), "New");
  EXPECT_EQ(again->BaseHeader().ModifyCount, 3u);
}

TEST_F(JamStoreTest, HeaderOnlyIsWrittenInPlaceAndNeverForAnUnstoredMessage) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "All", {"one"}));
  base->SetCurrentNumber(1);
  ASSERT_TRUE(base->LoadHeaderAndKludges());
  base->ChangeAttribute(true, kAttrSent);
  ASSERT_TRUE(base->StoreHeaderOnly());
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jhr()), 1024 + 52), 0x10u);

  const Bytes before = testkit::ReadFileBytes(jhr());
  ASSERT_TRUE(base->BeginNewMessage());
  EXPECT_FALSE(base->StoreHeaderOnly());
  EXPECT_EQ(testkit::ReadFileBytes(jhr()), before);
}

class JamStoreFailureTest : public AreaFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(JamStoreFailureTest, AFailedWriteIsReportedAndLeavesNoTrace) {
  ScopedFaults faults;
  auto base = Create();
  ASSERT_TRUE(Post(*base, "All", {"one"}));
  const Bytes header = testkit::ReadFileBytes(jhr());
  const Bytes index = testkit::ReadFileBytes(jdx());
  const Bytes text = testkit::ReadFileBytes(jdt());

  Plan().failWritesTo = GetParam();
  EXPECT_FALSE(Post(*base, "All", {"two"}));
  Plan().failWritesTo.clear();
  EXPECT_EQ(base->MessageCount(), 1);
  EXPECT_EQ(testkit::ReadFileBytes(jhr()), header);
  EXPECT_EQ(testkit::ReadFileBytes(jdx()), index);
  EXPECT_EQ(testkit::ReadFileBytes(jdt()), text);

  ASSERT_TRUE(Post(*base, "All", {"three"}));
  EXPECT_EQ(LoadText(*base, 2), "three\r");
  ASSERT_TRUE(base->CloseArea());
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jhr()), 12), 2u);
}

INSTANTIATE_TEST_SUITE_P(EachFile, JamStoreFailureTest, ::testing::Values(".jdt", ".jhr", ".jdx"));

TEST_F(JamStoreTest, CloseReportsAFailedHeaderWrite) {
  ScopedFaults faults;
  auto base = Create();
  ASSERT_TRUE(Post(*base, "All", {"one"}));
  Plan().failWritesTo = ".jhr";
  EXPECT_FALSE(base->CloseArea());
  EXPECT_FALSE(base->IsOpen());
  Plan().failWritesTo.clear();
  // The count on disk is stale; the next opening recounts from the index.
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jhr()), 12), 0u);
  auto again = Open();
  EXPECT_EQ(again->MessageCount(), 1);
}

}  // namespace
}  // namespace mvx::jamtest
