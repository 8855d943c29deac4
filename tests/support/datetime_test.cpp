#include "support/datetime.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "testkit/testkit.h"

namespace mvx {
namespace {

DateTimeRec At(int y, int mo, int d, int h, int mi, int s, int hs = 0) {
  DateTimeRec r;
  r.Year = static_cast<std::uint16_t>(y);
  r.Month = static_cast<std::uint16_t>(mo);
  r.Day = static_cast<std::uint16_t>(d);
  r.Hour = static_cast<std::uint16_t>(h);
  r.Minute = static_cast<std::uint16_t>(mi);
  r.Second = static_cast<std::uint16_t>(s);
  r.Hundredths = static_cast<std::uint16_t>(hs);
  return r;
}

void ExpectDate(const DateTimeRec& d, int y, int mo, int day, int h, int mi, int s) {
  EXPECT_EQ(d.Year, y);
  EXPECT_EQ(d.Month, mo);
  EXPECT_EQ(d.Day, day);
  EXPECT_EQ(d.Hour, h);
  EXPECT_EQ(d.Minute, mi);
  EXPECT_EQ(d.Second, s);
}

TEST(DatePacking, KnownMomentInBothLayouts) {
  const DateTimeRec d = At(2026, 12, 6, 4, 57, 36);
  std::uint32_t v = 0;
  PackDateFirstStamp(d, v);
  EXPECT_EQ(v, 0x27325D86u);  // date word 0x5D86 in bytes 0-1, time word 0x2732 in 2-3
  PackDosDateTime(d, v);
  EXPECT_EQ(v, 0x5D862732u);

  DateTimeRec back = At(0, 0, 0, 0, 0, 0, 42);
  UnpackDosDateTime(0x5D862732u, back);
  ExpectDate(back, 2026, 12, 6, 4, 57, 36);
  EXPECT_EQ(back.Hundredths, 42);  // untouched by unpacking
  back = At(0, 0, 0, 0, 0, 0);
  UnpackDateFirstStamp(0x27325D86u, back);
  ExpectDate(back, 2026, 12, 6, 4, 57, 36);
}

TEST(DatePacking, OddSecondsAndOutOfRangeFields) {
  std::uint32_t v = 0;
  // Two-second resolution: 37 seconds is stored as 18 and comes back as 36.
  PackDosDateTime(At(1980, 1, 1, 0, 0, 37), v);
  EXPECT_EQ(v, 0x00210012u);
  DateTimeRec d;
  UnpackDosDateTime(v, d);
  ExpectDate(d, 1980, 1, 1, 0, 0, 36);

  // The DOS packing does not mask: 64 seconds spills into the minute.
  PackDosDateTime(At(1980, 1, 1, 0, 0, 64), v);
  EXPECT_EQ(v & 0xFFFFu, 0x0020u);
  // The date-first packing masks every field to its bits.
  PackDateFirstStamp(At(1980 + 130, 1, 33, 33, 70, 64), v);
  EXPECT_EQ(v, 0x08C00421u);

  // Every bit set unpacks to values that stay within the bit widths.
  UnpackDateFirstStamp(0xFFFFFFFFu, d);
  ExpectDate(d, 2107, 15, 31, 31, 63, 62);
}

TEST(DayNumber, KnownDaysAndLeapDay) {
  EXPECT_EQ(DayNumber(At(1970, 1, 1, 0, 0, 0)), 2440588);
  EXPECT_EQ(DayNumber(At(2000, 3, 1, 0, 0, 0)), 2451605);
  EXPECT_EQ(DayNumber(At(2026, 12, 6, 0, 0, 0)), 2461381);
  std::int32_t y = 0, m = 0, d = 0;
  DateFromDayNumber(2451604, y, m, d);
  EXPECT_EQ(y, 2000);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(d, 29);
  DateFromDayNumber(2440587, y, m, d);
  EXPECT_EQ(y, 1969);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(d, 31);
}

TEST(DayNumber, RoundTripOverTwoCenturies) {
  // 1900-03-01 to past 2100: both century years that are not leap years.
  for (std::int32_t n = 2415080; n < 2490000; ++n) {
    std::int32_t y = 0, m = 0, d = 0;
    DateFromDayNumber(n, y, m, d);
    ASSERT_EQ(DayNumber(At(y, m, d, 0, 0, 0)), n) << y << "-" << m << "-" << d;
  }
}

TEST(DayNumber, GarbageDoesNotCrash) {
  std::int32_t y = 0, m = 0, d = 0;
  DateFromDayNumber(INT32_MIN, y, m, d);
  DateFromDayNumber(INT32_MAX, y, m, d);
  DateFromDayNumber(0, y, m, d);
  EXPECT_GE(m, -9);
  EXPECT_LE(m, 12);
  EXPECT_GT(DayNumber(At(65535, 65535, 65535, 0, 0, 0)), 0);
  EXPECT_EQ(DayNumber(At(0, 0, 0, 0, 0, 0)), 1721029);
}

TEST(UnixSeconds, KnownMomentAndBack) {
  std::int32_t secs = 0;
  DateTimeToUnix(At(2026, 12, 6, 4, 57, 36), secs);
  EXPECT_EQ(secs, 1796533056);
  DateTimeRec d = At(0, 0, 0, 0, 0, 0, 7);
  UnixToDateTime(1796533056, d);
  ExpectDate(d, 2026, 12, 6, 4, 57, 36);
  EXPECT_EQ(d.Hundredths, 7);

  UnixToDateTime(0, d);
  ExpectDate(d, 1970, 1, 1, 0, 0, 0);
  UnixToDateTime(INT32_MAX, d);
  ExpectDate(d, 2038, 1, 19, 3, 14, 7);
  // 32-bit arithmetic: one second later wraps.
  DateTimeToUnix(At(2038, 1, 19, 3, 14, 8), secs);
  EXPECT_EQ(secs, INT32_MIN);
}

TEST(UnixSeconds, NegativeValuesGiveARealTimeOfDay) {
  DateTimeRec d;
  UnixToDateTime(-1, d);
  ExpectDate(d, 1969, 12, 31, 23, 59, 59);
  // 0xFFFFFFFF read from a damaged header is -1 as a signed count.
  UnixToDateTime(static_cast<std::int32_t>(0xFFFFFFFFu), d);
  ExpectDate(d, 1969, 12, 31, 23, 59, 59);
  UnixToDateTime(INT32_MIN, d);
  ExpectDate(d, 1901, 12, 13, 20, 45, 52);
}

TEST(MonthsAndYears, NamesNumbersAndTwoDigitYears) {
  EXPECT_EQ(MonthNumber("dec"), 12);
  EXPECT_EQ(MonthNumber("Jan"), 1);
  EXPECT_EQ(MonthNumber("December"), 0);
  EXPECT_EQ(MonthNumber(""), 0);
  EXPECT_EQ(MonthNumber("d\xE5" "c"), 0);
  EXPECT_EQ(MonthName(0), "???");
  EXPECT_EQ(MonthName(13), "???");
  EXPECT_EQ(MonthName(-1), "???");
  EXPECT_EQ(MonthName(5), "May");
  EXPECT_EQ(YearToFourDigits(70), 2070);
  EXPECT_EQ(YearToFourDigits(71), 1971);
  EXPECT_EQ(YearToFourDigits(0), 2000);
  EXPECT_EQ(YearToTwoDigits(1980), 80);
  EXPECT_EQ(YearToTwoDigits(2026), 26);
  EXPECT_EQ(YearToTwoDigits(2100), 100);
}

TEST(FtsDateText, FieldsCutToTwoCharactersThenPadded) {
  EXPECT_EQ(FtsDateText(At(2026, 12, 6, 4, 57, 36)), "06 Dec 26  04:57:36");
  EXPECT_EQ(FtsDateText(At(2001, 3, 5, 9, 4, 7)), "05 Mar 01  09:04:07");
  EXPECT_EQ(FtsDateText(At(1999, 13, 31, 23, 59, 58)), "31 ??? 99  23:59:58");
  // 2100 gives 100, cut to "10"; an hour of 123 gives "12".
  EXPECT_EQ(FtsDateText(At(2100, 1, 1, 123, 0, 0)), "01 Jan 10  12:00:00");
}

TEST(Hex8, EightLowercaseDigits) {
  EXPECT_EQ(Hex8(0), "00000000");
  EXPECT_EQ(Hex8(0xDEADBEEFu), "deadbeef");
  EXPECT_EQ(Hex8(0x0B4A6000u), "0b4a6000");
}

TEST(GetNow, ReadsTheClockWithHundredths) {
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36, 579);
  DateTimeRec d;
  GetNow(d);
  ExpectDate(d, 2026, 12, 6, 4, 57, 36);
  EXPECT_EQ(d.Hundredths, 57);
}

TEST(MsgIdSerial, KnownValueAndNoRepeatWithinAHundredth) {
  // The last serial is remembered for the whole process; take one at another
  // moment first so the known value below is not a repeat.
  {
    testkit::ScopedClock other(2026, 12, 6, 4, 57, 35);
    (void)MsgIdSerial();
  }
  testkit::ScopedClock again(2026, 12, 6, 4, 57, 36);
  EXPECT_EQ(MsgIdSerial(), "0b4a6000");
  // The clock has not moved: the second serial waits for the next hundredth.
  Str second = MsgIdSerial();
  EXPECT_EQ(second, "0b4a6001");
  EXPECT_EQ(MsgIdSerial(), "0b4a6002");
}

}  // namespace
}  // namespace mvx
