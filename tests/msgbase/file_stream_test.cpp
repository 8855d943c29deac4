#include "msgbase/file_stream.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "msgbase/file_hooks.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using testkit::TempDir;

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i);
  return v;
}

TEST(FileStreamTest, MissingFileFailsToOpenAndStaysFailed) {
  TempDir dir;
  FileStream s(dir / "none.sqd", kModeRead);
  EXPECT_EQ(s.Status(), kStreamOpenError);
  EXPECT_NE(s.OsError(), 0);
  EXPECT_FALSE(s.NameTaken());
  EXPECT_EQ(s.Position(), -1);
  EXPECT_EQ(s.Size(), -1);
  std::uint8_t buf[10];
  std::fill(std::begin(buf), std::end(buf), 0xAA);
  s.ReadBytes(buf, 10);
  EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 10), std::vector<std::uint8_t>(10, 0));
  EXPECT_EQ(s.Status(), kStreamOpenError);
  EXPECT_EQ(s.Mode(), kModeRead);
  EXPECT_EQ(s.Name().str(), dir / "none.sqd");
}

TEST(FileStreamTest, ShortReadZeroFillsTheWholeBufferAndSticks) {
  TempDir dir;
  testkit::WriteFileBytes(dir / "f", Counting(120));
  FileStream s(dir / "f", kModeRead | kShareRead);
  ASSERT_EQ(s.Status(), kStreamOk);
  s.SeekTo(50);
  std::vector<std::uint8_t> buf(100, 0xAA);
  s.ReadBytes(buf.data(), 100);
  EXPECT_EQ(s.Status(), kStreamShortRead);
  EXPECT_EQ(buf, std::vector<std::uint8_t>(100, 0));  // also the 70 bytes that were there

  // Everything does nothing until the error is cleared.
  s.SeekTo(0);
  std::uint8_t b4[4] = {9, 9, 9, 9};
  s.ReadBytes(b4, 4);
  EXPECT_EQ(b4[0], 0);
  EXPECT_EQ(s.Position(), -1);

  s.ClearError();
  EXPECT_EQ(s.Status(), kStreamOk);
  EXPECT_EQ(s.OsError(), 0);
  s.SeekTo(118);
  s.ReadBytes(b4, 2);
  EXPECT_EQ(s.Status(), kStreamOk);
  EXPECT_EQ(b4[0], 118);
  EXPECT_EQ(b4[1], 119);
  EXPECT_EQ(s.Position(), 120);
}

TEST(FileStreamTest, WritesAfterAFailureAreDropped) {
  TempDir dir;
  FileStream s(dir / "f", kModeCreate);
  ASSERT_EQ(s.Status(), kStreamOk);
  s.WriteBytes("abc", 3);
  std::uint8_t b[8];
  s.ReadBytes(b, 8);  // at the end: short read
  ASSERT_EQ(s.Status(), kStreamShortRead);
  s.WriteBytes("def", 3);
  s.TruncateHere();
  EXPECT_EQ(testkit::ReadFileText(dir / "f"), "abc");
}

TEST(FileStreamTest, WriteToAReadOnlyOpenFailsWithTheOsError) {
  TempDir dir;
  testkit::WriteFileText(dir / "f", "xyz");
  FileStream s(dir / "f", kModeRead | kShareReadWrite);
  s.WriteBytes("a", 1);
  EXPECT_EQ(s.Status(), kStreamOsError);
  EXPECT_NE(s.OsError(), 0);
}

TEST(FileStreamTest, NegativeSeekCountsAsStartAndSizeKeepsTheOffset) {
  TempDir dir;
  testkit::WriteFileText(dir / "f", "0123456789");
  FileStream s(dir / "F", kModeReadWrite);  // found in another case
  ASSERT_EQ(s.Status(), kStreamOk);
  s.SeekTo(7);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_EQ(s.Position(), 7);
  s.SeekTo(-5);
  EXPECT_EQ(s.Status(), kStreamOk);
  EXPECT_EQ(s.Position(), 0);
  s.WriteBytes("AB", 2);
  EXPECT_EQ(testkit::ReadFileText(dir / "f"), "AB23456789");
}

TEST(FileStreamTest, TruncateHereCutsWithoutMovingTheOffset) {
  TempDir dir;
  testkit::WriteFileText(dir / "f", "0123456789");
  FileStream s(dir / "f", kModeReadWrite);
  s.SeekTo(4);
  s.TruncateHere();
  EXPECT_EQ(s.Position(), 4);
  EXPECT_EQ(s.Size(), 4);
  s.SeekTo(0);
  s.TruncateHere();
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Status(), kStreamOk);
  EXPECT_EQ(testkit::ReadFileText(dir / "f"), "");
}

TEST(FileStreamTest, CreateReplacesAndWriteModeKeepsContent) {
  TempDir dir;
  testkit::WriteFileText(dir / "f", "old text");
  {
    FileStream s(dir / "f", kModeWrite | kShareRead);
    ASSERT_EQ(s.Status(), kStreamOk);
    s.WriteBytes("OLD", 3);
  }
  EXPECT_EQ(testkit::ReadFileText(dir / "f"), "OLD text");
  {
    FileStream s(dir / "f", kModeCreate | kShareRead);
    ASSERT_EQ(s.Status(), kStreamOk);
    EXPECT_EQ(s.Size(), 0);
  }
  EXPECT_EQ(testkit::ReadFileText(dir / "f"), "");
}

TEST(FileStreamTest, CreateNewNeverReplacesAFileOfAnyCase) {
  TempDir dir;
  testkit::WriteFileText(dir / "12.msg", "their message");
  FileStream taken(dir / "12.MSG", kModeCreateNew);
  EXPECT_EQ(taken.Status(), kStreamOpenError);
  EXPECT_TRUE(taken.NameTaken());
  EXPECT_EQ(testkit::ReadFileText(dir / "12.msg"), "their message");

  FileStream fresh(dir / "13.msg", kModeCreateNew);
  EXPECT_EQ(fresh.Status(), kStreamOk);
  EXPECT_FALSE(fresh.NameTaken());
  fresh.WriteBytes("mine", 4);
  EXPECT_EQ(fresh.Size(), 4);
}

TEST(FileStreamTest, ValidModes) {
  for (std::uint16_t m : {0x2002, 0x2004, 0x2008, 0x2001, 0x0002, 0x0001, 0x0004, 0x0008, 0x1002, 0x3004,
                          0x4008, 0x0010}) {
    EXPECT_TRUE(FileStream::ValidMode(m)) << std::hex << m;
  }
  for (std::uint16_t m : {0x0000, 0x0003, 0x0006, 0x0020, 0x0102, 0x2802, 0x5002, 0xF004}) {
    EXPECT_FALSE(FileStream::ValidMode(m)) << std::hex << m;
  }
}

TEST(FileStreamTest, HookGivesNoneForAnUnknownMode) {
  TempDir dir;
  testkit::WriteFileText(dir / "f", "x");
  const FileHooks old = SetFileHooks(RealFileHooks());
  EXPECT_EQ(OpenFileStream(dir / "f", 3), nullptr);
  EXPECT_EQ(OpenFileStream(dir / "f", 0x0102), nullptr);
  EXPECT_NE(OpenFileStream(dir / "f", 0x2004), nullptr);
  SetFileHooks(old);
}

class FileStreamSharing : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = platform::LockWaitMilliseconds();
    platform::SetLockWaitMilliseconds(30);
    testkit::WriteFileText(file_, "data");
  }
  void TearDown() override { platform::SetLockWaitMilliseconds(old_); }
  TempDir dir_;
  std::string file_ = dir_ / "area.sqd";
  int old_ = 0;
};

TEST_F(FileStreamSharing, AnOpenBaseLetsOthersReadButNotWrite) {
  FileStream base(file_, kModeReadWrite | kShareRead);
  ASSERT_EQ(base.Status(), kStreamOk);
  FileStream writer(file_, kModeReadWrite | kShareRead);
  EXPECT_EQ(writer.Status(), kStreamOpenError);
  FileStream reader(file_, kModeRead | kShareRead);
  EXPECT_EQ(reader.Status(), kStreamOpenError) << "a locking reader waits for our write lock";
  FileStream free(file_, kModeRead | kShareReadWrite);
  EXPECT_EQ(free.Status(), kStreamOk);
}

TEST_F(FileStreamSharing, ReadersShareAndTheLockEndsWithTheStream) {
  {
    FileStream r1(file_, kModeRead | kShareRead);
    FileStream r2(file_, kModeRead | kShareRead);
    EXPECT_EQ(r1.Status(), kStreamOk);
    EXPECT_EQ(r2.Status(), kStreamOk);
    FileStream w(file_, kModeWrite);
    EXPECT_EQ(w.Status(), kStreamOpenError);
  }
  FileStream w(file_, kModeWrite);
  EXPECT_EQ(w.Status(), kStreamOk);
}

TEST(DataStreamTest, CopyFromMovesBytesAcrossTheBufferSize) {
  TempDir dir;
  const auto data = Counting(3000);
  testkit::WriteFileBytes(dir / "src", data);
  FileStream src(dir / "src", kModeRead);
  FileStream dst(dir / "dst", kModeCreate);
  src.SeekTo(100);
  dst.WriteBytes("hd", 2);
  dst.CopyFrom(src, 2500);
  EXPECT_EQ(src.Status(), kStreamOk);
  EXPECT_EQ(dst.Position(), 2502);
  const auto out = testkit::ReadFileBytes(dir / "dst");
  ASSERT_EQ(out.size(), 2502u);
  EXPECT_TRUE(std::equal(out.begin() + 2, out.end(), data.begin() + 100));
}

TEST(DataStreamTest, CopyFromAFailingSourceWritesZeros) {
  TempDir dir;
  testkit::WriteFileBytes(dir / "src", std::vector<std::uint8_t>(1500, 0x55));
  FileStream src(dir / "src", kModeRead);
  FileStream dst(dir / "dst", kModeCreate);
  dst.CopyFrom(src, 2000);  // the second 1024-byte round runs short
  EXPECT_EQ(src.Status(), kStreamShortRead);
  EXPECT_EQ(dst.Status(), kStreamOk);
  const auto out = testkit::ReadFileBytes(dir / "dst");
  ASSERT_EQ(out.size(), 2000u);
  EXPECT_EQ(out[1023], 0x55);
  EXPECT_EQ(out[1024], 0x00);  // the part read short is zeroed too
  EXPECT_EQ(out[1999], 0x00);
}

TEST(DataStreamTest, ReadAllAndWriteAllGoBeyond65535Bytes) {
  TempDir dir;
  std::vector<std::uint8_t> data(200000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 65535);
  {
    FileStream s(dir / "big", kModeCreate);
    s.WriteAll(data.data(), static_cast<std::uint32_t>(data.size()));
    EXPECT_EQ(s.Status(), kStreamOk);
    EXPECT_EQ(s.Size(), 200000);
  }
  FileStream s(dir / "big", kModeRead);
  std::vector<std::uint8_t> back(data.size());
  s.ReadAll(back.data(), static_cast<std::uint32_t>(back.size()));
  EXPECT_EQ(s.Status(), kStreamOk);
  EXPECT_EQ(back, data);
}

}  // namespace
}  // namespace mvx
