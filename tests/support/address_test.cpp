#include "support/address.h"

#include <gtest/gtest.h>

#include <string>

namespace mvx {
namespace {

FidoAddress Addr(int z, int n, int f, int p) {
  FidoAddress a;
  a.Zone = static_cast<std::int16_t>(z), a.Net = static_cast<std::int16_t>(n);
  a.Node = static_cast<std::int16_t>(f), a.Point = static_cast<std::int16_t>(p);
  return a;
}

// Every parse starts from 2:460/100.7, so each row shows which parts the text
// names and which it leaves alone.
TEST(ParseAddress, RelativeFormsFromAKnownAddress) {
  const struct {
    std::string text;
    bool ok;
    const char* after;
  } cases[] = {
      {"1:234/56.7", true, "1:234/56.7"},     {"1:234/56", true, "1:234/56.0"},
      {"1:234/56.7@fidonet", true, "1:234/56.7"},  // the domain is dropped
      {"345/67", true, "2:345/67.0"},         {"345/67.8", true, "2:345/67.8"},
      {"99", true, "2:460/99.0"},             {"99.3", true, "2:460/99.3"},
      {".3", true, "2:460/100.3"},            {"/99", true, "2:460/99.0"},
      {"1:234", true, "2:460/100.7"},         {"", false, "2:460/100.7"},
      {"@fidonet", false, "2:460/100.7"},     {"1:234/56a", false, "2:460/100.7"},
      {"1:2 34/5", false, "2:460/100.7"},     {"1:234/x", false, "2:460/100.7"},
      {"1:234.5/6", true, "1:234/5.6"},       {"1::234//56..7", true, "1:234/56.7"},
      {"2:460/\xE1\x31", false, "2:460/100.7"}, {std::string(200, '1') + "x", false, "2:460/100.7"},
      // A number that does not fit its 16-bit field makes the address bad;
      // it is never wrapped into another node's number.
      {"2:32767/1", true, "2:32767/1.0"},     {"2:-32768/1", true, "2:-32768/1.0"},
      {"2:65535/1", false, "2:460/100.7"},    {"2:70000/1", false, "2:460/100.7"},
      {"2:-5/1", true, "2:-5/1.0"},           {"2:4-5/1", false, "2:460/100.7"},
      {"2:99999999999/1", false, "2:460/100.7"},
      {"99999999:99999999/99999999.99999999", false, "2:460/100.7"},
      {"1:2/3.40000", false, "2:460/100.7"},  {std::string(300, '9'), false, "2:460/100.7"},
  };
  for (const auto& c : cases) {
    FidoAddress a = Addr(2, 460, 100, 7);
    EXPECT_EQ(ParseAddress(c.text, a), c.ok) << c.text;
    EXPECT_EQ(FormatAddress4D(a), c.after) << c.text;
  }
}

TEST(FormatAddress, PointShownOnlyWhenSet) {
  EXPECT_EQ(FormatAddress(Addr(2, 460, 99, 0)), "2:460/99");
  EXPECT_EQ(FormatAddress4D(Addr(2, 460, 99, 0)), "2:460/99.0");
  EXPECT_EQ(FormatAddress(Addr(2, 460, 99, 3)), "2:460/99.3");
  EXPECT_EQ(FormatAddress3D(Addr(2, 460, 99, 3)), "2:460/99");
  EXPECT_EQ(FormatAddress(Addr(-32768, -1, 0, 0)), "-32768:-1/0");
}

TEST(CompareAddress, FieldsInOrderAsSignedNumbers) {
  EXPECT_EQ(CompareAddress(Addr(2, 460, 100, 7), Addr(2, 460, 100, 7)), 0);
  EXPECT_EQ(CompareAddress(Addr(1, 999, 999, 999), Addr(2, 0, 0, 0)), -1);
  EXPECT_EQ(CompareAddress(Addr(2, 461, 0, 0), Addr(2, 460, 999, 9)), 1);
  EXPECT_EQ(CompareAddress(Addr(2, 460, 100, 6), Addr(2, 460, 100, 7)), -1);
  EXPECT_EQ(CompareAddress(Addr(2, -1, 0, 0), Addr(2, 0, 0, 0)), -1);  // 65535 sorts before 0
  FidoAddress a = Addr(1, 2, 3, 4);
  ClearAddress(a);
  EXPECT_EQ(FormatAddress4D(a), "0:0/0.0");
}

}  // namespace
}  // namespace mvx
