// Address control lines written from addresses and read back.
#include <gtest/gtest.h>

#include <string>

#include "message_text_fixture.h"
#include "support/datetime.h"
#include "support/msgid_serials.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace std::literals;
using texttest::ReaderOver;
using texttest::TextOf;

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
