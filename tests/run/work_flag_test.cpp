#include "run/work_flag.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/platform.h"
#include "run/run_context.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

class WorkFlagTest : public ::testing::Test {
 protected:
  void WriteFlagAt(int y, int m, int d, int hh, int mm, int ss) {
    testkit::ScopedClock clock(y, m, d, hh, mm, ss);
    WriteWorkFlag(ctx_);
  }
  bool AllowsOn(int y, int m, int d) {
    testkit::ScopedClock clock(y, m, d, 0, 0, 1);
    return WorkFlagAllowsRun();
  }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  std::ostringstream console_;
  RunContext ctx_{console_};
};

TEST_F(WorkFlagTest, NoFlagAllowsTheRun) { EXPECT_TRUE(AllowsOn(2026, 12, 6)); }

TEST_F(WorkFlagTest, FlagIsEmptyAndStampedWithTheRunTime) {
  testkit::WriteFileText(dir_ / kWorkFlagName, "old contents");
  WriteFlagAt(2026, 12, 6, 4, 57, 37);
  EXPECT_TRUE(testkit::ReadFileBytes(dir_ / kWorkFlagName).empty());
  const auto stamp = platform::GetFileDosTime(kWorkFlagName);
  ASSERT_TRUE(stamp.has_value());
  // Date word: (2026 - 1980) << 9 | 12 << 5 | 6; time word: 4 << 11 | 57 << 5
  // | 37 / 2.
  EXPECT_EQ(*stamp >> 16, 0x5D86u);
  EXPECT_EQ(*stamp & 0xFFFF, 0x2732u);
  EXPECT_TRUE(console_.str().empty());
}

TEST_F(WorkFlagTest, SameDayIsRefusedOtherDaysAreNot) {
  WriteFlagAt(2026, 12, 6, 23, 59, 58);
  EXPECT_FALSE(AllowsOn(2026, 12, 6));
  EXPECT_TRUE(AllowsOn(2026, 12, 7));   // after midnight
  EXPECT_TRUE(AllowsOn(2026, 11, 6));   // same day, other month
  EXPECT_TRUE(AllowsOn(2027, 12, 6));   // a year later
}

TEST_F(WorkFlagTest, LastYearsFlagOnTheSameDayDoesNotBlock) {
  WriteFlagAt(2025, 12, 6, 8, 0, 0);
  EXPECT_TRUE(AllowsOn(2026, 12, 6));
}

TEST_F(WorkFlagTest, FlagThatCannotBeMadeIsReportedOnTheConsoleOnly) {
  int error = 0;
  ASSERT_TRUE(platform::CreateDirectory(dir_ / kWorkFlagName, &error));
  WriteFlagAt(2026, 12, 6, 1, 2, 3);
  EXPECT_EQ(console_.str(), "Error rewriting work flag!..\n");
}

}  // namespace
}  // namespace mvx
