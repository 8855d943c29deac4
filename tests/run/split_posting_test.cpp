// A file larger than one message: numbered parts with the encoded-posting
// begin and end lines.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "run/entry.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::Contains;
using runtest::IsMsgIdLine;
using runtest::LastRunEntries;
using runtest::MsgFile;
using runtest::MsgFilesIn;
using runtest::ReadMsg;
using runtest::RunProgram;
using runtest::SplitLines;
using runtest::TextLines;
using Lines = std::vector<std::string>;

class SplitPostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("fido.cfg", "EchoArea BIG.FILES areas/big -b Msg\n");
    // 500 lines of 78 characters and CR LF: 40000 bytes, parts of 204, 204
    // and 92 lines.
    int error = 0;
    ASSERT_TRUE(platform::CreateDirectory(dir_ / "files", &error));
    big_ = runtest::NumberedText(40000);
    ASSERT_EQ(big_.size(), 40000u);
    testkit::WriteFileText(dir_ / "files/big.txt", big_);
  }
  void Write(const std::string& name, const std::string& text) { testkit::WriteFileText(dir_ / name, text); }
  std::vector<MsgFile> Messages() {
    std::vector<MsgFile> out;
    for (const std::string& p : MsgFilesIn(dir_ / "areas/big")) out.push_back(ReadMsg(p));
    return out;
  }
  // The file's lines without their line ends.
  std::vector<std::string> BigLines() const {
    std::vector<std::string> out;
    for (std::string l : SplitLines(big_)) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      out.push_back(l);
    }
    return out;
  }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  testkit::ScopedClock clock_{2026, 12, 6, 12, 0, 0};
  std::string big_;
};

TEST_F(SplitPostingTest, ThreePartsWithBeginAndEndControlLines) {
  Write("config.mvx",
        "HPTPATH fido.cfg\nFROMADDR 2:5020/1.3\nUSEENCODEDSTRING yes\n"
        "AREA BIG.FILES\nFILE files\\big.txt\nSUBJ Big file\nENDAREA\n");
  ASSERT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with BIG.FILES",
                   " >> Posting files\\big.txt to BIG.FILES", " >> From: Sysop, 2:5020/1.3",
                   "   -> [1/3]", "   -> [2/3]", "   -> [3/3]", "  - Ok...", "", "End..", "<end>"}));
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 3u);
  std::vector<std::string> body;
  const std::size_t sizes[] = {204, 204, 92};
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(msgs[i].subject, "[" + n + "/3] Big file");
    const auto lines = TextLines(msgs[i].text);
    ASSERT_EQ(lines.size(), 3 + sizes[i] + 4);
    EXPECT_TRUE(IsMsgIdLine(lines[0], "2:5020/1.3")) << lines[0];
    EXPECT_EQ(lines[1], "\x01PID: Marvex 2.2Alpha");
    EXPECT_EQ(lines[2], "\x01text.begin " + n + " of 3 of file big.txt");
    body.insert(body.end(), lines.begin() + 3, lines.begin() + 3 + sizes[i]);
    EXPECT_EQ(lines[3 + sizes[i]], "\x01text.end");
    EXPECT_EQ(lines[4 + sizes[i]], "");
    EXPECT_EQ(lines[5 + sizes[i]], "--- ");
    EXPECT_EQ(lines[6 + sizes[i]], " * Origin: Autoposted message (2:5020/1.3)");
  }
  // No line lost or repeated across the part boundaries.
  EXPECT_EQ(body, BigLines());
}

TEST_F(SplitPostingTest, PlainEncodingLinesWithoutKludgeMark) {
  Write("config.mvx",
        "HPTPATH fido.cfg\nUSEENCODEDSTRING yes\nUSEENCODEDMESSAGE yes\n"
        "AREA BIG.FILES\nFILE files/big.txt\nUSEASKLUDGE no\nBEGINENCODEDSTRING <% %>\n"
        "ENDENCODEDSTRING <end>\nENDAREA\n");
  ASSERT_EQ(RunProgram({}).code, 0);
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 3u);
  const auto second = TextLines(msgs[1].text);
  EXPECT_EQ(second[2], "for decode use Lumok.exe /decode");
  // Two placeholders: the file name, left over, goes in front.
  EXPECT_EQ(second[3], "big.txt<2 3>");
  EXPECT_EQ(second[4], BigLines()[204]);
  EXPECT_EQ(second[4 + 204], "<end>");
}

TEST_F(SplitPostingTest, LastPartEndingInDotsHasNoEmptyLine) {
  testkit::WriteFileText(dir_ / "files/big.txt", big_ + "...\r\n");
  Write("config.mvx", "HPTPATH fido.cfg\nAREA BIG.FILES\nFILE files/big.txt\nENDAREA\n");
  ASSERT_EQ(RunProgram({}).code, 0);
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 3u);
  const auto first = TextLines(msgs[0].text);
  EXPECT_EQ(first[first.size() - 3], "");
  const auto last = TextLines(msgs[2].text);
  EXPECT_EQ(last[last.size() - 3], "...");
  EXPECT_EQ(last[last.size() - 2], "--- ");
  EXPECT_TRUE(Contains(LastRunEntries(dir_.path()), "   -> [3/3]"));
}

}  // namespace
}  // namespace mvx
