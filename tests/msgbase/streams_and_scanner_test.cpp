// The file and memory streams of a message base, the system environment's
// wait for a file another program holds, and the directory scanner.
#include "msgbase/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "msgbase/dir_scanner.h"
#include "msgbase/env.h"
#include "msgbase/memory_stream.h"
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
  static constexpr int kWaitMs = 20;  // a held file is waited for this long
};

TEST_F(FileStreamTest, AFailedOpenReadsZerosAndReportsMinusOne) {
  FileStream s(dir_ / "none.sqd", kModeRead);
  EXPECT_EQ(s.Status().code(), Errc::kNotFound);
  EXPECT_EQ(s.Status().file(), dir_ / "none.sqd");
  EXPECT_NE(s.OsError(), 0);
  EXPECT_EQ(s.Position(), -1);
  EXPECT_EQ(s.Size(), -1);
  Bytes buf(10, 0xAA);
  s.ReadBytes(buf.data(), 10);
  EXPECT_EQ(buf, Bytes(10, 0));
  EXPECT_EQ(s.Status().code(), Errc::kNotFound);
}

TEST_F(FileStreamTest, AShortReadZeroFillsAndSticksUntilCleared) {
  const Bytes data = Counting(120);
  testkit::WriteFileBytes(dir_ / "f", data);
  FileStream s(dir_ / "F", kModeReadWrite | kShareRead);  // found in another case
  ASSERT_TRUE(s.Status().ok());
  s.SeekTo(50);
  Bytes buf(100, 0xAA);
  s.ReadBytes(buf.data(), 100);
  EXPECT_EQ(s.Status().code(), Errc::kShortRead);
  EXPECT_EQ(buf, Bytes(100, 0));  // also the 70 bytes that were there
  // Until cleared every operation does nothing: no seek, no write, no cut.
  s.SeekTo(0);
  s.WriteBytes("XY", 2);
  s.TruncateHere();
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "f"), data);
  s.ClearError();
  EXPECT_EQ(s.Position(), 120);
  s.SeekTo(118);
  s.ReadBytes(buf.data(), 2);
  EXPECT_TRUE(s.Status().ok());
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 2), Bytes(data.begin() + 118, data.end()));
}

// Nothing lands before the start of a file, and a write the open does not
// allow is reported, not lost without a word.
TEST_F(FileStreamTest, ANegativeSeekIsZeroAndAReadOnlyOpenRefusesWrites) {
  testkit::WriteFileText(dir_ / "f", "0123456789");
  {
    FileStream s(dir_ / "f", kModeWrite);  // content kept
    s.SeekTo(-5);
    s.WriteBytes("AB", 2);
    EXPECT_TRUE(s.Status().ok());
  }
  EXPECT_EQ(testkit::ReadFileText(dir_ / "f"), "AB23456789");
  FileStream r(dir_ / "f", kModeRead | kShareReadWrite);
  r.WriteBytes("a", 1);
  EXPECT_EQ(r.Status().code(), Errc::kWriteFailed);
  EXPECT_NE(r.OsError(), 0);
}

TEST_F(FileStreamTest, SharingOfEachMode) {
  testkit::WriteFileText(dir_ / "area.sqd", "data");
  // The high byte picks the sharing. POSIX: 0x20 keeps other writers out, 0x00
  // and 0x10 everyone who locks, 0x30 nobody; a create (1) holds no lock. On
  // Windows no-sharing opens (0x00, 0x10) keep out and get in nowhere. Rows:
  // the mode held, the second one, whether that gets in on POSIX and Windows.
  const struct { std::uint16_t held, second; bool posix, windows; } cases[] = {
      {0x2002, 0x2004, false, false}, {0x2004, 0x2004, true, true},  {0x1002, 0x4004, true, false},
      {0x1002, 0x2004, false, false}, {0x3002, 0x0002, true, false}, {0x0001, 0x0002, true, false},
      {0x4002, 0x4008, true, true}};
  using testkit::kWindows;
  for (const auto& c : cases) {
    FileStream held(dir_ / "area.sqd", c.held);
    FileStream second(dir_ / "area.sqd", c.second, kWaitMs);
    EXPECT_EQ(second.Status().ok(), kWindows ? c.windows : c.posix) << std::hex << c.held << " " << c.second;
  }
}

// A message text loaded from past the end of its file: zeros, and the file's
// short read says so, not the memory's.
TEST_F(FileStreamTest, CopyFromAcrossItsBufferAndPastTheSourceEnd) {
  const Bytes data = Counting(200000);
  testkit::WriteFileBytes(dir_ / "big", data);
  FileStream src(dir_ / "big", kModeRead);
  MemoryStream mem;
  mem.WriteBytes("hd", 2);
  src.SeekTo(100);
  mem.CopyFrom(src, 2500);  // across the 1024-byte buffer
  src.SeekTo(198500);
  mem.CopyFrom(src, 2000);
  EXPECT_EQ(src.Status().code(), Errc::kShortRead);
  EXPECT_TRUE(mem.Status().ok());
  Bytes expected = {'h', 'd'};
  expected.insert(expected.end(), data.begin() + 100, data.begin() + 2600);
  expected.insert(expected.end(), data.begin() + 198500, data.begin() + 199524);
  expected.resize(4502, 0);  // the second 1024 bytes run short: zeros, also for the 476 there were
  EXPECT_EQ(Bytes(mem.Bytes(), mem.Bytes() + mem.Size()), expected);
}

std::string Text(MemoryStream& m) { return std::string(reinterpret_cast<const char*>(m.Bytes()), m.Size()); }

TEST(MemoryStreamTest, ReadsAndWritesNeverLeaveTheBuffer) {
  MemoryStream m;
  m.WriteBytes("hello", 5);
  m.SeekTo(-3);  // counts as 0: no write lands before the buffer
  EXPECT_EQ(m.Position(), 0);
  m.WriteBytes("J", 1);
  EXPECT_EQ(Text(m), "Jello");
  m.SeekTo(8190);
  Bytes buf(10, 0xEE);
  m.ReadBytes(buf.data(), 10);  // 2 bytes below the capacity, the rest filled with zeros
  EXPECT_EQ(buf, Bytes(10, 0));
  m.SeekTo(1 << 30);
  m.ReadBytes(buf.data(), 10);
  EXPECT_EQ(m.Position(), 1 << 30);
  m.SeekTo(0x7FFFFFF0);  // a write there would pass the 32-bit offsets: it fails instead
  m.WriteBytes("0123456789abcdef0123456789", 26);
  EXPECT_EQ(m.Status().code(), Errc::kShortWrite);
  EXPECT_EQ(m.Size(), 5);
}

// Opening a file another program holds waits as long as this env was told,
// not the default wait.
TEST(SystemEnvTest, WaitsForAHeldFileAsLongAsItSays) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "area.jdt", "");
  SystemEnv env(20);
  auto holder = env.OpenFileStream(dir / "area.jdt", kModeReadWrite | kShareNone);
  const std::int64_t start = platform::MonotonicMilliseconds();
  auto second = env.OpenFileStream(dir / "area.jdt", kModeReadWrite | kShareNone);
  EXPECT_EQ(second->Status().code(), Errc::kHeldByOther);
  EXPECT_LT(platform::MonotonicMilliseconds() - start, 1000);
}

namespace fs = std::filesystem;

std::set<std::string> ScanAll(DirScanner& s, const std::string& mask, std::uint32_t attributes) {
  std::set<std::string> names;
  for (bool ok = s.ScanFirst(mask, attributes); ok; ok = s.ScanNext()) names.insert(s.Name.str());
  return names;
}

TEST(DirScannerTest, AttributesChooseTheEntries) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Net/5.MSG");
  for (const char* f : {"Net/1.MSG", "Net/2.msg", "Net/.3.msg", "Net/4.msg"}) testkit::WriteFileText(dir / f, "a");
  fs::permissions(dir / "Net/4.msg", fs::perms::owner_read);
  DirScanner s;
  // The *.MSG scan (0x21): plain files, read-only or not; no directories or hidden files.
  EXPECT_EQ(ScanAll(s, dir.path() + "\\net\\*.MSG", 0x21), (std::set<std::string>{"1.MSG", "2.msg", "4.msg"}));
  // The existence test (0x3F): every kind.
  EXPECT_EQ(ScanAll(s, dir.path() + "/NET/*.msg", 0x3F),
            (std::set<std::string>{".3.msg", "1.MSG", "2.msg", "4.msg", "5.MSG"}));
}

}  // namespace
}  // namespace mvx
