// Dates and times: reading the clock and the stored forms of a date.
#include "support/datetime.h"

#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

constexpr std::int32_t kUnixEpochDay = 2440588;  // 1 January 1970
constexpr std::int32_t kSecondsPerDay = 86400;

// Division rounding toward minus infinity, so that a negative remainder never
// shows up as a time of day.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

void GetNow(Clock& clock, DateTimeRec& d) {
  const platform::LocalTime t = clock.Now();
  d.Year = static_cast<std::uint16_t>(t.year);
  d.Month = static_cast<std::uint16_t>(t.month);
  d.Day = static_cast<std::uint16_t>(t.day);
  d.Hour = static_cast<std::uint16_t>(t.hour);
  d.Minute = static_cast<std::uint16_t>(t.minute);
  d.Second = static_cast<std::uint16_t>(t.second);
  d.Hundredths = static_cast<std::uint16_t>(t.millisecond / 10);
}

void PackDosDateTime(const DateTimeRec& d, std::uint32_t& v) {
  // Not masked: a field out of its range spills into its neighbour, as the
  // stored form always did.
  std::uint32_t time = static_cast<std::uint32_t>(d.Hour) * 2048u + d.Minute * 32u + d.Second / 2u;
  std::uint32_t date = (static_cast<std::uint32_t>(d.Year) - 1980u) * 512u + d.Month * 32u + d.Day;
  v = date * 65536u + time;
}

namespace {

void UnpackWords(std::uint32_t date, std::uint32_t time, DateTimeRec& d) {
  d.Second = static_cast<std::uint16_t>((time & 31u) * 2u);
  d.Minute = static_cast<std::uint16_t>((time >> 5) & 63u);
  d.Hour = static_cast<std::uint16_t>((time >> 11) & 31u);
  d.Day = static_cast<std::uint16_t>(date & 31u);
  d.Month = static_cast<std::uint16_t>((date >> 5) & 15u);
  d.Year = static_cast<std::uint16_t>(((date >> 9) & 127u) + 1980u);
}

}  // namespace

void UnpackDosDateTime(std::uint32_t v, DateTimeRec& d) { UnpackWords(v >> 16, v & 0xFFFFu, d); }

void PackDateFirstStamp(const DateTimeRec& d, std::uint32_t& v) {
  std::uint32_t time = ((d.Second / 2u) & 31u) + (d.Minute & 63u) * 32u + (d.Hour & 31u) * 2048u;
  std::uint32_t date =
      ((d.Day & 31u) + d.Month * 32u + ((static_cast<std::uint32_t>(d.Year) - 1980u) & 127u) * 512u) &
      0xFFFFu;
  v = (time & 0xFFFFu) * 65536u + date;
}

void UnpackDateFirstStamp(std::uint32_t v, DateTimeRec& d) { UnpackWords(v & 0xFFFFu, v >> 16, d); }

std::int32_t DayNumber(const DateTimeRec& d) {
  // All fields are 16-bit, so no intermediate value here leaves 32 bits.
  std::int32_t m = d.Month;
  std::int32_t y = d.Year;
  if (m <= 2) {
    y -= 1;
    m += 12;
  }
  m -= 3;
  std::int32_t c = y / 100;
  std::int32_t a = y % 100;
  return (146097 * c) / 4 + (1461 * a) / 4 + (153 * m + 2) / 5 + d.Day + 1721119;
}

void DateFromDayNumber(std::int32_t n, std::int32_t& year, std::int32_t& month, std::int32_t& day) {
  // 64-bit inside: a day number from a damaged file may be anything.
  std::int64_t j = static_cast<std::int64_t>(n) - 1721119;
  std::int64_t t = 4 * j - 1;
  std::int64_t c = t / 146097;
  t = 4 * ((t % 146097) / 4) + 3;
  std::int64_t a = t / 1461;
  std::int64_t q = ((t % 1461) + 4) / 4;
  t = 5 * q - 3;
  std::int64_t m = t / 153;
  std::int64_t dd = ((t % 153) + 5) / 5;
  if (m >= 10) {
    a += 1;
    m -= 12;
  }
  m += 3;
  year = static_cast<std::int32_t>(100 * c + a);
  month = static_cast<std::int32_t>(m);
  day = static_cast<std::int32_t>(dd);
}

void UnixToDateTime(std::int32_t secs, DateTimeRec& d) {
  // Seconds before 1970 (a damaged or unset field) count back from the epoch
  // so they still give a real date and time of day.
  std::int64_t days = FloorDiv(secs, kSecondsPerDay);
  std::int64_t r = static_cast<std::int64_t>(secs) - days * kSecondsPerDay;
  std::int32_t year = 0, month = 0, day = 0;
  DateFromDayNumber(static_cast<std::int32_t>(days + kUnixEpochDay), year, month, day);
  d.Year = static_cast<std::uint16_t>(year);
  d.Month = static_cast<std::uint16_t>(month);
  d.Day = static_cast<std::uint16_t>(day);
  d.Hour = static_cast<std::uint16_t>(r / 3600);
  r %= 3600;
  d.Minute = static_cast<std::uint16_t>(r / 60);
  d.Second = static_cast<std::uint16_t>(r % 60);
}

void DateTimeToUnix(const DateTimeRec& d, std::int32_t& secs) {
  // 32-bit arithmetic that wraps, done without signed overflow.
  std::uint32_t v = static_cast<std::uint32_t>(DayNumber(d) - kUnixEpochDay) * 86400u +
                    static_cast<std::uint32_t>(d.Hour) * 3600u + d.Minute * 60u + d.Second;
  secs = static_cast<std::int32_t>(v);
}

std::int32_t MonthNumber(const Str& text) {
  static const char* const kUpper[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  Str up;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    up += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  for (int m = 0; m < 12; ++m) {
    if (up == kUpper[m]) return m + 1;
  }
  return 0;
}

Str MonthName(std::int32_t month) {
  static const char* const kNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (month < 1 || month > 12) return Str("???");
  return Str(kNames[month - 1]);
}

std::int32_t YearToTwoDigits(std::int32_t year) { return year >= 2000 ? year - 2000 : year - 1900; }

std::int32_t YearToFourDigits(std::int32_t year) { return year <= 70 ? year + 2000 : year + 1900; }

Str Hex8(std::uint32_t v) {
  static const char kDigits[] = "0123456789abcdef";
  Str out;
  for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 15u];
  return out;
}

namespace {

// A number's decimal text cut to its first two characters, then padded on
// the left with "0" to two.
Str TwoChars(std::int32_t v) {
  Str s = IntToStr(v).sub(0, 2);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

Str FtsDateText(const DateTimeRec& d) {
  return TwoChars(d.Day) + " " + MonthName(d.Month) + " " + TwoChars(YearToTwoDigits(d.Year)) +
         "  " + TwoChars(d.Hour) + ":" + TwoChars(d.Minute) + ":" + TwoChars(d.Second);
}

}  // namespace mvx
