// The attribute names that FLAGS lists in a block.
#include "msgbase/attribute_names.h"

#include <gtest/gtest.h>

#include <utility>

namespace mvx {
namespace {

TEST(AttributeNamesTest, FlagsNamesToBits) {
  // Each name on its own gives its bit: a swap in the table would post with
  // the wrong attribute.
  const char* inOrder[] = {"pvt", "CRA", "Rcv", "snt", "Att", "trs", "Orp", "k/S",
                           "Loc", "HLD", "FRq", "rrq", "RRc", "arq", "URq", "sca"};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(ApplyFlagNames(inOrder[i]), 1 << i) << inOrder[i];
  const std::pair<const char*, std::int32_t> lists[] = {
      {"Pvt Loc", 0x0101}, {"pvt k/s", 0x0081}, {"Xyz", 0}, {"FLAGS", 0},  // a line holding only the keyword
      {"Pvt, Loc", 0x0100}, {"Pvt Pvt  pvt ", 0x0001}, {"", 0}};
  for (const auto& [list, bits] : lists) EXPECT_EQ(ApplyFlagNames(list), bits) << list;
}

}  // namespace
}  // namespace mvx
