#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/address.h"
#include "support/words.h"

namespace mvx {
namespace {

TEST(Numbers, ParseIntegerValuesErrorPositionsAndTheLow16Bits) {
  const struct {
    std::string text;
    std::int32_t value, errorPos, small;  // small: what ParseSmallInt stores
  } cases[] = {
      {" 12", 12, 0, 12},         {"$1F", 31, 0, 31},          {"-$1f", -31, 0, -31},
      {"$FFFFFFFF", -1, 0, -1},   {"70000", 70000, 0, 4464},   {"65535", 65535, 0, -1},
      {"+2147483647", 2147483647, 0, -1},
      {"12a", 0, 3, 0},           {"", 0, 1, 0},               {"-", 0, 2, 0},
      {"12 ", 0, 3, 0},           {"2147483648", 0, 10, 0},    {"$123456789", 0, 10, 0},
      {std::string(400, '9'), 0, 10, 0},  // stops at the digit that overflows
  };
  for (const auto& c : cases) {
    std::int32_t pos = -1;
    std::int16_t small = 99;
    EXPECT_EQ(ParseInteger(c.text, pos), c.value) << c.text;
    EXPECT_EQ(pos, c.errorPos) << c.text;
    ParseSmallInt(c.text, small);
    EXPECT_EQ(small, c.small) << c.text;
  }
  std::uint16_t u = 99;
  ParseSmallInt("-1", u);
  EXPECT_EQ(u, 0xFFFF);
  EXPECT_EQ(IntToStr(-5), "-5");
  EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
}

TEST(Words, RunsOfSeparatorsMakeNoEmptyWords) {
  const struct { int n; const char *text, *separators, *word; } cases[] = {
      {1, "  a..b  ", " .", "a"}, {2, "  a..b  ", " .", "b"},    {3, "  a..b  ", " .", ""},
      {0, "  a..b  ", " .", ""},  {2, "1:234/56.7", ":/.", "234"}, {1, "abc", "", "abc"}};
  for (const auto& c : cases) EXPECT_EQ(SplitWord(c.n, c.text, c.separators), c.word) << c.n << " " << c.text;
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
  // With the usual inversion at both ends the steps give the CRC-32 check
  // value of "123456789".
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char c : std::string("123456789")) crc = Crc32Step(static_cast<std::uint8_t>(c), crc);
  EXPECT_EQ(crc ^ 0xFFFFFFFFu, 0xCBF43926u);
  EXPECT_EQ(LowerAscii('Q'), 'q');
  EXPECT_EQ(LowerAscii('@'), '@');
  EXPECT_EQ(LowerAscii('\xC0'), '\xC0');  // bytes above 127 unchanged
}

FidoAddress Addr(int z, int n, int f, int p) {
  FidoAddress a;
  a.Zone = static_cast<std::int16_t>(z), a.Net = static_cast<std::int16_t>(n);
  a.Node = static_cast<std::int16_t>(f), a.Point = static_cast<std::int16_t>(p);
  return a;
}

// Every parse starts from 2:460/100.7.
TEST(ParseAddress, RelativeFormsFromAKnownAddress) {
  const struct { std::string text; bool ok; const char* after; } cases[] = {
      {"1:234/56.7", true, "1:234/56.7"},     {"1:234/56", true, "1:234/56.0"},
      {"1:234/56.7@fidonet", true, "1:234/56.7"},  // the domain is dropped
      {"345/67", true, "2:345/67.0"},         {"345/67.8", true, "2:345/67.8"},
      {"99", true, "2:460/99.0"},             {"99.3", true, "2:460/99.3"},
      {".3", true, "2:460/100.3"},            {"/99", true, "2:460/99.0"},
      {"1:234", true, "2:460/100.7"},         {"", false, "2:460/100.7"},
      {"@fidonet", false, "2:460/100.7"},     {"1:234/56a", false, "2:460/100.7"},
      {"1:2 34/5", false, "2:460/100.7"},     {"1:234/x", false, "2:460/100.7"},
      {"1:234.5/6", true, "1:234/5.6"},       {"1::234//56..7", true, "1:234/56.7"},
      {"2:460/\xE1\x31", false, "2:460/100.7"}, {std::string(200, '1') + "x", false, "2:460/100.7"},
      // A number that does not fit its 16-bit field makes the address bad;
      // it is never wrapped into another node's number.
      {"2:32767/1", true, "2:32767/1.0"},     {"2:-32768/1", true, "2:-32768/1.0"},
      {"2:65535/1", false, "2:460/100.7"},    {"2:70000/1", false, "2:460/100.7"},
      {"2:-5/1", true, "2:-5/1.0"},           {"2:4-5/1", false, "2:460/100.7"},
      {"2:99999999999/1", false, "2:460/100.7"},
      {"99999999:99999999/99999999.99999999", false, "2:460/100.7"},
      {"1:2/3.40000", false, "2:460/100.7"},  {std::string(300, '9'), false, "2:460/100.7"},
  };
  for (const auto& c : cases) {
    FidoAddress a = Addr(2, 460, 100, 7);
    EXPECT_EQ(ParseAddress(c.text, a), c.ok) << c.text;
    EXPECT_EQ(FormatAddress4D(a), c.after) << c.text;
  }
}

TEST(FormatAddress, PointShownOnlyWhenSet) {
  EXPECT_EQ(FormatAddress(Addr(2, 460, 99, 0)), "2:460/99");
  EXPECT_EQ(FormatAddress4D(Addr(2, 460, 99, 0)), "2:460/99.0");
  EXPECT_EQ(FormatAddress(Addr(2, 460, 99, 3)), "2:460/99.3");
  EXPECT_EQ(FormatAddress3D(Addr(2, 460, 99, 3)), "2:460/99");
  EXPECT_EQ(FormatAddress(Addr(-32768, -1, 0, 0)), "-32768:-1/0");
}

TEST(CompareAddress, FieldsInOrderAsSignedNumbers) {
  EXPECT_EQ(CompareAddress(Addr(2, 460, 100, 7), Addr(2, 460, 100, 7)), 0);
  EXPECT_EQ(CompareAddress(Addr(1, 999, 999, 999), Addr(2, 0, 0, 0)), -1);
  EXPECT_EQ(CompareAddress(Addr(2, 461, 0, 0), Addr(2, 460, 999, 9)), 1);
  EXPECT_EQ(CompareAddress(Addr(2, 460, 100, 6), Addr(2, 460, 100, 7)), -1);
  EXPECT_EQ(CompareAddress(Addr(2, -1, 0, 0), Addr(2, 0, 0, 0)), -1);  // 65535 sorts before 0
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
      {RestWords, "AREA  Net.Talk  ", "Net.Talk  "}, {RestWords, "", ""}, {RestWords, "word ", ""},
      {RestWords, "   ", ""}, {ValueOf, "FROM \"John Smith\" x", "John Smith"}, {ValueOf, "SUBJ \"\"", ""},
      {ValueOf, "SUBJ  Weekly  rules ", "Weekly  rules "}, {ValueOf, "SUBJ He said \"hi", "hi"}, {ValueOf, "ALONE", ""},
      {TextAfterQuotes, "\"Net Talk\" rest", " rest"}, {TextAfterQuotes, "a \"b\"", ""},
      {TextAfterQuotes, "one \"quote", "one \"quote"}, {TextAfterQuotes, "\"a\"b\"c\"", "b\"c\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rule(c.in), Str(c.out)) << "input: " << c.in;
  EXPECT_EQ(UpperCaseCyr(Str(255, 'a')), Str(255, 'A'));
}

TEST(WordsTest, NumbersAndNumberLists) {
  const std::pair<std::string, std::int32_t> numbers[] = {
      {"257", 257}, {"+257", 257}, {"$101", 257}, {"  -12", -12}, {"$FFFFFFFF", -1}, {"$ffffffff", -1},
      {"-$10", -16}, {"$000000001", 1}, {"2147483647", 2147483647}, {"257 ", 0}, {"", 0}, {"x", 0},
      {"+-1", 0}, {"-", 0}, {"$", 0}, {"2147483648", 0}, {"$100000000", 0}, {std::string(255, '9'), 0},
      {"1,3", 0}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(ParseNumber(text), value) << text;
  struct ListCase { const char* list; std::int32_t n; bool in; };
  const ListCase lists[] = {{"1 3 5", 3, true}, {"1 3 5 ", 5, true}, {"1   3  5", 1, true}, {"1 3 5", 4, false},
                            {"", 0, true},      {"Mon", 0, true},    {"1,3", 3, false},    {"$1F 2", 31, true}};
  for (const ListCase& c : lists) EXPECT_EQ(NumberInList(c.list, c.n), c.in) << c.list << " / " << c.n;
}

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
  const std::pair<const char*, const char*> strings[] = {
      {"SUBJ", "old"}, {"  subj  Weekly \"rules\" x", "rules"}, {"  subj  Weekly rules ", "Weekly rules "},
      {"SUBJECT other", "Weekly rules "}};
  for (const auto& [line, after] : strings) {
    ReadStringKey("SUBJ", s, line);
    EXPECT_EQ(s, after) << line;
  }
  std::int32_t n = 7;
  for (const auto& [line, after] : {std::pair{"FLAGS", 7}, {"flags $101", 257}, {"FLAGS 12 ", 0}}) {
    ReadNumberKey("FLAGS", n, line);
    EXPECT_EQ(n, after) << line;
  }
  ReadStringKey("\x8F\x90\x88", s, "\xAF\xE0\xA8 value");  // a Cyrillic keyword in lower case
  EXPECT_EQ(s, "value");
  for (const char* c : {"; comment", "#comment", "\\\\ comment"}) EXPECT_FALSE(IsConfigLine(c)) << c;
  for (const char* l : {"\\ one backslash", "  ; indented", "", "AREA x"}) EXPECT_TRUE(IsConfigLine(l)) << l;
}

}  // namespace
}  // namespace mvx
