#include "msgbase/file_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "msgbase/file_hooks.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Counting(std::size_t n) {
  Bytes v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + i / 65535);
  return v;
}

class FileStreamTest : public ::testing::Test {
 protected:
  testkit::TempDir dir_;
  testkit::ScopedLockWait wait_{20};
};

TEST_F(FileStreamTest, AFailedOpenReadsZerosAndReportsMinusOne) {
  FileStream s(dir_ / "none.sqd", kModeRead);
  EXPECT_EQ(s.Status(), kStreamOpenError);
  EXPECT_NE(s.OsError(), 0);
  EXPECT_EQ(s.Position(), -1);
  EXPECT_EQ(s.Size(), -1);
  Bytes buf(10, 0xAA);
  s.ReadBytes(buf.data(), 10);
  EXPECT_EQ(buf, Bytes(10, 0));
  EXPECT_EQ(s.Status(), kStreamOpenError);
  EXPECT_EQ(s.Mode(), kModeRead);
}

TEST_F(FileStreamTest, AShortReadZeroFillsAndSticksUntilCleared) {
  const Bytes data = Counting(120);
  testkit::WriteFileBytes(dir_ / "f", data);
  FileStream s(dir_ / "F", kModeReadWrite | kShareRead);  // found in another case
  ASSERT_EQ(s.Status(), kStreamOk);
  s.SeekTo(50);
  Bytes buf(100, 0xAA);
  s.ReadBytes(buf.data(), 100);
  EXPECT_EQ(s.Status(), kStreamShortRead);
  EXPECT_EQ(buf, Bytes(100, 0));  // also the 70 bytes that were there
  // Until cleared every operation does nothing: no seek, no write, no cut.
  s.SeekTo(0);
  s.WriteBytes("XY", 2);
  s.TruncateHere();
  EXPECT_EQ(s.Position(), -1);
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "f"), data);
  s.ClearError();
  EXPECT_EQ(s.OsError(), 0);
  EXPECT_EQ(s.Position(), 120);
  s.SeekTo(118);
  s.ReadBytes(buf.data(), 2);
  EXPECT_EQ(s.Status(), kStreamOk);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 2), Bytes(data.begin() + 118, data.end()));
}

TEST_F(FileStreamTest, SeekSizeTruncateAndWriteOnAReadOnlyOpen) {
  testkit::WriteFileText(dir_ / "f", "0123456789");
  {
    FileStream s(dir_ / "f", kModeWrite);  // content kept
    s.SeekTo(-5);                          // counts as 0
    EXPECT_EQ(s.Position(), 0);
    s.WriteBytes("AB", 2);
    s.SeekTo(7);
    EXPECT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Position(), 7);  // Size leaves the offset alone
    s.TruncateHere();
    EXPECT_EQ(s.Position(), 7);
    s.SeekTo(9);  // beyond the end: the gap reads as zeros
    s.WriteBytes("Z", 1);
    EXPECT_EQ(s.Status(), kStreamOk);
  }
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "f"), (Bytes{'A', 'B', '2', '3', '4', '5', '6', 0, 0, 'Z'}));
  {
    FileStream r(dir_ / "f", kModeRead | kShareReadWrite);
    r.WriteBytes("a", 1);
    EXPECT_EQ(r.Status(), kStreamOsError);
    EXPECT_NE(r.OsError(), 0);
  }  // closed: on Windows the share-none open below needs the file to itself
  FileStream s(dir_ / "f", kModeReadWrite);
  s.TruncateHere();  // at offset 0: an empty file
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

TEST_F(FileStreamTest, CreateReplacesButCreateNewNeverDoes) {
  testkit::WriteFileText(dir_ / "12.msg", "their message");
  FileStream taken(dir_ / "12.MSG", kModeCreateNew);
  EXPECT_EQ(taken.Status(), kStreamOpenError);
  EXPECT_TRUE(taken.NameTaken());
  EXPECT_EQ(testkit::ReadFileText(dir_ / "12.msg"), "their message");
  FileStream fresh(dir_ / "13.msg", kModeCreateNew);
  EXPECT_EQ(fresh.Status(), kStreamOk);
  EXPECT_FALSE(fresh.NameTaken());
  FileStream replaced(dir_ / "12.MSG", kModeCreate | kShareRead);
  EXPECT_EQ(replaced.Status(), kStreamOk);
  EXPECT_EQ(testkit::ReadFileText(dir_ / "12.msg"), "");
}

TEST_F(FileStreamTest, ModesTheirSharingAndTheHookForUnknownOnes) {
  for (std::uint16_t m : {0x2002, 0x2004, 0x2008, 0x2001, 0x0002, 0x0001, 0x1002, 0x3004, 0x4008, 0x0010}) {
    EXPECT_TRUE(FileStream::ValidMode(m)) << std::hex << m;
  }
  for (std::uint16_t m : {0x0000, 0x0003, 0x0006, 0x0020, 0x0102, 0x2802, 0x5002, 0xF004}) {
    EXPECT_FALSE(FileStream::ValidMode(m)) << std::hex << m;
  }
  testkit::WriteFileText(dir_ / "area.sqd", "data");
  // The high byte picks the sharing. POSIX: 0x20 keeps other writers out,
  // 0x00 and 0x10 everyone who locks, 0x30 nobody; a create (1) holds no
  // lock. Windows share modes: a second open gets in only when each open
  // allows the other's access, so no-sharing opens (0x00, 0x10) keep out
  // everyone and get in nowhere, a create's handle included.
  const struct {
    std::uint16_t held, second;
    bool posix, windows;  // whether the second open gets in
  } cases[] = {{0x2002, 0x2004, false, false}, {0x2004, 0x2004, true, true},  {0x1002, 0x4004, true, false},
               {0x1002, 0x2004, false, false}, {0x3002, 0x0002, true, false}, {0x0001, 0x0002, true, false},
               {0x4002, 0x4008, true, true}};
#ifdef _WIN32
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  for (const auto& c : cases) {
    FileStream held(dir_ / "area.sqd", c.held);
    FileStream second(dir_ / "area.sqd", c.second);
    EXPECT_EQ(second.Status() == kStreamOk, kWindows ? c.windows : c.posix) << std::hex << c.held << " " << c.second;
  }
  const FileHooks old = SetFileHooks(RealFileHooks());
  EXPECT_EQ(OpenFileStream(dir_ / "area.sqd", 3), nullptr);
  EXPECT_EQ(OpenFileStream(dir_ / "area.sqd", 0x0102), nullptr);
  EXPECT_NE(OpenFileStream(dir_ / "area.sqd", 0x2004), nullptr);
  SetFileHooks(old);
}

TEST_F(FileStreamTest, CopyFromAndTransfersBeyond65535Bytes) {
  const Bytes data = Counting(200000);
  {
    FileStream s(dir_ / "big", kModeCreate);
    s.WriteAll(data.data(), 200000);
    EXPECT_EQ(s.Size(), 200000);
  }
  FileStream src(dir_ / "big", kModeRead);
  Bytes back(data.size());
  src.ReadAll(back.data(), 200000);
  EXPECT_EQ(back, data);
  FileStream dst(dir_ / "dst", kModeCreate);
  src.SeekTo(100);
  dst.WriteBytes("hd", 2);
  dst.CopyFrom(src, 2500);  // across the 1024-byte buffer
  EXPECT_EQ(dst.Position(), 2502);
  src.SeekTo(198500);
  dst.CopyFrom(src, 2000);  // the source runs short in its second round...
  EXPECT_EQ(src.Status(), kStreamShortRead);
  EXPECT_EQ(dst.Status(), kStreamOk);
  Bytes expected = {'h', 'd'};
  expected.insert(expected.end(), data.begin() + 100, data.begin() + 2600);
  expected.insert(expected.end(), data.begin() + 198500, data.begin() + 199524);
  expected.resize(4502, 0);  // ...which is written as zeros, also the 476 bytes there were
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "dst"), expected);
}

}  // namespace
}  // namespace mvx
