#include "run/area_lookup.h"

#include <gtest/gtest.h>

#include <sstream>

#include "run/run_context.h"
#include "run_test_support.h"
#include "support/address.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::Contains;
using runtest::LogEntries;

class AreaLookupTest : public ::testing::Test {
 protected:
  // Looks tag up in a fidoconfig-style file holding text.
  void LookupHpt(const std::string& tag, const std::string& text) {
    testkit::WriteFileText(dir_ / "fido.cfg", text);
    ctx_.HptPath = Str(dir_ / "fido.cfg");
    ctx_.Job.AreaTag = Str(tag);
    LookupArea(ctx_);
  }
  void LookupSquish(const std::string& tag, const std::string& text) {
    testkit::WriteFileText(dir_ / "squish.cfg", text);
    ctx_.SquishCfgPath = Str(dir_ / "squish.cfg");
    ctx_.Job.AreaTag = Str(tag);
    LookupArea(ctx_);
  }
  std::vector<std::string> Log() const { return LogEntries(console_.str()); }
  std::string From() const { return std::string(FormatAddress(ctx_.Job.FromAddr).view()); }

  testkit::TempDir dir_;
  std::ostringstream console_;
  RunContext ctx_{console_};
};

TEST_F(AreaLookupTest, FidoconfigLineWithTypeAddressAndLink) {
  LookupHpt("net.talk", "EchoArea NET.TALK \\fido\\nettalk -b Squish -a 9:999/1 9:999/2\n");
  EXPECT_EQ(ctx_.Job.BasePath, "\\fido\\nettalk");  // the case as written
  EXPECT_EQ(ctx_.Job.BaseType, "S");
  EXPECT_EQ(From(), "9:999/1");
  EXPECT_TRUE(Log().empty());
}

TEST_F(AreaLookupTest, PathKeepsItsCaseAndDescriptionIsUnquoted) {
  LookupHpt("Ru.Sysop",
            "# areas\n"
            "EchoArea ru.sysop Areas/RuSysop -b Jam -d \"Sysop talk\" -sbadd -lr 10 2:5020/9\n");
  EXPECT_EQ(ctx_.Job.BasePath, "Areas/RuSysop");
  EXPECT_EQ(ctx_.Job.BaseType, "J");
  EXPECT_EQ(ctx_.Job.AreaDescription, "Sysop talk");
}

TEST_F(AreaLookupTest, EchoAreaDefaultsApplyOnlyToLaterLines) {
  LookupHpt("A.ONE", "EchoAreaDefaults -b Jam -d \"From defaults\"\nEchoArea A.ONE a/one 1:1/1\n");
  EXPECT_EQ(ctx_.Job.BaseType, "J");
  EXPECT_EQ(ctx_.Job.AreaDescription, "From defaults");

  ctx_.Job.BaseType.clear();
  LookupHpt("A.ONE", "EchoArea A.ONE a/one 1:1/1\nEchoAreaDefaults -b Jam 1:1/1\n");
  EXPECT_EQ(ctx_.Job.BaseType, "");
  EXPECT_EQ(ctx_.Job.BasePath, "a/one");

  // The area's own type wins over the defaults'.
  LookupHpt("A.ONE", "EchoAreaDefaults -b Jam 1:1/1\nEchoArea A.ONE a/one -b Msg 1:1/1\n");
  EXPECT_EQ(ctx_.Job.BaseType, "M");
}

TEST_F(AreaLookupTest, LastWordIsNeverAnOption) {
  LookupHpt("X", "EchoArea X x/path -b\n");
  EXPECT_EQ(ctx_.Job.BasePath, "x/path");
  EXPECT_EQ(ctx_.Job.BaseType, "");
}

TEST_F(AreaLookupTest, CommentedOutLineIsFoundAndScanStopsAtFirstMatch) {
  LookupHpt("NET.TALK", "#EchoArea NET.TALK old/path -b Msg\nEchoArea NET.TALK new/path -b Jam\n");
  EXPECT_EQ(ctx_.Job.BasePath, "old/path");
  EXPECT_EQ(ctx_.Job.BaseType, "M");
}

TEST_F(AreaLookupTest, BadTypeAndBadAddressAreLogged) {
  LookupHpt("X", "EchoArea X x/path -b Hudson -a 2:x/1 1:1/1\n");
  EXPECT_EQ(ctx_.Job.BaseType, "");
  const auto log = Log();
  EXPECT_TRUE(Contains(log, "[err] Error reading type of message base - HUDSON"));
  EXPECT_TRUE(Contains(log, "error converting address 2:x/1 1:1/1 (our aka)"));
}

TEST_F(AreaLookupTest, AreaNotFoundIsLoggedWithTrailingBlank) {
  ctx_.Job.BasePath = "previous";
  LookupHpt("NO.SUCH", "EchoArea NET.TALK a/b\n\n   \n");
  EXPECT_EQ(ctx_.Job.BasePath, "");
  EXPECT_EQ(Log(), std::vector<std::string>{"Area NO.SUCH not found... "});
}

TEST_F(AreaLookupTest, EmptyTagIsNeverFoundEvenAgainstBlankLines) {
  LookupHpt("", "\nEchoArea \nEchoArea X a/b -a 3:3/3 1:1/1\n");
  EXPECT_EQ(ctx_.Job.BasePath, "");
  EXPECT_EQ(Log(), std::vector<std::string>{"Area  not found... "});
}

TEST_F(AreaLookupTest, MissingTosserFileReadsAsEmpty) {
  ctx_.HptPath = Str(dir_ / "nowhere.cfg");
  ctx_.Job.AreaTag = "A";
  LookupArea(ctx_);
  EXPECT_EQ(Log(), std::vector<std::string>{"Area A not found... "});
}

TEST_F(AreaLookupTest, NoTosserConfigurationKeepsThePreviousBase) {
  ctx_.Job.BasePath = "old";
  ctx_.Job.BaseType = "M";
  ctx_.Job.AreaTag = "A";
  LookupArea(ctx_);
  EXPECT_EQ(ctx_.Job.BasePath, "old");
  EXPECT_EQ(ctx_.Job.BaseType, "M");
  EXPECT_TRUE(Log().empty());
}

TEST_F(AreaLookupTest, HptPathIsPreferredOverSquish) {
  testkit::WriteFileText(dir_ / "squish.cfg", "EchoArea A squish/a\n");
  ctx_.SquishCfgPath = Str(dir_ / "squish.cfg");
  LookupHpt("A", "EchoArea A hpt/a -b Msg\n");
  EXPECT_EQ(ctx_.Job.BasePath, "hpt/a");
}

TEST_F(AreaLookupTest, SquishLineWithSquishTypeAndAddress) {
  LookupSquish("net.talk", "EchoArea NET.TALK Areas\\NetTalk -$ -p9:999/9 1:2/3\n");
  EXPECT_EQ(ctx_.Job.BasePath, "Areas\\NetTalk");
  EXPECT_EQ(ctx_.Job.BaseType, "S");
  EXPECT_EQ(From(), "9:999/9");
}

TEST_F(AreaLookupTest, SquishLaterLineOverridesEarlier) {
  LookupSquish("A", "EchoArea A first -$\nEchoArea A second\nEchoArea A\n");
  // The last line has no path: a one-word rest is its own rest.
  EXPECT_EQ(ctx_.Job.BasePath, "A");
  EXPECT_EQ(ctx_.Job.BaseType, "M");
}

TEST_F(AreaLookupTest, TerminateKindNeverFindsAnArea) {
  testkit::WriteFileText(dir_ / "t.cfg", "EchoArea A a/path\n");
  ctx_.TerminateCfgPath = Str(dir_ / "t.cfg");
  ctx_.Job.AreaTag = "A";
  LookupArea(ctx_);
  EXPECT_EQ(ctx_.Job.BasePath, "");
  EXPECT_EQ(Log(), std::vector<std::string>{"Area A not found... "});
}

TEST_F(AreaLookupTest, HostileTosserFileDoesNoHarm) {
  std::string text = "EchoArea " + std::string(5000, 'Q') + " p\n";
  text += std::string("\x00\x01\xff\t-b -a -d \" -lr\n", 19);
  text += "EchoArea X p -d \"unterminated -b Jam\n";
  text += "EchoArea Y p -a -a -a -a\n";
  LookupHpt("X", text);
  EXPECT_EQ(ctx_.Job.BasePath, "p");
  EXPECT_EQ(ctx_.Job.AreaDescription, "unterminated -b Jam");
  LookupHpt("Y", text);
  EXPECT_EQ(ctx_.Job.BasePath, "p");
}

TEST(ParseAreaOptionsTest, SkipsKnownOptionsAndStopsAtOthers) {
  std::ostringstream console;
  RunContext ctx(console);
  AreaOptions o;
  o.Description = "stale";
  ParseAreaOptions(ctx, "-DupeCheck -DUPEHISTORY 7 -p 10 -b msg -d desc -g X -nolink 2:1/1 -b Jam", o);
  EXPECT_EQ(o.Type, "M");
  EXPECT_EQ(o.Description, "desc -g X -nolink 2:1/1 -b Jam");
  AreaOptions q;
  ParseAreaOptions(ctx, "-h 2:5020/1 -b Jam", q);
  EXPECT_EQ(q.Type, "");
  EXPECT_EQ(TypeLetter(ctx, "squish"), "S");
  EXPECT_EQ(TypeLetter(ctx, "Jam"), "J");
}

}  // namespace
}  // namespace mvx
