// Numbers, words and configuration keys, NUL-padded fields, the CRC step, addresses and the
// conversion of each charset into CP866.
#include "support/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/address.h"
#include "support/charset.h"
#include "support/words.h"

namespace mvx {
namespace {

TEST(Numbers, ParseIntegerValuesErrorPositionsAndTheLow16Bits) {
  // small: what ParseSmallInt stores. 400 nines stop at the digit that overflows.
  const struct { std::string text; std::int32_t value, errorPos, small; } cases[] = {
      {" 12", 12, 0, 12},         {"$1F", 31, 0, 31},          {"-$1f", -31, 0, -31},
      {"$FFFFFFFF", -1, 0, -1},   {"70000", 70000, 0, 4464},   {"65535", 65535, 0, -1},
      {"+2147483647", 2147483647, 0, -1},  {"", 0, 1, 0},      {"-", 0, 2, 0},
      {"12 ", 0, 3, 0},           {"2147483648", 0, 10, 0},    {"$123456789", 0, 10, 0},
      {std::string(400, '9'), 0, 10, 0},
  };
  for (const auto& c : cases) {
    std::int32_t pos = -1, value = ParseInteger(c.text, pos);
    std::int16_t small = 99;
    ParseSmallInt(c.text, small);
    EXPECT_EQ((std::array<std::int32_t, 3>{value, pos, small}), (std::array{c.value, c.errorPos, c.small})) << c.text;
  }
  EXPECT_EQ(IntToStr(-5) + " " + IntToStr(INT32_MIN), "-5 -2147483648");
}

TEST(NulFields, NeverReadOrWriteOutsideTheField) {
  // Guard bytes around an 8-byte field show any write past either end.
  std::vector<std::uint8_t> buf(12, 0xEE);
  PutNulField(buf.data() + 2, 8, "ABCDEFGHIJK");
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0xEE, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 0, 0xEE, 0xEE}));
  PutNulField(buf.data() + 2, 8, "12345678");  // a text of the field's size still ends in NUL
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0xEE, '1', '2', '3', '4', '5', '6', '7', 0, 0xEE, 0xEE}));
  PutNulField(buf.data() + 2, 8, "Hi");
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0xEE, 'H', 'i', 0, 0, 0, 0, 0, 0, 0xEE, 0xEE}));
  PutNulField(buf.data() + 2, 1, "xyz");
  PutNulField(buf.data() + 1, 0, "xyz");
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0xEE, 0, 'i', 0, 0, 0, 0, 0, 0, 0xEE, 0xEE}));

  const std::uint8_t withNul[6] = {'a', 0xE1, 'b', 0, 'z', 'z'};
  EXPECT_EQ(GetNulField(withNul, 6), "a\xE1" "b");
  EXPECT_EQ(GetNulField(withNul, 2), "a\xE1");  // no NUL inside: the field, nothing beyond
  std::vector<std::uint8_t> big(300, 'q');
  big.push_back(0);
  EXPECT_EQ(GetNulField(big.data(), big.size()), Str(std::string(255, 'q')));
}

TEST(Hashing, Crc32StepAndLowerAscii) {
  EXPECT_EQ(Crc32Step(1, 0), 0x77073096u);
  // With the usual inversion at both ends the steps give the CRC-32 check value of "123456789".
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char c : std::string("123456789")) crc = Crc32Step(static_cast<std::uint8_t>(c), crc);
  EXPECT_EQ(crc ^ 0xFFFFFFFFu, 0xCBF43926u);
  EXPECT_EQ((std::string{LowerAscii('Q'), LowerAscii('@'), LowerAscii('\xC0')}), "q@\xC0");  // above 127 unchanged
}

FidoAddress Addr(int z, int n, int f, int p) {
  FidoAddress a;
  a.Zone = static_cast<std::int16_t>(z), a.Net = static_cast<std::int16_t>(n);
  a.Node = static_cast<std::int16_t>(f), a.Point = static_cast<std::int16_t>(p);
  return a;
}

// Every parse starts from 2:460/100.7; a refused text (no result: {}) leaves the address as it was.
TEST(ParseAddress, RelativeFormsFromAKnownAddress) {
  const struct { std::string text; const char* after; } cases[] = {
      {"1:234/56.7", "1:234/56.7"}, {"1:234/56", "1:234/56.0"}, {"1:234/56.7@fidonet", "1:234/56.7"},  // no domain
      {"345/67.8", "2:345/67.8"}, {"99", "2:460/99.0"}, {".3", "2:460/100.3"}, {"/99", "2:460/99.0"},
      {"1:234", "2:460/100.7"}, {"", {}}, {"@fidonet", {}}, {"1:234/56a", {}}, {"1:234.5/6", "1:234/5.6"},
      {"1::234//56..7", "1:234/56.7"}, {"2:460/\xE1\x31", {}}, {std::string(200, '1') + "x", {}},
      // A number that does not fit its 16-bit field makes the address bad; it is never wrapped into
      // another node's number.
      {"2:32767/1", "2:32767/1.0"}, {"2:-32768/1", "2:-32768/1.0"}, {"2:32768/1", {}}, {"2:-32769/1", {}},
      {"2:4-5/1", {}}, {"2:99999999999/1", {}}, {"1:2/3.40000", {}}, {std::string(300, '9'), {}},
  };
  for (const auto& c : cases) {
    FidoAddress a = Addr(2, 460, 100, 7);
    EXPECT_EQ(ParseAddress(c.text, a), c.after != nullptr) << c.text;
    EXPECT_EQ(FormatAddress4D(a), c.after ? c.after : "2:460/100.7") << c.text;
  }
}

// The program only asks whether an address equals another (the zero address); the order goes unused.
TEST(CompareAddress, EqualOnlyWhenEveryFieldIsAndShownSigned) {
  EXPECT_EQ(CompareAddress(Addr(2, 460, 100, 7), Addr(2, 460, 100, 7)), 0);
  EXPECT_NE(CompareAddress(Addr(1, 460, 100, 7), Addr(2, 460, 100, 7)), 0);
  EXPECT_NE(CompareAddress(Addr(2, 460, 100, 6), Addr(2, 460, 100, 7)), 0);
  EXPECT_EQ(FormatAddress(Addr(-32768, -1, 0, 0)), "-32768:-1/0");  // 65535 from a damaged header
  FidoAddress a = Addr(1, 2, 3, 4);
  ClearAddress(a);
  EXPECT_EQ(FormatAddress4D(a), "0:0/0.0");
}

// The word rules of configuration lines, command lines and tosser configurations.
TEST(WordsTest, TextRulesOnTrickyTexts) {
  struct Case { Str (*rule)(const Str&); std::string in, out; };
  const Case cases[] = {
      // Code page 866 lower case (0xA0-0xAF, 0xE0-0xEF) to capitals; yo (0xF1), pseudo-graphics, capitals stay.
      {UpperCaseCyr, "abz AZ 09 {}", "ABZ AZ 09 {}"}, {UpperCaseCyr, "\xA0\xAF\xE0\xE5\xEF", "\x80\x8F\x90\x95\x9F"},
      {UpperCaseCyr, "\xF0\xF1\x9F\xB0\xDF\xFF", "\xF0\xF1\x9F\xB0\xDF\xFF"}, {FirstWord, "   from x", "FROM"},
      {FirstWord, "", ""}, {FirstWord, "\tarea\tname rest", "AREA"},  // a tab separates words like a blank
      {RestWords, "AREA\t \tNet.Talk\t", "Net.Talk\t"}, {ValueOf, "SUBJ\t Weekly\trules", "Weekly\trules"},
      {FirstWordAsIs, "  MyFile.Txt Net.Talk", "MyFile.Txt"}, {RestWords, "ENDAREA", "ENDAREA"},  // its own rest
      {RestWords, "", ""}, {RestWords, "word ", ""}, {ValueOf, "SUBJ \"\"", ""}, {ValueOf, "ALONE", ""},
      {ValueOf, "FROM \"John Smith\" x", "John Smith"}, {ValueOf, "SUBJ He said \"hi", "hi"},
      {TextAfterQuotes, "\"Net Talk\" rest", " rest"}, {TextAfterQuotes, "one \"quote", "one \"quote"},
      {TextAfterQuotes, "\"a\"b\"c\"", "b\"c\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rule(c.in), Str(c.out)) << "input: " << c.in;
  EXPECT_EQ(UpperCaseCyr(Str(255, 'a')), Str(255, 'A'));
}

TEST(WordsTest, NumbersAndNumberLists) {
  // On top of the integer rule: leading zeros in hexadecimal, and any error reads as 0.
  const std::pair<std::string, std::int32_t> numbers[] = {
      {"  -12", -12}, {"-$10", -16}, {"$000000001", 1}, {"257 ", 0}, {"", 0}, {"+-1", 0}, {"$", 0},
      {"2147483648", 0}, {"$100000000", 0}, {"1,3", 0}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(ParseNumber(text), value) << text;
  struct ListCase { const char* list; std::int32_t n; bool in; };
  const ListCase lists[] = {{"1 3 5", 3, true}, {"1 3 5 ", 5, true}, {"1 3 5", 4, false}, {"", 0, true},
                            {"Mon", 0, true},   {"1,3", 3, false},   {"$1F 2", 31, true}};
  for (const ListCase& c : lists) EXPECT_EQ(NumberInList(c.list, c.n), c.in) << c.list << " / " << c.n;
}

// The configuration's tests read quoted and spaced values, numbers and comments through these.
TEST(WordsTest, ReadKeysNeedTheKeywordAndABlank) {
  // Applied in order to one setting: each line either leaves it or sets it.
  bool flag = true;
  const std::pair<const char*, bool> bools[] = {
      {"USEASKLUDGE", true},  // keyword alone: untouched
      {"useaskludge no", false}, {"  UseAsKludge YES please", true}, {"USEASKLUDGE true", false},
      {"USEASKLUDGE y", true},   {"USEASKLUDGE ", false} /* matched, empty */, {"USEASKLUDGEX yes", false}};
  for (const auto& [line, after] : bools) {
    ReadBoolKey("USEASKLUDGE", flag, line);
    EXPECT_EQ(flag, after) << line;
  }
  Str s = "old";
  for (const char* line : {"SUBJ", "SUBJECT other"}) ReadStringKey("SUBJ", s, line);  // alone; a longer word
  std::int32_t n = 7;
  ReadNumberKey("FLAGS", n, "FLAGS");
  EXPECT_EQ(std::pair(s, n), std::pair(Str("old"), 7));
  for (const char* c : {"; comment", "#comment", "\\\\ comment"}) EXPECT_FALSE(IsConfigLine(c)) << c;
  for (const char* l : {"\\ one backslash", "  ; indented", "", "AREA x"}) EXPECT_TRUE(IsConfigLine(l)) << l;
}

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
  using Feeds = std::vector<std::string>;
  // flushEach: as a caller feeding lines without their line ends
  const struct { Charset set; Feeds feeds; bool flushEach; std::string out; std::size_t unmapped; } cases[] = {
      {U, {"", "\xEF", "\xBB", "\xBF\xD0\xAF"}, false, "\x9F", 0},  // a mark fed byte by byte
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
      {"UTF8", Charset::Utf8},      {" Utf-8\t", Charset::Utf8},       {"koi8r", Charset::Koi8r},
      {"KOI8", Charset::Koi8r},     {"Windows-1251", Charset::Cp1251}, {"WIN1251", Charset::Cp1251},
      {"ISO-8859-1", Charset::Latin1}, {"Latin1", Charset::Latin1},   {"", std::nullopt},
      {"utf-16", std::nullopt},     {"cp 866", std::nullopt},          {"utf-8x", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCharset(c.name), c.set) << c.name;
  for (Charset set : {Charset::Cp866, Charset::Utf8, Charset::Koi8r, Charset::Cp1251, Charset::Latin1})
    EXPECT_EQ(ParseCharset(CharsetName(set)), set);
}

}  // namespace
}  // namespace mvx
