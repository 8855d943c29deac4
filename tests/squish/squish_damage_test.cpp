// Damaged or hostile files: never a store over data in use.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "squish/squish_base.h"
#include "squish_test_support.h"

namespace mvx {
namespace {

using namespace squishtest;

class SquishDamage : public squishtest::AreaFixture {};

TEST_F(SquishDamage, DamagedFramesFailToLoadAndAreNeverWrittenOver) {
  MakeArea({"One", "Two"});  // frames at 256 and 552, EndFrame 848
  const auto pristine = Files();
  struct Case {
    const char* what;
    bool index;  // a field of the second index record, else of the second frame
    std::uint32_t field, value;
    Errc code;
    bool deleteRefused;  // the frame cannot be trusted enough to relink
  };
  constexpr Errc kBad = Errc::kSquishBadFrame;
  for (const Case& c : {Case{"frame id", false, 0, 0x12345678, kBad, true},
                        Case{"free frame", false, 24, 1, kBad, true},
                        Case{"frame length past the file", false, 12, 0x7FFFFF00, kBad, true},
                        Case{"message length past the frame", false, 16, 0x100000, kBad, false},
                        Case{"control length past the message", false, 20, 31, kBad, false},  // 238 + 31 > 268
                        Case{"control length over the limit", false, 20, 70000, kBad, false},
                        Case{"index names offset 0", true, 0, 0, kBad, true},
                        Case{"index past the file", true, 0, 900000, Errc::kSquishFrameIoError, true}}) {
    SCOPED_TRACE(c.what);
    PutFiles(pristine);
    PatchU32(c.index ? sqi() : sqd(), (c.index ? 12 : 552) + c.field, c.value);
    if (c.value == 70000) {  // a frame large enough that only the limit is in the way
      Bytes b = Data();
      b.resize(552 + 28 + 0x20000, 0x01);
      testkit::WriteFileBytes(sqd(), b);
      for (std::size_t at : {552 + 12, 552 + 16}) PatchU32(sqd(), at, 0x20000);
      PatchU32(sqd(), 120, static_cast<std::uint32_t>(b.size()));
    }
    Bytes damaged = Data();
    auto base = Open();
    base->PositionFrom(2);
    EXPECT_FALSE(base->LoadMessage().ok());
    EXPECT_EQ(base->ErrorCode(), c.code);
    EXPECT_FALSE(base->LoadHeaderAndKludges().ok());
    EXPECT_EQ(base->TextBuffer(), nullptr);
    if (c.deleteRefused) {
      EXPECT_FALSE(base->DeleteMessage().ok());  // relinking it would write into whatever is there
    }
    EXPECT_TRUE(Load(*base, 1));
    // A new message goes after EndFrame or is refused; the frames stay as
    // they were but for the last frame's next link.
    Post(*base, "Three", Body(2));
    ASSERT_TRUE(base->CloseArea().ok());
    const Bytes after = Data(256, static_cast<std::uint32_t>(damaged.size()));
    PutU32(damaged.data() + 552 + 4, GetU32(after.data() + 552 - 256 + 4));
    EXPECT_EQ(after, Bytes(damaged.begin() + 256, damaged.end()));
  }
}

TEST_F(SquishDamage, EndFrameThatWouldPutANewFrameOverOneInUse) {
  // Frames A 256, B 552, C 848, D 1144, F 1440, EndFrame 1736. E reuses A's
  // frame, so the message chain C, D, E ends at the file's start; the free
  // chain is F, B.
  MakeArea({"A", "B", "C", "D", "F"});
  auto base = Open();
  ASSERT_TRUE(Delete(*base, 1));
  ASSERT_TRUE(Post(*base, "E", Body(1)));
  ASSERT_EQ(base->CurrentFrameOffset(), 256u);
  ASSERT_TRUE(Delete(*base, 5));
  ASSERT_TRUE(Delete(*base, 2));
  ASSERT_TRUE(base->CloseArea().ok());
  ASSERT_TRUE(Sound());
  for (std::uint32_t bad : {1144u,  // at D, a live frame that is no chain's last
                            1184u,  // inside D
                            1480u,  // inside F, a free frame that is no chain's last
                            296u,   // inside E, the message chain's last frame
                            1836u, 0u, 100u}) {
    SCOPED_TRACE(bad);
    PatchU32(sqd(), 120, bad);
    const Bytes frames = Data(256, 1736);
    base = Open();
    EXPECT_FALSE(Post(*base, "New", Body(2)));
    EXPECT_EQ(base->ErrorCode(), Errc::kSquishDamagedArea);
    ASSERT_TRUE(base->CloseArea().ok());
    EXPECT_EQ(Data(256, 1736), frames);
  }
  PatchU32(sqd(), 120, 1736);  // sound again: stores go in
  ASSERT_TRUE(Post(*Open(), "New", Body(2)));
  EXPECT_TRUE(Sound());
}

TEST_F(SquishDamage, FrameLengthsReachingIntoTheNextFrame) {
  MakeArea({"A", "B", "C"});  // frames 256, 552, 848 of length 268
  ASSERT_TRUE(Delete(*Open(), 1));
  // A free frame that claims 60 bytes of B: a 275-byte message fits the
  // claim but goes to the end of the file instead. (The damage is done while
  // no base holds the area: on Windows its share mode keeps writers out.)
  PatchU32(sqd(), 256 + 12, 328);
  const Bytes b = Data(552, 848);
  auto base = Open();
  ASSERT_TRUE(Post(*base, "D", Body(5)));
  EXPECT_EQ(base->CurrentFrameOffset(), 1144u);
  EXPECT_EQ(Data(552, 848), b);
  // A loaded message whose frame claims 60 bytes of C is not rewritten over C.
  base.reset();
  PatchU32(sqd(), 552 + 12, 328);
  const Bytes c = Data(848, 1144);
  base = Open();
  ASSERT_TRUE(Load(*base, 2));
  base->MoveTextTo(base->TextLength());
  base->AppendTextLine("line 4");
  EXPECT_FALSE(base->StoreMessage().ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kSquishBadFrame);
  EXPECT_EQ(Data(848, 1144), c);
}

TEST_F(SquishDamage, ChainsRelinkOnlyFramesThatLinkBack) {
  MakeArea({"A", "B", "C", "D"});  // frames 256, 552, 848, 1144; EndFrame 1440
  PatchU32(sqd(), 112, 1144);      // the free chain "ends" at D, the message chain's last
  PatchU32(sqd(), 116, 1144);
  auto base = Open();
  ASSERT_TRUE(Delete(*base, 1));
  EXPECT_EQ(DataU32(1144 + 4), 0u);  // D still ends the message chain
  EXPECT_TRUE(Sound());
  // A free chain that loops back does not keep the first-fit walk going.
  ASSERT_TRUE(Delete(*base, 2));
  ASSERT_TRUE(Delete(*base, 3));
  base.reset();
  PatchU32(sqd(), 552 + 4, 256);  // 256 -> 552 -> 256 ..., the tail 848 still sound
  base = Open();
  EXPECT_TRUE(Post(*base, "big", Body(200)));  // fits no free frame: appended
  EXPECT_EQ(base->CurrentFrameOffset(), 1440u);
}

TEST_F(SquishDamage, OnlyTheFirstMessageTotalIndexRecordsAreLive) {
  MakeArea({"One", "Two"});
  Bytes index = Index();  // a blank record after the live ones
  index.insert(index.end(), {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  testkit::WriteFileBytes(sqi(), index);
  auto base = Open();
  EXPECT_FALSE(base->HasMessage(-1));
  ASSERT_TRUE(Post(*base, "Three", Body(2)));
  EXPECT_EQ(IndexSize(), 36u);  // over the blank, not after it
  EXPECT_EQ(IndexU32(24 + 4), 3u);
  ASSERT_TRUE(base->CloseArea().ok());
  PatchU32(sqd(), 4, 5);  // a total above what the index holds: the index wins
  PatchU32(sqd(), 8, 5);
  base = Open();
  EXPECT_EQ(Walk(*base, 1), (std::vector<std::int32_t>{1, 2, 3}));
  ASSERT_TRUE(Post(*base, "Four", Body(2)));
  EXPECT_EQ(base->MessageCount(), 4);
  // A delete moves the live records only: a huge (sparse) tail of leftovers
  // is cut off, never copied.
  ASSERT_TRUE(base->CloseArea().ok());
  std::filesystem::resize_file(sqi(), 60000000);
  base = Open();
  ASSERT_TRUE(Delete(*base, 1));
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(IndexSize(), 36u);
  EXPECT_TRUE(Sound());
}

TEST_F(SquishDamage, ShortDataFileAndTooManyMessages) {
  testkit::WriteFileBytes(sqd(), Bytes(100, 0));
  testkit::WriteFileBytes(sqi(), {});
  auto base = std::make_unique<SquishBase>(env_);
  EXPECT_FALSE(base->OpenArea(area()).ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kSquishDamagedArea);
  EXPECT_EQ(Data(), Bytes(100, 0));
  RemoveArea();
  MakeArea({"One", "Two"});
  for (std::size_t at : {4, 8}) PatchU32(sqd(), at, 1000000);
  PatchU32(sqd(), 20, 1000001);
  std::filesystem::resize_file(sqi(), 12000000);  // sparse: the rest reads as zeros
  base = Open();
  EXPECT_FALSE(Post(*base, "Too many", Body(1)));
  EXPECT_EQ(base->ErrorCode(), Errc::kSquishLimitReached);
}

}  // namespace
}  // namespace mvx
