// Reading and writing text lines of a message: line ends, block boundaries,
// limits, and writing at the text position.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "message_text_fixture.h"
#include "msgbase/memory_stream.h"

namespace mvx {
namespace {

using namespace std::literals;
using texttest::LinesOf;
using texttest::ReaderOver;
using texttest::TextOf;

using Lines = std::vector<std::string>;

TEST(ReadTextLine, AcceptsCrCrLfAndZeroAsLineEnds) {
  EXPECT_EQ(LinesOf(*ReaderOver("A\r\nB\r"sv)), (Lines{"A", "B"}));
  EXPECT_EQ(LinesOf(*ReaderOver("A\rB"sv)), (Lines{"A", "B"}));
  EXPECT_EQ(LinesOf(*ReaderOver("A\000B\r"sv)), (Lines{"A", "B"}));
  // A lone LF is no line end; LF after a 0 byte is taken like after a CR.
  EXPECT_EQ(LinesOf(*ReaderOver("A\nB\rC\000\nD"sv)), (Lines{"A\nB", "C", "D"}));
  // CR CR is an empty line between two others.
  EXPECT_EQ(LinesOf(*ReaderOver("A\r\rB\r"sv)), (Lines{"A", "", "B"}));
}

TEST(ReadTextLine, EmptyLineAndEndOfTextGiveEmptyBuffer) {
  auto base = ReaderOver("\r"sv);
  char buffer[16];
  std::memset(buffer, 'z', sizeof buffer);
  base->ReadTextLine(sizeof buffer, buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(base->AtTextEnd());
  std::memset(buffer, 'z', sizeof buffer);
  base->ReadTextLine(sizeof buffer, buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(base->TextOffset(), 1);
}

TEST(ReadTextLine, CrLfSplitAtBlockBoundaryIsOneLineEnd) {
  // The line starts at offset 3; its CR is the 1024th byte read from there,
  // so the LF is the first byte of the next block.
  const std::string longLine(1023, 'x');
  auto base = ReaderOver("ab\r" + longLine + "\r\nnext\r");
  std::vector<char> buffer(2000);
  base->ReadTextLine(2000, buffer.data());
  EXPECT_STREQ(buffer.data(), "ab");
  base->ReadTextLine(2000, buffer.data());
  EXPECT_EQ(std::string(buffer.data()), longLine);
  EXPECT_EQ(base->TextOffset(), 3 + 1023 + 2);
  base->ReadTextLine(2000, buffer.data());
  EXPECT_STREQ(buffer.data(), "next");
  EXPECT_TRUE(base->AtTextEnd());
}

TEST(ReadTextLine, CrAtBlockEndWithoutLfAndCrAsLastByte) {
  const std::string longLine(1023, 'y');
  EXPECT_EQ(LinesOf(*ReaderOver(longLine + "\rZ\r")), (Lines{longLine.substr(0, 255), "Z"}));
  // The CR is the very last byte of the text and of the block.
  auto base = ReaderOver(longLine + "\r");
  std::vector<char> buffer(1100);
  base->ReadTextLine(1100, buffer.data());
  EXPECT_EQ(std::string(buffer.data()), longLine);
  EXPECT_TRUE(base->AtTextEnd());
}

TEST(ReadTextLine, LineSpanningSeveralBlocksIsJoined) {
  std::string longLine;
  for (int i = 0; i < 3000; ++i) longLine += static_cast<char>('a' + i % 26);
  auto base = ReaderOver(longLine + "\r\nend");
  std::vector<char> buffer(4000);
  base->ReadTextLine(4000, buffer.data());
  EXPECT_EQ(std::string(buffer.data()), longLine);
  base->ReadTextLine(4000, buffer.data());
  EXPECT_STREQ(buffer.data(), "end");
}

TEST(ReadTextLine, LongLineIsCutAndTheRestSkipped) {
  const std::string longLine(300, 'q');
  auto base = ReaderOver(longLine + "\rsecond\r");
  Str line;
  base->ReadTextLineStr(line);
  EXPECT_EQ(line.size(), 255u);
  EXPECT_EQ(line.str(), std::string(255, 'q'));
  base->ReadTextLineStr(line);
  EXPECT_EQ(line, "second");

  // Limit 5: four characters and the 0 byte, nothing written beyond.
  auto small = ReaderOver("abcdefgh\rij\r"sv);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  small->ReadTextLine(5, buffer);
  EXPECT_EQ(std::string(buffer, 8), "abcd\000###"s);
  small->ReadTextLine(5, buffer);
  EXPECT_STREQ(buffer, "ij");
}

TEST(ReadTextLine, LimitsZeroAndOneConsumeTheLine) {
  auto base = ReaderOver("first\rsecond\rthird\r"sv);
  char sentinel[2] = {'#', '#'};
  base->ReadTextLine(0, sentinel);
  EXPECT_EQ(sentinel[0], '#');  // no room: nothing written at all
  EXPECT_EQ(base->TextOffset(), 6);
  base->ReadTextLine(1, sentinel);
  EXPECT_EQ(sentinel[0], '\0');
  EXPECT_EQ(sentinel[1], '#');
  EXPECT_EQ(base->TextOffset(), 13);
  base->ReadTextLine(0, nullptr);
  EXPECT_TRUE(base->AtTextEnd());
}

TEST(ReadTextLine, NeverReadsBeyondTheLogicalEnd) {
  // The stream's buffer still holds "def|ghi" after the cut; only "abc" is text.
  auto base = ReaderOver("abcdef|ghi\r"sv);
  base->MoveTextTo(3);
  base->CutTextHere();
  EXPECT_EQ(LinesOf(*base), (Lines{"abc"}));
}

TEST(ReadTextLine, PositionBeyondTheEndCountsAsEnd) {
  auto base = ReaderOver("abc\r"sv);
  base->MoveTextTo(10);
  EXPECT_TRUE(base->AtTextEnd());
  Str line = "old";
  base->ReadTextLineStr(line);
  EXPECT_EQ(line, "");
}

TEST(AppendTextLine, WritesAtThePositionAndEndsWithCr) {
  auto base = ReaderOver("AAAA\rBBBB\r"sv);
  base->AppendTextLine("XY");
  EXPECT_EQ(TextOf(*base), "XY\rA\rBBBB\r");
  EXPECT_EQ(base->TextOffset(), 3);
  base->MoveTextTo(base->TextLength());
  base->AppendTextLineStr("tail");
  EXPECT_EQ(TextOf(*base), "XY\rA\rBBBB\rtail\r");
  EXPECT_EQ(base->TextLength(), 15);
}

TEST(AppendTextLine, ZeroByteInsideAStringEndsTheLine) {
  auto base = ReaderOver(""sv);
  base->AppendTextLineStr(Str("ab\000cd"sv));
  base->AppendTextLineStr(Str());
  base->AppendTextLine(nullptr);
  EXPECT_EQ(TextOf(*base), "ab\r\r\r");
}

TEST(AppendTextLine, LinesLongerThanAStringAreWrittenWhole) {
  auto base = ReaderOver(""sv);
  const std::string longLine(70000, 'w');
  base->AppendTextLine(longLine.c_str());
  EXPECT_EQ(TextOf(*base), longLine + "\r");
}

TEST(TextBuffer, LineReaderOwnsTheStreamAndAttachReplacesIt) {
  InstallFileHooks();
  std::unique_ptr<DataStream> stream = NewMemoryStream(65536);
  DataStream* raw = stream.get();
  MessageBase reader(std::move(stream));
  EXPECT_EQ(reader.TextBuffer(), raw);
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.ErrorCode(), 0);
  EXPECT_EQ(reader.AreaFlags(), 0u);

  reader.WriteTextBytes(5, "hello");
  EXPECT_EQ(reader.TextLength(), 5);
  reader.MoveTextTo(1);
  char got[3] = {};
  reader.ReadTextBytes(3, got);
  EXPECT_EQ(std::string(got, 3), "ell");
  reader.MoveTextTo(2);
  reader.CutTextHere();
  EXPECT_EQ(reader.TextLength(), 2);

  reader.AttachTextBuffer(NewMemoryStream(65536));
  EXPECT_NE(reader.TextBuffer(), nullptr);
  EXPECT_EQ(reader.TextLength(), 0);
  reader.AttachTextBuffer(nullptr);
  EXPECT_EQ(reader.TextBuffer(), nullptr);
}

TEST(TextBuffer, WithoutABufferTheTextIsEmpty) {
  MessageBase base;
  EXPECT_TRUE(base.AtTextEnd());
  EXPECT_EQ(base.TextLength(), 0);
  EXPECT_EQ(base.TextOffset(), 0);
  char buffer[4] = {'#', '#', '#', '#'};
  base.ReadTextLine(sizeof buffer, buffer);
  EXPECT_EQ(buffer[0], '\0');
  base.AppendTextLine("lost");
  base.InsertControlLine("\001PID: x");
  char bytes[3] = {'#', '#', '#'};
  base.ReadTextBytes(3, bytes);
  EXPECT_EQ(std::string(bytes, 3), "\000\000\000"s);
  Str line;
  EXPECT_FALSE(base.FindControlLine("\001PID", line));
  EXPECT_EQ(base.TextLength(), 0);
}

}  // namespace
}  // namespace mvx
