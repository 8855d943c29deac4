#include "msgdir/msg_date_text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/text.h"

namespace mvx {

namespace {

std::uint16_t Number(const Str& word) {
  std::uint16_t v = 0;
  ParseSmallInt(word.view(), v);
  return v;
}

// The text from 0-based position n on; empty when it is shorter.
std::string_view From(std::string_view s, std::size_t n) { return s.substr(std::min(n, s.size())); }

}  // namespace

void ParseMsgDateText(const Str& text, DateTimeRec& d) {
  d = DateTimeRec{};
  const std::string_view s = text.view();
  // Positions count from 1, as in the layouts above; beyond the end nothing
  // matches.
  auto at = [&](std::size_t pos) { return pos <= s.size() ? s[pos - 1] : '\0'; };

  if (at(3) == ' ') {
    d.Month = static_cast<std::uint16_t>(MonthNumber(SplitWord(2, s, " ")));
    d.Day = Number(SplitWord(1, s, " "));
    d.Year = Number(SplitWord(3, s, " "));
    const std::string_view time = From(s, at(11) == ' ' ? 11 : 10);
    d.Hour = Number(SplitWord(1, time, ":"));
    d.Minute = Number(SplitWord(2, time, ":"));
    d.Second = Number(SplitWord(3, time, " :"));
  } else if (at(4) == ' ') {
    const std::string_view date = From(s, 4);
    d.Month = static_cast<std::uint16_t>(MonthNumber(SplitWord(2, date, " ")));
    d.Day = Number(SplitWord(1, date, " "));
    d.Year = Number(SplitWord(3, date, " "));
    const std::string_view time = From(date, 10);
    d.Hour = Number(SplitWord(1, time, ":"));
    d.Minute = Number(SplitWord(2, time, ":"));
  } else if (at(3) == '-') {
    std::string blanked(s);
    std::replace(blanked.begin(), blanked.end(), '-', ' ');
    std::replace(blanked.begin(), blanked.end(), ':', ' ');
    d.Day = Number(SplitWord(1, blanked, " "));
    d.Month = Number(SplitWord(2, blanked, " "));
    d.Year = Number(SplitWord(3, blanked, " "));
    d.Hour = Number(SplitWord(4, blanked, " "));
    d.Minute = Number(SplitWord(5, blanked, " "));
    d.Second = Number(SplitWord(6, blanked, " "));
  }
  d.Year = static_cast<std::uint16_t>(YearToFourDigits(d.Year));
}

}  // namespace mvx
