#include "msgbase/file_hooks.h"

#include <gtest/gtest.h>

#include "msgbase/file_stream.h"
#include "msgbase/memory_stream.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

// Restores whatever hooks were there before the test.
class HooksTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = CurrentFileHooks(); }
  void TearDown() override { SetFileHooks(saved_); }
  FileHooks saved_{};
};

using HooksDeathTest = HooksTest;

TEST_F(HooksDeathTest, EveryHookStopsTheProgramUntilInstalled) {
  SetFileHooks(FileHooks{nullptr, nullptr, nullptr});  // the state before installation
  EXPECT_EXIT(OpenFileStream("x", kModeRead), ::testing::ExitedWithCode(217), "217.*OpenFileStream");
  EXPECT_EXIT(NewMemoryStream(), ::testing::ExitedWithCode(217), "217.*NewMemoryStream");
  EXPECT_EXIT(NewDirScanner(), ::testing::ExitedWithCode(217), "217.*NewDirScanner");
}

TEST_F(HooksTest, InstalledHooksMakeTheRealObjects) {
  InstallFileHooks();
  testkit::TempDir dir;
  auto f = OpenFileStream(dir / "new.jdt", kModeCreate | kShareRead);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Status(), kStreamOk);
  EXPECT_NE(dynamic_cast<FileStream*>(f.get()), nullptr);
  EXPECT_TRUE(testkit::PathExists(dir / "new.jdt"));
  auto m = NewMemoryStream(65536);
  ASSERT_NE(m, nullptr);
  EXPECT_NE(dynamic_cast<MemoryStream*>(m.get()), nullptr);
  EXPECT_EQ(m->Size(), 0);
  auto s = NewDirScanner();
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->ScanFirst(dir / "NEW.JDT", 0x3F));
  const FileHooks now = CurrentFileHooks();
  const FileHooks real = RealFileHooks();
  EXPECT_EQ(now.openFileStream, real.openFileStream);
  EXPECT_EQ(now.newMemoryStream, real.newMemoryStream);
  EXPECT_EQ(now.newDirScanner, real.newDirScanner);
}

// A test double that refuses every open: what a base sees on a locked disk.
int gRefused = 0;
std::unique_ptr<DataStream> RefuseOpen(const Str&, std::uint16_t) {
  ++gRefused;
  return RealFileHooks().openFileStream("", kModeRead);  // a stream with Status -2
}

TEST_F(HooksTest, ReplacedHookIsUsedAndTheOldSetComesBack) {
  InstallFileHooks();
  FileHooks mine = RealFileHooks();
  mine.openFileStream = RefuseOpen;
  const FileHooks before = SetFileHooks(mine);
  EXPECT_EQ(before.openFileStream, RealFileHooks().openFileStream);
  gRefused = 0;
  auto f = OpenFileStream("anything", kModeReadWrite);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Status(), kStreamOpenError);
  EXPECT_EQ(gRefused, 1);
  SetFileHooks(before);
  EXPECT_EQ(CurrentFileHooks().openFileStream, RealFileHooks().openFileStream);
}

}  // namespace
}  // namespace mvx
