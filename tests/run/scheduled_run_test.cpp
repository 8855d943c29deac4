// The program end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <tuple>

#include "run_test_support.h"

namespace mvx {
namespace {

using runtest::IsMsgId;
using runtest::Lines;

class ScheduledRunTest : public runtest::RunTest {
 protected:
  void SetUp() override {
    Write("Fido.cfg",
          "# tosser configuration\nEchoAreaDefaults -b Msg\n"
          "EchoArea NET.TALK Areas/NetTalk -d \"Talk about the net\" 2:5020/2\n"
          "EchoArea RU.SYSOP Areas/RuSysop -b Msg 2:5020/2\n");
    Write("News.txt", "Hello, world.\r\nSecond line\r\n");
  }
  const Lines kRefused = {"Marvex 2.1: started..", "We can't continue because of already worked today...", "End..", ""};
  // Everything under the test directory with sizes and modification times.
  Lines Snapshot() const {
    namespace fs = std::filesystem;
    const auto stamp = [](const fs::path& p) { return std::to_string(fs::last_write_time(p).time_since_epoch().count()); };
    Lines out = {stamp(dir_.path())};
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir_.path())) {
      out.push_back(e.path().string() + " " + (e.is_regular_file() ? std::to_string(e.file_size()) : "dir") + " " +
                    stamp(e.path()));
    }
    std::sort(out.begin() + 1, out.end());
    return out;
  }
};

TEST_F(ScheduledRunTest, HelpRequestShowsUsageWithoutOpeningTheLog) {
  std::string usage;
  for (const char* h : {"-h", "-H", "-?", "/?", "/h", "/H"}) {
    EXPECT_EQ(Run({h, "-c", "x"}), 255) << h;
    EXPECT_TRUE(console_.starts_with("Usage\nmarvex.exe [-c <config>]")) << console_;
    EXPECT_EQ(console_, usage.empty() ? usage = console_ : usage) << h;
  }
  EXPECT_FALSE(Exists("Marvex.Log") || Exists("EVERYDAY.FLG"));
}

TEST_F(ScheduledRunTest, CommandLineOrders) {
  Write("MY.CFG", "WHEN WEEKLY 9\nAREA Found.It\nENDAREA\n");
  // Help only as the first parameter; a missing configuration is logged. The
  // name keeps its case and is found whatever the disk's case.
  const std::pair<std::vector<std::string>, Lines> cases[] = {
      {{"-d", "-?"}, {"Loading config.mvx", "Error reading cfg file: " + runtest::NoSuchFile()}},
      {{"-c", "My.Cfg", "-d"}, {"Loading My.Cfg", " [+] Working with Found.It"}}};
  for (const auto& [args, log] : cases) {
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(LastRun(1, 2), log) << args[0];
  }
}

TEST_F(ScheduledRunTest, ConfigurationThatFailsOnItsFirstReadEndsWith255) {
  const std::string bad = runtest::UnreadableFile();
  if (bad.empty()) GTEST_SKIP() << "no file here whose reads fail";
  EXPECT_EQ(Run({"-c", bad}), 255);
  EXPECT_EQ(LastRun(), (Lines{"Marvex 2.1: started..", "Loading " + bad, "[err] Error reading file " + bad,
                              "[err] Program terninated...", "", "End..", ""}));
  EXPECT_FALSE(Exists("EVERYDAY.FLG"));  // not read to its end
  EXPECT_EQ(Run({"-c", bad, "-p", "x.txt", "AREA"}), 255);
}

TEST_F(ScheduledRunTest, PostsIntoMsgAreaFoundThroughHptPath) {
  Write("config.mvx",
        "; Marvex test configuration\r\nHPTPATH Fido.cfg\r\nFROM John Smith\r\nFROMADDR 2:5020/1\r\n\r\n"
        "AREA Net.Talk\r\n  FILE News.txt\r\n  SUBJ Weekly news\r\n  TO Everybody\r\n  TOADDR 2:5030/4\r\n"
        "  ORIGIN Test station\r\n  TEARLINE Marvex\r\n  FLAGS Pvt K/s\r\nENDAREA\r\n");
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(LastRun(), (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with Net.Talk",
                              " >> Posting News.txt to Net.Talk // Talk about the net",
                              " >> Base: MSG " + runtest::Shown(dir_.path(), "/Areas/NetTalk"), " >> From: John Smith, 2:5020/1",
                              " >> To: Everybody, 2:5030/4", " >> Subj: Weekly news", "  - Ok...", "", "End..", ""}));

  const auto msgs = Msgs("Areas/NetTalk");
  ASSERT_EQ(msgs.size(), 1u);
  const runtest::Msg& m = msgs[0];
  EXPECT_EQ((Lines{m.Field(0), m.Field(36), m.Field(72), m.Field(144)}),
            (Lines{"John Smith", "Everybody", "Weekly news", "06 Dec 26  04:57:36"}));
  // Destination node, origin node, origin net, destination net, then the
  // date word of 6 Dec 2026 and the time word of 04:57:36, attributes Local,
  // Kill/sent and Private.
  EXPECT_EQ((std::vector<unsigned>{m.U16(166), m.U16(168), m.U16(172), m.U16(174), m.U16(176), m.U16(178),
                                   m.U16(186)}),
            (std::vector<unsigned>{4, 1, 5020, 5030, 0x5D86, 0x2732, 0x0181}));
  ASSERT_EQ(m.lines.size(), 7u);
  EXPECT_TRUE(IsMsgId(m.lines[0], "2:5020/1")) << m.lines[0];
  EXPECT_EQ(Lines(m.lines.begin() + 1, m.lines.end()),
            (Lines{"\x01PID: Marvex 2.2Alpha", "Hello, world.", "Second line", "", "--- Marvex",
                   " * Origin: Test station (2:5020/1)"}));
  // The run was complete: the flag is there, empty, stamped now.
  EXPECT_EQ(platform::GetFileDosTime(dir_ / "EVERYDAY.FLG").value_or(0), 0x5D862732u);
  EXPECT_TRUE(testkit::ReadFileBytes(dir_ / "EVERYDAY.FLG").empty());
}

TEST_F(ScheduledRunTest, WorkFlagAllowsOneRunADay) {
  Write("config.mvx", "HPTPATH Fido.cfg\nAREA NET.TALK\nFILE News.txt\nENDAREA\n");
  // A flag left on the same day of last year does not block.
  Write("EVERYDAY.FLG", "");
  ASSERT_TRUE(platform::SetFileTime(dir_ / "EVERYDAY.FLG", platform::LocalTime{2025, 12, 6, 8, 0, 0}).ok());
  // Day, hour, parameters, messages in the area afterwards, refused.
  const std::tuple<int, int, std::vector<std::string>, std::size_t, bool> steps[] = {
      {6, 8, {}, 1, false}, {6, 20, {}, 1, true},
      {6, 20, {"-D"}, 2, false},          // -d in any case runs anyway
      {6, 20, {"-d", "extra"}, 2, true},  // -d must be all that is left
      {7, 0, {}, 3, false}};              // after midnight
  for (const auto& [day, hour, args, messages, refused] : steps) {
    At(2026, 12, day, hour);
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(LastRun() == kRefused, refused) << day << " " << hour;
    EXPECT_EQ(Msgs("Areas/NetTalk").size(), messages) << day << " " << hour;
  }
  // Stamped with the date of the last run: (2026 - 1980) << 9 | 12 << 5 | 7.
  EXPECT_EQ(platform::GetFileDosTime(dir_ / "EVERYDAY.FLG").value_or(0) >> 16, 0x5D87u);
}

TEST_F(ScheduledRunTest, DryRunShowsTodaysDecisionsAndWritesNothing) {
  Write("Long.txt", runtest::NumberedText(40000));
  Write("config.mvx",
        "HPTPATH Fido.cfg\nAREA NET.TALK\nFILE Long.txt\nENDAREA\nAREA RU.SYSOP\nFILE News.txt\nWHEN WEEKLY 1\nENDAREA\n"
        "AREA NO.SUCH\nFILE Missing.txt\nCHARSET KOI8-U\nENDAREA\n");
  Write("EVERYDAY.FLG", "");  // today's run is done
  ASSERT_TRUE(platform::SetFileTime(dir_ / "EVERYDAY.FLG", platform::LocalTime{2026, 12, 6, 1, 0, 0}).ok());
  const Lines before = Snapshot();
  const std::string head[] = {"Marvex 2.1: started..", "Dry run: nothing is posted, and no file is written"};
  const Lines decisions = {head[0], head[1], "Loading config.mvx", " [+] Working with NET.TALK", " >> Due: Long.txt to NET.TALK // Talk about the net",
      " >> Base: MSG " + runtest::Shown(dir_.path(), "/Areas/NetTalk"), " >> Parts: 3", "", " [+] Working with RU.SYSOP",
      "     [-]> Skipping RU.SYSOP by date...", "", "[err] Area NO.SUCH not found in Fido.cfg",
      " [+] Working with NO.SUCH", " >> Due: Missing.txt to NO.SUCH",
      "[err] Unknown CHARSET \"KOI8-U\": the known ones are CP866, UTF-8, KOI8-R, CP1251 and LATIN-1",
      "[err] No message base for NO.SUCH: nothing would be posted", "[err] File not found \"Missing.txt\"", "",
      "End..", ""};
  const std::pair<std::vector<std::string>, Lines> cases[] = {
      {{"-n"}, {head[0], head[1], kRefused[1], "End..", ""}},  // the work flag decides as well
      {{"-D", "-N"}, decisions}};
  for (const auto& [args, console] : cases) {
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(runtest::Entries(console_), console) << args[0];
    EXPECT_EQ(Snapshot(), before) << args[0];
  }
  // Without a flag no trial flag is made either.
  std::remove((dir_ / "EVERYDAY.FLG").c_str());
  const Lines noFlag = Snapshot();
  EXPECT_EQ(Run({"-n"}), 0);
  EXPECT_EQ(Snapshot(), noFlag);
  // The run itself does what the dry run showed.
  EXPECT_EQ(Run({"-d"}), 0);
  EXPECT_EQ(Msgs("Areas/NetTalk").size(), 3u);
  EXPECT_FALSE(Exists("Areas/RuSysop"));
}

TEST_F(ScheduledRunTest, ErrorsAreLoggedAndTheRunGoesOn) {
  Write("blocker", "a file where a directory should be");
  Write("Fido.cfg", "EchoArea NET.TALK Areas/NetTalk -b Msg\nEchoArea BLOCKED blocker/area -b Msg\n");
  Write("Other.cfg", "EchoArea NET.TALK Other/NetTalk -b Squish\n");
  Write("config.mvx", "HPTPATH Fido.cfg\nAREA BLOCKED\nFILE News.txt\nHPTPATH Other.cfg\nENDAREA\nFROM Second Sender\n"
                      "AREA NET.TALK\nFILE News.txt\nFROMADDR 2:50x/1\nENDAREA\n");
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(LastRun(3, 1), Lines{"[err] Unable to open/create msgbase \"blocker/area\": the area directory is missing"});
  // A common line between blocks changes the later ones; HPTPATH in a block
  // takes effect from the next block on.
  EXPECT_EQ(LastRun(6, 5), (Lines{" [+] Working with NET.TALK", "Error converting 2:50x/1", " >> Posting News.txt to NET.TALK",
                                  " >> Base: Squish " + runtest::Shown(dir_.path(), "/Other/NetTalk"),
                                  " >> From: Second Sender, 0:0/0"}));
  EXPECT_FALSE(Exists("Areas"));
  EXPECT_TRUE(Exists("Other/NetTalk.sqd"));
}

}  // namespace
}  // namespace mvx
