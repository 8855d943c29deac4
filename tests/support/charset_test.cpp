#include "support/charset.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>


namespace mvx {
namespace {

using namespace std::string_literals;

// The Russian alphabet in CP866, capitals then small letters, Ё/ё after Е/е.
const std::string kAlphabet866 =
    "\x80\x81\x82\x83\x84\x85\xF0\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
    "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F "
    "\xA0\xA1\xA2\xA3\xA4\xA5\xF1\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"
    "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF";

TEST(Charset, EachSetGivesTheCp866Bytes) {
  // After the alphabet: « № » € and a byte that is no character, where the
  // set has them; KOI8-R has none of them, so its own signs stand in.
  const struct { Charset set; std::string in, out; std::size_t unmapped; } cases[] = {
      {Charset::Utf8,
       "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдеёжзийклмнопрстуфхцчшщъыьэюя «№» € \xFF °Ў\xC2\xA0\0."s,
       kAlphabet866 + " ?\xFC? ? ? \xF8\xF6\xFF\0."s, 4},
      {Charset::Koi8r,
       "\xE1\xE2\xF7\xE7\xE4\xE5\xB3\xF6\xFA\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0"
       "\xF2\xF3\xF4\xF5\xE6\xE8\xE3\xFE\xFB\xFD\xFF\xF9\xF8\xFC\xE0\xF1 "
       "\xC1\xC2\xD7\xC7\xC4\xC5\xA3\xD6\xDA\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0"
       "\xD2\xD3\xD4\xD5\xC6\xC8\xC3\xDE\xDB\xDD\xDF\xD9\xD8\xDC\xC0\xD1 \x94\x9C\x9A\xA0\x80 \x97\xBF",
       kAlphabet866 + " \xFE\xF8\xFF\xCD\xC4 ??", 2},
      {Charset::Cp1251,
       "\xC0\xC1\xC2\xC3\xC4\xC5\xA8\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
       "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF "
       "\xE0\xE1\xE2\xE3\xE4\xE5\xB8\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
       "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF \xAB\xB9\xBB \x88 \x98 \xB0\xA1\xA0",
       kAlphabet866 + " ?\xFC? ? ? \xF8\xF6\xFF", 4},
      {Charset::Latin1, "\xAB\xB0\xB7\xA4\xA0\xBB \xE9\x80 x", "?\xF8\xFA\xFD\xFF? ?? x", 4},
      {Charset::Cp866, kAlphabet866 + " \xF8\xFC\xFF\xB0\xDF?\0"s, kAlphabet866 + " \xF8\xFC\xFF\xB0\xDF?\0"s, 0},
  };
  for (const auto& c : cases) {
    const Cp866Text got = ConvertToCp866(c.set, c.in);
    EXPECT_EQ(std::pair(got.text, got.unmapped), std::pair(c.out, c.unmapped)) << CharsetName(c.set);
  }
}

TEST(Charset, InvalidUtf8GivesOneQuestionMarkPerMaximalSubpart) {
  const struct { std::string in, out; std::size_t unmapped; } cases[] = {
      {"\x80", "?", 1},  {"\xC0\xAF\xC1\xBF", "????", 4},  // a continuation byte without a lead; overlong
      {"\xE0\x80\xAF", "???", 3}, {"\xF0\x80\x80\xAF", "????", 4},  // overlong three- and four-byte forms
      {"\xED\xA0\x80", "???", 3}, {"\xF4\x90\x80\x80", "????", 4},  // a surrogate; beyond U+10FFFF
      {"\xF5\x80\x80\x80\xFF", "?????", 5},
      {"\xE2\x84x", "?x", 1}, {"\xE2\x84", "?", 1},  // cut short by ASCII, by the end of the text
      {"\xF0\x9F\x98\x80\xEF\xBF\xBF", "??", 2},  // valid, but no CP866 form
      // The standard's example of maximal subparts.
      {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", "a???b?c??d", 6},
  };
  for (const auto& c : cases) {
    const Cp866Text got = ConvertToCp866(Charset::Utf8, c.in);
    EXPECT_EQ(std::pair(got.text, got.unmapped), std::pair(c.out, c.unmapped)) << c.in;
  }
}

TEST(Charset, PiecesByteOrderMarkAndFlush) {
  constexpr Charset U = Charset::Utf8;
  const struct {
    Charset set;
    std::vector<std::string> feeds;
    bool flushEach;  // as a caller feeding lines without their line ends
    std::string out;
    std::size_t unmapped;
  } cases[] = {
      {U, {"\xEF\xBB\xBF\xD0\xAF"}, false, "\x9F", 0}, {U, {"", "\xEF", "\xBB", "\xBF\xD0\xAF"}, false, "\x9F", 0},
      {U, {"A\xEF\xBB\xBF"}, false, "A?", 1},          {U, {"\xEF\xBB\xBF\xEF\xBB\xBF"}, false, "?", 1},
      {Charset::Koi8r, {"\xEF\xBB\xBF"}, false, "\x8E\xCA?", 1},  // "О╩©": a mark only in UTF-8
      {U, {"a\xD0", "\x9F" "b"}, false, "a\x8F" "b", 0}, {U, {"\xE2", "\x84", "\x96"}, false, "\xFC", 0},
      {U, {"b\xE2\x84"}, false, "b?", 1},              {U, {"\xE2\x84", "\xD0\xAF"}, false, "?\x9F", 1},
      {U, {"x\xD0", "\xAF"}, true, "x??", 2},          {U, {"\xD0", "\xEF\xBB\xBF"}, true, "??", 2},
  };
  for (const auto& c : cases) {
    Cp866Converter conv(c.set);
    std::string out;
    for (const auto& piece : c.feeds) {
      conv.Feed(piece, out);
      if (c.flushEach) conv.Flush(out);
    }
    conv.Flush(out);
    EXPECT_EQ(std::pair(out, conv.unmapped()), std::pair(c.out, c.unmapped)) << c.feeds[0];
  }
}

TEST(Charset, Names) {
  const struct { const char* name; std::optional<Charset> set; } cases[] = {
      {"CP866", Charset::Cp866},    {"ibm866", Charset::Cp866},        {"866", Charset::Cp866},
      {"utf-8", Charset::Utf8},     {"UTF8", Charset::Utf8},           {" Utf-8\t", Charset::Utf8},
      {"Koi8-R", Charset::Koi8r},   {"koi8r", Charset::Koi8r},         {"KOI8", Charset::Koi8r},
      {"cp1251", Charset::Cp1251},  {"Windows-1251", Charset::Cp1251}, {"WIN1251", Charset::Cp1251},
      {"latin-1", Charset::Latin1}, {"ISO-8859-1", Charset::Latin1},   {"Latin1", Charset::Latin1},
      {"", std::nullopt},           {"utf-16", std::nullopt},          {"koi8-u", std::nullopt},
      {"cp 866", std::nullopt},     {"utf-8x", std::nullopt},          {"1251", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCharset(c.name), c.set) << c.name;
  for (Charset set : {Charset::Cp866, Charset::Utf8, Charset::Koi8r, Charset::Cp1251, Charset::Latin1})
    EXPECT_EQ(ParseCharset(CharsetName(set)), set);
}

}  // namespace
}  // namespace mvx
