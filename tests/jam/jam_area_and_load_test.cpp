// Opening, creating and closing JAM areas and their last-read pointers;
// loading, navigating and deleting; compaction and damaged areas.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "jam_test_support.h"

namespace mvx::jamtest {
namespace {

using JamAreaTest = AreaFixture;
using JamLoadTest = AreaFixture;
using Names = std::vector<std::string>;

// On Windows names that differ only in case are one name, and a rename that
// only changes the case may keep the old spelling: names compare folded there.
Names AsCompared(const Names& names) { return kWindows ? testkit::Folded(names) : names; }

TEST_F(JamAreaTest, FileNamesTheDotRuleAndCase) {
  JamBase base(env_);
  ASSERT_TRUE(base.CreateArea(dir_ / "sub/dir/net").ok());
  EXPECT_EQ(base.AreaPath(), Str(dir_ / "sub/dir/net."));
  EXPECT_EQ(testkit::ListDir(dir_ / "sub/dir"),
            (Names{testkit::Made("net.jdt"), testkit::Made("net.jdx"), testkit::Made("net.jhr"), testkit::Made("net.jlr")}));
  // Existing files are found whatever the case of their names.
  MakeArea(env_, area(), {"one"});
  for (const auto& [lower, upper] : {std::pair{"jhr", "JHR"}, {"jdx", "JDX"}, {"jdt", "JDT"}, {"jlr", "JLR"}}) {
    ASSERT_EQ(std::rename(file(lower).c_str(), (dir_ / "AREA." + upper).c_str()), 0);
  }
  ASSERT_TRUE(base.OpenArea(area() + ".").ok());
  EXPECT_EQ(LoadText(base, 1), "one\r");
  ASSERT_TRUE(Post(base, "All", {"two"}));
  ASSERT_TRUE(base.CloseArea().ok());
  EXPECT_EQ(AsCompared(testkit::ListDir(dir_.path())), AsCompared(Names{"AREA.JDT", "AREA.JDX", "AREA.JHR", "AREA.JLR", "sub"}));
}

// The tossers never make a .JLR: a missing one is made and nothing else is
// touched. Another program's fields are kept and a torn tail is reused. A
// held .JLR is neither recreated nor needed; a held .JDX refuses the area.
TEST_F(JamAreaTest, TheLastReadFileAndFilesHeldByAnotherProgram) {
  MakeArea(env_, area(), {"one", "two"});
  const Bytes headers = testkit::ReadFileBytes(file("jhr"));
  for (bool create : {false, true}) {
    ASSERT_EQ(std::remove(file("jlr").c_str()), 0);
    JamBase base(env_);
    EXPECT_TRUE(base.AreaExists(area()));
    ASSERT_TRUE(create ? base.CreateArea(area()).ok() : base.OpenArea(area()).ok());
    EXPECT_TRUE(base.HasLastReadFile() && testkit::ReadFileBytes(file("jlr")).empty());
    EXPECT_EQ(testkit::ReadFileBytes(file("jhr")), headers);
    EXPECT_EQ(LoadText(base, 2), "two\r");
  }

  auto base = Open();
  EXPECT_EQ(base->ReadLastRead(5), 0);
  base->WriteLastRead(5, 10);
  base->WriteLastRead(7, 3);
  base->WriteLastRead(5, 0x0102);
  EXPECT_EQ(base->ReadLastRead(7), 3);
  EXPECT_EQ(base->ReadLastRead(6), 0);
  // Read once the area is closed: the .JLR is open without sharing, which
  // on Windows keeps every other reader out.
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(testkit::ReadFileBytes(file("jlr")), (Bytes{5, 0, 0, 0, 5, 0, 0, 0, 2, 1, 0, 0, 2, 1, 0, 0,  //
                                                        7, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0}));
  // A name CRC, two different numbers (reading gives the highest), a torn record.
  testkit::WriteFileBytes(file("jlr"), Bytes{0xAA, 0xBB, 0xCC, 0xDD, 9, 0, 0, 0, 4, 0, 0, 0, 6, 0, 0, 0, 1, 2, 3});
  base = Open();
  EXPECT_EQ(base->ReadLastRead(9), 6);
  base->WriteLastRead(9, 8);
  base->WriteLastRead(1, 1);
  ASSERT_TRUE(base->CloseArea().ok());
  const Bytes pointers{0xAA, 0xBB, 0xCC, 0xDD, 9, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0,  //
                       1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(testkit::ReadFileBytes(file("jlr")), pointers);

  env_.lockWaitMs = 0;  // a held file fails at once, not after a wait
  std::unique_ptr<DataStream> holder = env_.OpenFileStream(file("jlr"), kModeReadWrite | kShareNone);
  ASSERT_TRUE(holder->Status().ok());
  base = Open();
  EXPECT_FALSE(base->HasLastReadFile());
  base->WriteLastRead(1, 9);
  ASSERT_TRUE(Post(*base, "All", {"three"}));
  EXPECT_TRUE(base->CloseArea().ok());
  holder.reset();  // on Windows nobody else reads what is held without sharing
  EXPECT_EQ(testkit::ReadFileBytes(file("jlr")), pointers);

  holder = env_.OpenFileStream(file("jdx"), kModeReadWrite | kShareNone);
  ASSERT_TRUE(holder->Status().ok());
  EXPECT_FALSE(base->OpenArea(area()).ok());
  EXPECT_EQ(base->ErrorCode(), Errc::kJamOpenIndex);
  holder.reset();
  EXPECT_EQ(Open()->MessageCount(), 3);
}

TEST_F(JamAreaTest, APartialAreaIsRefusedAndLeftAloneThreeEmptyFilesAreMadeNew) {
  for (const auto& [missing, code] : {std::pair{"jhr", Errc::kJamNoHeaderFile}, {"jdx", Errc::kJamNoIndexFile},
                                      {"jdt", Errc::kJamNoTextFile}}) {
    MakeArea(env_, area(), {"one"});
    ASSERT_EQ(std::remove(file(missing).c_str()), 0);
    const auto before = DirContents(dir_.path());
    JamBase base(env_);
    EXPECT_FALSE(base.AreaExists(area()));
    EXPECT_FALSE(base.OpenArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), code);
    EXPECT_FALSE(base.CreateArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), code);
    EXPECT_EQ(DirContents(dir_.path()), before);
    RemoveArea();
  }
  // With none there, opening fails and every operation fails quietly.
  JamBase base(env_);
  EXPECT_FALSE(base.OpenArea(area()).ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kJamNoHeaderFile);
  base.PositionByUid(1);
  EXPECT_FALSE(base.HasMessage(1) || base.LoadMessage().ok() || base.BeginNewMessage().ok() || base.StoreMessage().ok() ||
               base.DeleteMessage().ok() || base.ReadLastRead(1) != 0);
  base.WriteLastRead(1, 1);
  EXPECT_TRUE(base.CloseArea().ok());
  EXPECT_TRUE(testkit::ListDir(dir_.path()).empty());
  // Three empty files: their maker stopped before writing the header, so
  // there is no message to lose and they get the header of a new area.
  for (const char* ext : {"jhr", "jdx", "jdt"}) testkit::WriteFileBytes(file(ext), {});
  ASSERT_TRUE(base.OpenArea(area()).ok());
  EXPECT_EQ(testkit::ReadFileBytes(file("jhr")), NewAreaHeader());
  ASSERT_TRUE(Post(base, "All", {"first"}));
  EXPECT_EQ(base.CurrentNumber(), 1);
}

// A half area would be refused by every later run: a failed creation leaves
// nothing. Another run that creates the area between our failed open and our
// create is joined.
TEST_F(JamAreaTest, AFailedCreationLeavesNothingBehindAnotherRunsAreaIsJoined) {
  FaultPlan plan;
  ScopedFaults faults(env_, plan);
  JamBase base(env_);
  for (const auto& [ext, code] : {std::pair{".jhr", Errc::kJamCreateHeader}, {".jdx", Errc::kJamCreateIndex},
                                  {".jdt", Errc::kJamCreateText}}) {
    plan.refuseOpensOf = ext;
    EXPECT_FALSE(base.CreateArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), code);
    EXPECT_FALSE(base.IsOpen());
    EXPECT_TRUE(testkit::ListDir(dir_.path()).empty()) << ext;
  }
  plan.refuseOpensOf.clear();
  bool theirsMade = false;
  plan.beforeOpen = [&](const std::string& name, std::uint16_t mode) {
    if (theirsMade || (mode & 0xFF) != kModeCreateNew || !EndsWithName(name, file("jhr"))) return;
    theirsMade = true;
    MakeArea(env_, area(), {"theirs"});
  };
  EXPECT_FALSE(base.OpenArea(area()).ok());
  ASSERT_TRUE(base.CreateArea(area()).ok());
  EXPECT_TRUE(theirsMade);
  ASSERT_TRUE(Post(base, "All", {"ours"}));
  EXPECT_EQ(LoadText(base, 1), "theirs\r");
  EXPECT_EQ(LoadText(base, 2), "ours\r");
}

// Another program's fields are written back as they were. A damaged header
// is refused and nothing is written, not even the missing .JLR. (Three empty
// files are a new area: see above.)
TEST_F(JamAreaTest, TheBaseHeaderIsWrittenBackWholeOrRefusedAsItIs) {
  MakeArea(env_, area(), {"one"});
  PatchU32(file("jhr"), 24, 0x12345678);  // another program's high-water mark
  PatchU32(file("jhr"), 1020, 0xAB000000);
  PatchU32(file("jhr"), 16, 0x0BADF00D);  // a password crc nobody checks
  Bytes expected = testkit::ReadFileBytes(file("jhr"));
  auto writer = Open();
  ASSERT_TRUE(Post(*writer, "All", {"two"}));
  ASSERT_TRUE(writer->CloseArea().ok());
  PutU32(expected.data() + 8, 2);   // ModifyCount
  PutU32(expected.data() + 12, 2);  // ActiveCount
  expected.resize(1024);
  const Bytes whole = testkit::ReadFileBytes(file("jhr"));
  EXPECT_EQ(Bytes(whole.begin(), whole.begin() + 1024), expected);

  ASSERT_EQ(std::remove(file("jlr").c_str()), 0);
  Bytes unsigned_ = whole;
  unsigned_[2] = 'N';
  for (const Bytes& jhr : {Bytes(whole.begin(), whole.begin() + 24), Bytes(whole.begin(), whole.begin() + 500),
                           Bytes(whole.begin(), whole.begin() + 1023), Bytes(), unsigned_}) {
    testkit::WriteFileBytes(file("jhr"), jhr);
    const auto before = DirContents(dir_.path());
    JamBase base(env_);
    EXPECT_FALSE(base.OpenArea(area()).ok()) << jhr.size();
    EXPECT_EQ(base.ErrorCode(), Errc::kJamBadBaseHeader);
    EXPECT_FALSE(base.CreateArea(area()).ok());
    EXPECT_EQ(base.ErrorCode(), Errc::kJamBadBaseHeader);
    EXPECT_FALSE(base.IsOpen() || base.BeginNewMessage().ok());
    EXPECT_EQ(DirContents(dir_.path()), before);
  }
}

// Counts the numbers a walk asks about; past a thousand it answers yes so a
// walk that would otherwise go on towards 1 ends and the count shows it.
class CountingJam : public JamBase {
 public:
  bool HasMessage(std::int32_t number) override {
    return ++asked > 1000 || JamBase::HasMessage(number);
  }
  int asked = 0;
};

// Another writer's base number, just below 2^31 and then high with its
// lowest message deleted by the header bit.
TEST_F(JamLoadTest, NumbersStartAtTheBaseNumberAndStepBackStopsThere) {
  MakeArea(env_, area(), {"one", "two", "three"});
  PatchU32(file("jhr"), 20, 0x7FFFFFFD);
  auto base = Open();
  EXPECT_EQ(base->HighestNumber(), 0x7FFFFFFF);
  EXPECT_EQ(Walk(*base, 1), (std::vector<std::int32_t>{0x7FFFFFFD, 0x7FFFFFFE, 0x7FFFFFFF}));
  EXPECT_EQ(Walk(*base, 0x7FFFFFFF, true), (std::vector<std::int32_t>{0x7FFFFFFF, 0x7FFFFFFE, 0x7FFFFFFD}));
  EXPECT_EQ(LoadText(*base, 0x7FFFFFFE), "two\r");
  EXPECT_FALSE(base->BeginNewMessage().ok());  // no number left
  base.reset();
  PatchU32(file("jhr"), 20, 0x40000000);
  PatchU32(file("jhr"), 1024 + kJamAttributesOffset, U32At(file("jhr"), 1024 + kJamAttributesOffset) | kJamAttrDeleted);
  CountingJam counting;
  ASSERT_TRUE(counting.OpenArea(area()).ok());
  EXPECT_EQ(Walk(counting, 0x40000002, true), (std::vector<std::int32_t>{0x40000002, 0x40000001}));
  EXPECT_LT(counting.asked, 10);
}

// Record 0 marked deleted by another program, the count lowered, a torn record.
TEST_F(JamLoadTest, DeletedRecordsAreCompactedAndTheMessagesRenumbered) {
  MakeArea(env_, area(), {"one", "two", "three", "four"});
  Bytes index = testkit::ReadFileBytes(file("jdx"));
  for (int i = 0; i < 8; ++i) index[i] = 0xFF;
  index.insert(index.end(), {1, 2, 3});
  testkit::WriteFileBytes(file("jdx"), index);
  PatchU32(file("jhr"), 12, 3);

  auto base = Open();
  EXPECT_EQ(base->MessageCount(), 3);
  EXPECT_EQ(testkit::ReadFileBytes(file("jdx")).size(), 24u);
  EXPECT_EQ(U32At(file("jhr"), 1456 + 48), 3u);
  base->PositionByUid(2);
  ASSERT_TRUE(base->DeleteMessage().ok());
  EXPECT_EQ(U32At(file("jhr"), 12), 2u);  // on disk before the index shrinks
  EXPECT_EQ(base->CurrentNumber(), 1);
  base->StepForward();
  EXPECT_EQ(LoadText(*base, base->CurrentNumber()), "four\r");
  EXPECT_EQ(base->CurrentNumber(), 2);
  EXPECT_EQ(LoadText(*base, 1), "two\r");
  // JamCrc("All") = 0xC4E78E22; headers of 76 + 68 bytes from 1024: "two"
  // at 1168, "four" at 1456.
  EXPECT_EQ(testkit::ReadFileBytes(file("jdx")),
            (Bytes{0x22, 0x8E, 0xE7, 0xC4, 0x90, 0x04, 0, 0, 0x22, 0x8E, 0xE7, 0xC4, 0xB0, 0x05, 0, 0}));
  EXPECT_EQ(std::pair(U32At(file("jhr"), 1168 + 48), U32At(file("jhr"), 1456 + 48)), std::pair(1u, 2u));
  base->PositionByUid(3);
  EXPECT_FALSE(base->DeleteMessage().ok());  // not in use
  ASSERT_TRUE(Post(*base, "All", {"five"}));
  EXPECT_EQ(LoadText(*base, 3), "five\r");
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(U32At(file("jhr"), 12), 3u);
}

// "two" being dropped from five: headers renumbered but the index not written;
// the index written but not cut; the index write itself torn.
TEST_F(JamLoadTest, AStoppedCompactionIsFinishedOnOpen) {
  // Headers of 144 bytes from 1024; ActiveCount already lowered to 4.
  const std::uint32_t offsets[] = {1024, 1168, 1312, 1456, 1600};
  const struct {
    std::vector<int> index;  // the records in the .JDX, by message; 0 = deleted
    bool renumbered;         // headers of three..five already at 2..4
  } table[] = {
      {{1, 0, 3, 4, 5}, true}, {{1, 3, 4, 5, 5}, true}, {{1, 3, 4, 4, 5}, true}, {{1, 0, 3, 4, 5}, false}};
  for (const auto& t : table) {
    MakeArea(env_, area(), {"one", "two", "three", "four", "five"});
    const Bytes whole = testkit::ReadFileBytes(file("jdx"));
    const Bytes deleted(8, 0xFF);
    Bytes index;
    for (int m : t.index) {
      const auto from = m ? whole.begin() + (m - 1) * 8 : deleted.begin();
      index.insert(index.end(), from, from + 8);
    }
    testkit::WriteFileBytes(file("jdx"), index);
    PatchU32(file("jhr"), 12, 4);
    for (int m = 3; t.renumbered && m <= 5; ++m) PatchU32(file("jhr"), offsets[m - 1] + 48, m - 1);

    auto base = Open();
    EXPECT_EQ(base->MessageCount(), 4);
    std::string texts;
    for (int n = 1; n <= 4; ++n) texts += LoadText(*base, n);
    EXPECT_EQ(texts, "one\rthree\rfour\rfive\r");
    Bytes expected = whole;  // the records of all but "two"
    expected.erase(expected.begin() + 8, expected.begin() + 16);
    EXPECT_EQ(testkit::ReadFileBytes(file("jdx")), expected);
    for (int m = 3; m <= 5; ++m) EXPECT_EQ(U32At(file("jhr"), offsets[m - 1] + 48), std::uint32_t(m - 1));
    base.reset();
    RemoveArea();
  }
}

// Damage to message 2's index record or header; the others still load.
TEST_F(JamLoadTest, DamagedMessagesFailWithTheirCode) {
  const struct {
    bool inIndex;
    std::uint32_t at, value;
    Errc code;
  } table[] = {
      {true, 4, 0x00100000, Errc::kJamBadHeaderOffset},   // record past the .JHR
      {true, 4, 0, Errc::kJamBadHeaderOffset},            // record into the base header
      {true, 4, 0x80000400u, Errc::kJamBadHeaderOffset},  // record negative
      {false, 52, 0x80000000u, Errc::kJamBadHeaderOffset}, // the deleted bit
      {false, 60, 5000, Errc::kJamBadTextOffset},         // TextStart past the .JDT
      {false, 64, 0xFFFFFFF0u, Errc::kJamBadTextOffset},  // TextSize past the .JDT
      {false, 8, 0x7FFFFFFF, Errc::kJamReadError},        // subfields past the .JHR
  };
  for (const auto& t : table) {
    MakeArea(env_, area(), {"one", "two", "three"});
    PatchU32(file(t.inIndex ? "jdx" : "jhr"), t.at + (t.inIndex ? 8 : U32At(file("jdx"), 12)), t.value);
    auto base = Open();
    base->PositionByUid(2);
    EXPECT_FALSE(base->LoadMessage().ok()) << t.at;
    EXPECT_EQ(base->ErrorCode(), t.code) << t.at;
    EXPECT_FALSE(base->LoadHeaderAndKludges().ok()) << t.at;
    EXPECT_EQ(base->TextBuffer(), nullptr);
    EXPECT_EQ(Walk(*base, 1).size(), t.at == 52 ? 2u : 3u);  // only a deleted one is skipped
    EXPECT_EQ(LoadText(*base, 1) + LoadText(*base, 3), "one\rthree\r");
    base.reset();
    RemoveArea();
  }
}

}  // namespace
}  // namespace mvx::jamtest
