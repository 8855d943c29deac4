// Crashes and failed writes at every write of a store, delete or move:
// readers only ever find whole messages, and the next open is sound.
// Damaged or hostile files: never a store over data in use.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/file_stream.h"
#include "squish/squish_base.h"
#include "squish_test_support.h"
#include "testkit/faults.h"

namespace mvx {
namespace {

using namespace squishtest;

// Writes and truncations of the data and index files, counted from 1.
FaultPlan Faults(Fault kind, int at) {
  return FaultPlan{.kind = kind, .at = at, .files = {".sqd", ".sqi"}, .countCreates = false};
}

class SquishCrash : public AreaFixture {
 protected:
  std::vector<IndexEntry> View() {
    std::vector<IndexEntry> v;
    EXPECT_TRUE(IndexView(Data(), Index(), v));
    return v;
  }
};

// A store of a new message is undone when it cannot be completed; a
// delete, and a move once the index names the new frame, are finished.
enum class Kind { kStore, kDelete, kMove };

struct Operation {
  const char* what;
  Kind kind;
  std::function<bool(SquishBase&)> run;
};

bool Grow(SquishBase& base, std::int32_t uid, int lines) {
  if (!Load(base, uid)) return false;
  base.MoveTextTo(base.TextLength());
  for (const std::string& l : Body(lines, "more")) base.AppendTextLine(l.c_str());
  return base.StoreMessage().ok();
}

TEST_F(SquishCrash, EveryWriteOfAStoreDeleteOrMoveStoppedOrFailed) {
  const Operation operations[] = {
      {"store into the first free frame", Kind::kStore, [](SquishBase& b) { return Post(b, "New", Body(5)); }},
      {"store into a middle free frame", Kind::kStore, [](SquishBase& b) { return Post(b, "New", Body(15)); }},
      {"store into the last free frame", Kind::kStore, [](SquishBase& b) { return Post(b, "New", Body(25)); }},
      {"store appended at EndFrame", Kind::kStore, [](SquishBase& b) { return Post(b, "New", Body(40)); }},
      {"delete the first message", Kind::kDelete, [](SquishBase& b) { return Delete(b, 1); }},
      {"delete a middle message", Kind::kDelete, [](SquishBase& b) { return Delete(b, 3); }},
      {"delete the last message", Kind::kDelete, [](SquishBase& b) { return Delete(b, 7); }},
      {"move to a new frame at EndFrame", Kind::kMove, [](SquishBase& b) { return Grow(b, 3, 50); }},
      {"move into a free frame", Kind::kMove, [](SquishBase& b) { return Grow(b, 7, 8); }},
  };
  // Messages A, C, E, G (uids 1, 3, 5, 7, two lines each) in the chain and
  // the free chain D (310-byte body), F (390), B (470), deleted in that
  // order. A new message of 5, 15 or 25 lines takes the first, middle or
  // last free frame (first fit); one of 40 lines is appended.
  auto maker = Open(true);
  char name = 'A';
  for (int lines : {2, 30, 2, 10, 2, 20, 2}) ASSERT_TRUE(Post(*maker, std::string(1, name++), Body(lines)));
  for (std::int32_t uid : {4, 6, 2}) ASSERT_TRUE(Delete(*maker, uid));
  ASSERT_TRUE(maker->CloseArea().ok());
  ASSERT_TRUE(Sound());
  ASSERT_EQ(DataU32(112), 256u + 282 + 498 + 282);  // D heads the free chain
  const auto pristine = Files();
  const std::vector<IndexEntry> before = View();
  ASSERT_EQ(before.size(), 4u);

  for (const Operation& op : operations) {
    SCOPED_TRACE(op.what);
    // The outcome of the operation left alone, and that it does what it says.
    PutFiles(pristine);
    ASSERT_TRUE(op.run(*Open()));
    ASSERT_TRUE(Sound());
    const std::vector<IndexEntry> done = View();
    std::vector<IndexEntry> changed;
    std::set_symmetric_difference(before.begin(), before.end(), done.begin(), done.end(),
                                  std::back_inserter(changed));
    ASSERT_EQ(changed.size(), op.kind == Kind::kMove ? 2u : 1u);
    int repairs = 0;

    for (const Fault kind : {Fault::kCrash, Fault::kFailOnce, Fault::kDiskFull}) {
      for (int at = kind == Fault::kCrash ? 0 : 1; at < 50; ++at) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(kind) << " at write " << at);
        PutFiles(pristine);
        FaultPlan faults = Faults(kind, at);
        bool result = false;
        {
          ScopedFaults scope(env_, faults);
          auto faulty = Open();
          result = op.run(*faulty);
          // (After a crash nothing the process did afterwards counts.)
          if (kind != Fault::kCrash) {
            EXPECT_EQ(result, !faults.hit);
            EXPECT_EQ(faulty->OsError(), faults.hit ? ENOSPC : 0);  // for the log
          }
          if (kind == Fault::kFailOnce && faults.hit) {
            // Settled at once: the writes after the failed one go through.
            EXPECT_TRUE(Sound());
          }
          faulty.reset();  // closes, under the same faults
        }
        // Readers that come before Marvex find the earlier messages or the
        // finished operation, each message whole, and programs walking the
        // chains meet only whole messages and free frames.
        const auto readersAccept = [&] {
          EXPECT_TRUE(ForwardWalksSafe(Data(), Index()));
          std::vector<IndexEntry> seen = View();
          // While a delete moves the index records down, readers see one of them twice.
          if (op.kind == Kind::kDelete) seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
          EXPECT_TRUE(seen == before || seen == done);
        };
        readersAccept();
        // The repair at the next open may be cut short too, at each of its
        // writes: what it leaves is just as acceptable, and settled later.
        if (kind == Fault::kCrash) {
          const auto torn = Files();
          for (int cut = 0; cut < 50; ++cut) {
            SCOPED_TRACE(testing::Message() << "repair stopped after write " << cut);
            PutFiles(torn);
            FaultPlan again = Faults(Fault::kCrash, cut);
            {
              ScopedFaults scope(env_, again);
              Open();
            }
            readersAccept();
            if (!again.hit) break;
            Open();
            EXPECT_TRUE(Sound());
          }
        }
        // Marvex opens it sound, with the same messages, and stores again.
        auto base = Open();
        EXPECT_TRUE(base->ErrorCode() == Errc::kNone || base->ErrorCode() == Errc::kSquishRepaired);
        repairs += base->ErrorCode() == Errc::kSquishRepaired;
        EXPECT_TRUE(Sound());
        const std::vector<IndexEntry> after = View();
        EXPECT_TRUE(after == before || after == done);
        // A store reported failed left nothing.
        if (kind != Fault::kCrash && !result && op.kind == Kind::kStore) {
          EXPECT_EQ(after, before);
        }
        EXPECT_TRUE(Post(*base, "Next", Body(3)));
        ASSERT_TRUE(base->CloseArea().ok());
        EXPECT_TRUE(Sound());
        EXPECT_EQ(View().size(), after.size() + 1);
        if (!faults.hit) break;
      }
    }
    EXPECT_GT(repairs, 0);
  }
}

TEST_F(SquishCrash, CloseAndLastReadFailures) {
  MakeArea({"One"});
  FaultPlan faults = Faults(Fault::kDiskFull, 1);
  ScopedFaults scope(env_, faults);
  auto base = Open();
  ASSERT_TRUE(base->BeginNewMessage().ok());  // takes a uid: closing writes NextUid
  EXPECT_FALSE(base->CloseArea().ok());
  EXPECT_EQ(DataU32(20), 2u);
  // A .sql another program holds is never created over (emptied); one we
  // make but cannot write is taken away again.
  base = Open();
  faults.files = {".sql"};
  base->WriteLastRead(1, 5);
  EXPECT_FALSE(testkit::PathExists(sql()));
  testkit::WriteFileBytes(sql(), {9, 0, 0, 0, 8, 0, 0, 0});
  faults.refuseWriteOpens = true;
  base->WriteLastRead(1, 5);
  EXPECT_EQ(testkit::ReadFileBytes(sql()), (Bytes{9, 0, 0, 0, 8, 0, 0, 0}));
}

TEST_F(SquishCrash, CreatingBesideAnotherProgram) {
  MakeArea({"Theirs"});
  const auto [theirData, theirIndex] = Files();
  const Bytes junk(300, 0x5A);
  struct Case {
    const char* what;
    std::map<std::string, Bytes> theirs;  // by file name
    const char* when;  // "": their files are there before we look
    bool headerWriteFails;
    Errc code;  // kNone: we post into their area
  };
  const Case cases[] = {
      {"their data file alone", {{"area.sqd", junk}}, "", false, Errc::kSquishDataCreateFailed},
      {"their index alone", {{"area.sqi", junk}}, "", false, Errc::kSquishIndexCreateFailed},
      {"their data file as we make ours", {{"area.sqd", junk}}, ".sqd", false, Errc::kSquishDataCreateFailed},
      {"their index as we make ours", {{"area.sqi", junk}}, ".sqi", false, Errc::kSquishIndexCreateFailed},
      {"their whole area as we make ours", {{"area.sqd", theirData}, {"area.sqi", theirIndex}}, ".sqd", false, Errc::kNone},
      {"our header write fails", {}, "", true, Errc::kSquishDataCreateFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveArea();
    // Their files appear as our create of the file ending in c.when begins.
    FaultPlan faults = Faults(Fault::kDiskFull, c.headerWriteFails ? 1 : 1000);
    std::string when = c.when;
    faults.beforeOpen = [&](const std::string& n, std::uint16_t mode) {
      if ((mode & 0xFF) != kModeCreateNew || when.empty() || !testkit::EndsWithName(n, when)) return;
      for (const auto& [name, bytes] : c.theirs) testkit::WriteFileBytes(dir_ / name, bytes);
      when.clear();
    };
    {
      ScopedFaults scope(env_, faults);
      SquishBase base(env_);
      if (!*c.when) {
        for (const auto& [name, bytes] : c.theirs) testkit::WriteFileBytes(dir_ / name, bytes);
      }
      if (c.theirs.size() == 1 && !*c.when) {  // missing the other file: not an area
        EXPECT_FALSE(base.AreaExists(area()));
        EXPECT_FALSE(base.OpenArea(area()).ok());
        EXPECT_EQ(base.ErrorCode(), c.code == Errc::kSquishDataCreateFailed ? Errc::kSquishNoIndexFile : Errc::kSquishNoDataFile);
      }
      EXPECT_EQ(base.CreateArea(area()).ok(), c.code == Errc::kNone);
      // Joining their area is a plain success: our own taken name is no failure.
      EXPECT_EQ(base.ErrorCode(), c.code);
      if (c.code == Errc::kNone) {
        EXPECT_EQ((std::pair{base.OsError(), base.MessageCount()}), (std::pair{0, 1}));
      }
    }
    // Their files are as they wrote them, and nothing of ours is left.
    EXPECT_EQ(DirContents(dir_.path()), c.theirs);
  }
}

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
    // Relinking a frame that cannot be trusted would write into whatever is there.
    EXPECT_FALSE(c.deleteRefused && base->DeleteMessage().ok());
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
  // At D (a live frame that is no chain's last), inside D, inside F (a free
  // frame that is no chain's last), inside E (the message chain's last).
  for (std::uint32_t bad : {1144u, 1184u, 1480u, 296u, 1836u, 0u, 100u}) {
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
  // The free chain "ends" at D, the message chain's last.
  for (std::size_t at : {112, 116}) PatchU32(sqd(), at, 1144);
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

// Only the first MessageTotal index records are live, and the index wins over
// a total above what it holds; a total at the limit refuses stores; a data
// file shorter than its header is refused and left as it is.
TEST_F(SquishDamage, MessageTotalsAgainstTheIndexAndAShortDataFile) {
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
  for (std::size_t at : {4, 8}) PatchU32(sqd(), at, 5);  // above what the index holds: the index wins
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

  for (std::size_t at : {4, 8}) PatchU32(sqd(), at, 1000000);
  PatchU32(sqd(), 20, 1000001);
  std::filesystem::resize_file(sqi(), 12000000);  // sparse: the rest reads as zeros
  base = Open();
  EXPECT_FALSE(Post(*base, "Too many", Body(1)));
  EXPECT_EQ(base->ErrorCode(), Errc::kSquishLimitReached);
  base.reset();
  testkit::WriteFileBytes(sqd(), Bytes(100, 0));
  testkit::WriteFileBytes(sqi(), {});
  base = std::make_unique<SquishBase>(env_);
  EXPECT_FALSE(base->OpenArea(area()).ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kSquishDamagedArea);
  EXPECT_EQ(Data(), Bytes(100, 0));
}

}  // namespace
}  // namespace mvx
