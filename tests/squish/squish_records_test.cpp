// Record codecs, the name hash, attribute translation and the control area
// conversion, against bytes and values worked out by hand.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "squish/squish_attributes.h"
#include "squish/squish_control.h"
#include "squish/squish_hash.h"
#include "squish/squish_records.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SquishRecords, FrameHeaderBytes) {
  SquishFrameHeader f;
  f.FrameId = kSquishFrameId;
  f.NextFrame = 0x00000100;
  f.PrevFrame = 0x00012345;
  f.FrameLength = 390;
  f.MessageLength = 389;
  f.ControlLength = 51;
  f.FrameType = 1;
  Bytes out(28, 0xEE);
  EncodeFrameHeader(f, out.data());
  const Bytes expected = {0x53, 0x44, 0xAE, 0xAF, 0x00, 0x01, 0x00, 0x00, 0x45, 0x23,
                          0x01, 0x00, 0x86, 0x01, 0x00, 0x00, 0x85, 0x01, 0x00, 0x00,
                          0x33, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(out, expected);
  const SquishFrameHeader back = DecodeFrameHeader(expected.data());
  EXPECT_EQ(back.PrevFrame, 0x00012345u);
  EXPECT_EQ(back.FrameLength, 390u);
  EXPECT_EQ(back.FrameType, 1);
}

TEST(SquishRecords, IndexRecordBytes) {
  Bytes out(12);
  EncodeIndexRecord({256, 1, 0x682C}, out.data());
  EXPECT_EQ(out, (Bytes{0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x68, 0x00, 0x00}));
  const SquishIndexRecord r = DecodeIndexRecord(
      Bytes{0x10, 0x20, 0x30, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04}.data());
  EXPECT_EQ(r.FrameOffset, 0x40302010u);
  EXPECT_EQ(r.Uid, 0xFFFFFFFFu);
  EXPECT_EQ(r.NameHash, 0x04030201u);
}

TEST(SquishRecords, BaseHeaderFieldOffsets) {
  Bytes in(256);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i);
  const SquishBaseHeader h = DecodeBaseHeader(in.data());
  EXPECT_EQ(h.HeaderSize, 0x0100);
  EXPECT_EQ(h.MessageTotal, 0x07060504u);
  EXPECT_EQ(h.NextUid, 0x17161514u);
  EXPECT_EQ(h.BaseName[0], 24);
  EXPECT_EQ(h.BaseName[79], 103);
  EXPECT_EQ(h.FirstFrame, 0x6B6A6968u);
  EXPECT_EQ(h.LastFreeFrame, 0x77767574u);
  EXPECT_EQ(h.EndFrame, 0x7B7A7978u);
  EXPECT_EQ(h.KeepDays, 0x8180);
  EXPECT_EQ(h.MessageHeaderSize, 0x8382);
  // Every byte survives a decode and encode, reserved ones included, so
  // rewriting another program's header changes nothing we did not set.
  Bytes out(256);
  EncodeBaseHeader(h, out.data());
  EXPECT_EQ(out, in);
}

TEST(SquishRecords, MessageHeaderFieldOffsets) {
  SquishMessageHeader m;
  m.Attributes = 0x00020100;
  m.Sender[0] = 'F';
  m.Recipient[0] = 'T';
  m.Subject[71] = 'S';
  m.OrigAddress = {2, 5020, 1, 3};
  m.DestAddress = {1, 2, 3, 0xFFFF};
  m.WrittenStamp = 0x27325D86;
  m.ArrivedStamp = 0x11223344;
  m.UtcOffset = -60;
  m.ReplyTo = 7;
  m.Replies[8] = 9;
  m.Uid = 0x01020304;
  m.FtsDate[19] = 'Z';
  Bytes out(238, 0xEE);
  EncodeMessageHeader(m, out.data());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0x00, 0x01, 0x02, 0x00}));
  EXPECT_EQ(out[4], 'F');
  EXPECT_EQ(out[40], 'T');
  EXPECT_EQ(out[147], 'S');
  EXPECT_EQ(Bytes(out.begin() + 148, out.begin() + 164),
            (Bytes{2, 0, 0x9C, 0x13, 1, 0, 3, 0, 1, 0, 2, 0, 3, 0, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(out.begin() + 164, out.begin() + 168), (Bytes{0x86, 0x5D, 0x32, 0x27}));
  EXPECT_EQ(Bytes(out.begin() + 172, out.begin() + 174), (Bytes{0xC4, 0xFF}));
  EXPECT_EQ(out[174], 7);
  EXPECT_EQ(out[210], 9);
  EXPECT_EQ(Bytes(out.begin() + 214, out.begin() + 218), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(out[237], 'Z');
  const SquishMessageHeader back = DecodeMessageHeader(out.data());
  EXPECT_EQ(back.UtcOffset, -60);
  EXPECT_EQ(back.DestAddress[3], 0xFFFF);
  EXPECT_EQ(back.Replies[8], 9u);
  EXPECT_EQ(back.Uid, 0x01020304u);
}

TEST(SquishNameHash, KnownValues) {
  EXPECT_EQ(SquishNameHash("abc"), 0x00006783u);
  EXPECT_EQ(SquishNameHash("ABC"), 0x00006783u);
  EXPECT_EQ(SquishNameHash(""), 0u);
  EXPECT_EQ(SquishNameHash("All"), 0x0000682Cu);
  // Long enough for the high nibble to fold back in; top bit always clear.
  EXPECT_EQ(SquishNameHash("Sysop of Marvex Station"), 0x7ABFF07Eu);
  // Bytes above 127 are taken as they are, not lower-cased or sign-extended.
  EXPECT_EQ(SquishNameHash("\xE0\xE1\xE2"), 0x0000EEF2u);
}

TEST(SquishAttributes, Translation) {
  for (std::int32_t bit = 0x0001; bit <= 0x0200; bit <<= 1) {
    EXPECT_EQ(SquishAttributeBit(bit), static_cast<std::uint32_t>(bit));
  }
  EXPECT_EQ(SquishAttributeBit(0x0400), 0x00000800u);
  EXPECT_EQ(SquishAttributeBit(0x0800), 0x00001000u);
  EXPECT_EQ(SquishAttributeBit(0x2000), 0x00004000u);
  EXPECT_EQ(SquishAttributeBit(0x8000), 0x00010000u);
  EXPECT_EQ(SquishAttributeBit(0x1000), 0u);
  EXPECT_EQ(SquishAttributeBit(0x4000), 0u);
  EXPECT_EQ(SquishAttributeBit(0x0003), 0u);  // combinations are refused whole
  EXPECT_EQ(SquishAttributeBit(0x00800000), 0u);
}

std::string Lines(const Bytes& area) {
  const Bytes out = ControlAreaToLines(area.data(), area.size());
  return std::string(out.begin(), out.end());
}

TEST(SquishControlArea, SplitsAtEachControlByte) {
  EXPECT_EQ(Lines({0x01, 'A', 0x01, 'B', 0x00}), "\x01" "A\r\x01" "B\r");
  EXPECT_EQ(Lines({0x01, 'P', 'I', 'D', 0x00, 0x00}), "\x01PID\r");
  EXPECT_EQ(Lines({0x01, 0x01, 'X', 0x00}), "\x01\r\x01X\r");
}

TEST(SquishControlArea, NothingButNulGivesNoLine) {
  EXPECT_EQ(Lines({0x00}), "");
  EXPECT_EQ(Lines({}), "");
  EXPECT_EQ(Lines({0x00, 0x00, 0x01, 'A'}), "\x01" "A\r");
}

TEST(SquishControlArea, OverlongLineIsCut) {
  Bytes area = {0x01};
  area.insert(area.end(), 20000, 'x');
  area.push_back(0x01);
  area.push_back('B');
  area.push_back(0x00);
  const Bytes out = ControlAreaToLines(area.data(), area.size());
  ASSERT_EQ(out.size(), 16383u + 1 + 3);
  EXPECT_EQ(out[16382], 'x');
  EXPECT_EQ(out[16383], 0x0D);
  EXPECT_EQ(out[16384], 0x01);
  EXPECT_EQ(out[16385], 'B');
}

}  // namespace
}  // namespace mvx
