// The streams of a message base, file and memory, and the system environment
// that makes them and the directory scanner.
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
  EXPECT_EQ(s.Mode(), kModeRead);
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
  EXPECT_EQ(s.Position(), -1);
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "f"), data);
  s.ClearError();
  EXPECT_EQ(s.OsError(), 0);
  EXPECT_EQ(s.Position(), 120);
  s.SeekTo(118);
  s.ReadBytes(buf.data(), 2);
  EXPECT_TRUE(s.Status().ok());
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
    EXPECT_TRUE(s.Status().ok());
  }
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "f"), (Bytes{'A', 'B', '2', '3', '4', '5', '6', 0, 0, 'Z'}));
  {
    FileStream r(dir_ / "f", kModeRead | kShareReadWrite);
    r.WriteBytes("a", 1);
    EXPECT_EQ(r.Status().code(), Errc::kWriteFailed);
    EXPECT_NE(r.OsError(), 0);
  }  // closed: on Windows the share-none open below needs the file to itself
  FileStream s(dir_ / "f", kModeReadWrite);
  s.TruncateHere();  // at offset 0: an empty file
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

TEST_F(FileStreamTest, ModesAndTheirSharing) {
  for (std::uint16_t m : {0x2002, 0x2004, 0x2008, 0x2001, 0x0002, 0x0001, 0x1002, 0x3004, 0x4008, 0x0010}) {
    EXPECT_TRUE(FileStream::ValidMode(m)) << std::hex << m;
  }
  for (std::uint16_t m : {0x0000, 0x0003, 0x0006, 0x0020, 0x0102, 0x2802, 0x5002, 0xF004}) {
    EXPECT_FALSE(FileStream::ValidMode(m)) << std::hex << m;
  }
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

// Into a file and into memory (which grows first, for the whole count).
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
  Bytes expected = {'h', 'd'};
  expected.insert(expected.end(), data.begin() + 100, data.begin() + 2600);
  expected.insert(expected.end(), data.begin() + 198500, data.begin() + 199524);
  expected.resize(4502, 0);  // the source runs short in its second round: zeros, also for the 476 bytes there were
  FileStream dst(dir_ / "dst", kModeCreate);
  MemoryStream mem;
  for (DataStream* to : {static_cast<DataStream*>(&dst), static_cast<DataStream*>(&mem)}) {
    src.ClearError();
    src.SeekTo(100);
    to->WriteBytes("hd", 2);
    to->CopyFrom(src, 2500);  // across the 1024-byte buffer
    EXPECT_EQ(to->Position(), 2502);
    src.SeekTo(198500);
    to->CopyFrom(src, 2000);
    EXPECT_EQ(src.Status().code(), Errc::kShortRead);
    EXPECT_TRUE(to->Status().ok());
  }
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "dst"), expected);
  EXPECT_EQ(Bytes(mem.Bytes(), mem.Bytes() + mem.Size()), expected);
  EXPECT_EQ(mem.Capacity(), 8192);
}

std::string Text(MemoryStream& m) { return std::string(reinterpret_cast<const char*>(m.Bytes()), m.Size()); }

TEST(MemoryStreamTest, GrowsByWholeChunksWithOneToSpareAndShrinksWhenCut) {
  const struct { std::int32_t seek, write, capacity, length; } cases[] = {
      {0, 0, 0, 0},  // a new stream holds nothing
      {0, 1, 8192, 1},        {0, 8191, 8192, 8191},  {0, 8192, 16384, 8192},
      {0, 20000, 24576, 20000}, {5000, 1, 8192, 5001},  // the length is one past the last byte
  };
  const Bytes block(20000, 'A');
  for (const auto& c : cases) {
    MemoryStream m;
    m.SeekTo(c.seek);
    m.WriteBytes(block.data(), static_cast<std::uint16_t>(c.write));
    EXPECT_EQ((std::vector<std::int32_t>{m.Capacity(), m.Size(), m.Position()}),
              (std::vector<std::int32_t>{c.capacity, c.length, c.seek + c.write}))
        << c.seek << "+" << c.write;
  }
  MemoryStream m;
  Bytes data = Counting(20000);
  m.WriteBytes(data.data(), 20000);
  m.SeekTo(10);
  m.WriteBytes("ab", 2);  // an overwrite inside leaves the length alone
  EXPECT_EQ(m.Size(), 20000);
  data[10] = 'a', data[11] = 'b';
  m.SeekTo(4000);
  Bytes back(12000);
  m.ReadBytes(back.data(), 12000);  // across the 8192-byte chunk ends
  EXPECT_EQ(back, Bytes(data.begin() + 4000, data.begin() + 16000));
  m.SeekTo(100);
  m.TruncateHere();
  using Ints = std::vector<std::int32_t>;
  EXPECT_EQ((Ints{m.Size(), m.Capacity(), m.Position()}), (Ints{100, 8192, 100}));
  EXPECT_EQ(Bytes(m.Bytes(), m.Bytes() + 100), Bytes(data.begin(), data.begin() + 100));
}

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
  EXPECT_EQ(m.Position(), 8192);
  m.SeekTo(1 << 30);
  m.ReadBytes(buf.data(), 10);
  EXPECT_EQ(m.Position(), 1 << 30);
  m.SeekTo(0x7FFFFFF0);  // a write there would pass the 32-bit offsets: it fails instead
  m.WriteBytes("0123456789abcdef0123456789", 26);
  EXPECT_EQ(m.Status().code(), Errc::kShortWrite);
  EXPECT_EQ(m.Size(), 5);
}

TEST(MemoryStreamDeathTest, ClearErrorStopsWithRunTimeError217) {
  MemoryStream m;
  EXPECT_EXIT(m.ClearError(), ::testing::ExitedWithCode(217), "217.*ClearError");
}

TEST(SystemEnvTest, MakesTheRealObjectsAndWaitsAsLongAsItSays) {
  testkit::TempDir dir;
  SystemEnv env(20);
  auto f = env.OpenFileStream(dir / "new.jdt", kModeCreate | kShareRead);
  ASSERT_NE(dynamic_cast<FileStream*>(f.get()), nullptr);
  EXPECT_TRUE(f->Status().ok());
  auto m = env.NewMemoryStream(65536);
  ASSERT_NE(dynamic_cast<MemoryStream*>(m.get()), nullptr);
  EXPECT_EQ(m->Size(), 0);
  EXPECT_TRUE(env.NewDirScanner()->ScanFirst(dir / "NEW.JDT", 0x3F));
  for (std::uint16_t unknown : {0x0003, 0x0102}) EXPECT_EQ(env.OpenFileStream(dir / "new.jdt", unknown), nullptr);
  f.reset();
  auto holder = env.OpenFileStream(dir / "new.jdt", kModeReadWrite | kShareNone);
  const std::int64_t start = platform::MonotonicMilliseconds();
  auto second = env.OpenFileStream(dir / "new.jdt", kModeReadWrite | kShareNone);
  EXPECT_EQ(second->Status().code(), Errc::kHeldByOther);
  EXPECT_LT(platform::MonotonicMilliseconds() - start, 1000);
}

namespace fs = std::filesystem;

std::set<std::string> ScanAll(DirScanner& s, const std::string& mask, std::uint32_t attributes) {
  std::set<std::string> names;
  for (bool ok = s.ScanFirst(mask, attributes); ok; ok = s.ScanNext()) names.insert(s.Name.str());
  return names;
}

TEST(DirScannerTest, AttributesChooseTheEntriesAndFillTheFields) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Net/5.MSG");
  for (const char* f : {"Net/1.MSG", "Net/2.msg", "Net/.3.msg"}) testkit::WriteFileText(dir / f, "a");
  testkit::WriteFileText(dir / "Net/4.msg", "dddd");
  fs::permissions(dir / "Net/4.msg", fs::perms::owner_read);
  DirScanner s;
  // The *.MSG scan (0x21): plain files, read-only or not; no directories or hidden files.
  EXPECT_EQ(ScanAll(s, dir.path() + "\\net\\*.MSG", 0x21), (std::set<std::string>{"1.MSG", "2.msg", "4.msg"}));
  // The existence test (0x3F): every kind.
  EXPECT_EQ(ScanAll(s, dir.path() + "/NET/*.msg", 0x3F),
            (std::set<std::string>{".3.msg", "1.MSG", "2.msg", "4.msg", "5.MSG"}));
  ASSERT_TRUE(s.ScanFirst(dir.path() + "/net/4.MSG", 0x3F));
  EXPECT_EQ(s.Name.str() + " " + std::to_string(s.Attr) + " " + std::to_string(s.Size), "4.msg 33 4");  // 0x21
  EXPECT_GT(s.Time, 0x00210000u);  // after 1 January 1980
  EXPECT_FALSE(s.ScanNext());
  ASSERT_TRUE(s.ScanFirst(dir / "Net/*.*", 0x3F));
  s.ScanEnd();
  EXPECT_FALSE(s.ScanNext());
}

}  // namespace
}  // namespace mvx
