// The used-number set, and message file paths that would not fit.
#include "msgdir/number_set.h"

#include <gtest/gtest.h>

#include "msgdir/msg_file_names.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

TEST(NumberSet, MarksCountOnceAndStayInsideTheSet) {
  NumberSet set;
  for (std::int32_t n : {5, 5, 61439, 61440, -1, 2147483647}) set.Mark(n);
  EXPECT_EQ(set.Count(), 2);  // outside the set: ignored, never stored
  for (std::int32_t n : {4, 6, 61440, -1}) EXPECT_FALSE(set.Test(n)) << n;
  for (std::int32_t n : {4, 70000, -1, 5}) set.Unmark(n);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_TRUE(set.Test(61439));
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
  EXPECT_FALSE(set.Test(61439));
}

TEST(MsgFileNames, APathThatWouldBeCutIsRefused) {
  Str path;
  ASSERT_TRUE(JoinAreaPath("area\\", MsgFileName(32767), path));
  EXPECT_EQ(path, "area\\" + testkit::Made("32767.msg"));
  EXPECT_FALSE(JoinAreaPath(Str(std::string(250, 'a')), "32767.msg", path));  // it names another file
  EXPECT_EQ(path, "area\\" + testkit::Made("32767.msg"));
}

}  // namespace
}  // namespace mvx
