// Crashes and failed writes at every write of a store, delete or move:
// readers only ever find whole messages, and the next open is sound.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
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

// The view with records that follow an equal one dropped: while a delete
// moves the index records down, readers see one of them twice.
std::vector<IndexEntry> WithoutRepeats(std::vector<IndexEntry> v) {
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

class SquishCrash : public AreaFixture {
 protected:
  // Messages A, C, E, G (uids 1, 3, 5, 7, two lines each) in the chain and
  // the free chain D (310-byte body), F (390), B (470), deleted in that
  // order. A new message of 5, 15 or 25 lines takes the first, middle or
  // last free frame (first fit); one of 40 lines is appended.
  void MakeBaseArea() {
    auto base = Create();
    char name = 'A';
    for (int lines : {2, 30, 2, 10, 2, 20, 2}) ASSERT_TRUE(Post(*base, std::string(1, name++), Body(lines)));
    for (std::int32_t uid : {4, 6, 2}) ASSERT_TRUE(Delete(*base, uid));
    ASSERT_TRUE(base->CloseArea().ok());
    ASSERT_TRUE(Sound());
    ASSERT_EQ(DataU32(112), 256u + 282 + 498 + 282);  // D heads the free chain
  }
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
  MakeBaseArea();
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
          const std::vector<IndexEntry> seen = op.kind == Kind::kDelete ? WithoutRepeats(View()) : View();
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
    std::vector<std::pair<std::string, Bytes>> theirs;
    const char* when;  // "": their files are there before we look
    bool headerWriteFails;
    Errc code;  // kNone: we post into their area
  };
  const Case cases[] = {
      {"their data file alone", {{".sqd", junk}}, "", false, Errc::kSquishDataCreateFailed},
      {"their index alone", {{".sqi", junk}}, "", false, Errc::kSquishIndexCreateFailed},
      {"their data file as we make ours", {{".sqd", junk}}, ".sqd", false, Errc::kSquishDataCreateFailed},
      {"their index as we make ours", {{".sqi", junk}}, ".sqi", false, Errc::kSquishIndexCreateFailed},
      {"their whole area as we make ours", {{".sqd", theirData}, {".sqi", theirIndex}}, ".sqd", false, Errc::kNone},
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
      for (const auto& [ext, bytes] : c.theirs) testkit::WriteFileBytes(n.substr(0, n.size() - 4) + ext, bytes);
      when.clear();
    };
    {
      ScopedFaults scope(env_, faults);
      SquishBase base(env_);
      if (!*c.when) {
        for (const auto& [ext, bytes] : c.theirs) testkit::WriteFileBytes(dir_ / ("area" + ext), bytes);
      }
      if (c.theirs.size() == 1 && !*c.when) {  // missing the other file: not an area
        EXPECT_FALSE(base.AreaExists(area()));
        EXPECT_FALSE(base.OpenArea(area()).ok());
        EXPECT_EQ(base.ErrorCode(), c.code == Errc::kSquishDataCreateFailed ? Errc::kSquishNoIndexFile : Errc::kSquishNoDataFile);
      }
      EXPECT_EQ(base.CreateArea(area()).ok(), c.code == Errc::kNone);
      if (c.code == Errc::kNone) {
        EXPECT_EQ(base.MessageCount(), 1);
      } else {
        EXPECT_EQ(base.ErrorCode(), c.code);
      }
    }
    // Their files are as they wrote them, and nothing of ours is left.
    std::map<std::string, Bytes> left;
    for (const auto& [ext, bytes] : c.theirs) left["area" + ext] = bytes;
    EXPECT_EQ(DirContents(dir_.path()), left);
  }
}

}  // namespace
}  // namespace mvx
