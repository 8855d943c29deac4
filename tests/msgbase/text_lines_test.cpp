// Reading and writing text lines of a message.
#include <gtest/gtest.h>

#include <string>

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
  const struct { std::string text; Lines lines; } cases[] = {
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

TEST(AppendTextLine, WritesAtThePositionAndOnlyTheLogicalTextIsRead) {
  auto base = ReaderOver("AAAA\rBBBB\r|ghi\r"sv);
  base->AppendTextLine("XY");
  EXPECT_EQ(base->TextOffset(), 3);
  // After the cut the stream's buffer may still hold "|ghi\r"; it is no text.
  base->MoveTextTo(10);
  base->CutTextHere();
  EXPECT_EQ(LinesOf(*base), (Lines{"XY", "A", "BBBB"}));
  base->MoveTextTo(11);  // beyond the end is the end
  EXPECT_TRUE(base->AtTextEnd());
  // A 0 byte ends what is written; a line longer than 255 characters goes whole.
  base->MoveTextTo(base->TextLength());
  base->AppendTextLine("ab\000cd"sv);
  const std::string longLine(70000, 'w');
  base->AppendTextLine(longLine);
  EXPECT_EQ(TextOf(*base), "XY\rA\rBBBB\rab\r" + longLine + "\r");
}

// No message begun or loaded, or a stream that failed with its position
// before its end: readers that go "until AtTextEnd" must stop instead of
// reading nothing for ever, and writes go nowhere.
TEST(TextBuffer, NoneOrAFailedOneIsAnEmptyTextForEveryScan) {
  texttest::PlainBase none, failed(std::make_unique<testkit::FailedStream>());
  for (texttest::PlainBase* base : {&none, &failed}) {
    base->AppendTextLine("lost");
    base->InsertControlLine("\001PID: x");
    EXPECT_TRUE(base->AtTextEnd());
    char got[3] = {'#', '#', '#'};
    base->ReadTextBytes(3, got);
    EXPECT_EQ(std::string(got, 3), "\000\000\000"s);
    std::string line = "old";
    base->ReadTextLine(line);
    EXPECT_EQ(line, "");
    FidoAddress orig;
    base->ReadOrigAddress(orig);
    EXPECT_FALSE(base->FindControlLine("\001A", line));
  }
  EXPECT_EQ(none.TextLength(), 0);
  EXPECT_EQ(failed.ControlBlockEnd(), 8);
}

}  // namespace
}  // namespace mvx
