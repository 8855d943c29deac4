// Reading the date-written text of a *.MSG header.
#include "msgdir/msg_date_text.h"

#include <gtest/gtest.h>

namespace mvx {
namespace {

DateTimeRec Parse(const char* text) {
  DateTimeRec d;
  d.Hundredths = 55;  // must be cleared
  ParseMsgDateText(text, d);
  return d;
}

void Expect(const DateTimeRec& d, int y, int mo, int day, int h, int mi, int s) {
  EXPECT_EQ(d.Year, y);
  EXPECT_EQ(d.Month, mo);
  EXPECT_EQ(d.Day, day);
  EXPECT_EQ(d.Hour, h);
  EXPECT_EQ(d.Minute, mi);
  EXPECT_EQ(d.Second, s);
  EXPECT_EQ(d.Hundredths, 0);
}

TEST(MsgDateTextTest, TheFourLayouts) {
  Expect(Parse("06 Dec 26  04:57:36"), 2026, 12, 6, 4, 57, 36);
  Expect(Parse("06 Dec 99 04:57:36"), 1999, 12, 6, 4, 57, 36);
  Expect(Parse("06-12-26 04:57:36"), 2026, 12, 6, 4, 57, 36);
  Expect(Parse("Sun 06 Dec 26 04:57"), 2026, 12, 6, 4, 57, 0);
  Expect(Parse("Sun  6 Dec 26 04:57"), 2026, 12, 6, 4, 57, 0);
}

TEST(MsgDateTextTest, YearsAreWidenedAroundSeventy) {
  Expect(Parse("01 Jan 70  00:00:00"), 2070, 1, 1, 0, 0, 0);
  Expect(Parse("01 jan 71  23:59:58"), 1971, 1, 1, 23, 59, 58);
}

TEST(MsgDateTextTest, UnknownLayoutsGiveTheYear2000Only) {
  Expect(Parse("2026-12-06 04:57:36"), 2000, 0, 0, 0, 0, 0);
  Expect(Parse(""), 2000, 0, 0, 0, 0, 0);
  Expect(Parse("06"), 2000, 0, 0, 0, 0, 0);
}

TEST(MsgDateTextTest, DamagedTextsReadWhatTheyCan) {
  // A month name that is no month, cut texts, junk in the numbers.
  Expect(Parse("06 Dez 26  04:57:36"), 2026, 0, 6, 4, 57, 36);
  Expect(Parse("06 Dec 26"), 2026, 12, 6, 0, 0, 0);
  Expect(Parse("06 Dec"), 2000, 12, 6, 0, 0, 0);
  Expect(Parse("xx Dec 26  04:5x:36"), 2026, 12, 0, 4, 0, 36);
  Expect(Parse("06-12"), 2000, 12, 6, 0, 0, 0);
}

}  // namespace
}  // namespace mvx
