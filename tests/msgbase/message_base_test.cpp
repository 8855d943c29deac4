// The common MessageBase, on a base without a format over literal text bytes:
// reading and writing text lines, finding and editing control lines on texts
// of every line end and length, address control lines written and read back,
// navigation by number, the outcome of operations and the attribute names of
// FLAGS lines.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "msgbase/attribute_names.h"
#include "msgbase/env.h"
#include "msgbase/message_base.h"
#include "testkit/faults.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace std::literals;
using testkit::LinesOf;
using testkit::TextOf;
using Lines = std::vector<std::string>;

// Every format operation does nothing and fails; the uid is the number.
class PlainBase : public MessageBase {
 public:
  explicit PlainBase(std::unique_ptr<DataStream> text = nullptr, Env& env = DefaultEnv()) : MessageBase(env) {
    AttachTextBuffer(std::move(text));
  }
  bool DoOpenArea(const Str&) override { return false; }
  bool DoCreateArea(const Str&) override { return false; }
  bool AreaExists(const Str&) override { return false; }
  bool DoCloseArea() override { return false; }
  bool HasMessage(std::int32_t) override { return false; }
  std::int32_t HighestNumber() override { return 0; }
  std::int32_t MessageCount() override { return 0; }
  std::int32_t CurrentUid() override { return CurrentNumber(); }
  void PositionByUid(std::int32_t uid) override { SetCurrentNumber(uid); }
  bool DoBeginNewMessage() override { return false; }
  bool DoLoadMessage() override { return false; }
  bool DoLoadHeaderAndKludges() override { return false; }
  bool DoStoreMessage() override { return false; }
  bool DoStoreHeaderOnly() override { return false; }
  bool DoReleaseMessage() override { return false; }
  bool DoDeleteMessage() override { return false; }
  Str FromName() override { return {}; }
  Str ToName() override { return {}; }
  Str SubjectText() override { return {}; }
  void PutFromName(const Str&) override {}
  void PutToName(const Str&) override {}
  void PutSubject(const Str&) override {}
  bool HasAttribute(std::int32_t) override { return false; }
  void ChangeAttribute(bool, std::int32_t) override {}
  void ReadWrittenDate(DateTimeRec&) override {}
  void ReadArrivedDate(DateTimeRec&) override {}
  void PutWrittenDate(const DateTimeRec&) override {}
  void PutArrivedDate(const DateTimeRec&) override {}
  std::int32_t ReadLastRead(std::int32_t) override { return 0; }
  void WriteLastRead(std::int32_t, std::int32_t) override {}
};

// A base of type B whose text buffer holds exactly these bytes, at offset 0,
// made with env. The text is a real memory stream whatever env makes, so that
// a test's env may fail only the streams the base makes for itself.
template <typename B = PlainBase>
std::unique_ptr<B> ReaderOver(std::string_view bytes, Env& env = DefaultEnv()) {
  std::unique_ptr<DataStream> stream = DefaultEnv().NewMemoryStream(65536);
  stream->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  stream->SeekTo(0);
  return std::make_unique<B>(std::move(stream), env);
}

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

TEST(AppendTextLine, OnlyTheLogicalTextIsReadAndLongLinesGoWhole) {
  auto base = ReaderOver("AAAA\r|ghi\r"sv);
  // After the cut the stream's buffer may still hold "|ghi\r"; it is no text.
  base->MoveTextTo(5);
  base->CutTextHere();
  EXPECT_EQ(LinesOf(*base), Lines{"AAAA"});
  base->MoveTextTo(6);  // beyond the end is the end
  EXPECT_TRUE(base->AtTextEnd());
  // A 0 byte ends what is written; a line longer than 255 characters, and
  // than the 65535 bytes of one stream write, goes whole.
  base->MoveTextTo(base->TextLength());
  base->AppendTextLine("ab\000cd"sv);
  const std::string longLine(70000, 'w');
  base->AppendTextLine(longLine);
  EXPECT_EQ(TextOf(*base), "AAAA\rab\r" + longLine + "\r");
}

// No message begun or loaded, or a stream that failed with its position
// before its end: readers that go "until AtTextEnd" must stop instead of
// reading nothing for ever, and writes go nowhere.
TEST(TextBuffer, NoneOrAFailedOneIsAnEmptyTextForEveryScan) {
  PlainBase none, failed(std::make_unique<testkit::FailedStream>());
  for (PlainBase* base : {&none, &failed}) {
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
  EXPECT_EQ(failed.ControlBlockEnd(), 8);
}

TEST(ControlLineEdits, EachEditOnEachKindOfText) {
  const std::string seen30k = "\001SEEN-BY: " + std::string(30000, '1');
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
      // Only the first match is replaced, in place.
      {'R', "\001PID:", "\001PID: new", "\001M: 1\r\n\001PID: old\r\n\001PID: dup\r\nBody\r\n",
       "\001M: 1\r\n\001PID: new\r\001PID: dup\r\nBody\r\n"},
      {'R', "\001MSGID:", "\001MSGID: y", "\001PID: p\000Body\r"s, "\001PID: p\000\001MSGID: y\rBody\r"s},
      {'R', "\001MSGID:", "\001MSGID: y", "\001PID: p\r\001MSGID: x", "\001PID: p\r\001MSGID: y\r"},
      {'D', "\001TOPT", "", "\001FMPT 3\r\n\001TOPT 4\000\001TOPT 5\rBody\r"s,
       "\001FMPT 3\r\n\001TOPT 5\rBody\r"},
      // No match, also none that differs only in case: the text stays.
      {'D', "\001MSGID:", "", "\001msgid: 2\r\nBody\r", "\001msgid: 2\r\nBody\r"},
      // A line far longer than a Str is matched by its start and goes whole.
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
class NetmailBase : public PlainBase {
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
  // Each line changes only what it names: MSGID (its domain dropped) the
  // whole origin, TOPT the destination's point, FMPT the origin's (65535 is
  // -1). A first line is read too, but without its 0x01 byte it is no kludge.
  ReaderOver("\001MSGID: 1:234/56@fidonet 1234abcd\r\001TOPT 9\r"sv)->ReadBothAddresses(orig, dest);
  EXPECT_EQ(Text4D(orig) + " " + Text4D(dest), "1:234/56.0 1:2/3.9");
  ReaderOver("MSGID: 1:1/1 1\r\001" "FMPT 65535\r"sv)->ReadBothAddresses(orig, dest);
  EXPECT_EQ(Text4D(orig) + " " + Text4D(dest), "1:234/56.-1 1:2/3.9");
  ReaderOver(""sv)->ReadOrigAddress(orig);
  EXPECT_EQ(Text4D(orig), "1:234/56.-1");  // nothing read, nothing changed
}

TEST(AppendOriginLine, CutTo79Characters) {
  auto base = ReaderOver(""sv);
  base->AppendOriginLine(Str(std::string(100, 'o')), FidoAddress{2, 5020, 1, 0});
  // 11 + 57 + 11 = 79 characters.
  EXPECT_EQ(TextOf(*base), " * Origin: " + std::string(57, 'o') + " (2:5020/1)\r");
}

// Supplies what navigation asks for, and failures of LoadMessage.
class TestBase : public PlainBase {
 public:
  std::set<std::int32_t> numbers{3, 5, 9};
  std::int32_t HighestNumber() override { return numbers.empty() ? 0 : *numbers.rbegin(); }
  bool HasMessage(std::int32_t number) override { return numbers.count(number) != 0; }
  // LoadMessage sets failWith and failOs (when set), then fails or succeeds.
  Errc failWith = Errc::kNone;
  int failOs = 0;
  bool succeed = false;
  bool DoLoadMessage() override {
    if (failWith != Errc::kNone) SetErrorCode(failWith);
    NoteOsError(failOs);
    return succeed;
  }
};

// A damaged number at the top of the range must not make a walk wrap round
// and go on for ever; a start below 1 is the first message.
TEST(Navigation, NeverWrapsAtTheTopOfTheRange) {
  TestBase base;
  base.numbers.insert(INT32_MAX);
  base.PositionByUid(INT32_MAX);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 0);
  base.PositionFrom(-5);
  EXPECT_EQ(base.CurrentNumber(), 3);
}

// Each failure reports its own reason, or its operation's code when the
// format set none: it never reads as a success, nor carries an earlier
// failure's reason. A success leaves the last failure to be asked for.
TEST(Outcome, EachFailureSaysItsOwnReason) {
  TestBase base;
  base.failWith = Errc::kSquishBadFrame;
  base.failOs = 13;
  Error e = base.LoadMessage();
  EXPECT_EQ(e.code(), Errc::kSquishBadFrame);
  EXPECT_EQ(e.osError(), 13);
  e = base.StoreMessage();
  EXPECT_EQ(e.code(), Errc::kWriteFailed);
  EXPECT_EQ(e.osError(), 0);
  EXPECT_EQ(base.OpenArea("x").code(), Errc::kOpenFailed);
  base.succeed = true;
  base.failWith = Errc::kNone;
  base.failOs = 0;
  EXPECT_TRUE(base.LoadMessage().ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kOpenFailed);
}

TEST(AttributeNamesTest, FlagsNamesToBits) {
  // Each name on its own gives its bit: a swap in the table would post with
  // the wrong attribute.
  const char* inOrder[] = {"pvt", "CRA", "Rcv", "snt", "Att", "trs", "Orp", "k/S",
                           "Loc", "HLD", "FRq", "rrq", "RRc", "arq", "URq", "sca"};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(ApplyFlagNames(inOrder[i]), 1 << i) << inOrder[i];
  const std::pair<const char*, std::int32_t> lists[] = {
      {"Pvt Loc", 0x0101}, {"pvt k/s", 0x0081}, {"Xyz", 0}, {"FLAGS", 0},  // a line holding only the keyword
      {"Pvt, Loc", 0x0100}, {"Pvt Pvt  pvt ", 0x0001}, {"", 0}};
  for (const auto& [list, bits] : lists) EXPECT_EQ(ApplyFlagNames(list), bits) << list;
}

}  // namespace
}  // namespace mvx
