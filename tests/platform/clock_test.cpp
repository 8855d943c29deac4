#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

using testkit::ScopedClock;

TEST(TestClockTest, NowReadsTheSetMomentWithItsDayOfWeek) {
  ScopedClock clock(2026, 12, 6, 4, 57, 36, 120);
  const LocalTime t = Now();
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 6);
  EXPECT_EQ(t.hour, 4);
  EXPECT_EQ(t.minute, 57);
  EXPECT_EQ(t.second, 36);
  EXPECT_EQ(t.millisecond, 120);
  EXPECT_EQ(t.dayOfWeek, 0);  // a Sunday
}

TEST(TestClockTest, DayOfWeekAcrossCenturies) {
  {
    ScopedClock clock(2000, 2, 29, 0, 0, 0);
    EXPECT_EQ(Now().dayOfWeek, 2);  // Tuesday
  }
  {
    ScopedClock clock(1999, 12, 31, 0, 0, 0);
    EXPECT_EQ(Now().dayOfWeek, 5);  // Friday
  }
  {
    ScopedClock clock(2100, 3, 1, 0, 0, 0);
    EXPECT_EQ(Now().dayOfWeek, 1);  // Monday
  }
}

TEST(TestClockTest, WaitHundredthAdvancesTenMilliseconds) {
  ScopedClock clock(2026, 12, 6, 4, 57, 36, 3);
  WaitHundredth();
  EXPECT_EQ(Now().millisecond, 13);
  WaitHundredth();
  EXPECT_EQ(Now().millisecond, 23);
  EXPECT_EQ(Now().second, 36);
}

TEST(TestClockTest, WaitHundredthCarriesIntoTheNextYear) {
  ScopedClock clock(2026, 12, 31, 23, 59, 59, 995);
  WaitHundredth();
  const LocalTime t = Now();
  EXPECT_EQ(t.year, 2027);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.minute, 0);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.millisecond, 5);
  EXPECT_EQ(t.dayOfWeek, 5);  // Friday
}

TEST(TestClockTest, WaitHundredthKnowsLeapYears) {
  {
    ScopedClock clock(2028, 2, 28, 23, 59, 59, 990);
    WaitHundredth();
    EXPECT_EQ(Now().month, 2);
    EXPECT_EQ(Now().day, 29);
  }
  {
    ScopedClock clock(2100, 2, 28, 23, 59, 59, 990);
    WaitHundredth();
    EXPECT_EQ(Now().month, 3);
    EXPECT_EQ(Now().day, 1);
  }
}

TEST(TestClockTest, ClearingReturnsToTheSystemClock) {
  { ScopedClock clock(1990, 1, 1, 0, 0, 0); }
  EXPECT_GE(Now().year, 2024);
}

TEST(SystemClockTest, WaitHundredthLetsTheHundredthChange) {
  const LocalTime before = Now();
  WaitHundredth();
  const LocalTime after = Now();
  const bool moved = after.millisecond / 10 != before.millisecond / 10 || after.second != before.second ||
                     after.minute != before.minute || after.hour != before.hour;
  EXPECT_TRUE(moved);
}

}  // namespace
}  // namespace mvx::platform
