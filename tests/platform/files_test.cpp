#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

using testkit::TempDir;

// Lock conflicts are waited for; keep the wait short in tests.
class ShortLockWait : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = LockWaitMilliseconds();
    SetLockWaitMilliseconds(30);
    testkit::WriteFileText(file_, "0123456789");
  }
  void TearDown() override { SetLockWaitMilliseconds(old_); }

  FileHandle Open(Access access, Share share) {
    int error = 0;
    return OpenExisting(file_, access, share, &error);
  }

  TempDir dir_;
  std::string file_ = dir_ / "Base.SQD";
  int old_ = 0;
};

TEST_F(ShortLockWait, NoSharingKeepsASecondOpenOut) {
  const FileHandle a = Open(Access::kReadWrite, Share::kNone);
  ASSERT_NE(a, kNoFile);
  int error = 0;
  EXPECT_EQ(OpenExisting(file_, Access::kRead, Share::kRead, &error), kNoFile);
  EXPECT_NE(error, 0);
  EXPECT_EQ(Open(Access::kReadWrite, Share::kNone), kNoFile);
  EXPECT_EQ(Open(Access::kRead, Share::kNone), kNoFile);
  CloseFile(a);
  const FileHandle b = Open(Access::kReadWrite, Share::kNone);
  EXPECT_NE(b, kNoFile) << "closing the holder must release its lock";
  CloseFile(b);
}

TEST_F(ShortLockWait, ReadersShareButKeepWritersOut) {
  const FileHandle r1 = Open(Access::kRead, Share::kRead);
  const FileHandle r2 = Open(Access::kRead, Share::kRead);
  ASSERT_NE(r1, kNoFile);
  ASSERT_NE(r2, kNoFile);
  EXPECT_EQ(Open(Access::kReadWrite, Share::kRead), kNoFile);
  EXPECT_EQ(Open(Access::kWrite, Share::kNone), kNoFile);
  CloseFile(r1);
  CloseFile(r2);
}

TEST_F(ShortLockWait, WriterWithReadSharingKeepsOutOtherLockers) {
  const FileHandle w = Open(Access::kReadWrite, Share::kRead);
  ASSERT_NE(w, kNoFile);
  EXPECT_EQ(Open(Access::kRead, Share::kRead), kNoFile);
  // An open that lets others write and read takes no lock and gets in.
  const FileHandle free = Open(Access::kRead, Share::kReadWrite);
  EXPECT_NE(free, kNoFile);
  CloseFile(free);
  CloseFile(w);
}

TEST_F(ShortLockWait, ClosingAnotherDescriptorOfTheFileKeepsTheLock) {
  const FileHandle holder = Open(Access::kReadWrite, Share::kNone);
  ASSERT_NE(holder, kNoFile);
  const FileHandle other = Open(Access::kRead, Share::kWrite);
  ASSERT_NE(other, kNoFile);
  CloseFile(other);
  EXPECT_EQ(Open(Access::kReadWrite, Share::kNone), kNoFile);
  CloseFile(holder);
}

TEST_F(ShortLockWait, CreatingTakesNoLastingLock) {
  int error = 0;
  const FileHandle c = CreateAlways(file_, &error);
  ASSERT_NE(c, kNoFile);
  const FileHandle o = Open(Access::kReadWrite, Share::kNone);
  EXPECT_NE(o, kNoFile);
  CloseFile(o);
  CloseFile(c);
}

TEST_F(ShortLockWait, CreatingOverAFileInUseFailsAndKeepsItsContent) {
  const FileHandle reader = Open(Access::kRead, Share::kRead);
  ASSERT_NE(reader, kNoFile);
  int error = 0;
  EXPECT_EQ(CreateAlways(file_, &error), kNoFile);
  EXPECT_NE(error, 0);
  EXPECT_EQ(testkit::ReadFileText(file_), "0123456789");
  CloseFile(reader);
  const FileHandle c = CreateAlways(file_, &error);
  EXPECT_NE(c, kNoFile);
  CloseFile(c);
  EXPECT_EQ(testkit::ReadFileText(file_), "");
}

TEST(FilesTest, OpenExistingFindsAnotherCaseAndRefusesMissingFilesAndDirectories) {
  TempDir dir;
  testkit::WriteFileText(dir / "lastread", "ab");
  int error = 0;
  const FileHandle h = OpenExisting(dir.path() + "\\LASTREAD", Access::kRead, Share::kReadWrite, &error);
  ASSERT_NE(h, kNoFile);
  char buf[4] = {};
  std::size_t got = 0;
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, &error));
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(buf, 2), "ab");
  CloseFile(h);
  EXPECT_EQ(OpenExisting(dir / "missing", Access::kRead, Share::kReadWrite, &error), kNoFile);
  EXPECT_NE(error, 0);
  EXPECT_EQ(OpenExisting(dir.path(), Access::kRead, Share::kReadWrite, &error), kNoFile);
}

TEST(FilesTest, CreateNewRefusesANameTakenInAnyCase) {
  TempDir dir;
  testkit::WriteFileText(dir / "1.msg", "keep");
  int error = 0;
  bool exists = false;
  EXPECT_EQ(CreateNew(dir / "1.MSG", &error, &exists), kNoFile);
  EXPECT_TRUE(exists);
  EXPECT_EQ(testkit::ReadFileText(dir / "1.msg"), "keep");
  EXPECT_EQ(testkit::ListDir(dir.path()).size(), 1u);

  const FileHandle h = CreateNew(dir / "2.MSG", &error, &exists);
  ASSERT_NE(h, kNoFile);
  EXPECT_FALSE(exists);
  CloseFile(h);
  EXPECT_TRUE(testkit::PathExists(dir / "2.MSG"));

  EXPECT_EQ(CreateNew(dir / "no/such/dir/3.msg", &error, &exists), kNoFile);
  EXPECT_FALSE(exists);
}

TEST(FilesTest, CreateAlwaysEmptiesTheFileFoundInAnotherCase) {
  TempDir dir;
  testkit::WriteFileText(dir / "Area.JDX", "old contents");
  int error = 0;
  const FileHandle h = CreateAlways(dir / "AREA.jdx", &error);
  ASSERT_NE(h, kNoFile);
  CloseFile(h);
  EXPECT_EQ(testkit::ListDir(dir.path()), std::vector<std::string>{"Area.JDX"});
  EXPECT_EQ(testkit::ReadFileText(dir / "Area.JDX"), "");
}

TEST(FilesTest, SizeLeavesTheOffsetAndTruncateCutsAtIt) {
  TempDir dir;
  int error = 0;
  const FileHandle h = CreateAlways(dir / "f", &error);
  ASSERT_NE(h, kNoFile);
  std::size_t put = 0;
  ASSERT_TRUE(WriteFile(h, "abcdefgh", 8, &put, &error));
  EXPECT_EQ(put, 8u);
  ASSERT_TRUE(SeekFile(h, 3, &error));
  EXPECT_EQ(FileSize(h, &error), 8);
  EXPECT_EQ(TellFile(h, &error), 3);
  ASSERT_TRUE(TruncateFile(h, &error));
  EXPECT_EQ(FileSize(h, &error), 3);
  EXPECT_EQ(TellFile(h, &error), 3);
  EXPECT_FALSE(SeekFile(h, -1, &error));
  ASSERT_TRUE(SeekFile(h, 10, &error));  // beyond the end is allowed
  ASSERT_TRUE(WriteFile(h, "Z", 1, &put, &error));
  CloseFile(h);
  const auto bytes = testkit::ReadFileBytes(dir / "f");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 'Z'}));
}

TEST(FilesTest, AppendAddsAtTheEndAndCreatesNothing) {
  TempDir dir;
  int error = 0;
  EXPECT_EQ(OpenAppend(dir / "Marvex.Log", &error), kNoFile);
  EXPECT_FALSE(testkit::PathExists(dir / "Marvex.Log"));
  testkit::WriteFileText(dir / "Marvex.Log", "one\n");
  const FileHandle h = OpenAppend(dir / "MARVEX.LOG", &error);
  ASSERT_NE(h, kNoFile);
  std::size_t put = 0;
  ASSERT_TRUE(WriteFile(h, "two\n", 4, &put, &error));
  CloseFile(h);
  EXPECT_EQ(testkit::ReadFileText(dir / "Marvex.Log"), "one\ntwo\n");
}

TEST(FilesTest, DeleteFindsTheFileInAnotherCase) {
  TempDir dir;
  testkit::WriteFileText(dir / "everyday.flg", "");
  int error = 0;
  EXPECT_TRUE(DeleteFile(dir.path() + "\\EVERYDAY.FLG", &error));
  EXPECT_FALSE(testkit::PathExists(dir / "everyday.flg"));
  EXPECT_FALSE(DeleteFile(dir / "everyday.flg", &error));
  EXPECT_NE(error, 0);
}

TEST(FilesTest, NamesWithAZeroByteAreRefused) {
  TempDir dir;
  testkit::WriteFileText(dir / "a", "keep");
  const std::string cut = dir.path() + std::string("/a\0b", 4);
  int error = 0;
  bool exists = true;
  EXPECT_EQ(OpenExisting(cut, Access::kRead, Share::kReadWrite, &error), kNoFile);
  EXPECT_EQ(CreateAlways(cut, &error), kNoFile);
  EXPECT_EQ(CreateNew(cut, &error, &exists), kNoFile);
  EXPECT_FALSE(exists);
  EXPECT_FALSE(DeleteFile(cut, &error));
  EXPECT_FALSE(GetFileDosTime(cut).has_value());
  EXPECT_EQ(testkit::ReadFileText(dir / "a"), "keep");
  int none = 0;
  EXPECT_EQ(OpenExisting("", Access::kRead, Share::kReadWrite, &none), kNoFile);
}

TEST(FilesTest, ReadsAndWritesOnAClosedHandleFail) {
  int error = 0;
  std::size_t n = 7;
  char buf[2];
  EXPECT_FALSE(ReadFile(kNoFile, buf, 2, &n, &error));
  EXPECT_EQ(n, 0u);
  EXPECT_NE(error, 0);
  EXPECT_FALSE(WriteFile(kNoFile, buf, 2, &n, &error));
  EXPECT_EQ(FileSize(kNoFile, &error), -1);
  EXPECT_EQ(TellFile(kNoFile, &error), -1);
}

}  // namespace
}  // namespace mvx::platform
