// Finding and editing control lines: the control block stays together at the
// top, each key once, on texts with CR, CR LF and 0-byte line ends and with
// lines longer than the edit buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_text_fixture.h"

namespace mvx {
namespace {

using namespace std::literals;
using texttest::ExpectAtEnd;
using texttest::ReaderOver;
using texttest::TextOf;

TEST(FindLinePrefix, FirstMatchingLineAndItsOffsets) {
  auto base = ReaderOver("hello\r\n\001PID: x\r\n\001PID: y\r"sv);
  char buffer[64];
  ASSERT_TRUE(base->FindLinePrefix("\001PID", sizeof buffer, buffer));
  EXPECT_STREQ(buffer, "\001PID: x");
  EXPECT_EQ(base->FoundLineStart(), 7);
  EXPECT_EQ(base->FoundLineEnd(), 16);  // after the CR LF
  EXPECT_EQ(base->TextOffset(), 16);

  // An empty key matches the first line.
  ASSERT_TRUE(base->FindLinePrefix("", sizeof buffer, buffer));
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(base->FoundLineStart(), 0);
  EXPECT_EQ(base->FoundLineEnd(), 7);
}

TEST(FindLinePrefix, NoMatchLeavesPositionAtEnd) {
  auto base = ReaderOver("\001MSGID 1:1/1 1\r\001msgid: 2\rlast\r"sv);
  char buffer[64];
  // Case matters, and a line shorter than the key never matches.
  EXPECT_FALSE(base->FindLinePrefix("\001MSGID:", sizeof buffer, buffer));
  EXPECT_STREQ(buffer, "last");
  ExpectAtEnd(*base);
  EXPECT_FALSE(base->FindLinePrefix("lastline", sizeof buffer, buffer));
  // A key longer than the buffer can hold cannot match.
  char small[4];
  EXPECT_FALSE(base->FindLinePrefix("last", sizeof small, small));
}

TEST(FindControlLine, ReturnsTheLineAndLeavesLineAloneOnEmptyText) {
  auto base = ReaderOver("\001PID: Marvex 2.1\r\001MSGID: 2:5020/1 0b4a6000\rBody\r"sv);
  Str line;
  ASSERT_TRUE(base->FindControlLine("\001MSGID:", line));
  EXPECT_EQ(line, "\001MSGID: 2:5020/1 0b4a6000");

  auto empty = ReaderOver(""sv);
  line = "kept";
  EXPECT_FALSE(empty->FindControlLine("\001MSGID:", line));
  EXPECT_EQ(line, "kept");
}

TEST(ControlBlockEnd, AfterTheFirstRunOfControlLines) {
  EXPECT_EQ(ReaderOver("\001PID: p\rBody\r"sv)->ControlBlockEnd(), 8);
  EXPECT_EQ(ReaderOver("\001A\r\n\001B\000Body\r"sv)->ControlBlockEnd(), 7);
  // Ordinary lines before the first control line are passed over.
  EXPECT_EQ(ReaderOver("top\r\001X\rBody\r"sv)->ControlBlockEnd(), 7);
  // No control line, or none followed by an ordinary line: the end.
  EXPECT_EQ(ReaderOver("Body\rmore\r"sv)->ControlBlockEnd(), 10);
  EXPECT_EQ(ReaderOver("\001X\r\001Y\r"sv)->ControlBlockEnd(), 6);
  EXPECT_EQ(ReaderOver(""sv)->ControlBlockEnd(), 0);
}

TEST(InsertControlLine, GoesToTheEndOfTheControlBlock) {
  auto base = ReaderOver("\001PID: p\rBody\r"sv);
  base->InsertControlLine("\001TID: t");
  EXPECT_EQ(TextOf(*base), "\001PID: p\r\001TID: t\rBody\r");
  ExpectAtEnd(*base);

  auto plain = ReaderOver("Body\rmore\r"sv);
  plain->InsertControlLine("\001TID: t");
  EXPECT_EQ(TextOf(*plain), "Body\rmore\r\001TID: t\r");
  ExpectAtEnd(*plain);

  auto empty = ReaderOver(""sv);
  empty->InsertControlLineC("\001TID: t");
  EXPECT_EQ(TextOf(*empty), "\001TID: t\r");
  ExpectAtEnd(*empty);
}

TEST(InsertControlLine, LastLineWithoutLineEndIsNotJoined) {
  auto base = ReaderOver("\001PID: p"sv);
  base->InsertControlLine("\001TID: t");
  EXPECT_EQ(TextOf(*base), "\001PID: p\r\001TID: t\r");
  auto zeroEnded = ReaderOver("\001PID: p\000"sv);
  zeroEnded->InsertControlLine("\001TID: t");
  EXPECT_EQ(TextOf(*zeroEnded), "\001PID: p\000\001TID: t\r"s);
}

TEST(ReplaceControlLine, ReplacesOnlyTheFirstMatchInPlace) {
  auto base = ReaderOver("\001MSGID: a 1\r\n\001PID: old\r\n\001PID: dup\r\nBody\r\n"sv);
  base->ReplaceControlLine("\001PID:", "\001PID: new one");
  EXPECT_EQ(TextOf(*base), "\001MSGID: a 1\r\n\001PID: new one\r\001PID: dup\r\nBody\r\n");
  ExpectAtEnd(*base);
}

TEST(ReplaceControlLine, InsertsWhenTheKeyIsMissing) {
  auto base = ReaderOver("\001PID: p\000Body\r"sv);
  base->ReplaceControlLine("\001MSGID:", "\001MSGID: 2:5020/1 12345678");
  EXPECT_EQ(TextOf(*base), "\001PID: p\000\001MSGID: 2:5020/1 12345678\rBody\r"s);
  ExpectAtEnd(*base);
}

TEST(ReplaceControlLine, LastLineWithoutLineEnd) {
  auto base = ReaderOver("\001PID: p\r\001MSGID: x"sv);
  base->ReplaceLinePrefix("\001MSGID:", "\001MSGID: y");
  EXPECT_EQ(TextOf(*base), "\001PID: p\r\001MSGID: y\r");
  ExpectAtEnd(*base);
}

TEST(DeleteControlLine, RemovesTheFirstMatchOnly) {
  auto base = ReaderOver("\001FMPT 3\r\n\001TOPT 4\000\001TOPT 5\rBody\r"sv);
  base->DeleteControlLine("\001TOPT");
  EXPECT_EQ(TextOf(*base), "\001FMPT 3\r\n\001TOPT 5\rBody\r");
  ExpectAtEnd(*base);
  base->DeleteLinePrefix("\001TOPT");
  EXPECT_EQ(TextOf(*base), "\001FMPT 3\r\nBody\r");

  base->MoveTextTo(0);
  base->DeleteControlLine("\001INTL");  // missing: unchanged
  EXPECT_EQ(TextOf(*base), "\001FMPT 3\r\nBody\r");
  ExpectAtEnd(*base);
}

TEST(ControlLineEdits, LinesLongerThanTheEditBuffer) {
  // 20000 bytes after the 0x01: far beyond the 16383 the edit buffer keeps.
  const std::string longLine = "\001X" + std::string(20000, 'a');
  const std::string body = std::string(18000, 'b') + "\r";
  auto base = ReaderOver(longLine + "\r\001MSGID: old 1\r" + body);

  base->ReplaceControlLine("\001MSGID:", "\001MSGID: new 2");
  EXPECT_EQ(TextOf(*base), longLine + "\r\001MSGID: new 2\r" + body);
  ExpectAtEnd(*base);

  base->InsertControlLine("\001TID: t");
  EXPECT_EQ(TextOf(*base), longLine + "\r\001MSGID: new 2\r\001TID: t\r" + body);

  base->ReplaceControlLine("\001X", "\001X short");
  EXPECT_EQ(TextOf(*base), "\001X short\r\001MSGID: new 2\r\001TID: t\r" + body);

  base->DeleteControlLine("\001X");
  EXPECT_EQ(TextOf(*base), "\001MSGID: new 2\r\001TID: t\r" + body);
  ExpectAtEnd(*base);
}

TEST(ControlLineEdits, LongLineMatchedByItsStart) {
  // The key is found in the first bytes the buffer keeps; the splice uses the
  // stream offsets, so the whole 30000-byte line goes.
  const std::string longLine = "\001SEEN-BY: " + std::string(30000, '1');
  auto base = ReaderOver("\001PID: p\r" + longLine + "\r\nBody\r");
  base->DeleteControlLine("\001SEEN-BY:");
  EXPECT_EQ(TextOf(*base), "\001PID: p\rBody\r");
}

TEST(ControlLineEdits, BlockStaysTogetherWithEachKeyOnce) {
  auto base = ReaderOver("\001PID: a\000\001MSGID: 1:1/1 12345678\r\nBody line\rmore\r"sv);
  base->ReplaceControlLine("\001TID:", "\001TID: t1");
  base->ReplaceControlLine("\001TID:", "\001TID: t2");
  base->ReplaceControlLine("\001PID:", "\001PID: b");
  base->InsertControlLine("\001CHRS: CP866 2");
  EXPECT_EQ(TextOf(*base),
            "\001PID: b\r\001MSGID: 1:1/1 12345678\r\n\001TID: t2\r\001CHRS: CP866 2\r"
            "Body line\rmore\r");
  ExpectAtEnd(*base);
  base->AppendTextLineStr("appended");
  EXPECT_EQ(TextOf(*base),
            "\001PID: b\r\001MSGID: 1:1/1 12345678\r\n\001TID: t2\r\001CHRS: CP866 2\r"
            "Body line\rmore\rappended\r");
}

}  // namespace
}  // namespace mvx
