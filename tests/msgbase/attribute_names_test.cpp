// The attribute names that FLAGS lists in a block.
#include "msgbase/attribute_names.h"

#include <gtest/gtest.h>

#include <utility>

namespace mvx {
namespace {

TEST(AttributeNamesTest, FlagsNamesToBits) {
  const std::pair<const char*, std::int32_t> lists[] = {
      {"Pvt Loc", 0x0101}, {"pvt k/s", 0x0081}, {"Xyz", 0}, {"FLAGS", 0},  // a line holding only the keyword
      {"Pvt, Loc", 0x0100}, {"Pvt Pvt  pvt ", 0x0001}, {"", 0}};
  for (const auto& [list, bits] : lists) EXPECT_EQ(ApplyFlagNames(list), bits) << list;
}

}  // namespace
}  // namespace mvx
