#include "msgbase/memory_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "msgbase/file_stream.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

TEST(MemoryStreamTest, NewStreamIsEmpty) {
  MemoryStream m;
  EXPECT_EQ(m.Capacity(), 0);
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(m.Status(), kStreamOk);
  EXPECT_EQ(m.Mode(), 0);
  EXPECT_TRUE(m.Name().empty());
}

TEST(MemoryStreamTest, CapacityGrowsByWholeChunksWithOneToSpare) {
  MemoryStream one;
  one.WriteBytes("x", 1);
  EXPECT_EQ(one.Capacity(), 8192);
  EXPECT_EQ(one.Size(), 1);

  MemoryStream full;
  std::vector<std::uint8_t> block(8192, 0x41);
  full.WriteBytes(block.data(), 8192);
  EXPECT_EQ(full.Capacity(), 16384);
  EXPECT_EQ(full.Size(), 8192);

  MemoryStream under;
  under.WriteBytes(block.data(), 8191);
  EXPECT_EQ(under.Capacity(), 8192);
}

TEST(MemoryStreamTest, TruncationShrinksLengthAndCapacity) {
  MemoryStream m;
  std::vector<std::uint8_t> data(20000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
  m.WriteBytes(data.data(), 20000);
  EXPECT_EQ(m.Capacity(), 24576);
  m.SeekTo(100);
  m.TruncateHere();
  EXPECT_EQ(m.Size(), 100);
  EXPECT_EQ(m.Capacity(), 8192);
  EXPECT_EQ(m.Position(), 100);
  m.SeekTo(0);
  std::uint8_t back[100];
  m.ReadBytes(back, 100);
  EXPECT_TRUE(std::equal(back, back + 100, data.begin()));
}

TEST(MemoryStreamTest, WritingBeyondTheEndExtendsTheLength) {
  MemoryStream m;
  m.SeekTo(5000);
  m.WriteBytes("z", 1);
  EXPECT_EQ(m.Size(), 5001);
  EXPECT_EQ(m.Position(), 5001);
  EXPECT_EQ(m.Bytes()[5000], 'z');
  // An overwrite inside the text leaves the length alone.
  m.SeekTo(10);
  m.WriteBytes("ab", 2);
  EXPECT_EQ(m.Size(), 5001);
}

TEST(MemoryStreamTest, NegativeSeekCountsAsStart) {
  MemoryStream m;
  m.WriteBytes("hello", 5);
  m.SeekTo(-3);
  EXPECT_EQ(m.Position(), 0);
  m.WriteBytes("J", 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Bytes()), m.Size()), "Jello");
}

TEST(MemoryStreamTest, ReadsNeverLeaveTheBuffer) {
  MemoryStream m;
  m.WriteBytes("abc", 3);
  m.SeekTo(8190);
  std::vector<std::uint8_t> buf(10, 0xEE);
  m.ReadBytes(buf.data(), 10);
  // Two bytes lie below Capacity 8192 (fresh, so zero); the rest is filled in.
  EXPECT_EQ(buf, std::vector<std::uint8_t>(10, 0));
  EXPECT_EQ(m.Position(), 8192);
  m.SeekTo(1 << 30);
  m.ReadBytes(buf.data(), 10);
  EXPECT_EQ(m.Position(), 1 << 30);
  EXPECT_EQ(m.Status(), kStreamOk);
}

TEST(MemoryStreamTest, ReadBackAcrossChunkBoundaries) {
  MemoryStream m;
  std::vector<std::uint8_t> data(40000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13);
  m.WriteAll(data.data(), 40000);
  m.SeekTo(8000);
  std::vector<std::uint8_t> back(20000);
  m.ReadBytes(back.data(), 20000);
  EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 8000));
  EXPECT_EQ(m.Position(), 28000);
}

TEST(MemoryStreamTest, HugeOffsetsFailInsteadOfGrowingWithoutBound) {
  MemoryStream m;
  m.SeekTo(0x7FFFFFF0);
  m.WriteBytes("0123456789abcdef0123456789", 26);
  EXPECT_EQ(m.Status(), kStreamShortWrite);
  EXPECT_EQ(m.Size(), 0);
}

TEST(MemoryStreamTest, CopyFromGrowsFirstThenCopies) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "text", std::string(3000, 'q') + "END");
  FileStream src(dir / "text", kModeRead);
  MemoryStream m;
  m.WriteBytes("HD", 2);
  m.CopyFrom(src, 3003);
  EXPECT_EQ(m.Size(), 3005);
  EXPECT_EQ(m.Position(), 3005);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Bytes()) + 3002, 3), "END");

  // A source that runs short still leaves the length that was asked for.
  src.SeekTo(0);
  m.CopyFrom(src, 5000);
  EXPECT_EQ(src.Status(), kStreamShortRead);
  EXPECT_EQ(m.Size(), 8005);
  EXPECT_EQ(m.Capacity(), 8192);
  EXPECT_EQ(m.Bytes()[3005 + 1023], 'q');
  EXPECT_EQ(m.Bytes()[8004], 0);
}

TEST(MemoryStreamDeathTest, ClearErrorStopsWithRunTimeError217) {
  MemoryStream m;
  EXPECT_EXIT(m.ClearError(), ::testing::ExitedWithCode(217), "217.*ClearError");
}

}  // namespace
}  // namespace mvx
