// Loading, navigating and deleting: the order of the rebuilt text, round
// trips through the files, compaction with renumbering, and damaged areas.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "jam/jam_errors.h"
#include "jam_test_support.h"

namespace mvx::jamtest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using JamLoadTest = AreaFixture;

TEST_F(JamLoadTest, ControlLinesThenBodyThenViaSeenByPath) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "Sysop",
                   {"\x01MSGID: 2:5020/1 11111111", "Body 1", "SEEN-BY: 5020/1", "\x01PATH: 5020/1",
                    "\x01Via 2:5020/1 @20261206", "\x01PID: Marvex", "Body 2", "SEEN-BY: 5020/2",
                    "\x01" "FLAGS: DIR", "\x01Via 2:5020/2", "\x01REPLY: 1:1/1 22222222",
                    "\x01" "CHRS: CP866 2"},
                   "Alice", "Subject line"));
  EXPECT_EQ(LoadText(*base, 1),
            "\x01MSGID: 2:5020/1 11111111\r\x01PID: Marvex\r\x01" "FLAGS: DIR\r"
            "\x01REPLY: 1:1/1 22222222\r\x01" "CHRS: CP866 2\r"
            "Body 1\rBody 2\r"
            "\x01Via 2:5020/1 @20261206\r\x01Via 2:5020/2\r"
            "SEEN-BY: 5020/1\rSEEN-BY: 5020/2\r\x01PATH: 5020/1\r");
  EXPECT_EQ(base->TextOffset(), 0);
  EXPECT_EQ(base->FromName(), "Alice");
  EXPECT_EQ(base->ToName(), "Sysop");
  EXPECT_EQ(base->SubjectText(), "Subject line");
  FidoAddress orig, dest;
  base->ReadBothAddresses(orig, dest);
  EXPECT_EQ(FormatAddress4D(orig), "2:5020/1.0");

  base->SetCurrentNumber(1);
  ASSERT_TRUE(base->LoadHeaderAndKludges());
  EXPECT_EQ(TextOf(*base),
            "\x01MSGID: 2:5020/1 11111111\r\x01PID: Marvex\r\x01" "FLAGS: DIR\r"
            "\x01REPLY: 1:1/1 22222222\r\x01" "CHRS: CP866 2\r");
}

TEST_F(JamLoadTest, TrailingLinesStartOnALineOfTheirOwn) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "All", {"body", "SEEN-BY: 5020/1"}));
  // Another writer's text without its last line end.
  testkit::WriteFileText(jdt(), "bodyX");
  EXPECT_EQ(LoadText(*base, 1), "bodyX\rSEEN-BY: 5020/1\r");
}

TEST_F(JamLoadTest, NetmailAddressLinesComeBackFromTheAddressSubfields) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "Sysop",
                   {"\x01MSGID: 2:5020/1.3 12345678", "\x01INTL 1:234/5 2:5020/1", "\x01" "FMPT 3",
                    "\x01TOPT 6", "Hi"}));
  base->SetAreaKind(0);
  EXPECT_EQ(LoadText(*base, 1),
            "\x01MSGID: 2:5020/1.3 12345678\r\x01INTL 1:234/5 2:5020/1\r\x01" "FMPT 3\r"
            "\x01TOPT 6\rHi\r");
}

TEST_F(JamLoadTest, HeaderFieldsRoundTripThroughCloseAndReopen) {
  {
    auto base = Create();
    ASSERT_TRUE(base->BeginNewMessage());
    base->PutFromName("Alice");
    base->PutToName("Bob");
    base->PutSubject("Dates");
    DateTimeRec written;
    written.Year = 2001;
    written.Month = 2;
    written.Day = 3;
    written.Hour = 4;
    written.Minute = 5;
    written.Second = 6;
    base->PutWrittenDate(written);
    base->ChangeAttribute(true, kAttrPrivate);
    base->ChangeAttribute(true, kAttrKillSent);
    base->AppendTextLineStr("Hello");
    ASSERT_TRUE(base->StoreMessage());
    for (int i = 2; i <= 5; ++i) ASSERT_TRUE(Post(*base, "All", {"Body " + std::to_string(i)}));
    ASSERT_TRUE(base->CloseArea());
  }
  auto base = Open();
  EXPECT_EQ(base->MessageCount(), 5);
  EXPECT_EQ(LoadText(*base, 1), "Hello\r");
  EXPECT_EQ(base->FromName(), "Alice");
  EXPECT_EQ(base->ToName(), "Bob");
  EXPECT_EQ(base->SubjectText(), "Dates");
  EXPECT_TRUE(base->HasAttribute(kAttrPrivate));
  EXPECT_TRUE(base->HasAttribute(kAttrKillSent));
  EXPECT_FALSE(base->HasAttribute(kAttrLocal));
  DateTimeRec d;
  base->ReadWrittenDate(d);
  EXPECT_EQ(d.Year, 2001);
  EXPECT_EQ(d.Month, 2);
  EXPECT_EQ(d.Day, 3);
  EXPECT_EQ(d.Hour, 4);
  EXPECT_EQ(d.Minute, 5);
  EXPECT_EQ(d.Second, 6);
  base->ReadArrivedDate(d);  // stamped when the message was begun
  EXPECT_EQ(d.Year, 2026);
  EXPECT_EQ(d.Day, 6);
  EXPECT_EQ(d.Second, 36);
  EXPECT_EQ(base->CurrentHeader().ProcessedDate, 1796533056u);
  for (int i = 2; i <= 5; ++i) EXPECT_EQ(LoadText(*base, i), "Body " + std::to_string(i) + "\r");
}

TEST_F(JamLoadTest, NavigationOverOneToN) {
  MakeArea(area(), {"one", "two", "three"});
  auto base = Open();
  EXPECT_EQ(base->HighestNumber(), 3);
  EXPECT_FALSE(base->HasMessage(0));
  EXPECT_TRUE(base->HasMessage(1));
  EXPECT_TRUE(base->HasMessage(3));
  EXPECT_FALSE(base->HasMessage(4));
  std::vector<std::int32_t> seen;
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) seen.push_back(base->CurrentNumber());
  EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 2, 3}));
  base->SetCurrentNumber(3);
  base->StepBack();
  EXPECT_EQ(base->CurrentNumber(), 2);
  base->StepBack();
  base->StepBack();
  EXPECT_EQ(base->CurrentNumber(), 0);
  base->PositionFrom(4);
  EXPECT_FALSE(base->IsPositioned());
  base->PositionByUid(2);
  EXPECT_EQ(base->CurrentUid(), 2);
}

TEST_F(JamLoadTest, NumbersStartAtTheBaseNumber) {
  MakeArea(area(), {"one", "two", "three"});
  PatchU32(jhr(), 20, 0x7FFFFFFD);  // another writer's base number, just below 2^31
  auto base = Open();
  EXPECT_EQ(base->HighestNumber(), 0x7FFFFFFF);
  std::vector<std::int32_t> seen;
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) seen.push_back(base->CurrentNumber());
  EXPECT_EQ(seen, (std::vector<std::int32_t>{0x7FFFFFFD, 0x7FFFFFFE, 0x7FFFFFFF}));
  seen.clear();
  for (base->PositionFrom(0x7FFFFFFF); base->IsPositioned(); base->StepBack()) seen.push_back(base->CurrentNumber());
  EXPECT_EQ(seen, (std::vector<std::int32_t>{0x7FFFFFFF, 0x7FFFFFFE, 0x7FFFFFFD}));
  EXPECT_EQ(LoadText(*base, 0x7FFFFFFE), "two\r");
  // No number is left for a new message.
  EXPECT_FALSE(base->BeginNewMessage());
  EXPECT_EQ(base->MessageCount(), 3);
}

TEST_F(JamLoadTest, DeleteCompactsAndRenumbersTheHeadersThatMoved) {
  MakeArea(area(), {"one", "two", "three"});
  auto base = Open();
  base->SetCurrentNumber(2);
  ASSERT_TRUE(base->DeleteMessage());
  EXPECT_EQ(base->CurrentNumber(), 1);
  EXPECT_EQ(base->MessageCount(), 2);
  EXPECT_EQ(base->HighestNumber(), 2);
  base->StepForward();
  EXPECT_EQ(base->CurrentNumber(), 2);
  EXPECT_EQ(LoadText(*base, 2), "three\r");
  EXPECT_EQ(base->CurrentHeader().MessageNumber, 2u);

  const Bytes index = testkit::ReadFileBytes(jdx());
  ASSERT_EQ(index.size(), 16u);
  const Bytes headers = testkit::ReadFileBytes(jhr());
  EXPECT_EQ(U32At(headers, U32At(index, 4) + 48), 1u);
  EXPECT_EQ(U32At(headers, U32At(index, 12) + 48), 2u);
  ASSERT_TRUE(base->CloseArea());
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jhr()), 12), 2u);

  // A number that is not in use cannot be deleted.
  auto again = Open();
  again->SetCurrentNumber(3);
  EXPECT_FALSE(again->DeleteMessage());
  EXPECT_EQ(again->MessageCount(), 2);
}

TEST_F(JamLoadTest, ARecordMarkedDeletedByAnotherProgramIsDroppedOnOpen) {
  MakeArea(area(), {"one", "two", "three"});
  // The other program marks record 0 and lowers the count.
  Bytes index = testkit::ReadFileBytes(jdx());
  const std::uint32_t twoAt = U32At(index, 12);
  const std::uint32_t threeAt = U32At(index, 20);
  PutU32At(index, 0, 0xFFFFFFFFu);
  PutU32At(index, 4, 0xFFFFFFFFu);
  testkit::WriteFileBytes(jdx(), index);
  PatchU32(jhr(), 12, 2);

  auto base = Open();
  EXPECT_EQ(base->MessageCount(), 2);
  EXPECT_EQ(testkit::ReadFileBytes(jdx()).size(), 16u);
  EXPECT_EQ(LoadText(*base, 1), "two\r");
  EXPECT_EQ(LoadText(*base, 2), "three\r");
  const Bytes headers = testkit::ReadFileBytes(jhr());
  EXPECT_EQ(U32At(headers, twoAt + 48), 1u);
  EXPECT_EQ(U32At(headers, threeAt + 48), 2u);
  // Posting goes on from the new end.
  ASSERT_TRUE(Post(*base, "All", {"four"}));
  EXPECT_EQ(LoadText(*base, 3), "four\r");
}

TEST_F(JamLoadTest, AnIndexLongerThanTheCountIsRecounted) {
  MakeArea(area(), {"one", "two"});
  // As if a run had ended without closing the area, and had left a torn
  // record at the end of the index.
  PatchU32(jhr(), 12, 0);
  Bytes index = testkit::ReadFileBytes(jdx());
  index.insert(index.end(), {1, 2, 3});
  testkit::WriteFileBytes(jdx(), index);
  auto base = Open();
  EXPECT_EQ(base->MessageCount(), 2);
  EXPECT_EQ(testkit::ReadFileBytes(jdx()).size(), 16u);
  EXPECT_EQ(LoadText(*base, 2), "two\r");
}

TEST_F(JamLoadTest, AHeaderWithTheDeletedBitCountsAsDeleted) {
  MakeArea(area(), {"one", "two", "three"});
  const std::uint32_t twoAt = U32At(testkit::ReadFileBytes(jdx()), 12);
  PatchU32(jhr(), twoAt + 52, 0x80000000u);
  auto base = Open();
  EXPECT_FALSE(base->HasMessage(2));
  std::vector<std::int32_t> seen;
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) seen.push_back(base->CurrentNumber());
  EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 3}));
  base->SetCurrentNumber(2);
  EXPECT_FALSE(base->LoadMessage());
  EXPECT_EQ(base->ErrorCode(), kJamBadHeaderOffset);
  EXPECT_EQ(base->TextBuffer(), nullptr);
}

// Damage to one message: loading it fails with the code given, and the
// other messages still load.
struct Damage {
  const char* name;
  std::int32_t code;
  void (*apply)(const std::string& jhr, const std::string& jdx, const std::string& jdt);
};

class JamDamageTest : public AreaFixture, public ::testing::WithParamInterface<Damage> {};

TEST_P(JamDamageTest, FailsToLoadWithItsCode) {
  MakeArea(area(), {"one", "two", "three"});
  GetParam().apply(jhr(), jdx(), jdt());
  auto base = Open();
  base->SetCurrentNumber(2);
  EXPECT_FALSE(base->LoadMessage());
  EXPECT_EQ(base->ErrorCode(), GetParam().code);
  EXPECT_FALSE(base->LoadHeaderAndKludges());
  EXPECT_EQ(LoadText(*base, 1), "one\r");
  EXPECT_EQ(LoadText(*base, 3), "three\r");
}

std::uint32_t SecondHeader(const std::string& jdx) { return U32At(testkit::ReadFileBytes(jdx), 12); }

INSTANTIATE_TEST_SUITE_P(
    Damaged, JamDamageTest,
    ::testing::Values(
        Damage{"RecordPastTheHeaderFile", kJamBadHeaderOffset,
               [](const std::string&, const std::string& jdx, const std::string&) { PatchU32(jdx, 12, 0x00100000); }},
        Damage{"RecordIntoTheBaseHeader", kJamBadHeaderOffset,
               [](const std::string&, const std::string& jdx, const std::string&) { PatchU32(jdx, 12, 0); }},
        Damage{"RecordNegative", kJamBadHeaderOffset,
               [](const std::string&, const std::string& jdx, const std::string&) { PatchU32(jdx, 12, 0x80000400u); }},
        Damage{"TextStartPastTheTextFile", kJamBadTextOffset,
               [](const std::string& jhr, const std::string& jdx, const std::string&) {
                 PatchU32(jhr, SecondHeader(jdx) + 60, 5000);
               }},
        Damage{"TextSizePastTheTextFile", kJamBadTextOffset,
               [](const std::string& jhr, const std::string& jdx, const std::string&) {
                 PatchU32(jhr, SecondHeader(jdx) + 64, 0xFFFFFFF0u);
               }},
        Damage{"SubfieldsPastTheHeaderFile", kJamReadError,
               [](const std::string& jhr, const std::string& jdx, const std::string&) {
                 PatchU32(jhr, SecondHeader(jdx) + 8, 0x7FFFFFFF);
               }}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST_F(JamLoadTest, ASubfieldLengthPastTheSubfieldsEndsTheWalk) {
  MakeArea(area(), {"one"});
  // The third subfield (the to-name) claims more bytes than there are.
  const std::uint32_t at = 1024 + 76 + (8 + 6) + (8 + 7);  // after "Marvex" and "0:0/0.0"
  PatchU32(jhr(), at + 4, 5000);
  auto base = Open();
  EXPECT_EQ(LoadText(*base, 1), "one\r");
  EXPECT_EQ(base->FromName(), "Marvex");
  EXPECT_EQ(base->ToName(), "");
  EXPECT_EQ(base->SubjectText(), "");
}

TEST_F(JamLoadTest, AShortHeaderFileOpensButItsMessagesDoNotLoad) {
  MakeArea(area(), {"one"});
  Bytes headers = testkit::ReadFileBytes(jhr());
  headers.resize(100);
  testkit::WriteFileBytes(jhr(), headers);
  auto base = std::make_unique<JamBase>();
  ASSERT_TRUE(base->OpenArea(area()));
  // The zero header numbers from 0; the one record points past the file.
  for (base->PositionFrom(0); base->IsPositioned(); base->StepForward()) {
    EXPECT_FALSE(base->LoadMessage());
  }
  base->SetCurrentNumber(0);
  EXPECT_FALSE(base->LoadMessage());
  EXPECT_EQ(base->ErrorCode(), kJamBadHeaderOffset);
  // A message stored now goes after the base header's room, never into it.
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  EXPECT_EQ(U32At(testkit::ReadFileBytes(jdx()), 12), 1024u);
  ASSERT_TRUE(base->CloseArea());
  EXPECT_GE(testkit::ReadFileBytes(jhr()).size(), 1024u + 76u);
}

// Files of arbitrary bytes must never crash, hang or read outside a buffer.
TEST_F(JamLoadTest, GarbageFilesNeverCrash) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 40; ++round) {
    auto bytes = [&](std::size_t n, bool plausible) {
      Bytes b(n);
      for (auto& c : b) c = static_cast<std::uint8_t>(rng());
      // Plausible offsets and lengths reach deeper into the code.
      if (plausible) {
        for (std::size_t i = 0; i + 4 <= n; i += 4) {
          if (rng() % 3 == 0) PutU32(b.data() + i, static_cast<std::uint32_t>(rng() % 3000));
        }
      }
      return b;
    };
    testkit::WriteFileBytes(jhr(), bytes(rng() % 3000, round % 2 == 0));
    testkit::WriteFileBytes(jdx(), bytes(rng() % 100, true));
    testkit::WriteFileBytes(jdt(), bytes(rng() % 500, false));
    JamBase base;
    if (!base.OpenArea(area())) continue;
    const std::int32_t highest = base.HighestNumber();
    for (std::int64_t n = std::max(highest - 20, 0); n <= highest; ++n) {
      base.SetCurrentNumber(static_cast<std::int32_t>(n));
      if (base.LoadMessage()) TextOf(base);
      base.HasMessage(static_cast<std::int32_t>(n));
    }
    Post(base, "All", {"after"});
    EXPECT_TRUE(base.CloseArea());
  }
}

}  // namespace
}  // namespace mvx::jamtest
