// Damaged areas, partial areas and failing disks: every case fails with its
// error code or works around the damage, and none makes a later store
// overwrite data.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/file_hooks.h"
#include "msgbase/file_stream.h"
#include "squish/squish_base.h"
#include "squish/squish_errors.h"
#include "squish_test_support.h"
#include "support/le_bytes.h"
#include "support/text.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using squishtest::AreaFixture;
using squishtest::AreaIsSound;
using squishtest::Body;
using squishtest::FrameAt;
using squishtest::HeaderOf;
using squishtest::Post;

// ------------------------------------------------------- failing streams

// What the faulty hooks break: writes (and truncation) of files whose name
// ends in `suffix` while `failWrites` is set; every open for writing only
// while `failWriteOpens` is set.
struct FaultPlan {
  std::string suffix;
  bool failWrites = false;
  bool failWriteOpens = false;
};
FaultPlan gFault;

class FaultyStream final : public DataStream {
 public:
  explicit FaultyStream(std::unique_ptr<DataStream> inner)
      : DataStream(inner->Mode(), inner->Name()), inner_(std::move(inner)) {
    status_ = inner_->Status();
  }
  void ReadBytes(void* buffer, std::uint16_t count) override {
    inner_->ReadBytes(buffer, count);
    Sync();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (status_ != kStreamOk) return;
    if (Armed()) {
      status_ = kStreamShortWrite;
      return;
    }
    inner_->WriteBytes(buffer, count);
    Sync();
  }
  void SeekTo(std::int32_t offset) override {
    inner_->SeekTo(offset);
    Sync();
  }
  std::int32_t Position() override { return inner_->Position(); }
  std::int32_t Size() override { return inner_->Size(); }
  void Flush() override {}
  void TruncateHere() override {
    if (Armed()) {
      status_ = kStreamShortWrite;
      return;
    }
    inner_->TruncateHere();
    Sync();
  }
  void ClearError() override {
    inner_->ClearError();
    status_ = kStreamOk;
  }

 private:
  // Existing files are opened by their upper-case names, new ones by
  // lower-case names: compare without regard to case.
  bool Armed() const {
    std::string n = Name().str();
    for (char& c : n) c = LowerAscii(c);
    return gFault.failWrites && n.size() >= gFault.suffix.size() &&
           n.compare(n.size() - gFault.suffix.size(), gFault.suffix.size(), gFault.suffix) == 0;
  }
  void Sync() {
    if (status_ == kStreamOk) status_ = inner_->Status();
  }
  std::unique_ptr<DataStream> inner_;
};

std::unique_ptr<DataStream> FaultyOpen(const Str& name, std::uint16_t mode) {
  if (gFault.failWriteOpens && (mode & 0xFF) == kModeWrite) {
    return RealFileHooks().openFileStream("/nonexistent-dir/none", mode);  // a failed open
  }
  std::unique_ptr<DataStream> s = RealFileHooks().openFileStream(name, mode);
  if (!s) return s;
  return std::make_unique<FaultyStream>(std::move(s));
}

class SquishFaults : public AreaFixture {
 protected:
  SquishFaults() {
    gFault = FaultPlan{};
    FileHooks hooks = RealFileHooks();
    hooks.openFileStream = FaultyOpen;
    saved_ = SetFileHooks(hooks);
  }
  ~SquishFaults() override {
    gFault = FaultPlan{};
    SetFileHooks(saved_);
  }
  FileHooks saved_{};
};

TEST_F(SquishFaults, StoreWhoseFrameWriteFailsReturnsFalse) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(3)));
  const Bytes before = testkit::ReadFileBytes(sqd());
  gFault = {".sqd", true, false};
  EXPECT_FALSE(Post(*base, "Two", Body(3)));
  EXPECT_EQ(base->ErrorCode(), kSquishFrameIoError);
  gFault.failWrites = false;
  EXPECT_EQ(testkit::ReadFileBytes(sqd()), before);
  EXPECT_EQ(base->MessageCount(), 1);
  // The area is still sound and takes the next message.
  ASSERT_TRUE(Post(*base, "Three", Body(3)));
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
}

TEST_F(SquishFaults, StoreWhoseIndexWriteFailsReturnsFalse) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(3)));
  const SquishBaseHeader h = base->BaseHeader();
  gFault = {".sqi", true, false};
  EXPECT_FALSE(Post(*base, "Two", Body(3)));
  EXPECT_EQ(base->ErrorCode(), kSquishIndexError);
  gFault.failWrites = false;
  // The frame went past EndFrame and nothing links to it: a leftover.
  EXPECT_EQ(HeaderOf(testkit::ReadFileBytes(sqd())).EndFrame, h.EndFrame);
  EXPECT_GT(testkit::ReadFileBytes(sqd()).size(), h.EndFrame);
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  ASSERT_TRUE(Post(*base, "Three", Body(3)));
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  EXPECT_EQ(testkit::ReadFileBytes(sqi()).size(), 24u);
}

TEST_F(SquishFaults, CloseReportsAHeaderThatCouldNotBeWritten) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());  // raises NextUid: the header must be written
  gFault = {".sqd", true, false};
  EXPECT_FALSE(base->CloseArea());
  EXPECT_FALSE(base->IsOpen());
}

TEST_F(SquishFaults, DeleteWhoseIndexWriteFailsChangesNothing) {
  auto base = Create();
  ASSERT_TRUE(Post(*base, "One", Body(3)));
  ASSERT_TRUE(Post(*base, "Two", Body(3)));
  const Bytes sqdBefore = testkit::ReadFileBytes(sqd());
  base->PositionFrom(1);
  gFault = {".sqi", true, false};
  EXPECT_FALSE(base->DeleteMessage());
  gFault.failWrites = false;
  EXPECT_EQ(testkit::ReadFileBytes(sqd()), sqdBefore);
  EXPECT_EQ(testkit::ReadFileBytes(sqi()).size(), 24u);
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
}

TEST_F(SquishFaults, LastReadNeverEmptiesAFileItCannotOpen) {
  auto base = Create();
  testkit::WriteFileBytes(sql(), {9, 0, 0, 0, 8, 0, 0, 0});
  gFault.failWriteOpens = true;  // another program holds it
  base->WriteLastRead(1, 5);
  gFault.failWriteOpens = false;
  EXPECT_EQ(testkit::ReadFileBytes(sql()), (Bytes{9, 0, 0, 0, 8, 0, 0, 0}));
  EXPECT_EQ(base->ReadLastRead(0), 9);
}

// ------------------------------------------------------- damaged files

class SquishDamage : public AreaFixture {
 protected:
  // An area with messages to "One" and "Two", closed.
  void MakeArea() {
    auto base = Create();
    ASSERT_TRUE(Post(*base, "One", Body(4)));
    ASSERT_TRUE(Post(*base, "Two", Body(4)));
    ASSERT_TRUE(base->CloseArea());
  }
  void PatchU32(const std::string& file, std::size_t at, std::uint32_t v) {
    Bytes b = testkit::ReadFileBytes(file);
    ASSERT_LE(at + 4, b.size());
    PutU32(b.data() + at, v);
    testkit::WriteFileBytes(file, b);
  }
  // Bytes from the first frame on, which no store may change in place.
  Bytes Frames() {
    const Bytes b = testkit::ReadFileBytes(sqd());
    return Bytes(b.begin() + 256, b.end());
  }
};

struct LoadCase {
  const char* what;
  std::size_t sqdOffset;  // a field of the last frame's header
  std::uint32_t value;
  bool deleteRefused;     // the frame cannot be trusted enough to relink
};

TEST_F(SquishDamage, DamagedFramesFailToLoadAndAreNeverWrittenOver) {
  MakeArea();
  const SquishBaseHeader h = HeaderOf(testkit::ReadFileBytes(sqd()));
  const std::uint32_t last = h.LastFrame;
  const LoadCase cases[] = {
      {"frame id", last + 0, 0x12345678, true},
      {"free frame type", last + 24, 1, true},
      {"frame length past the file", last + 12, 0x7FFFFF00, true},
      {"message length past the frame", last + 16, 0x00100000, false},
      {"control length past the message", last + 20, 0xFFFFFFF0, false},
      {"control length over the limit", last + 20, 70000, false},
  };
  // The last frame's next link is the one field an appended frame may
  // change.
  auto framesButNextLink = [&] {
    Bytes f = Frames();
    PutU32(f.data() + (last - 256) + 4, 0);
    return f;
  };
  const Bytes pristine = testkit::ReadFileBytes(sqd());
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::WriteFileBytes(sqd(), pristine);
    PatchU32(sqd(), c.sqdOffset, c.value);
    if (c.sqdOffset == last + 20 && c.value == 70000) {
      // Make the frame large enough that only the limit is in the way.
      PatchU32(sqd(), last + 12, 0x20000);
      PatchU32(sqd(), last + 16, 0x20000);
      Bytes b = testkit::ReadFileBytes(sqd());
      b.resize(last + 28 + 0x20000, 0x01);
      testkit::WriteFileBytes(sqd(), b);
      PatchU32(sqd(), 120, static_cast<std::uint32_t>(b.size()));
    }
    const Bytes damaged = framesButNextLink();
    auto base = Open();
    base->PositionFrom(2);
    ASSERT_EQ(base->CurrentNumber(), 2);
    EXPECT_FALSE(base->LoadMessage());
    EXPECT_EQ(base->ErrorCode(), kSquishBadFrame);
    EXPECT_FALSE(base->LoadHeaderAndKludges());
    EXPECT_EQ(base->TextBuffer(), nullptr);
    // Relinking a frame that is not one would write into whatever is there.
    if (c.deleteRefused) {
      EXPECT_FALSE(base->DeleteMessage());
    }
    // The first message still loads.
    base->PositionFrom(1);
    EXPECT_TRUE(base->LoadMessage());
    // A new message either goes in after EndFrame or is refused; the
    // existing frames stay as they were.
    Post(*base, "Three", Body(2));
    ASSERT_TRUE(base->CloseArea());
    const Bytes after = framesButNextLink();
    ASSERT_GE(after.size(), damaged.size());
    EXPECT_EQ(Bytes(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(damaged.size())),
              damaged);
  }
}

TEST_F(SquishDamage, IndexRecordsPointingNowhere) {
  MakeArea();
  PatchU32(sqi(), 0, 0);        // record 1 at offset 0
  PatchU32(sqi(), 12, 900000);  // record 2 past the end of the file
  auto base = Open();
  base->PositionFrom(1);
  EXPECT_FALSE(base->LoadMessage());
  EXPECT_EQ(base->ErrorCode(), kSquishBadFrame);
  EXPECT_FALSE(base->DeleteMessage());
  base->StepForward();
  EXPECT_FALSE(base->LoadMessage());
  EXPECT_EQ(base->ErrorCode(), kSquishFrameIoError);
  EXPECT_FALSE(base->DeleteMessage());
  EXPECT_EQ(base->MessageCount(), 2);
}

TEST_F(SquishDamage, EndFrameInsideALiveFrameRefusesStores) {
  MakeArea();
  const SquishBaseHeader h = HeaderOf(testkit::ReadFileBytes(sqd()));
  for (std::uint32_t bad : {h.LastFrame + 40, h.EndFrame + 100, 0u, 100u}) {
    SCOPED_TRACE(bad);
    PatchU32(sqd(), 120, bad);
    const Bytes frames = Frames();
    auto base = Open();
    EXPECT_FALSE(Post(*base, "Three", Body(2)));
    EXPECT_EQ(base->ErrorCode(), kSquishDamagedArea);
    ASSERT_TRUE(base->CloseArea());
    EXPECT_EQ(Frames(), frames);
  }
}

TEST_F(SquishDamage, ShortDataFileDoesNotOpen) {
  testkit::WriteFileBytes(sqd(), Bytes(100, 0));
  testkit::WriteFileBytes(sqi(), {});
  auto base = std::make_unique<SquishBase>();
  EXPECT_FALSE(base->OpenArea(area()));
  EXPECT_EQ(base->ErrorCode(), kSquishDamagedArea);
  EXPECT_FALSE(base->IsOpen());
  EXPECT_EQ(testkit::ReadFileBytes(sqd()), Bytes(100, 0));
}

TEST_F(SquishDamage, LoopingFreeChainDoesNotHang) {
  auto base = Create();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(Post(*base, "m", Body(1)));
  for (int uid = 1; uid <= 3; ++uid) {
    base->PositionFrom(uid);
    ASSERT_TRUE(base->DeleteMessage());
  }
  ASSERT_TRUE(base->CloseArea());
  // Free chain A -> B -> C; make B point back at A, so a walk from the head
  // never reaches the (still sound) tail.
  const SquishBaseHeader h = HeaderOf(testkit::ReadFileBytes(sqd()));
  const std::uint32_t a = h.FirstFreeFrame;
  const std::uint32_t b = FrameAt(testkit::ReadFileBytes(sqd()), a).NextFrame;
  PatchU32(sqd(), b + 4, a);
  auto again = Open();
  EXPECT_TRUE(Post(*again, "big", Body(200)));  // fits no free frame: appended
  EXPECT_EQ(again->CurrentFrameOffset(), h.EndFrame);
}

TEST_F(SquishDamage, BlankIndexRecordsAfterTheLiveOnesAreIgnoredAndReused) {
  MakeArea();
  Bytes index = testkit::ReadFileBytes(sqi());
  const Bytes blank = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  index.insert(index.end(), blank.begin(), blank.end());
  testkit::WriteFileBytes(sqi(), index);
  auto base = Open();
  EXPECT_FALSE(base->HasMessage(-1));
  base->PositionFrom(2);
  base->StepForward();
  EXPECT_FALSE(base->IsPositioned());
  ASSERT_TRUE(Post(*base, "Three", Body(2)));
  ASSERT_TRUE(base->CloseArea());
  const Bytes after = testkit::ReadFileBytes(sqi());
  ASSERT_EQ(after.size(), 36u);  // written over the blank, not after it
  EXPECT_EQ(DecodeIndexRecord(after.data() + 24).Uid, 3u);
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
}

TEST_F(SquishDamage, TotalAboveTheIndexFollowsTheIndexOnTheNextStore) {
  MakeArea();
  PatchU32(sqd(), 4, 5);
  PatchU32(sqd(), 8, 5);
  auto base = Open();
  std::vector<int> seen;
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) seen.push_back(base->CurrentNumber());
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  ASSERT_TRUE(Post(*base, "Three", Body(2)));
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  EXPECT_EQ(HeaderOf(testkit::ReadFileBytes(sqd())).MessageTotal, 3u);
}

TEST_F(SquishDamage, NoMoreThanAMillionMessages) {
  MakeArea();
  PatchU32(sqd(), 4, 1000000);
  PatchU32(sqd(), 8, 1000000);
  PatchU32(sqd(), 20, 1000001);
  std::filesystem::resize_file(sqi(), 12000000);  // sparse: the rest reads as zeros
  auto base = Open();
  EXPECT_FALSE(Post(*base, "Too many", Body(1)));
  EXPECT_EQ(base->ErrorCode(), kSquishLimitReached);
}

// ------------------------------------------------------- partial areas

class SquishPartial : public AreaFixture {};

TEST_F(SquishPartial, MissingFilesAreReportedOnOpen) {
  auto base = std::make_unique<SquishBase>();
  EXPECT_FALSE(base->OpenArea(area()));
  EXPECT_EQ(base->ErrorCode(), kSquishNoDataFile);
  testkit::WriteFileBytes(sqd(), Bytes(256, 0));
  EXPECT_FALSE(base->OpenArea(area()));
  EXPECT_EQ(base->ErrorCode(), kSquishNoIndexFile);
  EXPECT_EQ(base->AreaPath(), area() + ".");
  EXPECT_FALSE(base->AreaExists(area()));
}

TEST_F(SquishPartial, CreateNeverEmptiesTheFileThatIsThere) {
  const Bytes data(300, 0x5A);
  testkit::WriteFileBytes(sqd(), data);
  auto base = std::make_unique<SquishBase>();
  EXPECT_FALSE(base->CreateArea(area()));
  EXPECT_EQ(base->ErrorCode(), kSquishDataCreateFailed);
  EXPECT_EQ(testkit::ReadFileBytes(sqd()), data);
  EXPECT_FALSE(testkit::PathExists(sqi()));

  std::filesystem::remove(sqd());
  testkit::WriteFileBytes(sqi(), Bytes(24, 0x11));
  EXPECT_FALSE(base->CreateArea(area()));
  EXPECT_EQ(base->ErrorCode(), kSquishIndexCreateFailed);
  EXPECT_EQ(testkit::ReadFileBytes(sqi()), Bytes(24, 0x11));
  EXPECT_FALSE(testkit::PathExists(sqd()));
}

TEST_F(SquishPartial, CreateOverAnAreaMadeMeanwhileOpensIt) {
  // Another run created the area (and posted) after our open failed.
  ASSERT_TRUE(Post(*Create(), "Theirs", Body(2)));
  auto base = std::make_unique<SquishBase>();
  ASSERT_TRUE(base->CreateArea(area()));
  EXPECT_EQ(base->MessageCount(), 1);
  ASSERT_TRUE(Post(*base, "Ours", Body(2)));
  ASSERT_TRUE(base->CloseArea());
  EXPECT_TRUE(AreaIsSound(sqd(), sqi()));
  EXPECT_EQ(HeaderOf(testkit::ReadFileBytes(sqd())).MessageTotal, 2u);
}

}  // namespace
}  // namespace mvx
