// Reading the date-written text of a *.MSG header.
#include "msgdir/msg_date_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace mvx {
namespace {

TEST(MsgDateText, LayoutsYearsAndDamagedTexts) {
  const char* const cases[][2] = {
      {"06 Dec 26  04:57:36", "2026-12-06 04:57:36"}, {"06 Dec 99 04:57:36", "1999-12-06 04:57:36"},
      {"06-12-26 04:57:36", "2026-12-06 04:57:36"},   {"Sun  6 Dec 26 04:57", "2026-12-06 04:57:00"},
      {"Wed 16 Jun 27 23:05", "2027-06-16 23:05:00"}, {"17 Jul 26  10:00:09", "2026-07-17 10:00:09"},
      {"01 Jan 70  00:00:00", "2070-01-01 00:00:00"}, {"01 jan 71  23:59:58", "1971-01-01 23:59:58"},
      // Unknown layouts give the year 2000 only; damaged ones what can be read.
      {"2026-12-06 04:57:36", "2000-00-00 00:00:00"}, {"", "2000-00-00 00:00:00"},
      {"06 Dez 26  04:57:36", "2026-00-06 04:57:36"}, {"06 Dec", "2000-12-06 00:00:00"},
      {"xx Dec 26  04:5x:36", "2026-12-00 04:00:36"}, {"06-12", "2000-12-06 00:00:00"},
  };
  for (const auto& c : cases) {
    DateTimeRec d;
    d.Hundredths = 55;
    ParseMsgDateText(c[0], d);
    char got[40];
    std::snprintf(got, sizeof got, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour,
                  d.Minute, d.Second);
    EXPECT_EQ(std::string(got), c[1]) << c[0];
    EXPECT_EQ(d.Hundredths, 0);
  }
}

}  // namespace
}  // namespace mvx
