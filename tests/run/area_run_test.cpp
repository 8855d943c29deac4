#include "run/area_run.h"

#include <gtest/gtest.h>

#include <sstream>

#include "run/config_reader.h"
#include "run/run_context.h"
#include "run/work_flag.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::LogEntries;

// The rule evaluated on the given day, starting from the given Due.
bool DueOn(int y, int m, int d, const char* rule, bool before) {
  testkit::ScopedClock clock(y, m, d, 12, 0, 0);
  bool due = before;
  EvaluateWhen(rule, due);
  return due;
}

TEST(EvaluateWhenTest, Weekly) {
  // 7 December 2026 is a Monday, the 11th a Friday, the 6th a Sunday.
  EXPECT_TRUE(DueOn(2026, 12, 7, "WEEKLY 1 5", false));
  EXPECT_TRUE(DueOn(2026, 12, 11, "weekly 1 5", false));
  EXPECT_FALSE(DueOn(2026, 12, 6, "WEEKLY 1 5", true));
  EXPECT_TRUE(DueOn(2026, 12, 6, "WEEKLY 7", false));
  EXPECT_FALSE(DueOn(2026, 12, 7, "WEEKLY 7", true));
  EXPECT_FALSE(DueOn(2026, 12, 6, "WEEKLY 0", true));
  // A rule word alone reads as 0: due never.
  EXPECT_FALSE(DueOn(2026, 12, 7, "WEEKLY", true));
  // Numbers with commas are one word that reads as 0.
  EXPECT_FALSE(DueOn(2026, 12, 7, "WEEKLY 1,5", true));
}

TEST(EvaluateWhenTest, MonthlyAndYearly) {
  EXPECT_TRUE(DueOn(2026, 5, 31, "MOUNTHLY 1 31", false));
  EXPECT_FALSE(DueOn(2026, 4, 30, "MOUNTHLY 31", true));
  EXPECT_FALSE(DueOn(2026, 5, 1, "MOUNTHLY 31", true));
  EXPECT_TRUE(DueOn(2026, 1, 1, "YEARLY 2025 2026", false));
  EXPECT_TRUE(DueOn(2026, 12, 31, "YEARLY 2026", false));
  EXPECT_FALSE(DueOn(2027, 1, 1, "YEARLY 2026", true));
}

TEST(EvaluateWhenTest, UnrecognisedRulesLeaveDueAsItWas) {
  for (bool before : {false, true}) {
    EXPECT_EQ(DueOn(2026, 12, 7, "MONTHLY 7", before), before);
    EXPECT_EQ(DueOn(2026, 12, 7, "DAILY x", before), before);
    EXPECT_EQ(DueOn(2026, 12, 7, "NEVER", before), before);
    EXPECT_EQ(DueOn(2026, 12, 7, "", before), before);
  }
  EXPECT_TRUE(DueOn(2026, 12, 7, "daily", false));
}

class AreaBlockTest : public ::testing::Test {
 protected:
  std::vector<std::string> RunConfig(const std::string& text) {
    testkit::WriteFileText(dir_ / "b.mvx", text);
    EXPECT_TRUE(LoadConfiguration(ctx_, "b.mvx", ConfigMode::kFullRun));
    return LogEntries(console_.str());
  }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  testkit::ScopedClock clock_{2026, 12, 7, 10, 0, 0};
  std::ostringstream console_;
  RunContext ctx_{console_};
};

TEST_F(AreaBlockTest, WhatEndsABlock) {
  const auto log = RunConfig(
      "WHEN WEEKLY 9\n"
      "AREA ONE\n"
      "  WHEN WEEKLY 9\n"
      "; ENDAREA\n"
      "FROM AfterOne\n"
      "AREA TWO\n"
      "WHEN WEEKLY 9\n"
      "ENDAREA more\n"
      "FROM InsideTwo\n"
      "ENDAREA \n"
      "FROM StillInsideTwo\n"
      "   endarea\n"
      "AREA ENDAREA\n"
      "FROM AfterEmptyBlock\n");
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Loading b.mvx",
                     " [+] Working with ONE", "     [-]> Skipping ONE by date...", "",
                     " [+] Working with TWO", "     [-]> Skipping TWO by date...", "",
                     " [+] Working with ENDAREA", "     [-]> Skipping ENDAREA by date...", ""}));
  EXPECT_EQ(ctx_.Common.FromUser, "AfterEmptyBlock");
  EXPECT_TRUE(testkit::PathExists(dir_ / kWorkFlagName));
}

TEST_F(AreaBlockTest, MissingEndAreaRunsToTheEndOfTheFile) {
  const auto log = RunConfig("AREA ONE\nWHEN WEEKLY 9\nFROM Inside\nAREA TWO\n");
  EXPECT_EQ(log, (std::vector<std::string>{"Loading b.mvx", " [+] Working with ONE",
                                           "     [-]> Skipping ONE by date...", ""}));
  EXPECT_EQ(ctx_.Common.FromUser, "Sysop");
  EXPECT_EQ(ctx_.Job.FromUser, "Inside");
  EXPECT_TRUE(testkit::PathExists(dir_ / kWorkFlagName));
}

TEST_F(AreaBlockTest, UnrecognisedCommonWhenCarriesDueFromBlockToBlock) {
  const auto log = RunConfig(
      "WHEN NEVER\n"
      "AREA FIRST\nENDAREA\n"
      "AREA SECOND\nWHEN WEEKLY 9\nENDAREA\n"
      "AREA THIRD\nENDAREA\n"
      "AREA FOURTH\nWHEN WEEKLY 9\nWHEN DAILY\nENDAREA\n");
  // FIRST and FOURTH are due and try to post; with no tosser configuration
  // there is no base to open.
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Loading b.mvx",
                     " [+] Working with FIRST",
                     "[err] Unable to open/create msgbase \"\"",
                     "[err] File not found \"\"",
                     "[err] We can't make posting...",
                     "",
                     " [+] Working with SECOND", "     [-]> Skipping SECOND by date...", "",
                     " [+] Working with THIRD", "     [-]> Skipping THIRD by date...", "",
                     " [+] Working with FOURTH",
                     "[err] Unable to open/create msgbase \"\"",
                     "[err] File not found \"\"",
                     "[err] We can't make posting...",
                     ""}));
}

TEST_F(AreaBlockTest, AreaAloneHasAnEmptyTag) {
  testkit::WriteFileText(dir_ / "fido.cfg", "EchoArea AREA a/b -b Msg\n\n");
  const auto log = RunConfig("HPTPATH fido.cfg\nAREA\nWHEN WEEKLY 9\nENDAREA\n");
  EXPECT_EQ(log, (std::vector<std::string>{"Loading b.mvx", "Area  not found... ",
                                           " [+] Working with ",
                                           "     [-]> Skipping  by date...", ""}));
}

TEST_F(AreaBlockTest, SecondBlockStartsFromTheDefaultsAgain) {
  RunConfig(
      "AREA ONE\nWHEN WEEKLY 9\nFROM Block\nSUBJ One\nFLAGS Pvt\nUSEASKLUDGE no\nENDAREA\n"
      "AREA TWO\nWHEN WEEKLY 9\nENDAREA\n");
  EXPECT_EQ(ctx_.Job.FromUser, "Sysop");
  EXPECT_EQ(ctx_.Job.SubjLine, "");
  EXPECT_EQ(ctx_.Job.AttrFlags, 256);
  EXPECT_TRUE(ctx_.UseAsKludge);
  EXPECT_EQ(ctx_.Job.AreaTag, "TWO");
}

}  // namespace
}  // namespace mvx
