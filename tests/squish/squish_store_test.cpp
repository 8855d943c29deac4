// Storing and deleting: frame reuse, messages that outgrow their frame, the
// index and header kept consistent through a long mix of operations.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "squish/squish_base.h"
#include "squish/squish_errors.h"
#include "squish_test_support.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using squishtest::AreaFixture;
using squishtest::AreaIsSound;
using squishtest::Body;
using squishtest::FrameAt;
using squishtest::HeaderOf;
using squishtest::Post;

class SquishStore : public AreaFixture {};

TEST_F(SquishStore, DeleteThenStoreReusesTheFreedFrame) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(10)));
  ASSERT_TRUE(Post(*base, "Two", Body(10)));
  ASSERT_TRUE(Post(*base, "Three", Body(10)));
  const SquishBaseHeader before = base->BaseHeader();
  base->PositionFrom(2);
  ASSERT_EQ(base->CurrentNumber(), 2);
  ASSERT_TRUE(base->LoadMessage());
  const std::uint32_t freed = base->CurrentFrameOffset();
  ASSERT_TRUE(base->DeleteMessage());
  ASSERT_TRUE(AreaIsSound(sqd(), sqi()));
  {
    const Bytes data = testkit::ReadFileBytes(sqd());
    const SquishBaseHeader h = HeaderOf(data);
    EXPECT_EQ(h.FirstFreeFrame, freed);
    EXPECT_EQ(h.LastFreeFrame, freed);
    EXPECT_EQ(h.MessageTotal, 2u);
    EXPECT_EQ(FrameAt(data, freed).FrameType, kSquishFreeFrame);
    EXPECT_EQ(testkit::ReadFileBytes(sqi()).size(), 24u);
  }
  const std::uint32_t freedLength = FrameAt(testkit::ReadFileBytes(sqd()), freed).FrameLength;

  // A smaller message fits: first fit takes the freed frame whole.
  ASSERT_TRUE(Post(*base, "Four", Body(3)));
  EXPECT_EQ(base->CurrentFrameOffset(), freed);
  ASSERT_TRUE(base->CloseArea());
  const Bytes data = testkit::ReadFileBytes(sqd());
  const SquishBaseHeader h = HeaderOf(data);
  EXPECT_EQ(h.EndFrame, before.EndFrame);
  EXPECT_EQ(data.size(), before.EndFrame);
  EXPECT_EQ(h.FirstFreeFrame, 0u);
  EXPECT_EQ(h.LastFreeFrame, 0u);
  const SquishFrameHeader f = FrameAt(data, freed);
  EXPECT_EQ(f.FrameLength, freedLength);
  EXPECT_LT(f.MessageLength, f.FrameLength);
  // Added last, so it is last in the message chain and the index.
  EXPECT_EQ(h.LastFrame, freed);
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
}

TEST_F(SquishStore, FirstFitSkipsFramesThatAreTooSmall) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "a", Body(2)));    // small
  ASSERT_TRUE(Post(*base, "b", Body(40)));   // large
  ASSERT_TRUE(Post(*base, "c", Body(1)));
  base->PositionFrom(1);
  ASSERT_TRUE(base->LoadMessage());
  const std::uint32_t small = base->CurrentFrameOffset();
  ASSERT_TRUE(base->DeleteMessage());
  base->PositionFrom(2);
  ASSERT_TRUE(base->LoadMessage());
  const std::uint32_t large = base->CurrentFrameOffset();
  ASSERT_TRUE(base->DeleteMessage());
  ASSERT_TRUE(Post(*base, "d", Body(20)));
  EXPECT_EQ(base->CurrentFrameOffset(), large);
  ASSERT_TRUE(Post(*base, "e", Body(1)));
  EXPECT_EQ(base->CurrentFrameOffset(), small);
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
}

TEST_F(SquishStore, GrownMessageMovesAndKeepsItsPlace) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(2)));
  ASSERT_TRUE(Post(*base, "Two", Body(2)));
  ASSERT_TRUE(Post(*base, "Three", Body(2)));
  const std::uint32_t endBefore = base->BaseHeader().EndFrame;
  base->PositionFrom(2);
  ASSERT_TRUE(base->LoadMessage());
  const std::uint32_t oldFrame = base->CurrentFrameOffset();
  base->MoveTextTo(base->TextLength());
  for (const auto& l : Body(50, "added")) base->AppendTextLine(l.c_str());
  ASSERT_TRUE(base->StoreMessage());
  const std::uint32_t newFrame = base->CurrentFrameOffset();
  EXPECT_EQ(newFrame, endBefore);
  ASSERT_TRUE(base->CloseArea());

  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));  // index order == chain order
  const Bytes data = testkit::ReadFileBytes(sqd());
  const SquishBaseHeader h = HeaderOf(data);
  EXPECT_EQ(h.FirstFreeFrame, oldFrame);
  EXPECT_NE(h.LastFrame, newFrame);  // still second of three, not appended to the chain
  const Bytes index = testkit::ReadFileBytes(sqi());
  ASSERT_EQ(index.size(), 36u);
  EXPECT_EQ(DecodeIndexRecord(index.data() + 12).FrameOffset, newFrame);
  EXPECT_EQ(DecodeIndexRecord(index.data() + 12).Uid, 2u);

  auto again = Open();
  again->PositionFrom(2);
  ASSERT_TRUE(again->LoadMessage());
  EXPECT_EQ(again->ToName(), "Two");
  Str line;
  again->ReadTextLineStr(line);
  EXPECT_EQ(line, "line 0");
  again->ReadTextLineStr(line);
  again->ReadTextLineStr(line);
  EXPECT_EQ(line, "added 0");
}

TEST_F(SquishStore, LoadedMessageThatStillFitsStaysInItsFrame) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(5)));
  ASSERT_TRUE(Post(*base, "Two", Body(5)));
  base->PositionFrom(1);
  ASSERT_TRUE(base->LoadMessage());
  const std::uint32_t frame = base->CurrentFrameOffset();
  base->PutSubject("Changed");
  base->MoveTextTo(0);
  base->CutTextHere();
  base->AppendTextLine("short");
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->CurrentFrameOffset(), frame);
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  auto again = Open();
  again->PositionFrom(1);
  ASSERT_TRUE(again->LoadMessage());
  EXPECT_EQ(again->SubjectText(), "Changed");
  EXPECT_EQ(again->TextLength(), 6);
}

TEST_F(SquishStore, LongMixedSequenceKeepsEveryInvariant) {
  auto base = Create();
  std::mt19937 rng(20261206);
  std::vector<std::uint32_t> expectUids;
  std::uint32_t nextUid = 1;
  for (int step = 0; step < 300; ++step) {
    const int what = static_cast<int>(rng() % 10);
    if (what < 6 || expectUids.empty()) {
      const int lines = static_cast<int>(rng() % 60);
      ASSERT_TRUE(Post(*base, "To " + std::to_string(step), Body(lines))) << step;
      expectUids.push_back(nextUid++);
    } else if (what < 9) {
      const std::size_t k = rng() % expectUids.size();
      base->PositionFrom(static_cast<std::int32_t>(expectUids[k]));
      ASSERT_EQ(base->CurrentNumber(), static_cast<std::int32_t>(expectUids[k]));
      ASSERT_TRUE(base->DeleteMessage()) << step;
      expectUids.erase(expectUids.begin() + static_cast<std::ptrdiff_t>(k));
    } else {
      // Grow or shrink a loaded message.
      const std::size_t k = rng() % expectUids.size();
      base->PositionFrom(static_cast<std::int32_t>(expectUids[k]));
      ASSERT_TRUE(base->LoadMessage()) << step;
      base->MoveTextTo(0);
      base->CutTextHere();
      for (const auto& l : Body(static_cast<int>(rng() % 80), "edit")) base->AppendTextLine(l.c_str());
      ASSERT_TRUE(base->StoreMessage()) << step;
      base->ReleaseMessage();
    }
    // The header reaches the file with every store and delete.
    ASSERT_TRUE(AreaIsSound(sqd(), sqi())) << "after step " << step;
    ASSERT_EQ(base->MessageCount(), static_cast<std::int32_t>(expectUids.size()));
  }
  ASSERT_TRUE(base->CloseArea());
  const Bytes index = testkit::ReadFileBytes(sqi());
  ASSERT_EQ(index.size(), expectUids.size() * 12);
  for (std::size_t i = 0; i < expectUids.size(); ++i) {
    EXPECT_EQ(DecodeIndexRecord(index.data() + 12 * i).Uid, expectUids[i]);
  }
  EXPECT_EQ(HeaderOf(testkit::ReadFileBytes(sqd())).NextUid, nextUid);
}

TEST_F(SquishStore, LongNamesAreCutToTheirFields) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->PutFromName(std::string(50, 'F'));
  base->PutToName(std::string(50, 'T'));
  base->PutSubject(std::string(100, 'S'));
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->FromName(), std::string(35, 'F'));
  ASSERT_TRUE(base->CloseArea());
  const Bytes data = testkit::ReadFileBytes(sqd());
  const std::uint8_t* m = data.data() + 284;
  EXPECT_EQ(m[4 + 34], 'F');
  EXPECT_EQ(m[4 + 35], 0);
  EXPECT_EQ(m[40], 'T');
  EXPECT_EQ(m[40 + 35], 0);
  EXPECT_EQ(m[76 + 70], 'S');
  EXPECT_EQ(m[76 + 71], 0);
  EXPECT_EQ(m[148], 0);  // the address after the subject is untouched
}

TEST_F(SquishStore, BegunMessageThatIsNeverStoredLeavesNoCount) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(1)));
  ASSERT_TRUE(base->BeginNewMessage());
  EXPECT_EQ(base->CurrentNumber(), 2);
  EXPECT_FALSE(base->StoreHeaderOnly());  // no frame yet: the base header must stay
  ASSERT_TRUE(base->ReleaseMessage());
  ASSERT_TRUE(base->CloseArea());
  const SquishBaseHeader h = HeaderOf(testkit::ReadFileBytes(sqd()));
  EXPECT_EQ(h.MessageTotal, 1u);
  EXPECT_EQ(h.NextUid, 3u);  // the uid stays used
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  auto again = Open();
  ASSERT_TRUE(Post(*again, "Three", Body(1)));
  EXPECT_EQ(again->CurrentNumber(), 3);
}

TEST_F(SquishStore, StoringTwiceRewritesInsteadOfAddingAgain) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->AppendTextLine("first");
  ASSERT_TRUE(base->StoreMessage());
  base->AppendTextLine("second");
  ASSERT_TRUE(base->StoreMessage());
  EXPECT_EQ(base->MessageCount(), 1);
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  EXPECT_EQ(testkit::ReadFileBytes(sqi()).size(), 12u);
}

TEST_F(SquishStore, StoreHeaderOnlyRewritesHeaderAndHash) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "abc", Body(4)));
  base->PositionFrom(1);
  ASSERT_TRUE(base->LoadHeaderAndKludges());
  EXPECT_FALSE(base->StoreMessage());  // its body was not loaded: storing would lose it
  base->PutToName("All");
  base->ChangeAttribute(true, kAttrSent);
  ASSERT_TRUE(base->StoreHeaderOnly());
  ASSERT_TRUE(base->CloseArea());
  const Bytes index = testkit::ReadFileBytes(sqi());
  EXPECT_EQ(DecodeIndexRecord(index.data()).NameHash, 0x682Cu);
  auto again = Open();
  again->PositionFrom(1);
  ASSERT_TRUE(again->LoadMessage());
  EXPECT_EQ(again->ToName(), "All");
  EXPECT_TRUE(again->HasAttribute(kAttrSent));
  EXPECT_EQ(again->TextLength(), 4 * 7);  // "line N\r" x 4
}

TEST_F(SquishStore, ControlInformationTooLongIsRefused) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  const std::string line = "\x01X" + std::string(10000, 'k');
  for (int i = 0; i < 7; ++i) base->AppendTextLine(line.c_str());  // 70014 bytes
  EXPECT_FALSE(base->StoreMessage());
  EXPECT_EQ(base->ErrorCode(), kSquishBadFrame);
  ASSERT_TRUE(base->BeginNewMessage());
  const std::string overlong = "\x01Y" + std::string(20000, 'k');
  base->AppendTextLine(overlong.c_str());
  EXPECT_FALSE(base->StoreMessage());
  ASSERT_TRUE(base->CloseArea());
  EXPECT_EQ(testkit::ReadFileBytes(sqd()).size(), 256u);
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
}

TEST_F(SquishStore, ControlInformationJustBelowTheLimitIsKept) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  // 6 x 10001 + 5512 = 65518 bytes of control lines: with the NUL, the most
  // that loads back.
  const std::string line = "\x01X" + std::string(9999, 'k');  // 10001 bytes
  for (int i = 0; i < 6; ++i) base->AppendTextLine(line.c_str());
  base->AppendTextLine(("\x01Z" + std::string(5510, 'z')).c_str());  // 5512 bytes
  base->AppendTextLine("body");
  ASSERT_TRUE(base->StoreMessage());
  ASSERT_TRUE(base->CloseArea());
  auto again = Open();
  again->PositionFrom(1);
  ASSERT_TRUE(again->LoadMessage());
  EXPECT_EQ(again->TextLength(), 6 * 10002 + 5513 + 5);
}

}  // namespace
}  // namespace mvx
