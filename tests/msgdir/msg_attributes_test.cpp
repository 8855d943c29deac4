// Attribute bits of *.MSG headers and the FLAGS control line.
#include "msgdir/msg_attributes.h"

#include <gtest/gtest.h>

#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using MsgDirAttributes = MsgDirTest;

TEST_F(MsgDirAttributes, HeaderBitsAndScannedFromTheFlagsLine) {
  auto base = Open();
  EXPECT_FALSE(base->HasAttribute(kAttrScanned));  // no text at all
  ASSERT_TRUE(base->BeginNewMessage());
  for (std::int32_t v : {kAttrPrivate, kAttrFileUpdateRequest, kAttrScanned, 0x0003}) base->ChangeAttribute(true, v);
  base->ChangeAttribute(false, kAttrPrivate);
  EXPECT_EQ(base->Header().Attributes(), 0x8000);  // scanned and a combination: nothing
  EXPECT_TRUE(base->HasAttribute(kAttrFileUpdateRequest));
  EXPECT_FALSE(base->HasAttribute(kAttrPrivate));
  EXPECT_FALSE(base->HasAttribute(0x0003));

  base->AppendTextLineStr("\x01" "FLAGS SCAN");
  EXPECT_FALSE(base->HasAttribute(kAttrScanned));
  base->AppendTextLineStr("Body");
  ASSERT_TRUE(base->BeginNewMessage());
  base->AppendTextLineStr("\x01" "FLAGS  DIR Sca ");
  EXPECT_TRUE(base->HasAttribute(kAttrScanned));
  base->AppendTextLineStr("Body");  // asking did not move the place of the next line
  EXPECT_EQ(TextOf(*base), "\x01" "FLAGS  DIR Sca \rBody\r");
}

}  // namespace
}  // namespace mvx::msgdirtest
