#include <gtest/gtest.h>

#include <array>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

// year, month, day, hour, minute, second, millisecond, day of week (0 = Sunday)
using Moment = std::array<int, 8>;

Moment Fields(const LocalTime& t) {
  return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, t.dayOfWeek};
}

TEST(TestClockTest, WaitHundredthCarriesAndTheDayOfWeekFollows) {
  const Moment cases[][2] = {
      {{2026, 12, 6, 4, 57, 36, 3, 0}, {2026, 12, 6, 4, 57, 36, 13, 0}},
      {{2026, 12, 31, 23, 59, 59, 995, 4}, {2027, 1, 1, 0, 0, 0, 5, 5}},
      {{2100, 2, 28, 23, 59, 59, 990, 0}, {2100, 3, 1, 0, 0, 0, 0, 1}},  // no leap year
  };
  for (const auto& c : cases) {
    testkit::TestClock clock;
    clock.Set(c[0][0], c[0][1], c[0][2], c[0][3], c[0][4], c[0][5], c[0][6]);
    EXPECT_EQ(Fields(clock.Now()), c[0]);
    clock.WaitHundredth();
    EXPECT_EQ(Fields(clock.Now()), c[1]);
  }
}

TEST(SystemClockTest, WaitHundredthReturnsOnceTheClockMoved) {
  const Moment before = Fields(Now());
  WaitHundredth();
  EXPECT_NE(Fields(Now()), before);
}

}  // namespace
}  // namespace mvx::platform
