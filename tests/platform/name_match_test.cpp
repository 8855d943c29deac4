#include "platform/posix/name_match.h"

#include <gtest/gtest.h>

#include <string>

namespace mvx::platform::posix {
namespace {

TEST(MatchesMaskTest, StarAndQuestionMarkIgnoringAsciiCase) {
  EXPECT_TRUE(MatchesMask("*.MSG", "1.msg"));
  EXPECT_TRUE(MatchesMask("*.MSG", "1.MSG"));
  EXPECT_TRUE(MatchesMask("*.msg", "12345.Msg"));
  EXPECT_FALSE(MatchesMask("*.MSG", "1.msg.bak"));
  EXPECT_FALSE(MatchesMask("*.MSG", "lastread"));
  EXPECT_TRUE(MatchesMask("?.msg", "7.MSG"));
  EXPECT_FALSE(MatchesMask("?.msg", "17.MSG"));
  EXPECT_TRUE(MatchesMask("a*b*c", "aXXbYYbZc"));
  EXPECT_FALSE(MatchesMask("a*b*c", "aXXbYYbZ"));
}

TEST(MatchesMaskTest, StarDotStarMatchesNamesWithoutADot) {
  EXPECT_TRUE(MatchesMask("*.*", "lastread"));
  EXPECT_TRUE(MatchesMask("*.*", "."));
  EXPECT_TRUE(MatchesMask("*.*", ".."));
  EXPECT_TRUE(MatchesMask("LASTREAD.*", "lastread"));
  EXPECT_FALSE(MatchesMask("LASTREAD.*", "lastrea"));
}

TEST(MatchesMaskTest, PlainNameMatchesOnlyItself) {
  EXPECT_TRUE(MatchesMask("EVERYDAY.FLG", "everyday.flg"));
  EXPECT_FALSE(MatchesMask("EVERYDAY.FLG", "everyday.flgx"));
  EXPECT_FALSE(MatchesMask("EVERYDAY.FLG", ""));
}

TEST(MatchesMaskTest, HighBytesCompareExactly) {
  EXPECT_TRUE(MatchesMask("\xC0*", "\xC0x"));
  EXPECT_FALSE(MatchesMask("\xE0*", "\xC0x"));
}

TEST(MatchesMaskTest, ManyStarsOnALongNameFinish) {
  // Backtracking without bounds would take ages here; this must stay linear-ish.
  const std::string mask(200, '*');
  const std::string name(255, 'a');
  EXPECT_TRUE(MatchesMask(mask + "b", name + "b"));
  EXPECT_FALSE(MatchesMask(mask + "b", name));
}

TEST(EqualIgnoringCaseTest, OnlyAsciiLettersFold) {
  EXPECT_TRUE(EqualIgnoringCase("Mail.SQD", "mail.sqd"));
  EXPECT_FALSE(EqualIgnoringCase("mail.sqd", "mail.sq"));
  EXPECT_FALSE(EqualIgnoringCase("@", "`"));  // 0x40 and 0x60 are not letters
  EXPECT_FALSE(EqualIgnoringCase("[", "{"));
}

}  // namespace
}  // namespace mvx::platform::posix
