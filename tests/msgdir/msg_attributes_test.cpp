// Attribute bits of *.MSG headers and the FLAGS control line.
#include "msgdir/msg_attributes.h"

#include <gtest/gtest.h>

#include "msgdir/msgdir_base.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

TEST(MsgAttributesTest, TranslationTable) {
  const std::int32_t kept[] = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010,
                               0x0020, 0x0040, 0x0080, 0x0100, 0x0200};
  for (std::int32_t v : kept) EXPECT_EQ(MsgAttributeBit(v), v);
  EXPECT_EQ(MsgAttributeBit(0x0400), 0x0800);
  EXPECT_EQ(MsgAttributeBit(0x0800), 0x1000);
  EXPECT_EQ(MsgAttributeBit(0x1000), 0x2000);
  EXPECT_EQ(MsgAttributeBit(0x2000), 0x4000);
  EXPECT_EQ(MsgAttributeBit(0x4000), 0x8000);
  for (std::int32_t v : {0x8000, 0x0003, 0x0000, 0x10000, -1}) EXPECT_EQ(MsgAttributeBit(v), 0) << v;
}

TEST(MsgAttributesTest, FlagsLineNames) {
  EXPECT_TRUE(FlagsLineHasName("\x01" "FLAGS DIR SCA", "SCA"));
  EXPECT_TRUE(FlagsLineHasName("\x01" "FLAGS  sca ", "SCA"));
  EXPECT_FALSE(FlagsLineHasName("\x01" "FLAGS SCAN", "SCA"));
  EXPECT_FALSE(FlagsLineHasName("\x01" "FLAGS", "SCA"));
  EXPECT_FALSE(FlagsLineHasName("\x01" "FLAGS SCA", ""));
  EXPECT_EQ(MsgFlagsName(0x8000), "SCA");
  EXPECT_EQ(MsgFlagsName(0x0001), "");
}

using MsgDirAttributeTest = MsgDirTest;

TEST_F(MsgDirAttributeTest, ChangeAndTestThroughTheHeader) {
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  ASSERT_TRUE(base.BeginNewMessage());
  base.ChangeAttribute(true, kAttrPrivate);
  base.ChangeAttribute(true, kAttrFileUpdateRequest);
  base.ChangeAttribute(true, kAttrScanned);   // no header bit: nothing
  base.ChangeAttribute(true, 0x0003);         // a combination: nothing
  EXPECT_EQ(base.Header().Attributes(), 0x8001);
  EXPECT_TRUE(base.HasAttribute(kAttrPrivate));
  EXPECT_TRUE(base.HasAttribute(kAttrFileUpdateRequest));
  EXPECT_FALSE(base.HasAttribute(kAttrScanned));
  EXPECT_FALSE(base.HasAttribute(0x0003));
  base.ChangeAttribute(false, kAttrPrivate);
  EXPECT_EQ(base.Header().Attributes(), 0x8000);
  EXPECT_FALSE(base.HasAttribute(kAttrPrivate));
}

TEST_F(MsgDirAttributeTest, ScannedIsLookedUpInTheFlagsLine) {
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  ASSERT_TRUE(base.BeginNewMessage());
  base.AppendTextLineStr("\x01MSGID: 2:5020/1 12345678");
  EXPECT_FALSE(base.HasAttribute(kAttrScanned));
  base.AppendTextLineStr("\x01" "FLAGS DIR Sca");
  const std::int32_t end = base.TextOffset();
  EXPECT_TRUE(base.HasAttribute(kAttrScanned));
  EXPECT_FALSE(base.HasAttribute(0x0003));
  // Asking did not move the place where the next line goes.
  EXPECT_EQ(base.TextOffset(), end);
  base.AppendTextLineStr("Body");
  EXPECT_EQ(TextOf(base), "\x01MSGID: 2:5020/1 12345678\r\x01" "FLAGS DIR Sca\rBody\r");
}

TEST_F(MsgDirAttributeTest, NoTextMeansNoFlags) {
  MsgDirBase base;
  EXPECT_FALSE(base.HasAttribute(kAttrScanned));
  EXPECT_FALSE(base.HasAttribute(kAttrLocal));
}

}  // namespace
}  // namespace mvx::msgdirtest
