// Storing a message on a disk that fails: the failure must reach the caller,
// never be reported as a stored message.
#include <gtest/gtest.h>

#include <filesystem>

#include "msgbase/file_stream.h"
#include "msgdir/msgdir_base.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

// Bytes the next created message file may take before its writes fail.
std::int64_t gWriteBudget = 0;

std::unique_ptr<DataStream> OpenWithFailingWrites(const Str& name, std::uint16_t mode) {
  std::unique_ptr<DataStream> real = RealFileHooks().openFileStream(name, mode);
  if (!real || (mode & 0xFF) != (kModeCreateNew & 0xFF)) return real;
  return std::make_unique<FailingWriteStream>(std::move(real), gWriteBudget);
}

class MsgDirStoreFailureTest : public MsgDirTest {
 protected:
  bool PostWithBudget(std::int64_t budget) {
    gWriteBudget = budget;
    FileHooks hooks = RealFileHooks();
    hooks.openFileStream = OpenWithFailingWrites;
    SetFileHooks(hooks);
    MsgDirBase base;
    if (!base.OpenArea(dir_.path()) || !base.BeginNewMessage()) return false;
    base.PutFromName("Sender");
    base.AppendTextLineStr("Line one");
    base.AppendTextLineStr("Line two");
    const bool stored = base.StoreMessage();
    base.ReleaseMessage();
    return stored;
  }
};

TEST_F(MsgDirStoreFailureTest, EveryFailingWriteMakesStoreFalse) {
  // Header, text (18 bytes), NUL: 209 bytes in all.
  for (std::int64_t budget : {0, 100, 190, 200, 208}) {
    EXPECT_FALSE(PostWithBudget(budget)) << "budget " << budget;
    InstallFileHooks();
    for (const std::string& name : Names()) std::filesystem::remove(Path(name));
  }
  EXPECT_TRUE(PostWithBudget(209));
  InstallFileHooks();
  EXPECT_EQ(testkit::ReadFileBytes(Path("2.msg")).size(), 209u);
}

TEST_F(MsgDirStoreFailureTest, StoreHeaderOnlyReportsAFailedWrite) {
  PutFile("3.MSG", MsgFileBytes("Me", "Subj", "Text\r"));
  // Loading opens read/write (mode 2); make those writes fail at once.
  FileHooks hooks = RealFileHooks();
  hooks.openFileStream = [](const Str& name, std::uint16_t mode) -> std::unique_ptr<DataStream> {
    std::unique_ptr<DataStream> real = RealFileHooks().openFileStream(name, mode);
    if (!real || mode != kModeReadWrite) return real;
    return std::make_unique<FailingWriteStream>(std::move(real), 0);
  };
  SetFileHooks(hooks);
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.SetCurrentNumber(3);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.SubjectText(), "Subj");
  base.ChangeAttribute(true, kAttrSent);
  EXPECT_FALSE(base.StoreHeaderOnly());
  EXPECT_FALSE(base.StoreMessage());
}

TEST_F(MsgDirStoreFailureTest, StoreWithoutANewMessageIsFalse) {
  MsgDirBase base;
  EXPECT_FALSE(base.StoreMessage());
  EXPECT_FALSE(base.StoreHeaderOnly());
}

}  // namespace
}  // namespace mvx::msgdirtest
