// The fixed JAM records, the subfield codec, the CRC and the attribute
// table, each against values worked out by hand.
#include "jam/jam_records.h"

#include <gtest/gtest.h>

#include <vector>

#include "jam/jam_attributes.h"
#include "jam/jam_crc.h"
#include "jam/jam_subfields.h"

namespace mvx {
namespace {

TEST(JamCrcTest, KnownValuesAndCaseOfLetters) {
  EXPECT_EQ(JamCrc("abc"), 0xCADBBE3Du);
  EXPECT_EQ(JamCrc("ABC"), 0xCADBBE3Du);
  EXPECT_EQ(JamCrc(""), 0xFFFFFFFFu);
  EXPECT_EQ(JamCrc("Bob"), 0x0A344EBFu);
  // Only A-Z are lowered: a byte above 127 is hashed as it is.
  EXPECT_NE(JamCrc("\xC0"), JamCrc("\xE0"));
}

TEST(JamRecordsTest, BaseHeaderKeepsEveryByte) {
  std::vector<std::uint8_t> raw(kJamBaseHeaderSize);
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const JamBaseHeader h = DecodeJamBaseHeader(raw.data());
  EXPECT_EQ(h.CreatedDate, 0x342D261Fu);   // bytes 4..7: 31, 38, 45, 52
  EXPECT_EQ(h.BaseNumber, 0xA49D968Fu);    // bytes 20..23: 143, 150, 157, 164
  EXPECT_EQ(h.Reserved[0], 0xAB);          // byte 24: 24 * 7 + 3 = 171
  std::vector<std::uint8_t> back(kJamBaseHeaderSize, 0xEE);
  EncodeJamBaseHeader(h, back.data());
  EXPECT_EQ(back, raw);
}

TEST(JamRecordsTest, NewBaseHeaderBytes) {
  std::vector<std::uint8_t> raw(kJamBaseHeaderSize, 0xEE);
  EncodeJamBaseHeader(NewJamBaseHeader(1796533056u), raw.data());
  const std::vector<std::uint8_t> head{0x4A, 0x41, 0x4D, 0x00,  0x40, 0xEB, 0x14, 0x6B,
                                       0,    0,    0,    0,     0,    0,    0,    0,
                                       0xFF, 0xFF, 0xFF, 0xFF,  1,    0,    0,    0};
  EXPECT_EQ(std::vector<std::uint8_t>(raw.begin(), raw.begin() + 24), head);
  EXPECT_EQ(std::vector<std::uint8_t>(raw.begin() + 24, raw.end()), std::vector<std::uint8_t>(1000, 0));
}

TEST(JamRecordsTest, MessageHeaderFieldOffsets) {
  JamMessageHeader h;
  h.Signature = kJamSignature;
  h.Revision = 0x0102;
  h.ReservedWord = 0x0304;
  h.SubfieldLength = 0x05060708;
  h.TimesRead = 9;
  h.MsgIdCrc = 10;
  h.ReplyCrc = 11;
  h.ReplyTo = 12;
  h.FirstReply = 13;
  h.NextReply = 14;
  h.WrittenDate = 15;
  h.ReceivedDate = 16;
  h.ProcessedDate = 17;
  h.MessageNumber = 18;
  h.Attributes = 0x80000001u;
  h.Attributes2 = 20;
  h.TextStart = 21;
  h.TextSize = 22;
  h.PasswordCrc = 23;
  h.Cost = 24;
  std::vector<std::uint8_t> raw(kJamMessageHeaderSize, 0xEE);
  EncodeJamMessageHeader(h, raw.data());
  const std::vector<std::uint8_t> expected{
      0x4A, 0x41, 0x4D, 0x00, 0x02, 0x01, 0x04, 0x03, 0x08, 0x07, 0x06, 0x05,  // 0..11
      9,  0, 0, 0, 10, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0,         // 12..31
      14, 0, 0, 0, 15, 0, 0, 0, 16, 0, 0, 0, 17, 0, 0, 0, 18, 0, 0, 0,         // 32..51
      0x01, 0, 0, 0x80, 20, 0, 0, 0, 21, 0, 0, 0, 22, 0, 0, 0, 23, 0, 0, 0,    // 52..71
      24, 0, 0, 0};
  EXPECT_EQ(raw, expected);
  const JamMessageHeader back = DecodeJamMessageHeader(raw.data());
  EXPECT_EQ(back.SubfieldLength, 0x05060708u);
  EXPECT_EQ(back.MessageNumber, 18u);
  EXPECT_EQ(back.Attributes, 0x80000001u);
  EXPECT_EQ(back.Cost, 24u);
}

TEST(JamRecordsTest, IndexAndLastReadRecords) {
  std::uint8_t raw[16];
  EncodeJamIndexRecord(JamIndexRecord{0x0A344EBFu, 1024}, raw);
  EXPECT_EQ(std::vector<std::uint8_t>(raw, raw + 8),
            (std::vector<std::uint8_t>{0xBF, 0x4E, 0x34, 0x0A, 0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(DecodeJamIndexRecord(raw).HeaderOffset, 1024u);

  EncodeJamLastReadRecord(JamLastReadRecord{5, 5, 0x100, 0x0201}, raw);
  EXPECT_EQ(std::vector<std::uint8_t>(raw, raw + 16),
            (std::vector<std::uint8_t>{5, 0, 0, 0, 5, 0, 0, 0, 0, 1, 0, 0, 1, 2, 0, 0}));
  EXPECT_EQ(DecodeJamLastReadRecord(raw).HighReadNumber, 0x0201u);
}

TEST(JamSubfieldsTest, AddWritesHeadAndDataBackToBack) {
  SubfieldBuffer buf;
  ASSERT_TRUE(buf.Add(kJamSenderNameField, "Al"));
  ASSERT_TRUE(buf.Add(kJamSeenByField, ""));
  ASSERT_EQ(buf.Length(), 18u);
  const std::vector<std::uint8_t> expected{2, 0, 0, 0, 2, 0, 0, 0, 'A', 'l',
                                           0xD1, 0x07, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(buf.Data(), buf.Data() + buf.Length()), expected);

  SubfieldWalker walk(buf.Data(), buf.Length());
  Subfield f;
  ASSERT_TRUE(walk.Next(f));
  EXPECT_EQ(f.Id, 2);
  EXPECT_EQ(f.Data, "Al");
  ASSERT_TRUE(walk.Next(f));
  EXPECT_EQ(f.Id, 2001);
  EXPECT_EQ(f.Data, "");
  EXPECT_FALSE(walk.Next(f));
}

TEST(JamSubfieldsTest, BufferRefusesWhatDoesNotFit) {
  SubfieldBuffer buf;
  const std::string big(kJamSubfieldBufferSize - 16, 'x');
  ASSERT_TRUE(buf.Add(kJamControlLineField, big));      // 12280 bytes used
  EXPECT_FALSE(buf.Add(kJamControlLineField, "a"));     // 9 more: no room
  EXPECT_EQ(buf.Length(), kJamSubfieldBufferSize - 8);
  EXPECT_TRUE(buf.Add(kJamControlLineField, ""));       // exactly fills it
  EXPECT_EQ(buf.Length(), kJamSubfieldBufferSize);
  EXPECT_FALSE(buf.Add(kJamControlLineField, ""));
}

TEST(JamSubfieldsTest, WalkStopsAtALengthRunningPastTheBytes) {
  std::vector<std::uint8_t> raw{6, 0, 0, 0, 2, 0, 0, 0, 'H', 'i',        // subject "Hi"
                                3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'B'};  // length far too big
  SubfieldWalker walk(raw.data(), static_cast<std::uint32_t>(raw.size()));
  Subfield f;
  ASSERT_TRUE(walk.Next(f));
  EXPECT_EQ(f.Data, "Hi");
  EXPECT_FALSE(walk.Next(f));
  EXPECT_FALSE(walk.Next(f));
  // A head cut short ends the walk too.
  SubfieldWalker cut(raw.data(), 13);
  ASSERT_TRUE(cut.Next(f));
  EXPECT_FALSE(cut.Next(f));
}

TEST(JamSubfieldsTest, LongDataIsCutTo255WhenLoaded) {
  SubfieldBuffer buf;
  ASSERT_TRUE(buf.Add(kJamSeenByField, std::string(300, 's')));
  ASSERT_TRUE(buf.Add(kJamPathField, "1/1"));
  SubfieldWalker walk(buf.Data(), buf.Length());
  Subfield f;
  ASSERT_TRUE(walk.Next(f));
  EXPECT_EQ(f.Data.size(), 255u);
  ASSERT_TRUE(walk.Next(f));  // the walk steps by the full stored length
  EXPECT_EQ(f.Data, "1/1");
}

TEST(JamAttributesTest, TranslationTable) {
  const std::pair<std::int32_t, std::uint32_t> table[] = {
      {0x0001, 0x00000004}, {0x0002, 0x00000100}, {0x0004, 0x00000008}, {0x0008, 0x00000010},
      {0x0010, 0x00002000}, {0x0020, 0x00000002}, {0x0040, 0x00040000}, {0x0080, 0x00000020},
      {0x0100, 0x00000001}, {0x0200, 0x00000080}, {0x0400, 0x00001000}, {0x0800, 0x00010000},
      {0x2000, 0x00020000}, {0x00800000, 0x00800000}, {0x01000000, 0x01000000},
      {0x02000000, 0x02000000}};
  for (const auto& [generic, jam] : table) EXPECT_EQ(JamAttributeBit(generic), jam) << generic;
  for (std::int32_t refused : {0x1000, 0x4000, 0x8000, 0x0003, 0, -1}) {
    EXPECT_EQ(JamAttributeBit(refused), 0u) << refused;
  }
}

}  // namespace
}  // namespace mvx
