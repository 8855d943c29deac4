// The -p run: one file posted into one area named on the command line.
#include <gtest/gtest.h>

#include "run/entry.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::IsMsgIdLine;
using runtest::LastRunEntries;
using runtest::MsgFile;
using runtest::MsgFilesIn;
using runtest::ReadMsg;
using runtest::RunProgram;
using runtest::TextLines;
using Lines = std::vector<std::string>;

class CommandLinePostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("Fido.cfg", "EchoArea NET.TALK Areas/NetTalk -b Msg -d \"Talk about the net\"\n");
    Write("News.txt", "Line one\n");
    Write("config.mvx",
          "HPTPATH Fido.cfg\nFROM John Smith\nFROMADDR 2:5020/1\n"
          "AREA NET.TALK\nFILE News.txt\nENDAREA\n"
          "FROM Never Read\n");
  }
  void Write(const std::string& name, const std::string& text) { testkit::WriteFileText(dir_ / name, text); }
  std::vector<MsgFile> Messages() {
    std::vector<MsgFile> out;
    for (const std::string& p : MsgFilesIn(dir_ / "Areas/NetTalk")) out.push_back(ReadMsg(p));
    return out;
  }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  testkit::ScopedClock clock_{2026, 12, 6, 12, 0, 0};
};

TEST_F(CommandLinePostTest, QuotedAndUnquotedKeywordValues) {
  const auto r = RunProgram({"-p", "News.txt", "net.talk", "Subj", "hello", "From", "\"Ivan Petrov\"",
                      "FromAddr", "2:5020/9", "Origin", "\"Far Away\"", "NoSuchKey", "v", "TO"});
  EXPECT_EQ(r.code, 0);
  // The announcement shows the sender of the configuration.
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx",
                   " >> Posting News.txt to NET.TALK // Talk about the net",
                   " >> From: John Smith, 2:5020/1", "  - Ok...", "End..", "<end>"}));
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].subject, "HELLO");  // an unquoted value is one upper-cased word
  EXPECT_EQ(msgs[0].from, "Ivan Petrov");
  EXPECT_EQ(msgs[0].to, "All");
  const auto lines = TextLines(msgs[0].text);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(IsMsgIdLine(lines[0], "2:5020/9")) << lines[0];
  EXPECT_EQ(lines[2], "Line one");
  EXPECT_EQ(lines[5], " * Origin: Far Away (2:5020/9)");
  // The configuration was read only up to its first AREA line: no flag.
  EXPECT_FALSE(testkit::PathExists(dir_ / "EVERYDAY.FLG"));
}

TEST_F(CommandLinePostTest, ValueWithBlanksFromTheShellStaysOneValue) {
  EXPECT_EQ(RunProgram({"-p", "News.txt", "NET.TALK", "SUBJ", "Hello World", "TEARLINE", "My tear"}).code, 0);
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].subject, "Hello World");
  EXPECT_EQ(TextLines(msgs[0].text)[4], "--- My tear");
}

TEST_F(CommandLinePostTest, ConfigOptionOnlyCountsBeforeDashP) {
  Write("other.cfg", "HPTPATH Fido.cfg\nFROM Other Sender\n");
  EXPECT_EQ(RunProgram({"-c", "other.cfg", "-p", "News.txt", "NET.TALK"}).code, 0);
  auto log = LastRunEntries(dir_.path());
  EXPECT_EQ(log[1], "Loading other.cfg");
  EXPECT_EQ(log[3], " >> From: Other Sender, 0:0/0");
  // Read to its end: the flag is written.
  EXPECT_TRUE(testkit::PathExists(dir_ / "EVERYDAY.FLG"));

  EXPECT_EQ(RunProgram({"-p", "News.txt", "NET.TALK", "-c", "other.cfg"}).code, 0);
  log = LastRunEntries(dir_.path());
  EXPECT_EQ(log[1], "Loading config.mvx");
  EXPECT_EQ(log[3], " >> From: John Smith, 2:5020/1");
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(CommandLinePostTest, EndOfCommonPartStopsTheReading) {
  Write("config.mvx", "HPTPATH Fido.cfg\nFROM First\n[EndOfCommonPart]\nFROM Second\n");
  EXPECT_EQ(RunProgram({"-p", "News.txt", "NET.TALK"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path())[3], " >> From: First, 0:0/0");
  EXPECT_FALSE(testkit::PathExists(dir_ / "EVERYDAY.FLG"));
}

TEST_F(CommandLinePostTest, WorkFlagIsNotTested) {
  EXPECT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(RunProgram({"-p", "News.txt", "NET.TALK"}).code, 0);
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(CommandLinePostTest, FailuresAreLogged) {
  EXPECT_EQ(RunProgram({"-p", "Missing.txt", "NO.SUCH", "FromAddr", "2:x"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", "Area NO.SUCH not found... ",
                   "[err] Unable to open/create msgbase \"\"", "[err] File not found \"Missing.txt\"",
                   "Error converting 2:X", "[err] We can't make posting...", "End..", "<end>"}));
  // -p alone: the file and the area are the option's own word.
  EXPECT_EQ(RunProgram({"-p"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path())[2], "Area -P not found... ");
}

}  // namespace
}  // namespace mvx
