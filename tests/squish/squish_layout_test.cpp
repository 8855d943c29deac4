// The bytes a new area and its first message put on disk, checked against
// offsets and values worked out by hand, and the names of the files.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "squish/squish_base.h"
#include "squish_test_support.h"

namespace mvx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using squishtest::AreaFixture;

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) {  // [from, to]
  return Bytes(b.begin() + from, b.begin() + to + 1);
}
Bytes Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SquishLayout : public AreaFixture {};

TEST_F(SquishLayout, NewAreaIsHeaderOnly) {
  auto base = Create();
  ASSERT_TRUE(base->IsOpen());
  ASSERT_TRUE(base->CloseArea());
  // New files get lower-case extensions here; no .lastread until a pointer is written.
  EXPECT_EQ(testkit::ListDir(dir_.path()), (std::vector<std::string>{"area.sqd", "area.sqi"}));
  EXPECT_TRUE(testkit::ReadFileBytes(sqi()).empty());

  const Bytes data = testkit::ReadFileBytes(sqd());
  ASSERT_EQ(data.size(), 256u);
  EXPECT_EQ(Slice(data, 0, 23), (Bytes{0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0}));
  const std::string name = area();  // the path as given, no final "."
  ASSERT_LT(name.size(), 80u);
  EXPECT_EQ(Slice(data, 24, 24 + name.size() - 1), Text(name));
  for (std::size_t i = 24 + name.size(); i < 104; ++i) EXPECT_EQ(data[i], 0) << i;
  EXPECT_EQ(Slice(data, 104, 119), Bytes(16, 0));  // no frames in either chain
  EXPECT_EQ(Slice(data, 120, 131), (Bytes{0x00, 0x01, 0x00, 0x00,   // EndFrame 256
                                         0xFF, 0xFF, 0x00, 0x00,   // MaxMessages 65535
                                         0xFF, 0x7F,               // KeepDays 32767
                                         0x1C, 0x00}));            // 28 at offset 130
  EXPECT_EQ(Slice(data, 132, 255), Bytes(124, 0));
}

// A new area that receives one message whose control lines total 50 bytes
// and whose text is 100 bytes.
TEST_F(SquishLayout, WorkedLayoutOfTheFirstMessage) {
  const std::string msgid = "\x01MSGID: 2:5020/1 0b4a6000";
  const std::string pid = "\x01PID: Marvex 2.1 abcdefgh";
  ASSERT_EQ(msgid.size() + pid.size(), 50u);
  const std::vector<std::string> text = {"First line of the text..", "Second line of the text.",
                                         "Third line of the text..", "Fourth line of the text."};
  for (const auto& l : text) ASSERT_EQ(l.size() + 1, 25u);

  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->PutFromName("Marvex");
  base->PutToName("All");
  base->PutSubject("Rules");
  base->ChangeAttribute(true, kAttrLocal);
  base->AppendTextLine(msgid.c_str());
  base->AppendTextLine(pid.c_str());
  for (const auto& l : text) base->AppendTextLine(l.c_str());
  ASSERT_TRUE(base->StoreMessage());
  ASSERT_TRUE(base->CloseArea());

  const Bytes data = testkit::ReadFileBytes(sqd());
  ASSERT_EQ(data.size(), 674u);
  // Frame header 256-283: id, next 0, prev 0, FrameLength 390,
  // MessageLength 390, ControlLength 51, message frame.
  EXPECT_EQ(Slice(data, 256, 283),
            (Bytes{0x53, 0x44, 0xAE, 0xAF, 0, 0, 0, 0, 0, 0, 0, 0, 0x86, 0x01, 0, 0,
                   0x86, 0x01, 0, 0, 0x33, 0, 0, 0, 0, 0, 0, 0}));
  // Message header 284-521.
  EXPECT_EQ(Slice(data, 284, 287), (Bytes{0x00, 0x01, 0x02, 0x00}));  // uid valid + local
  EXPECT_EQ(Slice(data, 288, 294), Text(std::string("Marvex") + '\0'));
  EXPECT_EQ(Slice(data, 324, 327), Text(std::string("All") + '\0'));
  EXPECT_EQ(Slice(data, 360, 365), Text(std::string("Rules") + '\0'));
  EXPECT_EQ(Slice(data, 432, 439), (Bytes{2, 0, 0x9C, 0x13, 1, 0, 0, 0}));  // from the MSGID
  EXPECT_EQ(Slice(data, 440, 447), Bytes(8, 0));
  EXPECT_EQ(Slice(data, 448, 455), (Bytes{0x86, 0x5D, 0x32, 0x27, 0x86, 0x5D, 0x32, 0x27}));
  EXPECT_EQ(Slice(data, 456, 497), Bytes(42, 0));  // UtcOffset, ReplyTo, Replies
  EXPECT_EQ(Slice(data, 498, 501), Le32(1));       // Uid
  EXPECT_EQ(Slice(data, 502, 521), Text(std::string("06 Dec 26  04:57:36") + '\0'));
  // Control area 522-572: both lines without line ends, then the NUL.
  EXPECT_EQ(Slice(data, 522, 571), Text(msgid + pid));
  EXPECT_EQ(data[572], 0);
  // Text 573-672 with its CRs, then the NUL at 673.
  std::string body;
  for (const auto& l : text) body += l + "\r";
  EXPECT_EQ(Slice(data, 573, 672), Text(body));
  EXPECT_EQ(data[673], 0);
  // Base header: total 1, highest 1, next uid 2, the frame at both ends of
  // the message chain, EndFrame 674.
  EXPECT_EQ(Slice(data, 4, 11), (Bytes{1, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(Slice(data, 20, 23), Le32(2));
  EXPECT_EQ(Slice(data, 104, 123),
            (Bytes{0x00, 0x01, 0, 0, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA2, 0x02, 0, 0}));
  // Index: (256, 1, hash of "All").
  EXPECT_EQ(testkit::ReadFileBytes(sqi()),
            (Bytes{0x00, 0x01, 0, 0, 0x01, 0, 0, 0, 0x2C, 0x68, 0, 0}));
}

TEST_F(SquishLayout, MessageWithoutControlLinesOrText) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  ASSERT_TRUE(base->StoreMessage());
  ASSERT_TRUE(base->CloseArea());
  const Bytes data = testkit::ReadFileBytes(sqd());
  ASSERT_EQ(data.size(), 256u + 28 + 240);
  EXPECT_EQ(Slice(data, 268, 279), (Bytes{0xF0, 0, 0, 0, 0xF0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(Slice(data, 522, 523), (Bytes{0, 0}));  // control NUL, text NUL
}

TEST_F(SquishLayout, OnlyControlLinesGiveAnEmptyBody) {
  auto base = Create();
  ASSERT_TRUE(base->BeginNewMessage());
  base->AppendTextLine("\x01PID: X");
  base->AppendTextLine("\x01" "CHRS: CP866 2");
  ASSERT_TRUE(base->StoreMessage());
  ASSERT_TRUE(base->CloseArea());
  const Bytes data = testkit::ReadFileBytes(sqd());
  // Control 7 + 14 + NUL = 22; MessageLength 238 + 22 + 0 + 1 = 261.
  EXPECT_EQ(Slice(data, 268, 279), (Bytes{0x05, 0x01, 0, 0, 0x05, 0x01, 0, 0, 22, 0, 0, 0}));
  EXPECT_EQ(Slice(data, 522, 543), Text(std::string("\x01PID: X\x01" "CHRS: CP866 2") + '\0'));
  EXPECT_EQ(data[544], 0);
  EXPECT_EQ(data.size(), 545u);
}

TEST_F(SquishLayout, DottedPathGivesTheSameFiles) {
  auto base = std::make_unique<SquishBase>();
  ASSERT_TRUE(base->CreateArea(area() + "."));
  EXPECT_EQ(base->AreaPath(), area() + ".");
  ASSERT_TRUE(base->CloseArea());
  EXPECT_EQ(testkit::ListDir(dir_.path()), (std::vector<std::string>{"area.sqd", "area.sqi"}));
  const Bytes data = testkit::ReadFileBytes(sqd());
  EXPECT_EQ(data[24 + area().size() - 1], area().back());
  EXPECT_EQ(data[24 + area().size()], 0);  // no "." in BaseName
  EXPECT_TRUE(base->AreaExists(area()));
  EXPECT_TRUE(base->AreaExists(area() + "."));
}

TEST_F(SquishLayout, LongPathIsCutInBaseName) {
  const std::string deep = dir_ / (std::string(90, 'd') + "/echo");
  auto base = std::make_unique<SquishBase>();
  ASSERT_TRUE(base->CreateArea(deep));  // makes the missing directory
  ASSERT_TRUE(base->CloseArea());
  const Bytes data = testkit::ReadFileBytes(deep + ".sqd");
  ASSERT_EQ(data.size(), 256u);
  EXPECT_EQ(Slice(data, 24, 102), Text(deep.substr(0, 79)));
  EXPECT_EQ(data[103], 0);
  EXPECT_EQ(data[104], 0);
}

TEST_F(SquishLayout, ExistingUpperCaseFilesAreUsed) {
  ASSERT_TRUE(squishtest::Post(*Create(), "All", {"one"}));
  std::filesystem::rename(sqd(), dir_ / "area.SQD");
  std::filesystem::rename(sqi(), dir_ / "area.SQI");
  auto base = Open();
  EXPECT_EQ(base->MessageCount(), 1);
  ASSERT_TRUE(squishtest::Post(*base, "All", {"two"}));
  base->WriteLastRead(0, 2);
  ASSERT_TRUE(base->CloseArea());
  // The new pointer file is lower case; nothing else was created.
  EXPECT_EQ(testkit::ListDir(dir_.path()),
            (std::vector<std::string>{"area.SQD", "area.SQI", "area.sql"}));
  EXPECT_EQ(testkit::ReadFileBytes(dir_ / "area.SQI").size(), 24u);
  EXPECT_TRUE(squishtest::AreaIsSound(dir_ / "area.SQD", dir_ / "area.SQI"));
}

}  // namespace
}  // namespace mvx
