// What is stored comes back after closing and reopening: header fields,
// addresses, dates, attributes, control lines and body; navigation over
// the index; bookmarks; last-read pointers.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "squish/squish_base.h"
#include "squish_test_support.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using squishtest::AreaFixture;
using squishtest::Body;
using squishtest::Post;

class SquishRoundTrip : public AreaFixture {};

TEST_F(SquishRoundTrip, EveryFieldSurvivesCloseAndReopen) {
  {
    auto base = Create();
    ASSERT_TRUE(base->BeginNewMessage());
    FidoAddress orig{2, 5020, 1, 3};
    base->EmitOrigKludges(true, orig);
    base->AppendTextLine("\x01PID: Marvex 2.1");
    base->AppendTextLine("\x01INTL 1:234/5 2:5020/1");
    base->PutFromName("Sysop");
    base->PutToName("All of you");
    base->PutSubject("Weekly rules");
    DateTimeRec written{13, 14, 59, 0, 28, 2, 2026};  // odd second
    DateTimeRec arrived{1, 2, 4, 0, 1, 1, 1999};
    base->PutWrittenDate(written);
    base->PutArrivedDate(arrived);
    base->ChangeAttribute(true, kAttrPrivate);
    base->ChangeAttribute(true, kAttrFileRequest);
    base->ChangeAttribute(true, kAttrScanned);
    base->ChangeAttribute(true, kAttrIsReturnReceipt);  // Squish cannot hold it
    base->AppendTextLine("Body line one");
    base->AppendTextLine("");
    base->AppendTextLine("Body line three");
    ASSERT_TRUE(base->StoreMessage());
    ASSERT_TRUE(base->CloseArea());
  }
  auto base = Open();
  EXPECT_EQ(base->MessageCount(), 1);
  EXPECT_EQ(base->HighestNumber(), 1);
  base->PositionFrom(1);
  ASSERT_TRUE(base->IsPositioned());
  ASSERT_TRUE(base->LoadMessage());
  EXPECT_EQ(base->FromName(), "Sysop");
  EXPECT_EQ(base->ToName(), "All of you");
  EXPECT_EQ(base->SubjectText(), "Weekly rules");
  FidoAddress o;
  FidoAddress d;
  d.Point = 7;  // cleared first, not kept
  base->ReadBothAddresses(o, d);
  EXPECT_EQ(FormatAddress(o), "2:5020/1.3");
  EXPECT_EQ(FormatAddress(d), "1:234/5");
  DateTimeRec w;
  base->ReadWrittenDate(w);
  EXPECT_EQ(w.Year, 2026);
  EXPECT_EQ(w.Month, 2);
  EXPECT_EQ(w.Day, 28);
  EXPECT_EQ(w.Hour, 13);
  EXPECT_EQ(w.Minute, 14);
  EXPECT_EQ(w.Second, 58);  // two-second steps: 59 rounds down
  DateTimeRec a;
  base->ReadArrivedDate(a);
  EXPECT_EQ(a.Year, 1999);
  EXPECT_EQ(a.Second, 4);
  EXPECT_TRUE(base->HasAttribute(kAttrPrivate));
  EXPECT_TRUE(base->HasAttribute(kAttrFileRequest));
  EXPECT_TRUE(base->HasAttribute(kAttrScanned));
  EXPECT_FALSE(base->HasAttribute(kAttrIsReturnReceipt));
  EXPECT_FALSE(base->HasAttribute(kAttrCrash));
  base->ChangeAttribute(false, kAttrPrivate);
  EXPECT_FALSE(base->HasAttribute(kAttrPrivate));

  // The text reads back line for line: control lines first, each with CR.
  std::vector<std::string> lines;
  base->MoveTextTo(0);
  while (!base->AtTextEnd()) {
    Str l;
    base->ReadTextLineStr(l);
    lines.push_back(l.str());
  }
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(lines[0].starts_with("\x01MSGID: 2:5020/1.3 "));
  EXPECT_EQ(lines[0].size(), 7u + 1 + 10 + 1 + 8);
  EXPECT_EQ(lines[1], "\x01PID: Marvex 2.1");
  EXPECT_EQ(lines[2], "\x01INTL 1:234/5 2:5020/1");
  EXPECT_EQ(lines[3], "Body line one");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "Body line three");
  // The FidoNet date text comes from the written date.
  const Bytes data = testkit::ReadFileBytes(sqd());
  EXPECT_EQ(std::string(data.begin() + 502, data.begin() + 521), "28 Feb 26  13:14:58");
}

TEST_F(SquishRoundTrip, MessageWithoutControlLinesReadsBackUnchanged) {
  ASSERT_TRUE(Post(*Create(), "All", {"plain", "text"}));
  auto base = Open();
  base->PositionFrom(1);
  ASSERT_TRUE(base->LoadMessage());
  EXPECT_EQ(base->TextLength(), 11);  // no blank line put in front
  ASSERT_TRUE(base->StoreMessage());
  ASSERT_TRUE(base->LoadMessage());
  EXPECT_EQ(base->TextLength(), 11);
}

TEST_F(SquishRoundTrip, LoadHeaderAndKludgesStopsBeforeTheBody) {
  ASSERT_TRUE(Post(*Create(), "All", {"\x01MSGID: 2:5020/1 12345678", "body"}));
  auto base = Open();
  base->PositionFrom(1);
  ASSERT_TRUE(base->LoadHeaderAndKludges());
  Str l;
  base->ReadTextLineStr(l);
  EXPECT_EQ(l, "\x01MSGID: 2:5020/1 12345678");
  EXPECT_TRUE(base->AtTextEnd());
  EXPECT_EQ(base->ToName(), "All");
}

TEST_F(SquishRoundTrip, NavigationOverTheIndex) {
  auto base = Create();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(Post(*base, "m" + std::to_string(i + 1), {"x"}));
  // Uids 1..5; delete 2 and 4.
  for (int uid : {2, 4}) {
    base->PositionFrom(uid);
    ASSERT_TRUE(base->DeleteMessage());
  }
  ASSERT_TRUE(base->CloseArea());
  base = Open();
  EXPECT_EQ(base->MessageCount(), 3);
  EXPECT_EQ(base->HighestNumber(), 5);
  EXPECT_TRUE(base->HasMessage(3));
  EXPECT_FALSE(base->HasMessage(4));
  base->PositionFrom(2);  // first uid at or above 2
  EXPECT_EQ(base->CurrentNumber(), 3);
  EXPECT_EQ(base->CurrentUid(), 12);  // the bookmark is the record's offset
  std::vector<int> forward;
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) {
    forward.push_back(base->CurrentNumber());
  }
  EXPECT_EQ(forward, (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(base->CurrentUid(), 0);
  base->PositionFrom(5);
  std::vector<int> backward;
  for (; base->IsPositioned(); base->StepBack()) backward.push_back(base->CurrentNumber());
  EXPECT_EQ(backward, (std::vector<int>{5, 3, 1}));
  base->PositionFrom(6);
  EXPECT_FALSE(base->IsPositioned());

  // A bookmark brings the same message back; a bad one positions nowhere.
  base->PositionFrom(5);
  const std::int32_t mark = base->CurrentUid();
  base->PositionFrom(1);
  base->PositionByUid(mark);
  EXPECT_EQ(base->CurrentNumber(), 5);
  ASSERT_TRUE(base->LoadMessage());
  EXPECT_EQ(base->ToName(), "m5");
  for (std::int32_t bad : {36, 7, -12}) {
    base->PositionByUid(bad);
    EXPECT_FALSE(base->IsPositioned()) << bad;
    EXPECT_EQ(base->CurrentUid(), 0);
  }
}

TEST_F(SquishRoundTrip, StepForwardAfterDeleteReachesTheFollowingMessage) {
  auto base = Create();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Post(*base, "m", {"x"}));
  base->PositionFrom(1);
  ASSERT_TRUE(base->DeleteMessage());
  EXPECT_EQ(base->CurrentNumber(), 1);  // left as it was
  base->StepForward();
  EXPECT_EQ(base->CurrentNumber(), 2);
  ASSERT_TRUE(base->DeleteMessage());
  base->StepForward();
  EXPECT_EQ(base->CurrentNumber(), 3);
}

TEST_F(SquishRoundTrip, LastReadPointers) {
  auto base = Create();
  EXPECT_EQ(base->ReadLastRead(0), 0);  // no .lastread yet
  base->WriteLastRead(3, 42);
  Bytes lastread = testkit::ReadFileBytes(sql());
  ASSERT_EQ(lastread.size(), 16u);
  EXPECT_EQ(Bytes(lastread.begin() + 12, lastread.end()), (Bytes{42, 0, 0, 0}));
  EXPECT_EQ(base->ReadLastRead(3), 42);
  EXPECT_EQ(base->ReadLastRead(4), 0);  // beyond the end
  base->WriteLastRead(1, 0x01020304);
  base->WriteLastRead(3, 43);
  ASSERT_TRUE(base->CloseArea());
  lastread = testkit::ReadFileBytes(sql());
  EXPECT_EQ(lastread, (Bytes{0, 0, 0, 0, 4, 3, 2, 1, 0, 0, 0, 0, 43, 0, 0, 0}));
  auto again = Open();
  EXPECT_EQ(again->ReadLastRead(1), 0x01020304);
  EXPECT_EQ(again->ReadLastRead(-1), 0);
}

}  // namespace
}  // namespace mvx
