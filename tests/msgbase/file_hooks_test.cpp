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
  void TearDown() override { SetFileHooks(saved_); }
  FileHooks saved_ = CurrentFileHooks();
};

using HooksDeathTest = HooksTest;

TEST_F(HooksDeathTest, EveryHookStopsTheProgramUntilInstalled) {
  SetFileHooks(FileHooks{nullptr, nullptr, nullptr});  // the state before installation
  EXPECT_EXIT(OpenFileStream("x", kModeRead), ::testing::ExitedWithCode(217), "217.*OpenFileStream");
  EXPECT_EXIT(NewMemoryStream(), ::testing::ExitedWithCode(217), "217.*NewMemoryStream");
  EXPECT_EXIT(NewDirScanner(), ::testing::ExitedWithCode(217), "217.*NewDirScanner");
}

std::unique_ptr<DataStream> RefuseOpen(const Str&, std::uint16_t) {
  return RealFileHooks().openFileStream("", kModeRead);  // Status -2, as on a locked disk
}

TEST_F(HooksTest, InstalledHooksMakeTheRealObjectsAndCanBeReplaced) {
  InstallFileHooks();
  testkit::TempDir dir;
  auto f = OpenFileStream(dir / "new.jdt", kModeCreate | kShareRead);
  ASSERT_NE(dynamic_cast<FileStream*>(f.get()), nullptr);
  EXPECT_EQ(f->Status(), kStreamOk);
  auto m = NewMemoryStream(65536);
  ASSERT_NE(dynamic_cast<MemoryStream*>(m.get()), nullptr);
  EXPECT_EQ(m->Size(), 0);
  EXPECT_TRUE(NewDirScanner()->ScanFirst(dir / "NEW.JDT", 0x3F));

  FileHooks mine = RealFileHooks();
  mine.openFileStream = RefuseOpen;
  const FileHooks before = SetFileHooks(mine);
  EXPECT_EQ(OpenFileStream(dir / "new.jdt", kModeReadWrite)->Status(), kStreamOpenError);
  SetFileHooks(before);
  f.reset();  // on Windows the share-none open below needs the file to itself
  EXPECT_EQ(OpenFileStream(dir / "new.jdt", kModeReadWrite)->Status(), kStreamOk);
}

}  // namespace
}  // namespace mvx
