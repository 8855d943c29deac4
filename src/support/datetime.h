// Dates and times: the one date-time record and its stored forms.
// All times are local wall-clock time; nothing converts time zones.
#pragma once

#include <cstdint>

#include "support/clock.h"
#include "support/str.h"

namespace mvx {

struct DateTimeRec {
  std::uint16_t Hour = 0;
  std::uint16_t Minute = 0;
  std::uint16_t Second = 0;
  std::uint16_t Hundredths = 0;
  std::uint16_t Day = 0;
  std::uint16_t Month = 0;
  std::uint16_t Year = 0;
};

// Reads the local time from clock.
void GetNow(Clock& clock, DateTimeRec& d);
// DOS packing: time word low, date word high (fields not masked).
void PackDosDateTime(const DateTimeRec& d, std::uint32_t& v);
void UnpackDosDateTime(std::uint32_t v, DateTimeRec& d);
// Date word in bytes 0-1, time word in 2-3 (*.MSG and Squish headers).
void PackDateFirstStamp(const DateTimeRec& d, std::uint32_t& v);
void UnpackDateFirstStamp(std::uint32_t v, DateTimeRec& d);
// Julian day number; 1 January 1970 is 2440588.
std::int32_t DayNumber(const DateTimeRec& d);
void DateFromDayNumber(std::int32_t n, std::int32_t& year, std::int32_t& month, std::int32_t& day);
// Seconds since 1970 on the local clock (JAM).
void UnixToDateTime(std::int32_t secs, DateTimeRec& d);
void DateTimeToUnix(const DateTimeRec& d, std::int32_t& secs);
// "JAN".."DEC" (any case) -> 1..12, else 0.
std::int32_t MonthNumber(const Str& text);
// 1..12 -> "Jan".."Dec", else "???".
Str MonthName(std::int32_t month);
std::int32_t YearToTwoDigits(std::int32_t year);
std::int32_t YearToFourDigits(std::int32_t year);
// Eight lowercase hexadecimal digits.
Str Hex8(std::uint32_t v);
// The FidoNet date text "DD Mon YY  HH:MM:SS" (19 characters) of *.MSG and
// Squish headers.
Str FtsDateText(const DateTimeRec& d);

}  // namespace mvx
