#include "run/encoded_posting.h"

#include <gtest/gtest.h>

#include <sstream>

namespace mvx {
namespace {

TEST(FillPlaceholderTest, ReplacesFirstPercentThenPutsValuesInFront) {
  Str t = "text.begin % of % of file %";
  FillPlaceholder(t, "10");
  EXPECT_EQ(t, "text.begin 10 of % of file %");
  FillPlaceholder(t, "12");
  FillPlaceholder(t, "DATA.TXT");
  EXPECT_EQ(t, "text.begin 10 of 12 of file DATA.TXT");
  // No placeholder left: the value goes in front.
  Str one = "begin %";
  FillPlaceholder(one, "1");
  FillPlaceholder(one, "3");
  FillPlaceholder(one, "F");
  EXPECT_EQ(one, "F3begin 1");
}

TEST(FillPlaceholderTest, ResultIsCutAt255) {
  Str t = Str(250, 'a') + "%b";
  FillPlaceholder(t, "0123456789");
  EXPECT_EQ(t.size(), 255u);
  EXPECT_EQ(t.sub(250), "01234");
}

TEST(BeginLineTest, NumbersAndFileNameOfEitherSeparator) {
  EXPECT_EQ(BeginLineOfPart("text.begin % of % of file %", 2, 3, "\\OUT\\DATA.TXT"),
            "text.begin 2 of 3 of file DATA.TXT");
  EXPECT_EQ(BeginLineOfPart("text.begin % of % of file %", 10, 12, "out/sub/data.txt"),
            "text.begin 10 of 12 of file data.txt");
  EXPECT_EQ(FileNameOnly("c:DATA.TXT"), "c:DATA.TXT");
  EXPECT_EQ(FileNameOnly("dir\\"), "");
}

TEST(MarkEncodedTest, MarksOnceAndLeavesEmptyTextsAlone) {
  std::ostringstream console;
  RunContext ctx(console);
  ctx.EncodedMessage = "\x01" "already marked";
  ctx.BeginEncodedString = "text.begin % of % of file %";
  ctx.EndEncodedString = "";
  MarkEncodedAsKludges(ctx);
  MarkEncodedAsKludges(ctx);
  EXPECT_EQ(ctx.EncodedMessage, "\x01" "already marked");
  EXPECT_EQ(ctx.BeginEncodedString, "\x01text.begin % of % of file %");
  EXPECT_EQ(ctx.EndEncodedString, "");
}

}  // namespace
}  // namespace mvx
