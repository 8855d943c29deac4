// The used-number set: its bounds and its count.
#include "msgdir/number_set.h"

#include <gtest/gtest.h>

#include "msgdir/msg_file_names.h"

namespace mvx {
namespace {

TEST(NumberSetTest, MarksCountOnceAndStayInsideTheSet) {
  NumberSet set;
  set.Mark(5);
  set.Mark(5);
  set.Mark(61439);
  EXPECT_EQ(set.Count(), 2);
  EXPECT_TRUE(set.Test(5));
  EXPECT_TRUE(set.Test(61439));
  EXPECT_FALSE(set.Test(4));
  EXPECT_FALSE(set.Test(6));
  // Outside the set: ignored, never stored.
  set.Mark(61440);
  set.Mark(-1);
  set.Mark(2147483647);
  EXPECT_EQ(set.Count(), 2);
  EXPECT_FALSE(set.Test(61440));
  EXPECT_FALSE(set.Test(-1));
  set.Unmark(4);
  set.Unmark(70000);
  EXPECT_EQ(set.Count(), 2);
  set.Unmark(5);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_FALSE(set.Test(5));
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
  EXPECT_FALSE(set.Test(61439));
}

TEST(MsgFileNamesTest, NumbersFromNames) {
  EXPECT_EQ(MsgNumberFromName("12.MSG"), 12);
  EXPECT_EQ(MsgNumberFromName("0012.msg"), 12);
  EXPECT_EQ(MsgNumberFromName("32767.MSG"), 32767);
  EXPECT_EQ(MsgNumberFromName("32768.MSG"), 0);
  EXPECT_EQ(MsgNumberFromName("70000.msg"), 0);
  EXPECT_EQ(MsgNumberFromName("99999999999.MSG"), 0);
  EXPECT_EQ(MsgNumberFromName("0.MSG"), 0);
  EXPECT_EQ(MsgNumberFromName("-3.MSG"), 0);
  EXPECT_EQ(MsgNumberFromName("ABC.MSG"), 0);
  EXPECT_EQ(MsgNumberFromName("3X.MSG"), 0);
  EXPECT_EQ(MsgNumberFromName(".MSG"), 0);
  EXPECT_EQ(MsgNumberFromName(""), 0);
}

TEST(MsgFileNamesTest, NewNamesAndPaths) {
  EXPECT_EQ(MsgFileName(8), "8.msg");
  EXPECT_TRUE(IsUsualMsgName("8.MSG", 8));
  EXPECT_TRUE(IsUsualMsgName("8.msg", 8));
  EXPECT_FALSE(IsUsualMsgName("08.MSG", 8));
  Str path;
  ASSERT_TRUE(JoinAreaPath("area\\", "8.msg", path));
  EXPECT_EQ(path, "area\\8.msg");
  // A path that would have to be cut names some other file: refused.
  EXPECT_FALSE(JoinAreaPath(Str(std::string(250, 'a')), "32767.msg", path));
  EXPECT_EQ(path, "area\\8.msg");
}

}  // namespace
}  // namespace mvx
