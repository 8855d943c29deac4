#include "run/attribute_names.h"

#include <gtest/gtest.h>

namespace mvx {
namespace {

TEST(ApplyFlagNames, NamesToBits) {
  EXPECT_EQ(ApplyFlagNames("Pvt Loc"), 0x0101);
  EXPECT_EQ(ApplyFlagNames("pvt k/s"), 0x0081);
  EXPECT_EQ(ApplyFlagNames("Xyz"), 0);
  EXPECT_EQ(ApplyFlagNames("FLAGS"), 0);  // rest of a line holding only the keyword
  EXPECT_EQ(ApplyFlagNames("Pvt, Loc"), 0x0100);
  EXPECT_EQ(ApplyFlagNames("Pvt Pvt  pvt "), 0x0001);
  EXPECT_EQ(ApplyFlagNames(""), 0);
}

TEST(ApplyFlagNames, EverySixteenNamesInOrder) {
  EXPECT_EQ(ApplyFlagNames("Pvt Cra Rcv Snt Att Trs Orp K/s Loc Hld FRq RRq RRc ARq URq Sca"),
            0xFFFF);
  EXPECT_EQ(ApplyFlagNames("SCA"), 0x8000);
  EXPECT_EQ(ApplyFlagNames("frq rrq rrc"), 0x1C00);
  EXPECT_EQ(ApplyFlagNames("ARQ urq"), 0x6000);
  EXPECT_EQ(ApplyFlagNames("hld"), 0x0200);
}

}  // namespace
}  // namespace mvx
