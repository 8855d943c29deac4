// The word rules of configuration lines, command lines and tosser configurations.
#include "support/words.h"

#include <gtest/gtest.h>

#include <string>

namespace mvx {
namespace {

TEST(WordsTest, TextRulesOnTrickyTexts) {
  struct Case {
    Str (*rule)(const Str&);
    std::string in, out;
  };
  const Case cases[] = {
      {UpperCaseCyr, "abz AZ 09 {}", "ABZ AZ 09 {}"},
      // Code page 866 lower case (0xA0-0xAF, 0xE0-0xEF) to capitals; yo
      // (0xF1), pseudo-graphics and capitals stay.
      {UpperCaseCyr, "\xA0\xAF\xE0\xE5\xEF", "\x80\x8F\x90\x95\x9F"},
      {UpperCaseCyr, "\xF0\xF1\x9F\xB0\xDF\xFF", "\xF0\xF1\x9F\xB0\xDF\xFF"},
      {FirstWord, "   from x", "FROM"},  {FirstWord, "", ""},
      {FirstWord, "\tarea\tname rest", "AREA"},  // a tab separates words like a blank
      {RestWords, "AREA\t \tNet.Talk\t", "Net.Talk\t"}, {ValueOf, "SUBJ\t Weekly\trules", "Weekly\trules"},
      {FirstWordAsIs, "  MyFile.Txt Net.Talk", "MyFile.Txt"},
      {RestWords, "ENDAREA", "ENDAREA"},  // one word is its own rest
      {RestWords, "AREA  Net.Talk  ", "Net.Talk  "}, {RestWords, "", ""},
      {RestWords, "word ", ""},          {RestWords, "   ", ""},
      {ValueOf, "FROM \"John Smith\" x", "John Smith"}, {ValueOf, "SUBJ  Weekly  rules ", "Weekly  rules "},
      {ValueOf, "SUBJ He said \"hi", "hi"}, {ValueOf, "SUBJ \"\"", ""}, {ValueOf, "ALONE", ""},
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
  struct ListCase {
    const char* list;
    std::int32_t n;
    bool in;
  };
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
  const std::pair<const char*, const char*> strings[] = {{"SUBJ", "old"},
                                                         {"  subj  Weekly \"rules\" x", "rules"},
                                                         {"  subj  Weekly rules ", "Weekly rules "},
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
