// Address control lines: MSGID, INTL, FMPT and TOPT written from addresses and
// read back, and the origin line.
#include <gtest/gtest.h>

#include <string>

#include "message_text_fixture.h"
#include "msgbase/memory_stream.h"
#include "support/datetime.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace std::literals;
using texttest::ExpectAtEnd;
using texttest::ReaderOver;
using texttest::TextOf;

FidoAddress Addr(int zone, int net, int node, int point) {
  FidoAddress a;
  a.Zone = static_cast<std::int16_t>(zone);
  a.Net = static_cast<std::int16_t>(net);
  a.Node = static_cast<std::int16_t>(node);
  a.Point = static_cast<std::int16_t>(point);
  return a;
}

void ExpectAddr(const FidoAddress& a, int zone, int net, int node, int point) {
  EXPECT_EQ(a.Zone, zone);
  EXPECT_EQ(a.Net, net);
  EXPECT_EQ(a.Node, node);
  EXPECT_EQ(a.Point, point);
}

// The serial remembers the last value handed out in this process; reading
// one at another moment first makes the next reading at the test moment
// exact, whatever other tests ran before.
void ForgetLastSerial() {
  testkit::ScopedClock other(2001, 1, 1, 0, 0, 0);
  MsgIdSerial();
}

// A base whose destination comes partly from "its header", as the *.MSG
// base presets net and node before reading the control lines.
class HeaderDestBase : public MessageBase {
 public:
  using MessageBase::MessageBase;
  FidoAddress headerDest;
  void ReadDestAddress(FidoAddress& dest) override {
    dest = headerDest;
    MessageBase::ReadDestAddress(dest);
  }
};

std::unique_ptr<HeaderDestBase> NetmailOver(std::string_view bytes, const FidoAddress& dest) {
  InstallFileHooks();
  std::unique_ptr<DataStream> stream = NewMemoryStream(65536);
  stream->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  auto base = std::make_unique<HeaderDestBase>(std::move(stream));
  base->headerDest = dest;
  base->SetAreaKind(0);
  return base;
}

TEST(EmitOrigKludges, NewMsgIdOnEmptyText) {
  ForgetLastSerial();
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  auto base = ReaderOver(""sv);
  base->EmitOrigKludges(true, Addr(2, 5020, 1, 3));
  // AreaFlags 0: no INTL, no FMPT.
  EXPECT_EQ(TextOf(*base), "\001MSGID: 2:5020/1.3 0b4a6000\r");
  ExpectAtEnd(*base);
}

TEST(EmitOrigKludges, KeepsTheSerialOfTheExistingLine) {
  auto base = ReaderOver("\001MSGID: 1:1/1 12345678\rBody\r"sv);
  base->EmitOrigKludges(false, Addr(2, 5020, 7, 0));
  EXPECT_EQ(TextOf(*base), "\001MSGID: 2:5020/7 12345678\rBody\r");
  ExpectAtEnd(*base);

  // With a new serial the line is replaced in place, still once.
  base->EmitOrigKludges(true, Addr(2, 5020, 7, 0));
  const std::string text = TextOf(*base);
  ASSERT_EQ(text.size(), "\001MSGID: 2:5020/7 12345678\rBody\r"s.size());
  EXPECT_EQ(text.substr(0, 17), "\001MSGID: 2:5020/7 ");
  EXPECT_NE(text.substr(17, 8), "12345678");
  EXPECT_EQ(text.substr(25), "\rBody\r");
}

TEST(EmitOrigKludges, NetmailWritesIntlAndFmpt) {
  ForgetLastSerial();
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  auto base = NetmailOver(""sv, Addr(1, 234, 5, 0));
  base->EmitOrigKludges(true, Addr(2, 5020, 1, 3));
  EXPECT_EQ(TextOf(*base),
            "\001MSGID: 2:5020/1.3 0b4a6000\r"
            "\001INTL 1:234/5 2:5020/1\r"
            "\001" "FMPT 3\r");
  ExpectAtEnd(*base);

  // Origin without a point: the FMPT line goes, the others are updated.
  base->EmitOrigKludges(false, Addr(2, 5020, 9, 0));
  EXPECT_EQ(TextOf(*base),
            "\001MSGID: 2:5020/9 0b4a6000\r"
            "\001INTL 1:234/5 2:5020/9\r");
}

TEST(EmitDestKludges, NetmailWritesAndRemovesTopt) {
  auto base = NetmailOver("\001MSGID: 2:5020/1.3 0b4a6000\r\001" "FMPT 3\rBody\r"sv,
                          Addr(0, 0, 0, 0));
  base->EmitDestKludges(Addr(1, 234, 5, 6));
  EXPECT_EQ(TextOf(*base),
            "\001MSGID: 2:5020/1.3 0b4a6000\r\001" "FMPT 3\r"
            "\001INTL 1:234/5 2:5020/1\r\001TOPT 6\rBody\r");
  ExpectAtEnd(*base);

  base->EmitDestKludges(Addr(1, 234, 5, 0));
  EXPECT_EQ(TextOf(*base),
            "\001MSGID: 2:5020/1.3 0b4a6000\r\001" "FMPT 3\r"
            "\001INTL 1:234/5 2:5020/1\rBody\r");
  ExpectAtEnd(*base);
}

TEST(EmitDestKludges, NothingWithoutTheNetmailFlag) {
  auto base = ReaderOver("\001MSGID: 2:5020/1 1\rBody\r"sv);
  base->SetAreaKind(1);
  base->EmitDestKludges(Addr(1, 234, 5, 6));
  EXPECT_EQ(TextOf(*base), "\001MSGID: 2:5020/1 1\rBody\r");
}

TEST(EmitAddressKludges, OrigThenDest) {
  ForgetLastSerial();
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  auto base = NetmailOver("Body\r"sv, Addr(0, 0, 0, 0));
  base->EmitAddressKludges(Addr(2, 5020, 1, 0), Addr(1, 2, 3, 4), true);
  // The orig step writes INTL before the destination is in the text; the
  // dest step corrects it in place and adds TOPT. Without a control block
  // the lines go to the end of the text.
  EXPECT_EQ(TextOf(*base),
            "Body\r\001MSGID: 2:5020/1 0b4a6000\r"
            "\001INTL 1:2/3 2:5020/1\r\001TOPT 4\r");
}

TEST(ReadAddresses, BothAddressesInOnePass) {
  auto base = ReaderOver(
      "\001MSGID: 2:5020/1.3 abc\r\001INTL 1:2/3 2:5020/1\r\001" "FMPT 3\rBody\r"sv);
  FidoAddress orig;
  FidoAddress dest = Addr(9, 9, 9, 7);
  base->ReadBothAddresses(orig, dest);
  ExpectAddr(orig, 2, 5020, 1, 3);
  ExpectAddr(dest, 1, 2, 3, 7);  // INTL carries no point: dest keeps its own
  ExpectAtEnd(*base);
}

TEST(ReadAddresses, LaterLinesOverrideAndControlLinesAnywhereCount) {
  auto base = ReaderOver(
      "Hello\r\001MSGID: 2:5020/1.3 abc\rtext\r\001INTL 1:2/3 3:33/44\r\001TOPT 8\r"sv);
  FidoAddress orig;
  base->ReadOrigAddress(orig);
  ExpectAddr(orig, 3, 33, 44, 3);  // zone, net, node from INTL; point from MSGID
  ExpectAtEnd(*base);
  FidoAddress dest = Addr(5, 5, 5, 5);
  base->ReadDestAddress(dest);
  ExpectAddr(dest, 1, 2, 3, 8);
  ExpectAtEnd(*base);
}

TEST(ReadAddresses, EmptyTextLeavesTheRecord) {
  auto base = ReaderOver(""sv);
  FidoAddress orig = Addr(2, 460, 100, 7);
  base->ReadOrigAddress(orig);
  ExpectAddr(orig, 2, 460, 100, 7);
}

TEST(ParseKludges, EachLineKind) {
  MessageBase base;
  FidoAddress a = Addr(2, 460, 100, 7);
  base.ParseOrigKludge(a, "\001MSGID: 1:234/56@fidonet 1234abcd");
  ExpectAddr(a, 1, 234, 56, 0);
  base.ParseOrigKludge(a, "\001" "FMPT 65535");
  ExpectAddr(a, 1, 234, 56, -1);
  base.ParseOrigKludge(a, "\001" "FMPT x");
  ExpectAddr(a, 1, 234, 56, 0);
  base.ParseOrigKludge(a, "\001" "FMPT 5");
  base.ParseOrigKludge(a, "\001INTL 9:9/9 3:4/5");
  ExpectAddr(a, 3, 4, 5, 5);
  base.ParseOrigKludge(a, "\001MSGID: not-an-address 1");
  ExpectAddr(a, 3, 4, 5, 5);
  base.ParseOrigKludge(a, "\001TOPT 9");  // not an origin line
  base.ParseOrigKludge(a, "MSGID: 1:1/1 1");  // no 0x01
  ExpectAddr(a, 3, 4, 5, 5);

  FidoAddress d = Addr(2, 460, 100, 7);
  base.ParseDestKludge(d, "\001INTL 9:8/7 3:4/5");
  ExpectAddr(d, 9, 8, 7, 7);
  base.ParseDestKludge(d, "\001TOPT 12");
  ExpectAddr(d, 9, 8, 7, 12);
  base.ParseDestKludge(d, "\001TOPT");  // missing word reads as 0
  ExpectAddr(d, 9, 8, 7, 0);
  base.ParseDestKludge(d, "\001MSGID: 1:1/1.1 1");
  base.ParseDestKludge(d, "\001" "FMPT 3");
  ExpectAddr(d, 9, 8, 7, 0);
}

TEST(AppendOriginLine, CutTo79Characters) {
  auto base = ReaderOver(""sv);
  const std::string text(100, 'o');
  base->AppendOriginLine(Str(text), Addr(2, 5020, 1, 0));
  // 11 + 57 + 11 = 79
  const std::string expected = " * Origin: " + std::string(57, 'o') + " (2:5020/1)";
  ASSERT_EQ(expected.size(), 79u);
  EXPECT_EQ(TextOf(*base), expected + "\r");

  auto shortText = ReaderOver(""sv);
  shortText->AppendOriginLine("Home BBS", Addr(2, 5020, 1, 3));
  EXPECT_EQ(TextOf(*shortText), " * Origin: Home BBS (2:5020/1.3)\r");
}

}  // namespace
}  // namespace mvx
