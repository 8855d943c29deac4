// Records, subfields and the CRC against values worked out by hand; storing
// messages: the bytes written, control lines as subfields, limits and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "jam/jam_crc.h"
#include "jam/jam_records.h"
#include "jam/jam_subfields.h"
#include "jam_test_support.h"

namespace mvx::jamtest {
namespace {

TEST(JamCrcTest, KnownValues) {
  const std::pair<const char*, std::uint32_t> table[] = {
      {"abc", 0xCADBBE3Du}, {"ABC", 0xCADBBE3Du}, {"", 0xFFFFFFFFu}, {"Bob", 0x0A344EBFu}};
  for (const auto& [text, crc] : table) EXPECT_EQ(JamCrc(text), crc) << text;
  // Only A-Z are lowered: a byte above 127 is hashed as it is.
  EXPECT_NE(JamCrc("\xC0"), JamCrc("\xE0"));
}

TEST(JamRecordsTest, MessageHeaderFieldOffsets) {
  // Every field a different value, so a field at the wrong offset shows.
  JamMessageHeader h{kJamSignature, 0x0102, 0x0304, 0x05060708, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                     0x80000001u, 20, 21, 22, 23, 24};
  Bytes raw(kJamMessageHeaderSize, 0xEE);
  EncodeJamMessageHeader(h, raw.data());
  const Bytes expected{
      0x4A, 0x41, 0x4D, 0x00, 0x02, 0x01, 0x04, 0x03, 0x08, 0x07, 0x06, 0x05,  // 0..11
      9,  0, 0, 0, 10, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0,         // 12..31
      14, 0, 0, 0, 15, 0, 0, 0, 16, 0, 0, 0, 17, 0, 0, 0, 18, 0, 0, 0,         // 32..51
      0x01, 0, 0, 0x80, 20, 0, 0, 0, 21, 0, 0, 0, 22, 0, 0, 0, 23, 0, 0, 0,    // 52..71
      24, 0, 0, 0};
  EXPECT_EQ(raw, expected);
  Bytes back(kJamMessageHeaderSize);
  EncodeJamMessageHeader(DecodeJamMessageHeader(raw.data()), back.data());
  EXPECT_EQ(back, raw);
}

TEST(JamSubfieldsTest, WalkCutsLongDataAndStopsAtDamage) {
  SubfieldBuffer buf;
  ASSERT_TRUE(buf.Add(kJamSeenByField, std::string(300, 's')));
  ASSERT_TRUE(buf.Add(kJamPathField, "1/1"));
  Bytes raw(buf.Data(), buf.Data() + buf.Length());
  // A third subfield whose length runs far past the bytes.
  raw.insert(raw.end(), {3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'B'});
  SubfieldWalker walk(raw.data(), static_cast<std::uint32_t>(raw.size()));
  Subfield f;
  ASSERT_TRUE(walk.Next(f));
  EXPECT_EQ(f.Data.size(), 255u);
  ASSERT_TRUE(walk.Next(f));  // stepped by the full stored length
  EXPECT_EQ(f.Id, 2002);
  EXPECT_EQ(f.Data, "1/1");
  EXPECT_FALSE(walk.Next(f));
  EXPECT_FALSE(walk.Next(f));
  // A head cut short ends the walk too.
  SubfieldWalker cut(raw.data(), 308 + 11 + 5);
  ASSERT_TRUE(cut.Next(f));
  ASSERT_TRUE(cut.Next(f));
  EXPECT_FALSE(cut.Next(f));
}

// The subfields of the message header at offset in the .JHR.
std::vector<Subfield> SubfieldsAt(const std::string& jhr, std::size_t offset = 1024) {
  const Bytes bytes = testkit::ReadFileBytes(jhr);
  const std::uint32_t length = U32At(bytes, offset + 8);
  std::vector<Subfield> out;
  SubfieldWalker walk(bytes.data() + offset + 76, offset + 76 + length <= bytes.size() ? length : 0);
  for (Subfield f; walk.Next(f);) out.push_back(f);
  return out;
}

// "id=data;" for each subfield, in order.
std::string Describe(const std::vector<Subfield>& fields) {
  std::string s;
  for (const Subfield& f : fields) s += std::to_string(f.Id) + "=" + f.Data.str() + ";";
  return s;
}

using JamStoreTest = AreaFixture;

// The bytes of a new area and its first message, and its fields back after
// closing and reopening.
TEST_F(JamStoreTest, NewAreaFirstMessageBytesAndRoundTrip) {
  auto base = Open(true);
  EXPECT_EQ(testkit::ReadFileBytes(file("jhr")), NewAreaHeader());
  for (const char* ext : {"jdx", "jdt", "jlr"}) EXPECT_TRUE(testkit::ReadFileBytes(file(ext)).empty()) << ext;
  ASSERT_TRUE(base->BeginNewMessage().ok());
  EXPECT_EQ(base->CurrentNumber(), 1);
  base->PutFromName("Alice");
  base->PutToName("Bob");
  base->PutSubject("Hi");
  base->PutWrittenDate(DateTimeRec{4, 5, 6, 0, 3, 2, 2001});
  for (std::int32_t bit : {kAttrLocal, kAttrPrivate, kAttrKillSent}) base->ChangeAttribute(true, bit);
  base->ChangeAttribute(true, 0x02000000);  // netmail kind: cleared, the area has no kind
  for (const char* line : {"\x01MSGID: 2:5020/1.3 12345678", "\x01PID: Marvex 2.1", "Hello", "SEEN-BY: 5020/1 2"})
    base->AppendTextLine(line);
  ASSERT_TRUE(base->StoreMessage().ok());

  // JamCrc("Bob") = 0x0A344EBF, header at 1024.
  EXPECT_EQ(testkit::ReadFileBytes(file("jdx")), (Bytes{0xBF, 0x4E, 0x34, 0x0A, 0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(testkit::ReadFileText(file("jdt")), "Hello\r");
  Bytes expected{0x4A, 0x41, 0x4D, 0x00, 1, 0, 0, 0,              // signature, revision, reserved
                 131, 0, 0, 0, 0, 0, 0, 0,                        // subfield length, times read
                 0xE0, 0xF4, 0xC9, 0xC7, 0xFF, 0xFF, 0xFF, 0xFF,  // MSGID crc, REPLY crc
                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // reply to, first, next reply
                 0x72, 0x83, 0x7B, 0x3A, 0, 0, 0, 0,              // written (981173106), received
                 0x40, 0xEB, 0x14, 0x6B, 1, 0, 0, 0,              // processed (1796533056), message number
                 0x25, 0, 0, 0, 0, 0, 0, 0,                       // attributes (local, private, kill/sent), 2
                 0, 0, 0, 0, 6, 0, 0, 0,                          // text start, text size
                 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};             // password crc, cost
  // Subfields: id (u16), id high 0, length (u32), data. A destination of
  // 0:0/0.0 repeats the origin.
  for (const auto& [id, text] : {std::pair<std::uint16_t, std::string>{2, "Alice"}, {0, "2:5020/1.3"}, {3, "Bob"},
                                 {1, "2:5020/1.3"}, {6, "Hi"}, {4, "2:5020/1.3 12345678"}, {7, "Marvex 2.1"},
                                 {2001, "5020/1 2"}}) {
    expected.insert(expected.end(), {static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8), 0, 0,
                                     static_cast<std::uint8_t>(text.size()), 0, 0, 0});
    expected.insert(expected.end(), text.begin(), text.end());
  }
  const Bytes jhr = testkit::ReadFileBytes(file("jhr"));
  ASSERT_EQ(jhr.size(), 1024u + 76u + 131u);
  EXPECT_EQ(Bytes(jhr.begin() + 1024, jhr.end()), expected);
  EXPECT_EQ(LoadText(*base, 1), "\x01MSGID: 2:5020/1.3 12345678\r\x01PID: Marvex 2.1\rHello\rSEEN-BY: 5020/1 2\r");

  // The counters reach the file when the area is closed.
  EXPECT_EQ(U32At(jhr, 12), 0u);
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  ASSERT_TRUE(Post(*base, "All", {"three", "SEEN-BY: 1/1"}));
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(std::pair(U32At(file("jhr"), 8), U32At(file("jhr"), 12)), std::pair(3u, 3u));  // ModifyCount, ActiveCount
  // The last text loses its last line end; its trailing lines still come on
  // lines of their own. (Written while no base holds the area: on Windows
  // its share mode keeps other writers out.)
  testkit::WriteFileText(file("jdt"), "Hello\rtwo\rthreeX");
  base = Open();
  EXPECT_EQ(LoadText(*base, 3), "threeX\rSEEN-BY: 1/1\r");
  EXPECT_EQ(base->HighestNumber(), 3);
  EXPECT_FALSE(base->HasMessage(0) || base->HasMessage(4));
  ASSERT_TRUE(Load(*base, 1));
  EXPECT_EQ(base->FromName() + "|" + base->ToName() + "|" + base->SubjectText(), "Alice|Bob|Hi");
  EXPECT_TRUE(base->HasAttribute(kAttrLocal) && base->HasAttribute(kAttrPrivate) && base->HasAttribute(kAttrKillSent));
  EXPECT_FALSE(base->HasAttribute(kAttrSent));
  DateTimeRec d;
  base->ReadWrittenDate(d);
  EXPECT_EQ(DateText(d), "2001-02-03 04:05:06");
  base->ReadArrivedDate(d);  // stamped when the message was begun
  EXPECT_EQ(DateText(d), "2026-12-06 04:57:36");
}

// Loading gives the control lines, the body, then Via, SEEN-BY and PATH.
TEST_F(JamStoreTest, EveryKindOfLineStoredAndLoaded) {
  auto base = Open(true);
  ASSERT_TRUE(Post(*base, "Sysop",
                   {"\x01INTL 1:234/5 2:5020/1", "\x01MSGID: 2:5020/1 abc", "first", "SEEN-BY: 5020/1",
                    "\x01PATH: 5020/1", "\x01Via 2:5020/1 @2026", "\x01PID: Marvex", "\x01REPLY: 1:234/5 def",
                    "\x01" "FMPT 3", "\x01TOPT 7", "SEEN-BY: 5020/2", "\x01" "FLAGS: DIR", "\x01Via 2:5020/2",
                    "\x01" "CHRS: CP866 2", "Seen-by: lower case is text", "last"},
                   "", ""));
  EXPECT_EQ(testkit::ReadFileText(file("jdt")), "first\rSeen-by: lower case is text\rlast\r");
  // An empty from-name keeps its subfield, an empty subject has none; INTL,
  // FMPT and TOPT only make the addresses (points included) of 0 and 1.
  EXPECT_EQ(Describe(SubfieldsAt(file("jhr"))),
            "2=;0=2:5020/1.3;3=Sysop;1=1:234/5.7;4=2:5020/1 abc;2001=5020/1;2002=5020/1;8=2:5020/1 @2026;"
            "7=Marvex;5=1:234/5 def;2001=5020/2;2003=DIR;8=2:5020/2;2000=CHRS: CP866 2;");
  EXPECT_EQ(U32At(file("jhr"), 1024 + 16), 0x7971EB54u);  // JamCrc("2:5020/1 abc")
  EXPECT_EQ(U32At(file("jhr"), 1024 + 20), 0x9968E2EDu);  // JamCrc("1:234/5 def")
  const std::string control =
      "\x01MSGID: 2:5020/1.3 abc\r\x01PID: Marvex\r\x01REPLY: 1:234/5 def\r\x01" "FLAGS: DIR\r\x01" "CHRS: CP866 2\r";
  EXPECT_EQ(LoadText(*base, 1), control + "first\rSeen-by: lower case is text\rlast\r\x01Via 2:5020/1 @2026\r"
                                          "\x01Via 2:5020/2\rSEEN-BY: 5020/1\rSEEN-BY: 5020/2\r\x01PATH: 5020/1\r");
  EXPECT_EQ(base->ToName(), "Sysop");
  ASSERT_TRUE(base->LoadHeaderAndKludges().ok());
  EXPECT_EQ(TextOf(*base), control);
  // In a netmail area the INTL, FMPT and TOPT lines come back (at the end
  // of the control lines) from the address subfields.
  base->SetAreaKind(0);
  ASSERT_TRUE(base->LoadHeaderAndKludges().ok());
  EXPECT_EQ(TextOf(*base), control + "\x01INTL 1:234/5 2:5020/1\r\x01" "FMPT 3\r\x01TOPT 7\r");
}

// Another program's text with CR LF: no LF may reach the body.
TEST_F(JamStoreTest, CrLfLineEndsStillGiveSubfields) {
  auto base = Open(true);
  ASSERT_TRUE(base->BeginNewMessage().ok());
  const std::string text = "\x01MSGID: 2:5020/1 abc\r\n\x01PID: X\r\nHello\r\nSEEN-BY: 5020/1\r\n";
  base->WriteTextBytes(static_cast<std::uint16_t>(text.size()), text.data());
  ASSERT_TRUE(base->StoreMessage().ok());
  EXPECT_EQ(testkit::ReadFileText(file("jdt")), "Hello\r");
  EXPECT_EQ(Describe(SubfieldsAt(file("jhr"))), "2=;0=2:5020/1.0;3=;1=2:5020/1.0;4=2:5020/1 abc;7=X;2001=5020/1;");
}

// A netmail message keeps its origin in subfield 0 (from INTL and FMPT) and
// no MSGID is invented when loading; an echomail message is marked so; an
// attribute JAM cannot hold is dropped.
TEST_F(JamStoreTest, TheAreaKindAndTheAttributes) {
  auto base = Open(true);
  base->SetAreaKind(0);
  ASSERT_TRUE(Post(*base, "Sysop", {"\x01INTL 1:234/5 2:5020/1", "\x01" "FMPT 3", "hello"}));
  EXPECT_EQ(Describe(SubfieldsAt(file("jhr"))), "2=Marvex;0=2:5020/1.3;3=Sysop;1=1:234/5.0;6=Rules;");
  EXPECT_EQ(LoadText(*base, 1), "hello\r\x01INTL 1:234/5 2:5020/1\r\x01" "FMPT 3\r");
  base->SetAreaKind(1);
  EXPECT_EQ(LoadText(*base, 1), "hello\r");
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->PutSubject("NODELIST.ZIP");
  for (std::int32_t bit : {kAttrFileAttached, kAttrFileRequest, 0x1000}) base->ChangeAttribute(true, bit);
  ASSERT_TRUE(base->StoreMessage().ok());
  const std::uint32_t at = U32At(file("jdx"), 8 + 4);
  EXPECT_EQ(U32At(file("jhr"), at + 52), 0x01003000u);  // echomail, file attached and requested
  EXPECT_EQ(Describe(SubfieldsAt(file("jhr"), at)),
            "2=;0=0:0/0.0;3=;1=0:0/0.0;6=NODELIST.ZIP;9=NODELIST.ZIP;11=NODELIST.ZIP;");
}

TEST_F(JamStoreTest, LongLinesAndTheSubfieldLimit) {
  auto base = Open(true);
  // A control line of 400 characters is cut to 255; a body line of 20000
  // goes into the text whole; 60 SEEN-BY lines of 258 stored bytes each
  // cannot all fit in 12288 bytes.
  std::vector<std::string> lines{"\x01X-LONG " + std::string(400, 'x'), std::string(20000, 'b')};
  for (int i = 0; i < 60; ++i) lines.push_back("SEEN-BY: " + std::string(250, 'a' + i % 26));
  lines.push_back("\x01PATH: 5020/1");
  ASSERT_TRUE(Post(*base, "All", lines));
  EXPECT_EQ(testkit::ReadFileText(file("jdt")), std::string(20000, 'b') + "\r");
  const std::vector<Subfield> fields = SubfieldsAt(file("jhr"));
  // Names, addresses and subject take 68 bytes, the control line 263: 46
  // SEEN-BY lines fit; the 14 after them and the PATH line (which alone
  // would fit) are left out, so the lines kept are the leading ones.
  EXPECT_EQ(U32At(file("jhr"), 1024 + 8), 68u + 263u + 46u * 258u);
  ASSERT_EQ(fields.size(), 5u + 1u + 46u);
  EXPECT_EQ(fields[5].Data, Str("X-LONG " + std::string(248, 'x')));
  EXPECT_EQ(fields.back().Data, Str(std::string(250, 't')));
  EXPECT_EQ(base->DroppedControlLines(), 15u);
}

TEST_F(JamStoreTest, StoringALoadedMessageRepointsItsRecord) {
  auto base = Open(true);
  ASSERT_TRUE(Post(*base, "All", {"one"}, "Marvex", "Old"));
  ASSERT_TRUE(base->BeginNewMessage().ok());  // begun, never stored: no number used up
  EXPECT_EQ(base->CurrentNumber(), 2);
  base->ReleaseMessage().Ignore();
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  EXPECT_EQ(base->CurrentNumber(), 2);
  ASSERT_TRUE(Load(*base, 1));
  base->PutSubject("New");
  ASSERT_TRUE(base->StoreMessage().ok());
  const Bytes index = testkit::ReadFileBytes(file("jdx"));
  ASSERT_EQ(index.size(), 16u);
  EXPECT_GT(U32At(index, 4), U32At(index, 12));  // a new header, appended
  EXPECT_EQ(U32At(file("jhr"), U32At(index, 4) + 48), 1u);
  EXPECT_EQ(base->MessageCount(), 2);
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(U32At(file("jhr"), 12), 2u);  // ActiveCount: still two messages

  base = Open();
  EXPECT_EQ(LoadText(*base, 1), "one\r");
  EXPECT_EQ(base->SubjectText(), "New");
  EXPECT_EQ(base->BaseHeader().ModifyCount, 3u);
  // Only the header is written back in place; a message never stored has
  // no header to write.
  base->ChangeAttribute(true, kAttrSent);
  ASSERT_TRUE(base->StoreHeaderOnly().ok());
  EXPECT_EQ(U32At(file("jhr"), U32At(index, 4) + 52), 0x10u);
  ASSERT_TRUE(base->BeginNewMessage().ok());
  EXPECT_FALSE(base->StoreHeaderOnly().ok());

  // Neither a message loaded without its body nor one whose index record a
  // deletion moved is stored: either would lose a message.
  ASSERT_TRUE(Post(*base, "All", {"three"}));
  ASSERT_TRUE(Load(*base, 1, true));
  const Bytes jhr = testkit::ReadFileBytes(file("jhr"));
  EXPECT_FALSE(base->StoreMessage().ok());
  EXPECT_EQ(testkit::ReadFileBytes(file("jhr")), jhr);
  ASSERT_TRUE(Load(*base, 2));
  base->PositionByUid(1);
  ASSERT_TRUE(base->DeleteMessage().ok());  // "three" moves to record 1
  EXPECT_FALSE(base->StoreMessage().ok());
  EXPECT_EQ(testkit::ReadFileBytes(file("jhr")).size(), jhr.size());
  EXPECT_EQ(LoadText(*base, 1) + LoadText(*base, 2), "two\rthree\r");
}

// For the .JHR, CloseArea (which writes the counters) fails too.
TEST_F(JamStoreTest, AFailedWriteIsReportedAndLeavesNoTrace) {
  for (const std::string ext : {"jdt", "jhr", "jdx"}) {
    MakeArea(env_, area(), {"one"});
    const auto before = DirContents(dir_.path());
    {
      FaultPlan plan{.kind = Fault::kDiskFull, .at = 1, .files = {"." + ext}, .countCreates = false};
      ScopedFaults faults(env_, plan);
      auto base = Open();
      EXPECT_FALSE(Post(*base, "All", {"two"})) << ext;
      EXPECT_EQ(base->MessageCount(), 1);
      EXPECT_EQ(base->CloseArea().ok(), ext != "jhr") << ext;
    }
    EXPECT_EQ(DirContents(dir_.path()), before) << ext;
    auto base = Open();
    ASSERT_TRUE(Post(*base, "All", {"three"}));
    EXPECT_EQ(LoadText(*base, 2), "three\r");
    base.reset();
    RemoveArea();
  }
}

}  // namespace
}  // namespace mvx::jamtest
