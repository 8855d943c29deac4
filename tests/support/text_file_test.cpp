#include "support/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/testkit.h"

namespace mvx {
namespace {

using Lines = std::vector<std::string>;

Lines ReadAll(TextFileReader& r) {
  Lines lines;
  Str line;
  while (!r.AtEnd()) {
    EXPECT_TRUE(r.ReadLine(line));
    lines.push_back(line.str());
  }
  return lines;
}

TEST(TextFileReader, LineEndsAndLongLines) {
  const std::string x300(300, 'x'), y255(255, 'y'), q255(255, 'q');
  const struct {
    std::string content;
    Lines lines;
  } cases[] = {
      {"a\r\nb\rc\n\nd", {"a", "b", "c", "", "d"}},
      {"a\n\r\n\r\rb\r", {"a", "", "", "", "b"}},
      {"\n", {""}},
      {"", {}},
      {x300 + "\r\nnext\n" + y255 + "\n", {std::string(255, 'x'), "next", y255}},
      {std::string(200000, 'z') + "\nend", {std::string(255, 'z'), "end"}},  // longer than the buffer
      {std::string(65535, 'q') + "\r\nnext", {q255, "next"}},  // CR LF split across two reads
      {std::string("a\0b\xFF\x80\n\x1A", 7), {std::string("a\0b\xFF\x80", 5), "\x1A"}},
  };
  testkit::TempDir dir;
  for (const auto& c : cases) {
    testkit::WriteFileText(dir / "f.txt", c.content);
    TextFileReader r;
    ASSERT_TRUE(r.Open(dir.path() + "\\F.TXT"));  // found whatever the case
    EXPECT_EQ(ReadAll(r), c.lines) << c.content.substr(0, 20);
  }
}

TEST(TextFileReader, EndRewindAndMissingFile) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "f.txt", "one\ntwo\n");
  TextFileReader r;
  ASSERT_TRUE(r.Open(dir / "f.txt"));
  EXPECT_EQ(ReadAll(r), (Lines{"one", "two"}));
  Str line = "stale";
  EXPECT_FALSE(r.ReadLine(line));  // no line left: false and empty, no error
  EXPECT_EQ(line, "");
  EXPECT_FALSE(r.ReadError());
  ASSERT_TRUE(r.Rewind());
  EXPECT_EQ(ReadAll(r), (Lines{"one", "two"}));
  EXPECT_FALSE(r.Open(dir / "none.txt"));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.Rewind());
}

}  // namespace
}  // namespace mvx
