// Reading and writing text lines of a message.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "message_text_fixture.h"

namespace mvx {
namespace {

using namespace std::literals;
using texttest::LinesOf;
using texttest::ReaderOver;
using texttest::TextOf;
using Lines = std::vector<std::string>;

TEST(ReadTextLine, LineEndsBlocksAndLimits) {
  const std::string x(1023, 'x');
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"A\r\nB\r", {"A", "B"}},
      {"A\rB", {"A", "B"}},
      {"A\000B\r"s, {"A", "B"}},
      // A lone LF is no line end; LF after a 0 byte is taken like after a CR.
      {"A\nB\rC\000\nD\r\rE"s, {"A\nB", "C", "D", "", "E"}},
      // The CR is the 1024th byte from the line start: its LF opens the next
      // block and still belongs to this line end.
      {"ab\r" + x + "\r\nnext\r", {"ab", x.substr(0, 255), "next"}},
      {x + "\rZ\r", {x.substr(0, 255), "Z"}},
      {x + "\r", {x.substr(0, 255)}},
  };
  for (const auto& c : cases) EXPECT_EQ(LinesOf(*ReaderOver(c.text)), c.lines) << c.text.substr(0, 12);
}

TEST(ReadTextLine, LongLinesAreKeptOrCutAndTheRestSkipped) {
  std::string longLine;
  for (int i = 0; i < 3000; ++i) longLine += static_cast<char>('a' + i % 26);
  auto base = ReaderOver(longLine + "\r\nabcdefgh\rij\rkl\r");
  std::string line;
  base->ReadTextLine(line, 4000);
  EXPECT_EQ(line, longLine);
  // Each limit keeps that many characters and consumes the whole line.
  const std::pair<std::size_t, std::string> limits[] = {{4, "abcd"}, {0, ""}, {1, "k"}};
  for (const auto& [limit, want] : limits) {
    base->ReadTextLine(line, limit);
    EXPECT_EQ(line, want) << limit;
  }
  EXPECT_TRUE(base->AtTextEnd());
  line = "old";  // at the end: an empty line
  base->ReadTextLine(line);
  EXPECT_EQ(line, "");
}

TEST(ReadTextLine, OnlyTheLogicalTextIsRead) {
  // After the cut the stream's buffer still holds "def|ghi"; only "abc" is text.
  auto base = ReaderOver("abcdef|ghi\r"sv);
  base->MoveTextTo(3);
  base->CutTextHere();
  EXPECT_EQ(LinesOf(*base), (Lines{"abc"}));
  base->MoveTextTo(10);  // beyond the end is the end
  EXPECT_TRUE(base->AtTextEnd());
}

TEST(ReadTextLine, FailedTextBufferEndsEveryScan) {
  // The stream has failed with its position before its end: readers that go
  // "until AtTextEnd" must stop instead of reading nothing for ever.
  texttest::PlainBase base(std::make_unique<testkit::FailedStream>());
  EXPECT_TRUE(base.AtTextEnd());
  FidoAddress orig;
  base.ReadOrigAddress(orig);
  std::string line;
  EXPECT_FALSE(base.FindControlLine("\001A", line));
  EXPECT_EQ(base.ControlBlockEnd(), 8);
}

TEST(AppendTextLine, WritesAtThePositionAndEndsWithCr) {
  auto base = ReaderOver("AAAA\rBBBB\r"sv);
  base->AppendTextLine("XY");
  EXPECT_EQ(TextOf(*base), "XY\rA\rBBBB\r");
  EXPECT_EQ(base->TextOffset(), 3);
  base->MoveTextTo(base->TextLength());
  // A 0 byte ends what is written; a line longer than 255 characters goes whole.
  base->AppendTextLine("ab\000cd"sv);
  const std::string longLine(70000, 'w');
  base->AppendTextLine(longLine);
  EXPECT_EQ(TextOf(*base), "XY\rA\rBBBB\rab\r" + longLine + "\r");
}

TEST(TextBuffer, NoBufferMeansAnEmptyTextAndWritesGoNowhere) {
  texttest::PlainBase base;  // no message begun or loaded
  base.AppendTextLine("lost");
  base.InsertControlLine("\001PID: x");
  char got[3] = {'#', '#', '#'};
  base.ReadTextBytes(3, got);
  EXPECT_EQ(std::string(got, 3), "\000\000\000"s);
  std::string line = "old";
  base.ReadTextLine(line);
  EXPECT_EQ(line, "");
  EXPECT_TRUE(base.AtTextEnd());
  EXPECT_EQ(base.TextLength(), 0);
}

}  // namespace
}  // namespace mvx
