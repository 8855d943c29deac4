#include "run/words.h"

#include <gtest/gtest.h>

#include <string>

namespace mvx {
namespace {

TEST(UpperCaseCyr, LatinAndCodePage866Lowercase) {
  EXPECT_EQ(UpperCaseCyr("abz AZ 09 {}"), "ABZ AZ 09 {}");
  EXPECT_EQ(UpperCaseCyr("\xE5"), "\x95");
  EXPECT_EQ(UpperCaseCyr("\xAF"), "\x8F");
  EXPECT_EQ(UpperCaseCyr("\xA0\xE0\xEF"), "\x80\x90\x9F");
  // Outside the two lower-case ranges nothing moves: yo (0xF1), pseudo-
  // graphics (0xB0-0xDF) and the capitals themselves.
  EXPECT_EQ(UpperCaseCyr("\xF0\xF1\x9F\xB0\xDF\xFF"), "\xF0\xF1\x9F\xB0\xDF\xFF");
  EXPECT_EQ(UpperCaseCyr(Str(std::string(255, 'a'))), Str(std::string(255, 'A')));
}

TEST(FirstWord, SkipsBlanksAndUpperCases) {
  EXPECT_EQ(FirstWord("   from x"), "FROM");
  EXPECT_EQ(FirstWord(""), "");
  EXPECT_EQ(FirstWord("   "), "");
  EXPECT_EQ(FirstWord("area\tname rest"), "AREA\tNAME");  // a tab is no blank
  EXPECT_EQ(FirstWordAsIs("  MyFile.Txt Net.Talk"), "MyFile.Txt");
  EXPECT_EQ(FirstWordAsIs("single"), "single");
}

TEST(RestWords, OneWordIsItsOwnRest) {
  EXPECT_EQ(RestWords("AREA"), "AREA");
  EXPECT_EQ(RestWords("ENDAREA"), "ENDAREA");
  EXPECT_EQ(RestWords("AREA  Net.Talk  "), "Net.Talk  ");
  EXPECT_EQ(RestWords(""), "");
  EXPECT_EQ(RestWords("word "), "");
  EXPECT_EQ(RestWords("  lead  two three"), "two three");
  EXPECT_EQ(RestWords("   "), "");
}

TEST(ValueOf, QuotesOrEverythingAfterTheFirstBlank) {
  EXPECT_EQ(ValueOf("FROM \"John Smith\" x"), "John Smith");
  EXPECT_EQ(ValueOf("SUBJ  Weekly  rules "), "Weekly  rules ");
  EXPECT_EQ(ValueOf("SUBJ He said \"hi"), "hi");
  EXPECT_EQ(ValueOf("SUBJ \"\""), "");
  EXPECT_EQ(ValueOf("ALONE"), "");
  EXPECT_EQ(ValueOf("KEY \xE0\xE1 \xFF"), "\xE0\xE1 \xFF");
}

TEST(TextAfterQuotes, RestAfterTheSecondQuote) {
  EXPECT_EQ(TextAfterQuotes("\"Net Talk\" rest"), " rest");
  EXPECT_EQ(TextAfterQuotes("a \"b\""), "");
  EXPECT_EQ(TextAfterQuotes("one \"quote"), "one \"quote");
  EXPECT_EQ(TextAfterQuotes("none"), "none");
  EXPECT_EQ(TextAfterQuotes("\"a\"b\"c\""), "b\"c\"");
}

TEST(ParseNumber, AcceptsOnlyWholeNumbers) {
  EXPECT_EQ(ParseNumber("257"), 257);
  EXPECT_EQ(ParseNumber("+257"), 257);
  EXPECT_EQ(ParseNumber("$101"), 257);
  EXPECT_EQ(ParseNumber("  -12"), -12);
  EXPECT_EQ(ParseNumber("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseNumber("$ffffffff"), -1);
  EXPECT_EQ(ParseNumber("-$10"), -16);
  EXPECT_EQ(ParseNumber("$000000001"), 1);  // leading zeros do not widen it
  EXPECT_EQ(ParseNumber("2147483647"), 2147483647);

  EXPECT_EQ(ParseNumber("257 "), 0);
  EXPECT_EQ(ParseNumber(""), 0);
  EXPECT_EQ(ParseNumber("x"), 0);
  EXPECT_EQ(ParseNumber("+-1"), 0);
  EXPECT_EQ(ParseNumber("-"), 0);
  EXPECT_EQ(ParseNumber("$"), 0);
  EXPECT_EQ(ParseNumber("2147483648"), 0);
  EXPECT_EQ(ParseNumber("-2147483648"), 0);
  EXPECT_EQ(ParseNumber("$100000000"), 0);
  EXPECT_EQ(ParseNumber(std::string(255, '9')), 0);
  EXPECT_EQ(ParseNumber("1,3"), 0);
}

TEST(NumberInList, BlankSeparatedWords) {
  EXPECT_TRUE(NumberInList("1 3 5", 3));
  EXPECT_TRUE(NumberInList("1 3 5 ", 5));
  EXPECT_TRUE(NumberInList("1   3  5", 1));
  EXPECT_FALSE(NumberInList("1 3 5", 4));
  EXPECT_TRUE(NumberInList("", 0));
  EXPECT_TRUE(NumberInList("Mon", 0));
  EXPECT_FALSE(NumberInList("1,3", 3));
  EXPECT_TRUE(NumberInList("1,3", 0));
  EXPECT_TRUE(NumberInList("$1F 2", 31));
}

TEST(ReadKeys, KeywordMustBeFollowedByABlank) {
  bool flag = true;
  ReadBoolKey("USEASKLUDGE", flag, "USEASKLUDGE");
  EXPECT_TRUE(flag);  // keyword alone: untouched
  ReadBoolKey("USEASKLUDGE", flag, "useaskludge no");
  EXPECT_FALSE(flag);
  ReadBoolKey("USEASKLUDGE", flag, "  UseAsKludge YES please");
  EXPECT_TRUE(flag);
  ReadBoolKey("USEASKLUDGE", flag, "USEASKLUDGE ");
  EXPECT_FALSE(flag);  // matched, empty value
  flag = true;
  ReadBoolKey("USEASKLUDGE", flag, "USEASKLUDGE true");
  EXPECT_FALSE(flag);
  ReadBoolKey("USEASKLUDGE", flag, "USEASKLUDGE y");
  EXPECT_TRUE(flag);
  ReadBoolKey("USEASKLUDGE", flag, "USEASKLUDGEX no");
  EXPECT_TRUE(flag);  // another keyword

  Str s = "old";
  ReadStringKey("SUBJ", s, "SUBJ");
  EXPECT_EQ(s, "old");
  ReadStringKey("SUBJ", s, "  subj  Weekly \"rules\" x");
  EXPECT_EQ(s, "rules");
  ReadStringKey("SUBJ", s, "  subj  Weekly rules ");
  EXPECT_EQ(s, "Weekly rules ");
  ReadStringKey("FROM", s, "SUBJ other");
  EXPECT_EQ(s, "Weekly rules ");

  std::int32_t n = 7;
  ReadNumberKey("FLAGS", n, "FLAGS");
  EXPECT_EQ(n, 7);
  ReadNumberKey("FLAGS", n, "flags $101");
  EXPECT_EQ(n, 257);
  ReadNumberKey("FLAGS", n, "FLAGS 12 ");
  EXPECT_EQ(n, 0);
}

TEST(ReadKeys, CyrillicKeywordsMatchInAnyCase) {
  Str s;
  // "\xAF\xE0\xA8" is lower-case Cyrillic in code page 866; its capitals are
  // "\x8F\x90\x88".
  ReadStringKey("\x8F\x90\x88", s, "\xAF\xE0\xA8 value");
  EXPECT_EQ(s, "value");
}

TEST(IsConfigLine, CommentsOnlyAtTheVeryStart) {
  EXPECT_FALSE(IsConfigLine("; comment"));
  EXPECT_FALSE(IsConfigLine("#comment"));
  EXPECT_FALSE(IsConfigLine("\\\\ comment"));
  EXPECT_TRUE(IsConfigLine("\\ one backslash"));
  EXPECT_TRUE(IsConfigLine("  ; indented"));
  EXPECT_TRUE(IsConfigLine(""));
  EXPECT_TRUE(IsConfigLine("AREA x"));
}

}  // namespace
}  // namespace mvx
