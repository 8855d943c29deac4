// Records, subfields and the CRC against values worked out by hand.
#include "jam/jam_records.h"

#include <gtest/gtest.h>

#include <vector>

#include "jam/jam_crc.h"
#include "jam/jam_subfields.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(JamCrcTest, KnownValues) {
  const std::pair<const char*, std::uint32_t> table[] = {
      {"abc", 0xCADBBE3Du}, {"ABC", 0xCADBBE3Du}, {"", 0xFFFFFFFFu}, {"Bob", 0x0A344EBFu}};
  for (const auto& [text, crc] : table) EXPECT_EQ(JamCrc(text), crc) << text;
  // Only A-Z are lowered: a byte above 127 is hashed as it is.
  EXPECT_NE(JamCrc("\xC0"), JamCrc("\xE0"));
}

TEST(JamRecordsTest, MessageHeaderFieldOffsets) {
  // Every field a different value, so a field at the wrong offset shows.
  JamMessageHeader h{kJamSignature, 0x0102, 0x0304, 0x05060708, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                     0x80000001u, 20, 21, 22, 23, 24};
  Bytes raw(kJamMessageHeaderSize, 0xEE);
  EncodeJamMessageHeader(h, raw.data());
  const Bytes expected{
      0x4A, 0x41, 0x4D, 0x00, 0x02, 0x01, 0x04, 0x03, 0x08, 0x07, 0x06, 0x05,  // 0..11
      9,  0, 0, 0, 10, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0,         // 12..31
      14, 0, 0, 0, 15, 0, 0, 0, 16, 0, 0, 0, 17, 0, 0, 0, 18, 0, 0, 0,         // 32..51
      0x01, 0, 0, 0x80, 20, 0, 0, 0, 21, 0, 0, 0, 22, 0, 0, 0, 23, 0, 0, 0,    // 52..71
      24, 0, 0, 0};
  EXPECT_EQ(raw, expected);
  Bytes back(kJamMessageHeaderSize);
  EncodeJamMessageHeader(DecodeJamMessageHeader(raw.data()), back.data());
  EXPECT_EQ(back, raw);
}

TEST(JamSubfieldsTest, WalkCutsLongDataAndStopsAtDamage) {
  SubfieldBuffer buf;
  ASSERT_TRUE(buf.Add(kJamSeenByField, std::string(300, 's')));
  ASSERT_TRUE(buf.Add(kJamPathField, "1/1"));
  Bytes raw(buf.Data(), buf.Data() + buf.Length());
  // A third subfield whose length runs far past the bytes.
  raw.insert(raw.end(), {3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'B'});
  SubfieldWalker walk(raw.data(), static_cast<std::uint32_t>(raw.size()));
  Subfield f;
  ASSERT_TRUE(walk.Next(f));
  EXPECT_EQ(f.Data.size(), 255u);
  ASSERT_TRUE(walk.Next(f));  // stepped by the full stored length
  EXPECT_EQ(f.Id, 2002);
  EXPECT_EQ(f.Data, "1/1");
  EXPECT_FALSE(walk.Next(f));
  EXPECT_FALSE(walk.Next(f));
  // A head cut short ends the walk too.
  SubfieldWalker cut(raw.data(), 308 + 11 + 5);
  ASSERT_TRUE(cut.Next(f));
  ASSERT_TRUE(cut.Next(f));
  EXPECT_FALSE(cut.Next(f));
}

}  // namespace
}  // namespace mvx
