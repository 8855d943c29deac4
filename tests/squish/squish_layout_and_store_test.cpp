// The bytes on disk against offsets and values worked out by hand; what is
// stored comes back after closing and reopening; storing and deleting: frame
// reuse and invariants.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "squish/squish_base.h"
#include "squish/squish_control.h"
#include "squish/squish_hash.h"
#include "squish_test_support.h"
#include "support/datetime.h"

namespace mvx {
namespace {

using namespace squishtest;

Bytes Nul(std::string s) {  // the text and its NUL
  s += '\0';
  return Bytes(s.begin(), s.end());
}

class SquishLayout : public squishtest::AreaFixture {};
class SquishRoundTrip : public squishtest::AreaFixture {};
class SquishStore : public squishtest::AreaFixture {};

// Control lines of 50 bytes, text of 100.
TEST_F(SquishLayout, NewAreaFileNamesAndWorkedLayoutOfTheFirstMessage) {
  // A path that ends in "." names the same files; the header holds the
  // path without it.
  auto base = std::make_unique<SquishBase>(env_);
  ASSERT_TRUE(base->CreateArea(area() + ".").ok());
  EXPECT_TRUE(base->AreaExists(area()));
  // Lower-case extensions for new files (capitals on Windows); no .sql until
  // a pointer is written.
  EXPECT_EQ(testkit::ListDir(dir_.path()),
            (std::vector<std::string>{testkit::Made("area.sqd"), testkit::Made("area.sqi")}));
  EXPECT_EQ(IndexSize(), 0u);
  Bytes header(256, 0);
  header[1] = 0x01;                                             // HeaderSize 256
  header[20] = 1;                                               // NextUid 1
  const std::string name = area();                              // the path
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

TEST_F(SquishLayout, EmptyTextAndOnlyControlLines) {
  // {lines, FrameLength = MessageLength, ControlLength, control area and body}
  const std::tuple<std::vector<std::string>, std::uint32_t, std::uint32_t, std::string> cases[] = {
      {{}, 240, 1, std::string(1, '\0')},
      {{"\x01PID: X", "\x01" "CHRS: CP866 2"}, 261, 22,
       "\x01PID: X\x01" "CHRS: CP866 2" + std::string(1, '\0')},
  };
  for (const auto& [lines, length, control, bytes] : cases) {
    RemoveArea();
    ASSERT_TRUE(Post(*Open(true), "", lines));
    ASSERT_EQ(Data().size(), 256u + 28 + length);
    EXPECT_EQ(DataU32s({268, 272, 276}), (U32s{length, length, control}));
    EXPECT_EQ(Data(522, 284 + length), Nul(bytes));  // the body is empty
  }
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

TEST_F(SquishRoundTrip, EveryFieldSurvivesCloseAndReopen) {
  auto base = Open(true);
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});
  base->AppendTextLine("\x01PID: Marvex 2.1");
  base->AppendTextLine("\n\x01INTL 1:234/5 2:5020/1");  // the PID line ends in CR LF, as other editors end it
  base->PutFromName(std::string(50, 'F'));  // cut to the 35 and 71 characters the
  base->PutToName("All of you");            // fields hold with their NUL
  base->PutSubject(std::string(100, 'S'));
  base->PutWrittenDate(DateTimeRec{13, 14, 59, 0, 28, 2, 2026});  // odd second
  base->PutArrivedDate(DateTimeRec{1, 2, 4, 0, 1, 1, 1999});
  for (std::int32_t bit : {kAttrPrivate, kAttrFileRequest, kAttrScanned, kAttrIsReturnReceipt}) {
    base->ChangeAttribute(true, bit);  // Squish cannot hold the last one
  }
  for (const char* l : {"Body line one", "", "Body line three"}) base->AppendTextLine(l);
  ASSERT_TRUE(base->StoreMessage().ok());
  ASSERT_TRUE(base->CloseArea().ok());

  base = Open();
  EXPECT_EQ(std::pair(base->MessageCount(), base->HighestNumber()), std::pair(1, 1));
  ASSERT_TRUE(Load(*base, 1));
  EXPECT_EQ(base->FromName() + "|" + base->ToName() + "|" + base->SubjectText(),
            std::string(35, 'F') + "|All of you|" + std::string(71, 'S'));
  FidoAddress o, d;
  d.Point = 7;  // cleared first, not kept
  base->ReadBothAddresses(o, d);
  EXPECT_EQ(FormatAddress(o) + " " + FormatAddress(d), "2:5020/1.3 1:234/5");
  DateTimeRec w, a;
  base->ReadWrittenDate(w);
  base->ReadArrivedDate(a);
  // Two-second steps: 59 rounds down.
  EXPECT_EQ(FtsDateText(w) + "|" + FtsDateText(a), "28 Feb 26  13:14:58|01 Jan 99  01:02:04");
  for (std::int32_t bit : {kAttrPrivate, kAttrFileRequest, kAttrScanned}) EXPECT_TRUE(base->HasAttribute(bit));
  for (std::int32_t bit : {kAttrIsReturnReceipt, kAttrCrash}) EXPECT_FALSE(base->HasAttribute(bit));
  const std::vector<std::string> lines = LinesOf(*base);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 19), "\x01MSGID: 2:5020/1.3 ");
  EXPECT_EQ(lines[0].size(), 19u + 8);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"\x01PID: Marvex 2.1", "\x01INTL 1:234/5 2:5020/1",
                                      "Body line one", "", "Body line three"}));
  // Written 28 Feb 2026 13:14:58 at 448, arrived 1 Jan 1999 01:02:04 at 452:
  // date word (year - 1980) << 9 | month << 5 | day, then the time word.
  EXPECT_EQ(Data(448, 456), (Bytes{0x5C, 0x5C, 0xDD, 0x69, 0x21, 0x26, 0x42, 0x08}));
  const Bytes fts = Data(502, 521);  // the header's date text comes from the written date
  EXPECT_EQ(std::string(fts.begin(), fts.end()), "28 Feb 26  13:14:58");
  // Header and control lines only: the body stays behind.
  ASSERT_TRUE(base->LoadHeaderAndKludges().ok());
  EXPECT_EQ(LinesOf(*base).size(), 3u);
  EXPECT_EQ(base->ToName(), "All of you");
}

TEST_F(SquishRoundTrip, NavigationOverTheIndexAndLastReadPointers) {
  MakeArea({"m1", "m2", "m3", "m4", "m5"}, 1);
  auto base = Open();
  ASSERT_TRUE(Delete(*base, 2));
  EXPECT_EQ(base->CurrentNumber(), 2);  // left as it was ...
  base->StepForward();
  EXPECT_EQ(base->CurrentNumber(), 3);  // ... so the next step reaches the following one
  ASSERT_TRUE(Delete(*base, 4));
  ASSERT_TRUE(base->CloseArea().ok());

  base = Open();
  EXPECT_EQ(std::pair(base->MessageCount(), base->HighestNumber()), std::pair(3, 5));
  EXPECT_TRUE(base->HasMessage(3) && !base->HasMessage(4));
  base->PositionFrom(2);  // first uid at or above 2
  EXPECT_EQ(base->CurrentNumber(), 3);
  EXPECT_EQ(base->CurrentUid(), 12);  // the bookmark is the record's offset
  EXPECT_EQ(Walk(*base, 1), (std::vector<std::int32_t>{1, 3, 5}));
  EXPECT_EQ(base->CurrentUid(), 0);
  EXPECT_EQ(Walk(*base, 5, true), (std::vector<std::int32_t>{5, 3, 1}));
  base->PositionFrom(6);
  EXPECT_FALSE(base->IsPositioned());

  // A bookmark brings the same message back; a bad one positions nowhere.
  base->PositionFrom(5);
  const std::int32_t mark = base->CurrentUid();
  base->PositionFrom(1);
  base->PositionByUid(mark);
  ASSERT_TRUE(base->LoadMessage().ok());
  EXPECT_EQ(base->ToName(), "m5");
  for (std::int32_t bad : {36, 7, -12}) {
    base->PositionByUid(bad);
    EXPECT_FALSE(base->IsPositioned()) << bad;
    EXPECT_EQ(base->CurrentUid(), 0);
  }

  // Last-read pointers, in the .sql beside the area.
  EXPECT_EQ(base->ReadLastRead(0), 0);  // no .sql yet
  base->WriteLastRead(3, 42);           // creates it
  EXPECT_EQ(testkit::ReadFileBytes(sql()), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 42, 0, 0, 0}));
  EXPECT_EQ(base->ReadLastRead(4), 0);  // beyond the end
  base->WriteLastRead(1, 0x01020304);
  base->WriteLastRead(3, 43);
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(testkit::ReadFileBytes(sql()), (Bytes{0, 0, 0, 0, 4, 3, 2, 1, 0, 0, 0, 0, 43, 0, 0, 0}));
  base = Open();
  EXPECT_EQ(std::pair(base->ReadLastRead(1), base->ReadLastRead(3)), std::pair(0x01020304, 43));
  EXPECT_EQ(base->ReadLastRead(-1), 0);
}

TEST_F(SquishStore, DeleteThenStoreReusesFreedFramesFirstFit) {
  MakeArea({"a"}, 2);  // frame at 256, length 254
  auto base = Open();
  ASSERT_TRUE(Post(*base, "b", Body(40)));  // at 538, length 550
  ASSERT_TRUE(Post(*base, "c", Body(10)));  // at 1116, length 310; EndFrame 1454
  ASSERT_TRUE(Delete(*base, 1));
  ASSERT_TRUE(Delete(*base, 2));
  ASSERT_TRUE(Sound());
  // MessageTotal 1; freed frames join the free chain (112, 116) at its end.
  EXPECT_EQ(DataU32s({4, 112, 116}), (U32s{1, 256, 538}));
  EXPECT_EQ(IndexSize(), 12u);
  // Needing 390 bytes passes over the 254-byte frame and takes the 550-byte
  // one whole; needing 247 then takes the small one.
  ASSERT_TRUE(Post(*base, "d", Body(20)));
  EXPECT_EQ(base->CurrentFrameOffset(), 538u);
  ASSERT_TRUE(Post(*base, "e", Body(1)));
  EXPECT_EQ(base->CurrentFrameOffset(), 256u);
  ASSERT_TRUE(base->CloseArea().ok());
  // EndFrame unchanged, no free frames left, 538's FrameLength kept with a
  // MessageLength of 390; "e", added last, is last in the chain.
  EXPECT_EQ(DataU32s({120, 112, 116, 538 + 12, 538 + 16, 108}), (U32s{1454, 0, 0, 550, 390, 256}));
  EXPECT_EQ(Data().size(), 1454u);
  EXPECT_TRUE(Sound());
  // A frame of exactly the length needed (254, that of "a") is taken too.
  base = Open();
  ASSERT_TRUE(Delete(*base, 5));
  ASSERT_TRUE(Post(*base, "f", Body(2)));
  EXPECT_EQ(base->CurrentFrameOffset(), 256u);
  EXPECT_EQ(DataU32(120), 1454u);
}

// A loaded message stays in its frame or moves keeping its place; one loaded
// without its body is never stored; a new message stored again is rewritten.
TEST_F(SquishStore, StoringLoadedAndStoredMessagesAgain) {
  MakeArea({"One", "Two", "Three"});  // frames at 256, 552, 848; EndFrame 1144
  auto base = Open();
  ASSERT_TRUE(Load(*base, 2));
  base->PutSubject("Changed");
  base->MoveTextTo(0);
  base->CutTextHere();
  base->AppendTextLine("short");
  ASSERT_TRUE(base->StoreMessage().ok());  // still fits
  EXPECT_EQ(base->CurrentFrameOffset(), 552u);
  ASSERT_TRUE(Sound());
  base->MoveTextTo(base->TextLength());
  for (const auto& l : Body(50, "added")) base->AppendTextLine(l.c_str());
  ASSERT_TRUE(base->StoreMessage().ok());  // outgrew it: a new frame at EndFrame
  EXPECT_EQ(base->CurrentFrameOffset(), 1144u);
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_TRUE(Sound());  // index order is still chain order
  // The old frame heads the free chain; the moved message is still second
  // of three (LastFrame 848), not appended to the chain.
  EXPECT_EQ(DataU32s({112, 108}), (U32s{552, 848}));
  EXPECT_EQ(std::pair(IndexU32(12), IndexU32(16)), std::pair(1144u, 2u));
  base = Open();
  ASSERT_TRUE(Load(*base, 2));
  EXPECT_EQ(base->SubjectText(), "Changed");
  EXPECT_EQ(base->TextLength(), 6 + 10 * 8 + 40 * 9);  // "short", "added 0" ... "added 49"

  base->PositionFrom(1);
  ASSERT_TRUE(base->LoadHeaderAndKludges().ok());
  EXPECT_FALSE(base->StoreMessage().ok());  // its body was not loaded: storing would lose it
  base->PutToName("All");
  base->ChangeAttribute(true, kAttrSent);
  ASSERT_TRUE(base->StoreHeaderOnly().ok());
  EXPECT_EQ(IndexU32(8), 0x682Cu);  // the hash follows the new name
  // A stored new message stored again is rewritten, not added again.
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->AppendTextLine("first");
  ASSERT_TRUE(base->StoreMessage().ok());
  base->AppendTextLine("second");
  ASSERT_TRUE(base->StoreMessage().ok());
  // A begun message never stored has no frame: StoreHeaderOnly must not
  // write (offset 0 is the base header), and it leaves no count behind.
  ASSERT_TRUE(base->BeginNewMessage().ok());
  EXPECT_FALSE(base->StoreHeaderOnly().ok());
  ASSERT_TRUE(base->CloseArea().ok());
  EXPECT_EQ(DataU32s({4, 20}), (U32s{4, 6}));  // MessageTotal; NextUid: the fifth uid stays used
  EXPECT_EQ(IndexSize(), 48u);
  EXPECT_TRUE(Sound());
  base = Open();
  ASSERT_TRUE(Load(*base, 1));
  EXPECT_EQ(base->ToName(), "All");
  EXPECT_TRUE(base->HasAttribute(kAttrSent));
  EXPECT_EQ(base->TextLength(), 4 * 7);
  ASSERT_TRUE(Load(*base, 4));
  EXPECT_EQ(base->TextLength(), 13);  // "first", "second"
}

TEST_F(SquishStore, LongMixedSequenceKeepsEveryInvariant) {
  auto base = Open(true);
  std::mt19937 rng(20261206);
  U32s uids;
  std::uint32_t nextUid = 1;
  for (int step = 0; step < 300; ++step) {
    const unsigned what = rng() % 10;
    if (what < 6 || uids.empty()) {
      ASSERT_TRUE(Post(*base, "To " + std::to_string(step), Body(static_cast<int>(rng() % 60))));
      uids.push_back(nextUid++);
    } else if (what < 9) {
      const std::size_t k = rng() % uids.size();
      ASSERT_TRUE(Delete(*base, static_cast<std::int32_t>(uids[k]))) << step;
      uids.erase(uids.begin() + static_cast<std::ptrdiff_t>(k));
    } else {  // grow or shrink a loaded message
      base->PositionFrom(static_cast<std::int32_t>(uids[rng() % uids.size()]));
      ASSERT_TRUE(base->LoadMessage().ok()) << step;
      base->CutTextHere();
      for (const auto& l : Body(static_cast<int>(rng() % 80), "edit")) base->AppendTextLine(l.c_str());
      ASSERT_TRUE(base->StoreMessage().ok()) << step;
    }
    // The header reaches the file with every store and delete.
    ASSERT_TRUE(Sound()) << "after step " << step;
    ASSERT_EQ(base->MessageCount(), static_cast<std::int32_t>(uids.size()));
  }
  ASSERT_TRUE(base->CloseArea().ok());
  ASSERT_EQ(IndexSize(), uids.size() * 12);
  for (std::size_t i = 0; i < uids.size(); ++i) EXPECT_EQ(IndexU32(12 * i + 4), uids[i]);
  EXPECT_EQ(DataU32(20), nextUid);
}

TEST_F(SquishStore, ControlInformationLimit) {
  // 6 x 10001 + 5512 = 65518 bytes of control lines: with the NUL, the most
  // that loads back. One byte more, or a line over the 16384-byte line
  // buffer, is refused rather than cut.
  const std::string line = "\x01X" + std::string(9999, 'k');
  for (const std::size_t last : {5512, 5513, 20000}) {
    RemoveArea();
    auto base = Open(true);
    ASSERT_TRUE(base->BeginNewMessage().ok());
    for (int i = 0; i < (last < 20000 ? 6 : 0); ++i) base->AppendTextLine(line.c_str());
    base->AppendTextLine(("\x01Z" + std::string(last - 2, 'z')).c_str());
    base->AppendTextLine("body");
    const bool fits = last == 5512;
    EXPECT_EQ(base->StoreMessage().ok(), fits) << last;
    EXPECT_EQ(base->ErrorCode(), fits ? Errc::kNone : Errc::kSquishBadFrame);
    ASSERT_TRUE(base->CloseArea().ok());
    EXPECT_EQ(Data().size(), fits ? 256u + 28 + 238 + 65519 + 5 + 1 : 256u);
    if (fits) {
      base = Open();
      ASSERT_TRUE(Load(*base, 1));
      EXPECT_EQ(base->TextLength(), 6 * 10002 + 5513 + 5);
    }
  }
}

}  // namespace
}  // namespace mvx
