// Reading and writing text lines of a message, finding and editing its
// control lines on texts of every line end and length, and the address
// control lines written from addresses and read back.
#include <gtest/gtest.h>

#include <string>

#include "message_text_fixture.h"
#include "testkit/testkit.h"

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

TEST(FindControlLine, FirstMatchWholeAndCaseKept) {
  // Longer than a Str, the line still comes back whole; its end is after the CR LF.
  const std::string seen = "\001SEEN-BY: " + std::string(300, '1');
  auto base = ReaderOver("hello\r\n" + seen + "\r\n\001SEEN-BY: 2\r\001msgid: 2\r");
  std::string line;
  ASSERT_TRUE(base->FindControlLine("\001SEEN", line));
  EXPECT_EQ(line, seen);
  EXPECT_EQ(base->FoundLineStart(), 7);
  EXPECT_EQ(base->FoundLineEnd(), 7 + 310 + 2);
  // No match (case matters) leaves the line as it was.
  EXPECT_FALSE(base->FindControlLine("\001MSGID:", line));
  EXPECT_EQ(line, seen);
}

TEST(ControlLineEdits, EachEditOnEachKindOfText) {
  const std::string x20k = "\001X" + std::string(20000, 'a');
  const std::string seen30k = "\001SEEN-BY: " + std::string(30000, '1');
  const std::string body18k = std::string(18000, 'b') + "\r";
  // op: I insert, R replace, D delete.
  const struct { char op; std::string key, line, before, after; } cases[] = {
      {'I', "", "\001TID: t", "\001PID: p\rBody\r", "\001PID: p\r\001TID: t\rBody\r"},
      {'I', "", "\001TID: t", "Body\rmore\r", "Body\rmore\r\001TID: t\r"},
      {'I', "", "\001TID: t", "", "\001TID: t\r"},
      // A last line without its line end is not joined to the new one.
      {'I', "", "\001TID: t", "\001PID: p", "\001PID: p\r\001TID: t\r"},
      {'I', "", "\001TID: t", "\001PID: p\000"s, "\001PID: p\000\001TID: t\r"s},
      // The control block is the first run of control lines, wherever it
      // starts and however its lines end.
      {'I', "", "\001T", "top\r\001A\r\n\001B\000Body\r"s, "top\r\001A\r\n\001B\000\001T\rBody\r"s},
      {'I', "", "\001T", "\001X\r\001Y\rBody\r\001Z\r", "\001X\r\001Y\r\001T\rBody\r\001Z\r"},
      // Only the first match is replaced, in place.
      {'R', "\001PID:", "\001PID: new", "\001M: 1\r\n\001PID: old\r\n\001PID: dup\r\nBody\r\n",
       "\001M: 1\r\n\001PID: new\r\001PID: dup\r\nBody\r\n"},
      {'R', "\001MSGID:", "\001MSGID: y", "\001PID: p\000Body\r"s, "\001PID: p\000\001MSGID: y\rBody\r"s},
      {'R', "\001MSGID:", "\001MSGID: y", "\001PID: p\r\001MSGID: x", "\001PID: p\r\001MSGID: y\r"},
      {'D', "\001TOPT", "", "\001FMPT 3\r\n\001TOPT 4\000\001TOPT 5\rBody\r"s,
       "\001FMPT 3\r\n\001TOPT 5\rBody\r"},
      {'D', "\001INTL", "", "\001FMPT 3\r\nBody\r", "\001FMPT 3\r\nBody\r"},
      // Lines far longer than the 16384-byte edit buffer: matched by their
      // start, moved whole.
      {'R', "\001MSGID:", "\001MSGID: new", x20k + "\r\001MSGID: old\r" + body18k,
       x20k + "\r\001MSGID: new\r" + body18k},
      {'I', "", "\001TID: t", x20k + "\r" + body18k, x20k + "\r\001TID: t\r" + body18k},
      {'R', "\001X", "\001X short", x20k + "\r\001M\r" + body18k, "\001X short\r\001M\r" + body18k},
      {'D', "\001SEEN-BY:", "", "\001PID: p\r" + seen30k + "\r\nBody\r", "\001PID: p\rBody\r"},
  };
  for (const auto& c : cases) {
    auto base = ReaderOver(c.before);
    if (c.op == 'I') base->InsertControlLine(c.line);
    if (c.op == 'R') base->ReplaceControlLine(c.key, c.line);
    if (c.op == 'D') base->DeleteControlLine(c.key);
    EXPECT_EQ(TextOf(*base), c.after) << c.op << " " << c.before.substr(0, 20);
    EXPECT_EQ(base->TextOffset(), base->TextLength());  // appending goes after it all
  }
}

TEST(ControlLineEdits, TailThatCannotBeSavedLeavesTheTextAlone) {
  // The temporary stream for the rest of the text fails: copying it back
  // would put zeros where the body was.
  const std::string text = "\001PID: p\r\001MSGID: a 1\rBody of the message\r";
  testkit::TestEnv env;
  env.newMemory = [](std::int32_t) -> std::unique_ptr<DataStream> { return std::make_unique<testkit::FailedStream>(); };
  for (char op : {'I', 'R', 'D'}) {
    auto base = ReaderOver(text, env);
    if (op == 'I') base->InsertControlLine("\001TID: t");
    if (op == 'R') base->ReplaceControlLine("\001PID:", "\001PID: longer than before");
    if (op == 'D') base->DeleteControlLine("\001PID:");
    EXPECT_EQ(TextOf(*base), text) << op;
  }
}

std::string Text4D(const FidoAddress& a) { return FormatAddress4D(a).str(); }

// A netmail base whose destination comes partly from "its header", as the
// *.MSG base presets net and node before reading the control lines.
class NetmailBase : public texttest::PlainBase {
 public:
  NetmailBase(std::unique_ptr<DataStream> s, Env& env) : PlainBase(std::move(s), env) { SetAreaKind(0); }
  FidoAddress headerDest{1, 234, 5, 0};
  void ReadDestAddress(FidoAddress& dest) override {
    dest = headerDest;
    MessageBase::ReadDestAddress(dest);
  }
};

TEST(EmitKludges, MsgIdAlwaysIntlFmptToptForNetmailOnly) {
  testkit::TestEnv env;
  env.clock.Set(2026, 12, 6, 4, 57, 36);
  auto echo = ReaderOver("\001MSGID: 1:1/1 12345678\rBody\r"sv, env);
  echo->SetAreaKind(1);
  echo->EmitOrigKludges(false, FidoAddress{2, 5020, 7, 0});  // the serial is kept
  echo->EmitDestKludges(FidoAddress{1, 234, 5, 6});
  EXPECT_EQ(TextOf(*echo), "\001MSGID: 2:5020/7 12345678\rBody\r");
  echo->EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});  // a new one, in place
  EXPECT_EQ(TextOf(*echo), "\001MSGID: 2:5020/1.3 0b4a6000\rBody\r");

  auto net = ReaderOver<NetmailBase>(""sv, env);
  net->EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});
  net->EmitDestKludges(FidoAddress{1, 234, 5, 6});
  EXPECT_EQ(TextOf(*net),
            "\001MSGID: 2:5020/1.3 0b4a6001\r\001INTL 1:234/5 2:5020/1\r\001" "FMPT 3\r\001TOPT 6\r");
  // Points 0: the FMPT and TOPT lines go, the others are updated in place.
  net->EmitDestKludges(FidoAddress{1, 234, 5, 0});
  net->EmitOrigKludges(false, FidoAddress{2, 5020, 9, 0});
  EXPECT_EQ(TextOf(*net), "\001MSGID: 2:5020/9 0b4a6001\r\001INTL 1:234/5 2:5020/9\r");
  EXPECT_EQ(net->TextOffset(), net->TextLength());

  // The orig step writes INTL before the destination is in the text; the dest
  // step corrects it and adds TOPT. Without a control block: at the end.
  auto both = ReaderOver<NetmailBase>("Body\r"sv, env);
  both->headerDest = FidoAddress{};
  both->EmitAddressKludges(FidoAddress{2, 5020, 1, 0}, FidoAddress{1, 2, 3, 4}, true);
  EXPECT_EQ(TextOf(*both), "Body\r\001MSGID: 2:5020/1 0b4a6002\r\001INTL 1:2/3 2:5020/1\r\001TOPT 4\r");
}

TEST(ReadAddresses, FirstLineAndControlLinesLaterOnesOverriding) {
  auto base = ReaderOver("\001MSGID: 2:5020/1.3 abc\r\001INTL 1:2/3 2:5020/1\r\001" "FMPT 3\rBody\r"sv);
  FidoAddress orig;
  FidoAddress dest{9, 9, 9, 7};
  base->ReadBothAddresses(orig, dest);
  EXPECT_EQ(Text4D(orig) + " " + Text4D(dest), "2:5020/1.3 1:2/3.7");  // INTL has no point
  EXPECT_EQ(base->TextOffset(), base->TextLength());

  auto later = ReaderOver("Hi\r\001MSGID: 2:5020/1.3 abc\rtext\r\001INTL 1:2/3 3:33/44\r\001TOPT 8\r"sv);
  later->ReadOrigAddress(orig);
  later->ReadDestAddress(dest);
  EXPECT_EQ(Text4D(orig) + " " + Text4D(dest), "3:33/44.3 1:2/3.8");
  ReaderOver(""sv)->ReadOrigAddress(orig);
  EXPECT_EQ(Text4D(orig), "3:33/44.3");  // nothing read, nothing changed
}

TEST(ParseKludges, EachLineKindChangesOnlyWhatItNames) {
  // Parsed as an origin or a destination line, the line, the running address after it.
  const struct { bool orig; const char* line; const char* want; } steps[] = {
      {true, "\001MSGID: 1:234/56@fidonet 1234abcd", "1:234/56.0"},
      {true, "\001" "FMPT 65535", "1:234/56.-1"},
      {true, "\001" "FMPT 5", "1:234/56.5"},
      {true, "\001INTL 9:9/9 3:4/5", "3:4/5.5"},
      {true, "\001TOPT 9", "3:4/5.5"},
      {true, "MSGID: 1:1/1 1", "3:4/5.5"},
      {false, "\001INTL 9:8/7 3:4/5", "9:8/7.5"},
      {false, "\001TOPT 12", "9:8/7.12"},
      {false, "\001MSGID: 1:1/1.1 1", "9:8/7.12"},
      {false, "\001" "FMPT 3", "9:8/7.12"},
  };
  FidoAddress a{2, 460, 100, 7};
  for (const auto& s : steps) {
    s.orig ? MessageBase::ParseOrigKludge(a, s.line) : MessageBase::ParseDestKludge(a, s.line);
    EXPECT_EQ(Text4D(a), s.want) << s.line + 1;
  }
}

TEST(AppendOriginLine, CutTo79Characters) {
  auto base = ReaderOver(""sv);
  base->AppendOriginLine(Str(std::string(100, 'o')), FidoAddress{2, 5020, 1, 0});
  base->AppendOriginLine("Home BBS", FidoAddress{2, 5020, 1, 3});
  // 11 + 57 + 11 = 79 characters.
  EXPECT_EQ(TextOf(*base), " * Origin: " + std::string(57, 'o') + " (2:5020/1)\r * Origin: Home BBS (2:5020/1.3)\r");
}

}  // namespace
}  // namespace mvx
