// Words, values and upper-casing shared by every reader of configuration
// text.
#include "support/words.h"

#include "support/text.h"

namespace mvx {

namespace {

// Editors put tabs where a sysop typed blanks, and a line that looks right
// must read right: a tab separates words as a space does.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t FindBlank(const Str& text) { return text.view().find_first_of(" \t"); }

Str WithoutLeadingBlanks(const Str& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.sub(i);
}

Str FirstWordOf(const Str& text) {
  Str t = WithoutLeadingBlanks(text);
  std::size_t blank = FindBlank(t);
  return blank == std::string::npos ? t : t.sub(0, blank);
}

// The keyword match of the Read...Key operations: the line (leading blanks
// removed) holds a blank and its first word, upper-cased, is the keyword. A
// keyword alone on its line has no blank and never matches.
bool KeywordMatches(const char* keyword, const Str& stripped) {
  std::size_t blank = FindBlank(stripped);
  if (blank == std::string::npos) return false;
  return UpperCaseCyr(stripped.sub(0, blank)) == keyword;
}

}  // namespace

Str UpperCaseCyr(const Str& text) {
  Str out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint8_t b = text.byte(i);
    if (b >= 'a' && b <= 'z') {
      b = static_cast<std::uint8_t>(b - 0x20);
    } else if (b >= 0xA0 && b <= 0xAF) {
      b = static_cast<std::uint8_t>(b - 0x20);
    } else if (b >= 0xE0 && b <= 0xEF) {
      b = static_cast<std::uint8_t>(b - 0x50);
    }
    out += static_cast<char>(b);
  }
  return out;
}

void StripLeadingBlanks(Str& text) { text = WithoutLeadingBlanks(text); }

bool HasBlank(const Str& text) { return FindBlank(text) != std::string::npos; }

Str FirstWord(const Str& text) { return UpperCaseCyr(FirstWordOf(text)); }

Str FirstWordAsIs(const Str& text) { return FirstWordOf(text); }

Str RestWords(const Str& text) {
  Str t = WithoutLeadingBlanks(text);
  std::size_t blank = FindBlank(t);
  // A text of one word is its own rest; callers rely on that (ENDAREA).
  if (blank == std::string::npos) return t;
  return WithoutLeadingBlanks(t.sub(blank + 1));
}

Str ValueOf(const Str& line) {
  std::size_t quote = line.find('"');
  if (quote != std::string::npos) {
    std::size_t close = line.find('"', quote + 1);
    if (close == std::string::npos) return line.sub(quote + 1);
    return line.sub(quote + 1, close - quote - 1);
  }
  std::size_t blank = FindBlank(line);
  if (blank == std::string::npos) return Str();
  return WithoutLeadingBlanks(line.sub(blank + 1));
}

Str TextAfterQuotes(const Str& text) {
  std::size_t first = text.find('"');
  if (first == std::string::npos) return text;
  std::size_t second = text.find('"', first + 1);
  if (second == std::string::npos) return text;
  return text.sub(second + 1);
}

// The configuration's numbers follow the shared integer rule, except that a
// hexadecimal number may carry leading zeros; any error reads as 0.
std::int32_t ParseNumber(std::string_view text) {
  std::int32_t errorPos = 0;
  const std::int32_t value = ParseInteger(text, errorPos, true);
  return errorPos == 0 ? value : 0;
}

bool NumberInList(const Str& list, std::int32_t n) {
  Str rest = list;
  while (HasBlank(rest)) {
    if (ParseNumber(FirstWord(rest).view()) == n) return true;
    rest = RestWords(rest);
  }
  return ParseNumber(FirstWord(rest).view()) == n;
}

void ReadStringKey(const char* keyword, Str& setting, const Str& line) {
  Str stripped = WithoutLeadingBlanks(line);
  if (KeywordMatches(keyword, stripped)) setting = ValueOf(stripped);
}

void ReadBoolKey(const char* keyword, bool& setting, const Str& line) {
  Str stripped = WithoutLeadingBlanks(line);
  if (!KeywordMatches(keyword, stripped)) return;
  Str value = RestWords(stripped);
  setting = !value.empty() && (value[0] == 'Y' || value[0] == 'y');
}

void ReadNumberKey(const char* keyword, std::int32_t& setting, const Str& line) {
  Str stripped = WithoutLeadingBlanks(line);
  if (KeywordMatches(keyword, stripped)) setting = ParseNumber(ValueOf(stripped).view());
}

bool IsConfigLine(const Str& line) {
  if (line.empty()) return true;
  if (line[0] == ';' || line[0] == '#') return false;
  return !(line.size() >= 2 && line[0] == '\\' && line[1] == '\\');
}

}  // namespace mvx
