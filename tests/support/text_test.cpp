#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mvx {
namespace {

TEST(ParseInteger, DecimalHexAndErrorPositions) {
  std::int32_t pos = -1;
  EXPECT_EQ(ParseInteger(" 12", pos), 12);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(ParseInteger("$1F", pos), 31);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(ParseInteger("-$1f", pos), -31);
  EXPECT_EQ(ParseInteger("$FFFFFFFF", pos), -1);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(ParseInteger("+2147483647", pos), 2147483647);
  EXPECT_EQ(pos, 0);

  EXPECT_EQ(ParseInteger("12a", pos), 0);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(ParseInteger("", pos), 0);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(ParseInteger("-", pos), 0);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(ParseInteger("12 ", pos), 0);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(ParseInteger("2147483648", pos), 0);
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(ParseInteger("$123456789", pos), 0);
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(ParseInteger(std::string(400, '9'), pos), 0);
  EXPECT_NE(pos, 0);
}

TEST(ParseSmallInt, KeepsLowSixteenBits) {
  std::int16_t f = 99;
  ParseSmallInt("70000", f);
  EXPECT_EQ(f, 4464);
  ParseSmallInt("-1", f);
  EXPECT_EQ(f, -1);
  ParseSmallInt("65535", f);
  EXPECT_EQ(f, -1);
  ParseSmallInt("12a", f);
  EXPECT_EQ(f, 0);
  std::uint16_t u = 99;
  ParseSmallInt("-1", u);
  EXPECT_EQ(u, 0xFFFF);
  ParseSmallInt("x", u);
  EXPECT_EQ(u, 0);
}

TEST(IntToStr, SignsAndExtremes) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-5), "-5");
  EXPECT_EQ(IntToStr(2147483647), "2147483647");
  EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
}

TEST(SplitWord, RunsOfSeparatorsMakeNoEmptyWords) {
  const std::string text = "  a..b  ";
  EXPECT_EQ(SplitWord(1, text, " ."), "a");
  EXPECT_EQ(SplitWord(2, text, " ."), "b");
  EXPECT_EQ(SplitWord(3, text, " ."), "");
  EXPECT_EQ(SplitWord(0, text, " ."), "");
  EXPECT_EQ(SplitWord(1, "", " "), "");
  EXPECT_EQ(SplitWord(2, "1:234/56.7", ":/."), "234");
  EXPECT_EQ(SplitWord(1, "abc", ""), "abc");
}

TEST(NulFields, NeverWriteOutsideTheField) {
  // Guard bytes around an 8-byte field show any write past either end.
  std::vector<std::uint8_t> buf(12, 0xEE);
  PutNulField(buf.data() + 2, 8, "ABCDEFGHIJK");
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0xEE, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 0,
                                            0xEE, 0xEE}));
  PutNulField(buf.data() + 2, 8, "Hi");
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0xEE, 'H', 'i', 0, 0, 0, 0, 0, 0, 0xEE, 0xEE}));
  PutNulField(buf.data() + 2, 1, "xyz");
  EXPECT_EQ(buf[2], 0);
  EXPECT_EQ(buf[3], 'i');
  PutNulField(buf.data() + 2, 0, "xyz");
  EXPECT_EQ(buf[2], 0);
  EXPECT_EQ(buf[1], 0xEE);
}

TEST(NulFields, ReadUpToNulOrFieldEnd) {
  const std::uint8_t withNul[6] = {'a', 0xE1, 'b', 0, 'z', 'z'};
  EXPECT_EQ(GetNulField(withNul, 6), "a\xE1" "b");
  // No NUL inside the field: the whole field, nothing beyond it.
  const std::uint8_t full[4] = {'w', 'x', 'y', 'z'};
  EXPECT_EQ(GetNulField(full, 3), "wxy");
  std::vector<std::uint8_t> big(300, 'q');
  big.push_back(0);
  EXPECT_EQ(GetNulField(big.data(), big.size()), Str(std::string(255, 'q')));
}

TEST(Crc32Step, MatchesTheStandardCheckValue) {
  EXPECT_EQ(Crc32Step(1, 0), 0x77073096u);
  EXPECT_EQ(Crc32Step(0, 0), 0u);
  // With the usual inversion at both ends the steps give the CRC-32 check
  // value of "123456789".
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char c : std::string("123456789")) crc = Crc32Step(static_cast<std::uint8_t>(c), crc);
  EXPECT_EQ(crc ^ 0xFFFFFFFFu, 0xCBF43926u);
}

}  // namespace
}  // namespace mvx
