// The bytes on disk against offsets and values worked out by hand.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "squish/squish_base.h"
#include "squish/squish_control.h"
#include "squish/squish_hash.h"
#include "squish_test_support.h"

namespace mvx {
namespace {

using namespace squishtest;

Bytes Nul(std::string s) {  // the text and its NUL
  s += '\0';
  return Bytes(s.begin(), s.end());
}

class SquishLayout : public squishtest::AreaFixture {};

// Control lines of 50 bytes, text of 100.
TEST_F(SquishLayout, NewAreaAndWorkedLayoutOfTheFirstMessage) {
  auto base = Create();
  // Lower-case extensions for new files (capitals on Windows); no .sql until
  // a pointer is written.
  EXPECT_EQ(testkit::ListDir(dir_.path()),
            (std::vector<std::string>{testkit::Made("area.sqd"), testkit::Made("area.sqi")}));
  EXPECT_EQ(IndexSize(), 0u);
  Bytes header(256, 0);
  header[1] = 0x01;                                             // HeaderSize 256
  header[20] = 1;                                               // NextUid 1
  const std::string name = area();                              // the path, no final "."
  std::copy(name.begin(), name.end(), header.begin() + 24);
  header[121] = 0x01;                                           // EndFrame 256
  header[124] = header[125] = header[128] = 0xFF;               // MaxMessages, KeepDays
  header[129] = 0x7F;
  header[130] = 28;                                             // where a message header starts
  EXPECT_EQ(Data(), header);

  const std::string control = "\x01MSGID: 2:5020/1 0b4a6000\x01PID: Marvex 2.1 abcdefgh";
  const std::string text = "First line of the text..\rSecond line of the text.\r"
                           "Third line of the text..\rFourth line of the text.\r";
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->PutFromName("Marvex");
  base->PutToName("All");
  base->PutSubject("Rules");
  base->ChangeAttribute(true, kAttrLocal);
  base->AppendTextLine(control.substr(0, 25).c_str());
  base->AppendTextLine(control.substr(25).c_str());
  base->WriteTextBytes(static_cast<std::uint16_t>(text.size()), text.data());
  ASSERT_TRUE(base->StoreMessage().ok());
  ASSERT_TRUE(base->CloseArea().ok());

  ASSERT_EQ(Data().size(), 674u);
  header[4] = header[8] = 1;                      // MessageTotal, HighestMessage
  header[20] = 2;                                 // NextUid
  header[105] = header[109] = 0x01;               // FirstFrame = LastFrame = 256
  header[120] = 0xA2, header[121] = 0x02;         // EndFrame 674
  EXPECT_EQ(Data(0, 256), header);
  // Frame header 256-283: id, next 0, prev 0, FrameLength 390,
  // MessageLength 390, ControlLength 51, message frame.
  EXPECT_EQ(Data(256, 284), (Bytes{0x53, 0x44, 0xAE, 0xAF, 0, 0, 0, 0, 0, 0, 0, 0, 0x86, 0x01,
                                  0, 0, 0x86, 0x01, 0, 0, 0x33, 0, 0, 0, 0, 0, 0, 0}));
  // Message header 284-521: attributes (uid valid, local), names, subject,
  // addresses (from the MSGID; no destination), both stamps, zeros for
  // UtcOffset, ReplyTo and Replies, the uid, the date text.
  EXPECT_EQ(Data(284, 295), Nul(std::string("\x00\x01\x02\x00", 4) + "Marvex"));
  EXPECT_EQ(Data(324, 328), Nul("All"));
  EXPECT_EQ(Data(360, 366), Nul("Rules"));
  EXPECT_EQ(Data(432, 456), (Bytes{2, 0, 0x9C, 0x13, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                  0x86, 0x5D, 0x32, 0x27, 0x86, 0x5D, 0x32, 0x27}));
  EXPECT_EQ(Data(456, 498), Bytes(42, 0));
  EXPECT_EQ(Data(498, 522), Nul(std::string("\x01\x00\x00\x00", 4) + "06 Dec 26  04:57:36"));
  // Control area 522-572 (lines without line ends, NUL), text 573-672, NUL.
  EXPECT_EQ(Data(522, 573), Nul(control));
  EXPECT_EQ(Data(573, 674), Nul(text));
  // Index: (256, 1, hash of "All").
  EXPECT_EQ(Index(), (Bytes{0x00, 0x01, 0, 0, 1, 0, 0, 0, 0x2C, 0x68, 0, 0}));
}

TEST_F(SquishLayout, EmptyTextAndOnlyControlLines) {
  // {lines, FrameLength = MessageLength, ControlLength, control area and body}
  const std::tuple<std::vector<std::string>, std::uint32_t, std::uint32_t, std::string> cases[] = {
      {{}, 240, 1, std::string(1, '\0')},
      {{"\x01PID: X", "\x01" "CHRS: CP866 2"}, 261, 22,
       "\x01PID: X\x01" "CHRS: CP866 2" + std::string(1, '\0')},
  };
  for (const auto& [lines, length, control, bytes] : cases) {
    RemoveArea();
    ASSERT_TRUE(Post(*Create(), "", lines));
    ASSERT_EQ(Data().size(), 256u + 28 + length);
    EXPECT_EQ(DataU32s({268, 272, 276}), (U32s{length, length, control}));
    EXPECT_EQ(Data(522, 284 + length), Nul(bytes));  // the body is empty
  }
}

TEST_F(SquishLayout, BaseNameAndFileNames) {
  // A path that ends in "." names the same files; BaseName drops the ".".
  auto base = std::make_unique<SquishBase>(env_);
  ASSERT_TRUE(base->CreateArea(area() + ".").ok());
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_TRUE(base->AreaExists(area()));
  EXPECT_EQ(Data(24, 25 + area().size()), Nul(area()));
  // Existing files are found whatever their case; new ones are lower case
  // (capitals on Windows).
  std::filesystem::rename(sqd(), dir_ / "area.SQD");
  std::filesystem::rename(sqi(), dir_ / "area.SQI");
  base = Open();
  ASSERT_TRUE(Post(*base, "All", {"two"}));
  base->WriteLastRead(0, 1);
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(testkit::ListDir(dir_.path()),
            (std::vector<std::string>{"area.SQD", "area.SQI", testkit::Made("area.sql")}));
  EXPECT_TRUE(squishtest::AreaIsSound(dir_ / "area.SQD", dir_ / "area.SQI"));
}

// Another program's values in fields we leave zero, and reserved bytes, come
// back where they were: rewriting its headers changes nothing we did not set.
TEST(SquishRecords, HeaderFieldOffsetsAndEveryByteKept) {
  Bytes in(256);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i);
  const SquishBaseHeader h = DecodeBaseHeader(in.data());
  // MessageTotal at 4, FirstFrame at 104, LastFreeFrame at 116, MessageHeaderSize at 130.
  EXPECT_EQ((U32s{h.MessageTotal, h.FirstFrame, h.LastFreeFrame, h.MessageHeaderSize}),
            (U32s{0x07060504, 0x6B6A6968, 0x77767574, 0x8382}));
  Bytes out(256);
  EncodeBaseHeader(h, out.data());
  EXPECT_EQ(out, in);

  SquishMessageHeader m;
  m.DestAddress = {1, 2, 3, 0xFFFF};
  m.UtcOffset = -60;
  m.ReplyTo = 7;
  m.Replies[8] = 9;
  out.assign(238, 0xEE);
  EncodeMessageHeader(m, out.data());
  EXPECT_EQ(Bytes(out.begin() + 156, out.begin() + 182),
            (Bytes{1, 0, 2, 0, 3, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0,  // dest, stamps
                   0xC4, 0xFF, 7, 0, 0, 0, 0, 0, 0, 0}));                // UtcOffset, ReplyTo, ...
  EXPECT_EQ(Bytes(out.begin() + 210, out.begin() + 214), (Bytes{9, 0, 0, 0}));
  EXPECT_EQ(DecodeMessageHeader(out.data()).UtcOffset, -60);
}

TEST(SquishRecords, NameHash) {
  const std::pair<const char*, std::uint32_t> hashes[] = {
      {"abc", 0x6783}, {"ABC", 0x6783}, {"", 0}, {"All", 0x682C},
      {"Sysop of Marvex Station", 0x7ABFF07E},  // high nibble folds back in
      {"\xE0\xE1\xE2", 0xEEF2},                  // high bytes as they are
  };
  for (const auto& [name, hash] : hashes) EXPECT_EQ(SquishNameHash(name), hash) << name;
}

TEST(SquishRecords, ControlAreaToLines) {
  Bytes longLine = {0x01};  // longer than the 16384-byte line buffer: cut
  longLine.insert(longLine.end(), 20000, 'x');
  longLine.insert(longLine.end(), {0x01, 'B', 0x00});
  const std::pair<Bytes, std::string> cases[] = {
      {{0x01, 'A', 0x01, 'B', 0x00}, "\x01" "A\r\x01" "B\r"},
      {{0x01, 'P', 'I', 'D', 0x00, 0x00}, "\x01PID\r"},
      {{0x01, 0x01, 'X', 0x00}, "\x01\r\x01X\r"},
      // No control lines give no line, or every load and store would put
      // another blank line in front of the text.
      {{0x00}, ""},
      {{}, ""},
      {longLine, "\x01" + std::string(16382, 'x') + "\r\x01" "B\r"},
  };
  for (const auto& [area, lines] : cases) {
    const Bytes out = ControlAreaToLines(area.data(), area.size());
    EXPECT_EQ(std::string(out.begin(), out.end()), lines);
  }
}

}  // namespace
}  // namespace mvx
