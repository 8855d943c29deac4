// Reading the configuration.
#include "run/config_reader.h"

#include <gtest/gtest.h>

#include <tuple>

#include "run/job_settings.h"
#include "run/work_flag.h"
#include "run_test_support.h"

namespace mvx {
namespace {

using runtest::Lines;

class ConfigReaderTest : public runtest::RunTest {
 protected:
  Lines Load(const std::string& text, ConfigMode mode = ConfigMode::kFullRun) {
    Write("b.mvx", text);
    EXPECT_TRUE(LoadConfiguration(ctx_, "b.mvx", mode));
    return runtest::Entries(out_.str());
  }
  std::ostringstream out_;
  RunContext ctx_{out_, env_};
};

TEST(EvaluateWhenTest, RulesOnChosenDays) {
  // In 2026: 7 December is a Monday, the 6th a Sunday. An unrecognised rule
  // leaves Due as it was; a rule word alone reads as 0: due never.
  const std::tuple<int, int, const char*, bool, bool> cases[] = {
      {12, 6, "weekly 7", false, true}, {12, 7, "WEEKLY 7", true, false}, {12, 7, "WEEKLY", true, false},
      {12, 7, "WEEKLY 1,5", true, false}, {5, 31, "mounthly 1 31", false, true}, {4, 30, "MOUNTHLY 31", true, false},
      {1, 1, "YEARLY 2025 2026", false, true}, {12, 7, "daily", false, true}, {12, 7, "MONTHLY 7", false, false},
      {12, 7, "DAILY x", false, false}, {12, 7, "", true, true}};
  for (const auto& [m, d, rule, before, after] : cases) {
    testkit::TestClock clock;
    clock.Set(2026, m, d, 12);
    bool due = before;
    EvaluateWhen(clock, rule, due);
    EXPECT_EQ(due, after) << rule << " on " << m << "-" << d;
  }
}

TEST_F(ConfigReaderTest, HostileLinesDoNoHarm) {
  const auto log = Load("FROM " + std::string(4000, 'n') + "\n" + std::string("SUBJ \x00\x01\xff bin\n", 13) +
                        "TO\tTabbed\nORIGIN \x8f\xe0\xa8\nNOSUCHKEYWORD value\nFLAGS 258x\n\r\r\n\n     \n"
                        "AREA \xad\xa5\xe2 \nWHEN WEEKLY 1,2,3\nFROMADDR x:y/z\nFLAGS $zz\nFROM Inside\n");
  const CommonSettings& c = ctx_.Common;
  // FROM was cut with its line at 255; a tab separates words like a blank.
  EXPECT_EQ((Lines{c.FromUser.str(), c.SubjLine.str(), c.ToUser.str(), c.OriginText.str()}),
            (Lines{std::string(250, 'n'), std::string("\x00\x01\xff bin", 7), "Tabbed", "\x8f\xe0\xa8"}));
  EXPECT_EQ(c.AttrFlags, 0);
  // A line of blanks is no stop line: the run goes on to the block, which
  // without ENDAREA runs to the end of the file.
  EXPECT_EQ(log, (Lines{"Loading b.mvx", " [+] Working with \xad\xa5\xe2 ", "Error converting x:y/z",
                        "     [-]> Skipping \xad\xa5\xe2  by date...", ""}));
  EXPECT_EQ(ctx_.Job.FromUser, "Inside");
  EXPECT_TRUE(Exists(kWorkFlagName));
}

TEST_F(ConfigReaderTest, WhatEndsABlock) {
  const auto log = Load(
      "WHEN WEEKLY 9\nAREA ONE\n  WHEN WEEKLY 9\nFROM Block\nSUBJ One\nFLAGS Pvt\nUSEASKLUDGE no\n"
      "; ENDAREA\n"  // any word before ENDAREA ends it
      "FROM AfterOne\nAREA TWO\nENDAREA more\nFROM InsideTwo\nENDAREA \nFROM StillInsideTwo\n   endarea\n"
      "AREA ENDAREA\n"  // the AREA line itself ends the block
      "FROM AfterEmptyBlock\n");
  EXPECT_EQ(log, (Lines{"Loading b.mvx", " [+] Working with ONE", "     [-]> Skipping ONE by date...", "",
                        " [+] Working with TWO", "     [-]> Skipping TWO by date...", "",
                        " [+] Working with ENDAREA", "     [-]> Skipping ENDAREA by date...", ""}));
  EXPECT_EQ(ctx_.Common.FromUser, "AfterEmptyBlock");
  // The last block started from the defaults again, not from ONE's lines.
  EXPECT_EQ((Lines{ctx_.Job.AreaTag.str(), ctx_.Job.FromUser.str(), ctx_.Job.SubjLine.str()}),
            (Lines{"ENDAREA", "AfterOne", ""}));
  EXPECT_EQ(ctx_.Job.AttrFlags, 256);
  EXPECT_TRUE(ctx_.UseAsKludge);
}

}  // namespace
}  // namespace mvx
