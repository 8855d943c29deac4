#include "support/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/testkit.h"

namespace mvx {
namespace {

std::vector<std::string> ReadAll(TextFileReader& r) {
  std::vector<std::string> lines;
  Str line;
  while (!r.AtEnd()) {
    EXPECT_TRUE(r.ReadLine(line));
    lines.push_back(line.str());
  }
  return lines;
}

std::vector<std::string> LinesOf(const std::string& content) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "f.txt", content);
  TextFileReader r;
  EXPECT_TRUE(r.Open(dir / "f.txt"));
  return ReadAll(r);
}

using Lines = std::vector<std::string>;

TEST(TextFileReader, EveryKindOfLineEnd) {
  EXPECT_EQ(LinesOf("a\r\nb\rc\n\nd"), (Lines{"a", "b", "c", "", "d"}));
  EXPECT_EQ(LinesOf("a\n\r\n\r\rb\r"), (Lines{"a", "", "", "", "b"}));
  EXPECT_EQ(LinesOf("\n"), (Lines{""}));
  EXPECT_EQ(LinesOf("last without end"), (Lines{"last without end"}));
  EXPECT_EQ(LinesOf(""), Lines{});
}

TEST(TextFileReader, LongLinesKeepTheirFirst255Bytes) {
  const std::string longLine(300, 'x');
  EXPECT_EQ(LinesOf(longLine + "\r\nnext\n" + std::string(255, 'y') + "\n"),
            (Lines{std::string(255, 'x'), "next", std::string(255, 'y')}));
  // A line far longer than the read buffer is still one line.
  EXPECT_EQ(LinesOf(std::string(200000, 'z') + "\nend"), (Lines{std::string(255, 'z'), "end"}));
}

TEST(TextFileReader, CrLfSplitAcrossBufferRefillIsOneLineEnd) {
  // The CR is the last byte of the first 64 KiB read, the LF the first of
  // the next.
  std::string content(65535, 'q');
  content += "\r\nnext";
  EXPECT_EQ(LinesOf(content), (Lines{std::string(255, 'q'), "next"}));
}

TEST(TextFileReader, BinaryBytesPassThrough) {
  const std::string content("a\0b\xFF\x80\n\x1A", 7);
  EXPECT_EQ(LinesOf(content), (Lines{std::string("a\0b\xFF\x80", 5), "\x1A"}));
}

TEST(TextFileReader, RewindReadsAgainAndEndIsFalse) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "f.txt", "one\ntwo\n");
  TextFileReader r;
  ASSERT_TRUE(r.Open(dir.path() + "\\F.TXT"));  // found whatever the case
  EXPECT_EQ(ReadAll(r), (Lines{"one", "two"}));
  Str line = "stale";
  EXPECT_FALSE(r.ReadLine(line));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(r.ReadError());
  ASSERT_TRUE(r.Rewind());
  EXPECT_EQ(ReadAll(r), (Lines{"one", "two"}));
  r.Close();
  EXPECT_FALSE(r.IsOpen());
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.Rewind());
}

TEST(TextFileReader, MissingFileDoesNotOpen) {
  testkit::TempDir dir;
  TextFileReader r;
  EXPECT_FALSE(r.Open(dir / "none.txt"));
  EXPECT_FALSE(r.IsOpen());
  EXPECT_TRUE(r.AtEnd());
}

}  // namespace
}  // namespace mvx
