#include "msgbase/memory_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "msgbase/file_stream.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Text(MemoryStream& m) { return std::string(reinterpret_cast<const char*>(m.Bytes()), m.Size()); }

TEST(MemoryStreamTest, GrowsByWholeChunksWithOneToSpareAndShrinksWhenCut) {
  const struct {
    std::int32_t seek, write, capacity, length;
  } cases[] = {
      {0, 0, 0, 0},  // a new stream holds nothing
      {0, 1, 8192, 1},        {0, 8191, 8192, 8191},  {0, 8192, 16384, 8192},
      {0, 20000, 24576, 20000}, {5000, 1, 8192, 5001},  // the length is one past the last byte
  };
  const Bytes block(20000, 'A');
  for (const auto& c : cases) {
    MemoryStream m;
    m.SeekTo(c.seek);
    m.WriteBytes(block.data(), static_cast<std::uint16_t>(c.write));
    EXPECT_EQ(m.Capacity(), c.capacity) << c.seek << "+" << c.write;
    EXPECT_EQ(m.Size(), c.length) << c.seek << "+" << c.write;
    EXPECT_EQ(m.Position(), c.seek + c.write);
  }
  MemoryStream m;
  Bytes data(20000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
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
  EXPECT_EQ(m.Size(), 100);
  EXPECT_EQ(m.Capacity(), 8192);
  EXPECT_EQ(m.Position(), 100);
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
  EXPECT_EQ(m.Status(), kStreamShortWrite);
  EXPECT_EQ(m.Size(), 5);
}

TEST(MemoryStreamTest, CopyFromGrowsFirstThenCopies) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "text", std::string(3000, 'q') + "END");
  FileStream src(dir / "text", kModeRead);
  MemoryStream copy;
  copy.WriteBytes("HD", 2);
  copy.CopyFrom(src, 3003);
  EXPECT_EQ(Text(copy), "HD" + std::string(3000, 'q') + "END");
  // A source that runs short still leaves the length that was asked for.
  src.SeekTo(0);
  copy.CopyFrom(src, 5000);
  EXPECT_EQ(src.Status(), kStreamShortRead);
  EXPECT_EQ(copy.Size(), 8005);
  EXPECT_EQ(copy.Capacity(), 8192);
  EXPECT_EQ(copy.Bytes()[3005 + 1023], 'q');
  EXPECT_EQ(copy.Bytes()[8004], 0);
}

TEST(MemoryStreamDeathTest, ClearErrorStopsWithRunTimeError217) {
  MemoryStream m;
  EXPECT_EXIT(m.ClearError(), ::testing::ExitedWithCode(217), "217.*ClearError");
}

}  // namespace
}  // namespace mvx
