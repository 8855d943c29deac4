// The 190-byte *.MSG header: every field at its offset, little-endian.
#include "msgdir/msg_header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mvx {
namespace {

TEST(MsgHeaderTest, NumericFieldsSitAtTheirOffsets) {
  MsgHeader h;
  h.SetDestNode(0x0102);
  h.SetOrigNode(0x0304);
  h.SetOrigNet(0x0506);
  h.SetDestNet(0x0708);
  h.SetWrittenStamp(0x2732'5D86);
  h.SetArrivedStamp(0x1122'3344);
  h.SetAttributes(0x8001);
  std::vector<std::uint8_t> want(190, 0);
  want[166] = 0x02; want[167] = 0x01;
  want[168] = 0x04; want[169] = 0x03;
  want[172] = 0x06; want[173] = 0x05;
  want[174] = 0x08; want[175] = 0x07;
  want[176] = 0x86; want[177] = 0x5D; want[178] = 0x32; want[179] = 0x27;
  want[180] = 0x44; want[181] = 0x33; want[182] = 0x22; want[183] = 0x11;
  want[186] = 0x01; want[187] = 0x80;
  EXPECT_EQ(std::vector<std::uint8_t>(h.data(), h.data() + 190), want);
}

TEST(MsgHeaderTest, FieldsReadBackFromForeignBytes) {
  MsgHeader h;
  std::uint8_t* b = h.data();
  for (int i = 0; i < 190; ++i) b[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(h.TimesRead(), 0xA5A4);
  EXPECT_EQ(h.DestNode(), 0xA7A6);
  EXPECT_EQ(h.OrigNode(), 0xA9A8);
  EXPECT_EQ(h.Cost(), 0xABAA);
  EXPECT_EQ(h.OrigNet(), 0xADAC);
  EXPECT_EQ(h.DestNet(), 0xAFAE);
  EXPECT_EQ(h.WrittenStamp(), 0xB3B2B1B0u);
  EXPECT_EQ(h.ArrivedStamp(), 0xB7B6B5B4u);
  EXPECT_EQ(h.ReplyTo(), 0xB9B8);
  EXPECT_EQ(h.Attributes(), 0xBBBA);
  EXPECT_EQ(h.NextReply(), 0xBDBC);
  h.Clear();
  EXPECT_EQ(std::vector<std::uint8_t>(h.data(), h.data() + 190), std::vector<std::uint8_t>(190, 0));
}

TEST(MsgHeaderTest, TextFieldsAreCutToKeepTheirNul) {
  MsgHeader h;
  std::uint8_t* b = h.data();
  for (int i = 0; i < 190; ++i) b[i] = 0xEE;
  h.SetFrom(std::string(40, 'f'));
  h.SetTo("to");
  h.SetSubject(std::string(80, 's'));
  h.SetDateText(std::string(25, 'd'));
  EXPECT_EQ(b[34], 'f');
  EXPECT_EQ(b[35], 0);
  EXPECT_EQ(b[36], 't');
  EXPECT_EQ(b[37], 'o');
  EXPECT_EQ(b[38], 0);
  EXPECT_EQ(b[71], 0);  // the rest of the to field is cleared
  EXPECT_EQ(b[142], 's');
  EXPECT_EQ(b[143], 0);
  EXPECT_EQ(b[162], 'd');
  EXPECT_EQ(b[163], 0);
  EXPECT_EQ(b[164], 0xEE);  // times read untouched
  EXPECT_EQ(h.From().str(), std::string(35, 'f'));
  EXPECT_EQ(h.To(), "to");
  EXPECT_EQ(h.Subject().str(), std::string(71, 's'));
  EXPECT_EQ(h.DateText().str(), std::string(19, 'd'));
}

}  // namespace
}  // namespace mvx
