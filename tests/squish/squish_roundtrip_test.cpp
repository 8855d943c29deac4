// What is stored comes back after closing and reopening.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "squish/squish_base.h"
#include "squish_test_support.h"
#include "support/datetime.h"

namespace mvx {
namespace {

using namespace squishtest;

class SquishRoundTrip : public squishtest::AreaFixture {};

TEST_F(SquishRoundTrip, EveryFieldSurvivesCloseAndReopen) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});
  base->AppendTextLine("\x01PID: Marvex 2.1");
  base->AppendTextLine("\n\x01INTL 1:234/5 2:5020/1");  // the PID line ends in CR LF, as other editors end it
  base->PutFromName(std::string(50, 'F'));  // cut to the 35 and 71 characters the
  base->PutToName("All of you");            // fields hold with their NUL
  base->PutSubject(std::string(100, 'S'));
  base->PutWrittenDate(DateTimeRec{13, 14, 59, 0, 28, 2, 2026});  // odd second
  base->PutArrivedDate(DateTimeRec{1, 2, 4, 0, 1, 1, 1999});
  for (std::int32_t bit : {kAttrPrivate, kAttrFileRequest, kAttrScanned, kAttrIsReturnReceipt}) {
    base->ChangeAttribute(true, bit);  // Squish cannot hold the last one
  }
  for (const char* l : {"Body line one", "", "Body line three"}) base->AppendTextLine(l);
  ASSERT_TRUE(base->StoreMessage().ok());
  ASSERT_TRUE(base->CloseArea().ok());

  base = Open();
  EXPECT_EQ(std::pair(base->MessageCount(), base->HighestNumber()), std::pair(1, 1));
  ASSERT_TRUE(Load(*base, 1));
  EXPECT_EQ(base->FromName() + "|" + base->ToName() + "|" + base->SubjectText(),
            std::string(35, 'F') + "|All of you|" + std::string(71, 'S'));
  FidoAddress o, d;
  d.Point = 7;  // cleared first, not kept
  base->ReadBothAddresses(o, d);
  EXPECT_EQ(FormatAddress(o) + " " + FormatAddress(d), "2:5020/1.3 1:234/5");
  DateTimeRec w, a;
  base->ReadWrittenDate(w);
  base->ReadArrivedDate(a);
  // Two-second steps: 59 rounds down.
  EXPECT_EQ(FtsDateText(w) + "|" + FtsDateText(a), "28 Feb 26  13:14:58|01 Jan 99  01:02:04");
  for (std::int32_t bit : {kAttrPrivate, kAttrFileRequest, kAttrScanned}) EXPECT_TRUE(base->HasAttribute(bit));
  for (std::int32_t bit : {kAttrIsReturnReceipt, kAttrCrash}) EXPECT_FALSE(base->HasAttribute(bit));
  const std::vector<std::string> lines = LinesOf(*base);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 19), "\x01MSGID: 2:5020/1.3 ");
  EXPECT_EQ(lines[0].size(), 19u + 8);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"\x01PID: Marvex 2.1", "\x01INTL 1:234/5 2:5020/1",
                                      "Body line one", "", "Body line three"}));
  // Written 28 Feb 2026 13:14:58 at 448, arrived 1 Jan 1999 01:02:04 at 452:
  // date word (year - 1980) << 9 | month << 5 | day, then the time word.
  EXPECT_EQ(Data(448, 456), (Bytes{0x5C, 0x5C, 0xDD, 0x69, 0x21, 0x26, 0x42, 0x08}));
  const Bytes fts = Data(502, 521);  // the header's date text comes from the written date
  EXPECT_EQ(std::string(fts.begin(), fts.end()), "28 Feb 26  13:14:58");
  // Header and control lines only: the body stays behind.
  ASSERT_TRUE(base->LoadHeaderAndKludges().ok());
  EXPECT_EQ(LinesOf(*base).size(), 3u);
  EXPECT_EQ(base->ToName(), "All of you");
}

TEST_F(SquishRoundTrip, NavigationOverTheIndexAndLastReadPointers) {
  MakeArea({"m1", "m2", "m3", "m4", "m5"}, 1);
  auto base = Open();
  ASSERT_TRUE(Delete(*base, 2));
  EXPECT_EQ(base->CurrentNumber(), 2);  // left as it was ...
  base->StepForward();
  EXPECT_EQ(base->CurrentNumber(), 3);  // ... so the next step reaches the following one
  ASSERT_TRUE(Delete(*base, 4));
  ASSERT_TRUE(base->CloseArea().ok());

  base = Open();
  EXPECT_EQ(std::pair(base->MessageCount(), base->HighestNumber()), std::pair(3, 5));
  EXPECT_TRUE(base->HasMessage(3) && !base->HasMessage(4));
  base->PositionFrom(2);  // first uid at or above 2
  EXPECT_EQ(base->CurrentNumber(), 3);
  EXPECT_EQ(base->CurrentUid(), 12);  // the bookmark is the record's offset
  EXPECT_EQ(Walk(*base, 1), (std::vector<std::int32_t>{1, 3, 5}));
  EXPECT_EQ(base->CurrentUid(), 0);
  EXPECT_EQ(Walk(*base, 5, true), (std::vector<std::int32_t>{5, 3, 1}));
  base->PositionFrom(6);
  EXPECT_FALSE(base->IsPositioned());

  // A bookmark brings the same message back; a bad one positions nowhere.
  base->PositionFrom(5);
  const std::int32_t mark = base->CurrentUid();
  base->PositionFrom(1);
  base->PositionByUid(mark);
  ASSERT_TRUE(base->LoadMessage().ok());
  EXPECT_EQ(base->ToName(), "m5");
  for (std::int32_t bad : {36, 7, -12}) {
    base->PositionByUid(bad);
    EXPECT_FALSE(base->IsPositioned()) << bad;
    EXPECT_EQ(base->CurrentUid(), 0);
  }

  // Last-read pointers, in the .sql beside the area.
  EXPECT_EQ(base->ReadLastRead(0), 0);  // no .sql yet
  base->WriteLastRead(3, 42);           // creates it
  EXPECT_EQ(testkit::ReadFileBytes(sql()), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 42, 0, 0, 0}));
  EXPECT_EQ(base->ReadLastRead(4), 0);  // beyond the end
  base->WriteLastRead(1, 0x01020304);
  base->WriteLastRead(3, 43);
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(testkit::ReadFileBytes(sql()), (Bytes{0, 0, 0, 0, 4, 3, 2, 1, 0, 0, 0, 0, 43, 0, 0, 0}));
  base = Open();
  EXPECT_EQ(std::pair(base->ReadLastRead(1), base->ReadLastRead(3)), std::pair(0x01020304, 43));
  EXPECT_EQ(base->ReadLastRead(-1), 0);
}

}  // namespace
}  // namespace mvx
