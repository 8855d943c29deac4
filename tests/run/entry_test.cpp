// The program start: usage screen, command string, -c and -d.
#include "run/entry.h"

#include <gtest/gtest.h>

#include <sstream>

#include "run/run_context.h"
#include "run/work_flag.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::LastRunEntries;
using runtest::LogEntriesOf;
using runtest::RunProgram;
using Lines = std::vector<std::string>;

constexpr const char* kUsage =
    "Usage\n"
    "marvex.exe [-c <config>] [-p <path\\file.ext> <AreaName>] [-d]\n"
    "  -c  <config>                  - alternative cfg file\n"
    "  -d                            - fuck workflag\n"
    "  -p <path\\file.ext> <AreaName> - post file to area\n\r\n"
    "      You can use all of program keywords for setup posting like this:\n\r\n"
    "      marvex -p c:\\fido\\rules.txt NET.TALK From \"John Smith\" FromAddr 2:5020/1234.5\n\r\n"
    "      All other information will be got from cfg file\n";

class EntryTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& text) { testkit::WriteFileText(dir_ / name, text); }
  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  testkit::ScopedClock clock_{2026, 12, 6, 12, 0, 0};
};

TEST_F(EntryTest, HelpRequestShowsUsageWithoutOpeningTheLog) {
  for (const char* h : {"-h", "-H", "-?", "/?", "/h", "/H"}) {
    const auto r = RunProgram({h, "-c", "x"});
    EXPECT_EQ(r.code, 255) << h;
    EXPECT_EQ(r.console, kUsage) << h;
  }
  EXPECT_FALSE(testkit::PathExists(dir_ / "Marvex.Log"));
  EXPECT_FALSE(testkit::PathExists(dir_ / "EVERYDAY.FLG"));
}

TEST_F(EntryTest, HelpAsSecondParameterIsNoHelp) {
  const auto r = RunProgram({"-d", "-?"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(LogEntriesOf(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", "Error reading cfg file", "End..",
                   "<end>"}));
  // A missing configuration still counts as the day's run.
  EXPECT_TRUE(testkit::PathExists(dir_ / "EVERYDAY.FLG"));
}

TEST_F(EntryTest, ConfigNameKeepsItsCaseAndIsFoundWhateverTheDiskCase) {
  Write("MY.CFG", "WHEN WEEKLY 9\nAREA Found.It\nENDAREA\n");
  EXPECT_EQ(RunProgram({"-c", "My.Cfg"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading My.Cfg", " [+] Working with Found.It",
                   "     [-]> Skipping Found.It by date...", "", "End..", "<end>"}));
}

TEST_F(EntryTest, ConfigOptionAsLastParameterNamesItself) {
  EXPECT_EQ(RunProgram({"-c"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading -c", "Error reading cfg file", "End..", "<end>"}));
}

TEST_F(EntryTest, DashDMustBeAllThatIsLeft) {
  Write("my.cfg", "");
  Write("config.mvx", "");
  EXPECT_EQ(RunProgram({}).code, 0);  // today's run: writes the flag
  // "-d -c my.cfg": neither a -d nor a -c run.
  EXPECT_EQ(RunProgram({"-d", "-c", "my.cfg"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "We can't continue because of already worked today...",
                   "End..", "<end>"}));
  // "-c my.cfg -d": both.
  EXPECT_EQ(RunProgram({"-c", "my.cfg", "-d"}).code, 0);
  EXPECT_EQ(LastRunEntries(dir_.path()),
            (Lines{"Marvex 2.1: started..", "Loading my.cfg", "End..", "<end>"}));
}

TEST(JoinParametersTest, JoinsRequotesAndCuts) {
  EXPECT_EQ(JoinParameters({"-p", "a.txt", "AREA", "Subj", "Two words", "From", "\"Q R\""}),
            "-p a.txt AREA Subj \"Two words\" From \"Q R\"");
  EXPECT_EQ(JoinParameters({"", "x"}), "x");
  EXPECT_EQ(JoinParameters({}), "");
  const Str cut = JoinParameters({std::string(200, 'a'), std::string(200, 'b')});
  // Cut at 255 with the leading blank, which is then removed.
  EXPECT_EQ(cut.size(), 254u);
  EXPECT_EQ(cut.sub(200, 1), " ");
}

TEST_F(EntryTest, FatalReadErrorLogsClosesAndGives255) {
  std::ostringstream console;
  RunContext ctx(console);
  ctx.Log.Open(kLogName, kLogTitle);
  EXPECT_EQ(FatalReadError(ctx, "broken.mvx"), 255);
  EXPECT_EQ(LogEntriesOf(dir_.path()),
            (Lines{"Marvex 2.1: started..", "[err] Error reading file broken.mvx",
                   "[err] Program terninated...", "", "End..", "<end>"}));
}

}  // namespace
}  // namespace mvx
