// Reading the date-written text of a *.MSG header back into a date.
//
// Writers have used several layouts over the years; four are understood:
//   "06 Dec 26  04:57:36"   day, month name, year, two blanks, time
//   "06 Dec 99 04:57:36"    the same with one blank before the time
//   "Sun 06 Dec 26 04:57"   weekday first, no seconds
//   "06-12-26 04:57:36"     all numeric
// The texts are written with FtsDateText (support/datetime.h).
#pragma once

#include "support/datetime.h"
#include "support/str.h"

namespace mvx {

// d := the date and time in text. Unreadable parts stay 0; the two-digit year
// is widened (70 and below to 20xx, above to 19xx), so a text in none of the
// layouts gives all fields 0 except the year 2000.
void ParseMsgDateText(const Str& text, DateTimeRec& d);

}  // namespace mvx
