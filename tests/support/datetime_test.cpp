#include "support/datetime.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

DateTimeRec At(int y, int mo, int d, int h, int mi, int s, int hs = 0) {
  const auto u = [](int v) { return static_cast<std::uint16_t>(v); };  // DateTimeRec keeps the time first
  return DateTimeRec{u(h), u(mi), u(s), u(hs), u(d), u(mo), u(y)};
}

// year, month, day, hour, minute, second, hundredths
using Fields7 = std::array<int, 7>;
Fields7 Fields(const DateTimeRec& d) { return {d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second, d.Hundredths}; }

TEST(DatePacking, KnownMomentInBothLayoutsAndBack) {
  std::uint32_t v = 0;
  PackDateFirstStamp(At(2026, 12, 6, 4, 57, 36), v);
  EXPECT_EQ(v, 0x27325D86u);  // date word 0x5D86 in bytes 0-1, time word 0x2732 in 2-3
  PackDosDateTime(At(2026, 12, 6, 4, 57, 36), v);
  EXPECT_EQ(v, 0x5D862732u);
  DateTimeRec d = At(0, 0, 0, 0, 0, 0, 42);
  UnpackDosDateTime(0x5D862732u, d);
  EXPECT_EQ(Fields(d), (Fields7{2026, 12, 6, 4, 57, 36, 42}));  // hundredths kept
  d = At(0, 0, 0, 0, 0, 0);
  UnpackDateFirstStamp(0x27325D86u, d);
  EXPECT_EQ(Fields(d), (Fields7{2026, 12, 6, 4, 57, 36, 0}));
  // Two-second resolution: 37 is stored as 18 and comes back as 36.
  PackDosDateTime(At(1980, 1, 1, 0, 0, 37), v);
  EXPECT_EQ(v, 0x00210012u);
  // The DOS packing does not mask (64 seconds spill into the minute); the
  // date-first packing masks every field to its bits.
  PackDosDateTime(At(1980, 1, 1, 0, 0, 64), v);
  EXPECT_EQ(v & 0xFFFFu, 0x0020u);
  PackDateFirstStamp(At(1980 + 130, 1, 33, 33, 70, 64), v);
  EXPECT_EQ(v, 0x08C00421u);
  UnpackDateFirstStamp(0xFFFFFFFFu, d);  // every bit set stays within the bit widths
  EXPECT_EQ(Fields(d), (Fields7{2107, 15, 31, 31, 63, 62, 0}));
  // The system clock's milliseconds become hundredths, cut down.
  testkit::TestClock clock;
  clock.Set(2026, 12, 6, 4, 57, 36, 579);
  GetNow(clock, d);
  EXPECT_EQ(Fields(d), (Fields7{2026, 12, 6, 4, 57, 36, 57}));
}

TEST(DayNumber, KnownDaysRoundTripAndGarbage) {
  EXPECT_EQ(DayNumber(At(1970, 1, 1, 0, 0, 0)), 2440588);
  EXPECT_EQ(DayNumber(At(2000, 3, 1, 0, 0, 0)), 2451605);
  EXPECT_EQ(DayNumber(At(2026, 12, 6, 0, 0, 0)), 2461381);
  EXPECT_EQ(DayNumber(At(0, 0, 0, 0, 0, 0)), 1721029);
  std::int32_t y = 0, m = 0, d = 0;
  DateFromDayNumber(2451604, y, m, d);
  EXPECT_EQ((std::array<int, 3>{y, m, d}), (std::array<int, 3>{2000, 2, 29}));
  // 1900-03-01 to past 2100: both century years that are not leap years.
  for (std::int32_t n = 2415080; n < 2490000; ++n) {
    DateFromDayNumber(n, y, m, d);
    ASSERT_EQ(DayNumber(At(y, m, d, 0, 0, 0)), n) << y << "-" << m << "-" << d;
  }
  // Numbers from a damaged file: no overflow (the sanitizer build watches).
  for (std::int32_t n : {INT32_MIN, INT32_MAX, 0}) DateFromDayNumber(n, y, m, d);
  EXPECT_GT(DayNumber(At(65535, 65535, 65535, 0, 0, 0)), 0);
}

TEST(UnixSeconds, KnownMomentsBothWays) {
  const struct {
    std::int32_t secs;
    Fields7 at;  // hundredths 9 are left alone
  } cases[] = {
      {1796533056, {2026, 12, 6, 4, 57, 36, 9}},
      {0, {1970, 1, 1, 0, 0, 0, 9}},
      {INT32_MAX, {2038, 1, 19, 3, 14, 7, 9}},
      {-1, {1969, 12, 31, 23, 59, 59, 9}},  // 0xFFFFFFFF from a damaged header
      {INT32_MIN, {1901, 12, 13, 20, 45, 52, 9}},
  };
  for (const auto& c : cases) {
    DateTimeRec d = At(0, 0, 0, 0, 0, 0, 9);
    UnixToDateTime(c.secs, d);
    EXPECT_EQ(Fields(d), c.at) << c.secs;
    std::int32_t back = 0;
    DateTimeToUnix(d, back);
    EXPECT_EQ(back, c.secs);
  }
  std::int32_t secs = 0;
  DateTimeToUnix(At(2038, 1, 19, 3, 14, 8), secs);  // 32-bit arithmetic wraps
  EXPECT_EQ(secs, INT32_MIN);
}

TEST(DateTexts, MonthsYearsFtsTextAndHex) {
  for (std::int32_t m = 1; m <= 12; ++m) EXPECT_EQ(MonthNumber(MonthName(m)), m) << m;
  EXPECT_EQ(FtsDateText(At(2026, 6, 30, 23, 0, 1)) + FtsDateText(At(2026, 7, 1, 0, 0, 0)),
            "30 Jun 26  23:00:01" "01 Jul 26  00:00:00");
  EXPECT_EQ(MonthNumber("dec"), 12);
  EXPECT_EQ(MonthNumber("December"), 0);
  EXPECT_EQ(MonthName(0), "???");
  EXPECT_EQ(MonthName(13), "???");
  EXPECT_EQ(YearToFourDigits(70), 2070);
  EXPECT_EQ(YearToFourDigits(71), 1971);
  EXPECT_EQ(YearToTwoDigits(1980), 80);
  EXPECT_EQ(FtsDateText(At(2026, 12, 6, 4, 57, 36)), "06 Dec 26  04:57:36");
  // 2100 gives 100, cut to "10"; an hour of 123 gives "12"; month 13 "???".
  EXPECT_EQ(FtsDateText(At(2100, 13, 1, 123, 0, 0)), "01 ??? 10  12:00:00");
  EXPECT_EQ(Hex8(0xDEADBEEFu), "deadbeef");
}

}  // namespace
}  // namespace mvx
