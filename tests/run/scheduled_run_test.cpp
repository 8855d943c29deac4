// The scheduled run end to end: configuration, tosser lookup, schedule, work
// flag, and the messages as they land on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "run/entry.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::Contains;
using runtest::IsMsgIdLine;
using runtest::LastRunEntries;
using runtest::LogEntriesOf;
using runtest::MsgFile;
using runtest::MsgFilesIn;
using runtest::ReadMsg;
using runtest::RunProgram;
using runtest::TextLines;
using Lines = std::vector<std::string>;

constexpr const char* kConfig =
    "; Marvex test configuration\r\n"
    "HPTPATH Fido.cfg\r\n"
    "FROM John Smith\r\n"
    "FROMADDR 2:5020/1\r\n"
    "ORIGIN Test station\r\n"
    "TEARLINE Marvex\r\n"
    "\r\n"
    "AREA Net.Talk\r\n"
    "  FILE News.txt\r\n"
    "  SUBJ Weekly news\r\n"
    "ENDAREA\r\n";

constexpr const char* kFidoconfig =
    "# tosser configuration\n"
    "EchoAreaDefaults -b Msg\n"
    "EchoArea NET.TALK Areas/NetTalk -d \"Talk about the net\" 2:5020/2\n"
    "EchoArea RU.SYSOP Areas/RuSysop -b Msg 2:5020/2\n";

class ScheduledRunTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& text) { testkit::WriteFileText(dir_ / name, text); }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
};

TEST_F(ScheduledRunTest, PostsIntoMsgAreaFoundThroughHptPath) {
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  Write("config.mvx", kConfig);
  Write("Fido.cfg", kFidoconfig);
  Write("News.txt", "Hello, world.\r\nSecond line\r\n");

  const auto r = RunProgram({});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(LogEntriesOf(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with Net.Talk",
                   " >> Posting News.txt to Net.Talk // Talk about the net",
                   " >> From: John Smith, 2:5020/1", "  - Ok...", "", "End..", "<end>"}));
  // The console shows the same entries, after the new log's notice.
  const auto console = runtest::SplitLines(r.console);
  ASSERT_GE(console.size(), 2u);
  EXPECT_EQ(console[0], "Made new log file");
  EXPECT_EQ(console[1], " 06.12.26 04:57:36 Marvex 2.1: started..");

  const auto files = MsgFilesIn(dir_ / "Areas/NetTalk");
  ASSERT_EQ(files.size(), 1u);
  const MsgFile m = ReadMsg(files[0]);
  EXPECT_EQ(m.from, "John Smith");
  EXPECT_EQ(m.to, "All");
  EXPECT_EQ(m.subject, "Weekly news");
  EXPECT_EQ(m.dateText, "06 Dec 26  04:57:36");
  EXPECT_EQ(m.origNet, 5020);
  EXPECT_EQ(m.origNode, 1);
  EXPECT_EQ(m.destNet, 0);
  EXPECT_EQ(m.destNode, 0);
  EXPECT_EQ(m.attributes, 0x0100);
  // Date word of 6 Dec 2026 then time word of 04:57:36, little-endian.
  EXPECT_EQ(m.bytes[176], 0x86);
  EXPECT_EQ(m.bytes[177], 0x5D);
  EXPECT_EQ(m.bytes[178], 0x32);
  EXPECT_EQ(m.bytes[179], 0x27);
  EXPECT_TRUE(m.endsWithNul);

  const std::string msgid = m.text.substr(0, m.text.find('\r'));
  EXPECT_TRUE(IsMsgIdLine(msgid, "2:5020/1")) << msgid;
  EXPECT_EQ(m.text, msgid +
                        "\r\x01PID: Marvex 2.2Alpha\r"
                        "Hello, world.\rSecond line\r"
                        "\r"
                        "--- Marvex\r"
                        " * Origin: Test station (2:5020/1)\r");
  EXPECT_EQ(m.bytes.size(), 190 + m.text.size() + 1);

  // The run was complete: the flag is there, empty, dated today.
  const auto flag = platform::GetFileDosTime("EVERYDAY.FLG");
  ASSERT_TRUE(flag.has_value());
  EXPECT_EQ(*flag >> 16, 0x5D86u);
  EXPECT_TRUE(testkit::ReadFileBytes(dir_ / "EVERYDAY.FLG").empty());
}

TEST_F(ScheduledRunTest, PostsIntoMsgAreaFoundThroughSquishConfig) {
  testkit::ScopedClock clock(2026, 12, 6, 10, 0, 0);
  Write("config.mvx",
        "SQUISH squish.cfg\n"
        "FROMADDR 2:5020/1\n"
        "AREA LOCAL.NEWS\nFILE news.txt\nFROM Robot\nTO Everybody\nENDAREA\n");
  Write("squish.cfg", ";EchoArea LOCAL.NEWS wrong\\path\nEchoArea local.news Areas\\LocalNews -p2:5020/7 1:1/1\n");
  Write("news.txt", "News of the day\n");
  EXPECT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with LOCAL.NEWS",
                   " >> Posting news.txt to LOCAL.NEWS", " >> From: Robot, 2:5020/7", "  - Ok...",
                   "", "End..", "<end>"}));
  EXPECT_FALSE(testkit::PathExists(dir_ / "wrong"));
  const auto files = MsgFilesIn(dir_ / "Areas/LocalNews");
  ASSERT_EQ(files.size(), 1u);
  const MsgFile m = ReadMsg(files[0]);
  EXPECT_EQ(m.from, "Robot");
  EXPECT_EQ(m.to, "Everybody");
  const auto lines = TextLines(m.text);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(IsMsgIdLine(lines[0], "2:5020/7")) << lines[0];
  EXPECT_EQ(lines[2], "News of the day");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "--- ");
  EXPECT_EQ(lines[5], " * Origin: Autoposted message (2:5020/7)");
}

TEST_F(ScheduledRunTest, ScheduleRulesOnChosenDates) {
  Write("Fido.cfg", kFidoconfig);
  Write("News.txt", "x\n");
  Write("config.mvx",
        "HPTPATH Fido.cfg\nFILE News.txt\n"
        "AREA NET.TALK\nFILE News.txt\nWHEN WEEKLY 1 5\nENDAREA\n"
        "AREA RU.SYSOP\nFILE News.txt\nWHEN MOUNTHLY 31\nENDAREA\n"
        "AREA NET.TALK\nFILE News.txt\nWHEN YEARLY 2027\nENDAREA\n");
  struct Day {
    int y, m, d;
    bool weekly, monthly, yearly;
  };
  // 7 Dec 2026 Monday; 31 Dec 2026 Thursday; 11 Apr 2027 Sunday (April
  // has no 31st); 31 Jan 2027 Sunday.
  const Day days[] = {{2026, 12, 7, true, false, false},
                      {2026, 12, 31, false, true, false},
                      {2027, 4, 11, false, false, true},
                      {2027, 1, 31, false, true, true}};
  for (const Day& d : days) {
    testkit::ScopedClock clock(d.y, d.m, d.d, 9, 0, 0);
    EXPECT_EQ(RunProgram({"-d"}).code, 0);
    const auto log = LastRunEntries(dir_.path());
    EXPECT_EQ(Contains(log, "     [-]> Skipping NET.TALK by date..."), !(d.weekly && d.yearly))
        << d.y << "-" << d.m << "-" << d.d;
    EXPECT_EQ(Contains(log, "     [-]> Skipping RU.SYSOP by date..."), !d.monthly);
    EXPECT_EQ(Contains(log, " >> Posting News.txt to RU.SYSOP"), d.monthly);
    EXPECT_EQ(std::count(log.begin(), log.end(), " >> Posting News.txt to NET.TALK // Talk about the net"),
              (d.weekly ? 1 : 0) + (d.yearly ? 1 : 0));
  }
  // Postings: weekly once, yearly twice into NetTalk; monthly twice into RuSysop.
  EXPECT_EQ(MsgFilesIn(dir_ / "Areas/NetTalk").size(), 3u);
  EXPECT_EQ(MsgFilesIn(dir_ / "Areas/RuSysop").size(), 2u);
}

TEST_F(ScheduledRunTest, WorkFlagRefusesTheSecondRunOfTheDay) {
  Write("config.mvx", kConfig);
  Write("Fido.cfg", kFidoconfig);
  Write("News.txt", "x\n");
  const std::string area = dir_ / "Areas/NetTalk";
  {
    testkit::ScopedClock clock(2026, 12, 6, 8, 0, 0);
    EXPECT_EQ(RunProgram({}).code, 0);
    EXPECT_EQ(MsgFilesIn(area).size(), 1u);
  }
  {
    testkit::ScopedClock clock(2026, 12, 6, 20, 0, 0);
    const auto r = RunProgram({});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(LastRunEntries(dir_.path()),
              (Lines{"Marvex 2.1: started..", "We can't continue because of already worked today...",
                     "End..", "<end>"}));
    EXPECT_EQ(MsgFilesIn(area).size(), 1u);
    // -d (in any case) runs anyway and rewrites the flag.
    EXPECT_EQ(RunProgram({"-D"}).code, 0);
    EXPECT_EQ(MsgFilesIn(area).size(), 2u);
    // -d that is not the whole rest of the command line is no -d.
    EXPECT_EQ(RunProgram({"-d", "extra"}).code, 0);
    EXPECT_EQ(MsgFilesIn(area).size(), 2u);
  }
  {
    testkit::ScopedClock clock(2026, 12, 7, 0, 0, 5);
    EXPECT_EQ(RunProgram({}).code, 0);
    EXPECT_EQ(MsgFilesIn(area).size(), 3u);
  }
}

TEST_F(ScheduledRunTest, LastYearsFlagDoesNotBlock) {
  Write("config.mvx", kConfig);
  Write("Fido.cfg", kFidoconfig);
  Write("News.txt", "x\n");
  Write("EVERYDAY.FLG", "");
  ASSERT_TRUE(platform::SetFileTime("EVERYDAY.FLG", platform::LocalTime{2025, 12, 7, 9, 0, 0}));
  testkit::ScopedClock clock(2026, 12, 7, 9, 0, 0);
  EXPECT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(MsgFilesIn(dir_ / "Areas/NetTalk").size(), 1u);
  const auto flag = platform::GetFileDosTime("EVERYDAY.FLG");
  ASSERT_TRUE(flag.has_value());
  EXPECT_EQ(*flag >> 16, static_cast<std::uint32_t>((46 << 9) | (12 << 5) | 7));
}

TEST_F(ScheduledRunTest, ErrorsAreLoggedAndTheRunGoesOn) {
  testkit::ScopedClock clock(2026, 12, 6, 9, 0, 0);
  Write("blocker", "a file where a directory should be");
  Write("Fido.cfg",
        "EchoArea NET.TALK Areas/NetTalk -b Msg\n"
        "EchoArea BLOCKED blocker/area -b Msg\n");
  Write("News.txt", "x\n");
  Write("config.mvx",
        "HPTPATH Fido.cfg\n"
        "AREA NET.TALK\nFILE Missing.txt\nENDAREA\n"
        "AREA NO.SUCH\nFILE News.txt\nENDAREA\n"
        "AREA BLOCKED\nFILE News.txt\nENDAREA\n"
        "AREA NET.TALK\nFILE News.txt\nFROMADDR 2:50x/1\nENDAREA\n");
  EXPECT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(LogEntriesOf(dir_.path()),
            (Lines{"Marvex 2.1: started..",
                   "Loading config.mvx",
                   " [+] Working with NET.TALK",
                   " >> Posting Missing.txt to NET.TALK",
                   " >> From: Sysop, 0:0/0",
                   "[err] File not found \"Missing.txt\"",
                   "[err] We can't make posting...",
                   "",
                   "Area NO.SUCH not found... ",
                   " [+] Working with NO.SUCH",
                   "[err] Unable to open/create msgbase \"\"",
                   "[err] We can't make posting...",
                   "",
                   " [+] Working with BLOCKED",
                   "[err] Unable to open/create msgbase \"blocker/area\"",
                   "[err] We can't make posting...",
                   "",
                   " [+] Working with NET.TALK",
                   "Error converting 2:50x/1",
                   " >> Posting News.txt to NET.TALK",
                   " >> From: Sysop, 0:0/0",
                   "  - Ok...",
                   "",
                   "End..",
                   "<end>"}));
  EXPECT_EQ(MsgFilesIn(dir_ / "Areas/NetTalk").size(), 1u);
}

TEST_F(ScheduledRunTest, CommonLinesBetweenBlocksChangeLaterBlocksOnly) {
  testkit::ScopedClock clock(2026, 12, 6, 9, 0, 0);
  Write("Fido.cfg", kFidoconfig);
  Write("News.txt", "x\n");
  Write("other.cfg", "EchoArea RU.SYSOP Other/RuSysop -b Msg\n");
  Write("config.mvx",
        "HPTPATH Fido.cfg\n"
        "AREA NET.TALK\nFILE News.txt\nHPTPATH other.cfg\nENDAREA\n"
        "FROM Second Sender\n"
        "AREA RU.SYSOP\nFILE News.txt\nENDAREA\n");
  EXPECT_EQ(RunProgram({}).code, 0);
  const auto log = LogEntriesOf(dir_.path());
  EXPECT_TRUE(Contains(log, " >> From: Sysop, 0:0/0"));
  EXPECT_TRUE(Contains(log, " >> From: Second Sender, 0:0/0"));
  // HPTPATH inside the first block took effect from the second block on.
  EXPECT_EQ(MsgFilesIn(dir_ / "Areas/NetTalk").size(), 1u);
  EXPECT_EQ(MsgFilesIn(dir_ / "Other/RuSysop").size(), 1u);
  EXPECT_FALSE(testkit::PathExists(dir_ / "Areas/RuSysop"));
}

TEST_F(ScheduledRunTest, HostileConfigurationEndsNormally) {
  testkit::ScopedClock clock(2026, 12, 6, 9, 0, 0);
  std::string cfg;
  cfg += std::string(10000, 'A') + "\n";
  cfg += std::string("\x00\x01\x02\x03\xff\xfe", 6) + "\n";
  cfg += "AREA\tTAB\n\tENDAREA\n";  // a tab is no blank: no AREA line
  cfg += "FROM \xa8\xa2\xa0\xad\n";
  cfg += "AREA \xad\xa5\xe2 \n";
  cfg += "WHEN WEEKLY 1,2,3\nFROMADDR x:y/z\nFLAGS $zz\n";  // no ENDAREA
  Write("config.mvx", cfg);
  EXPECT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(LogEntriesOf(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with \xad\xa5\xe2 ",
                   "Error converting x:y/z", "     [-]> Skipping \xad\xa5\xe2  by date...", "",
                   "End..", "<end>"}));
  EXPECT_TRUE(testkit::PathExists(dir_ / "EVERYDAY.FLG"));
}

}  // namespace
}  // namespace mvx
