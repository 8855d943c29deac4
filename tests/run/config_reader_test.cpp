#include "run/config_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "run/run_context.h"
#include "run/work_flag.h"
#include "run_test_support.h"
#include "support/address.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::Contains;
using runtest::LogEntries;

class ConfigReaderTest : public ::testing::Test {
 protected:
  bool Load(const std::string& text, ConfigMode mode) {
    testkit::WriteFileText(dir_ / "test.mvx", text);
    return LoadConfiguration(ctx_, "test.mvx", mode);
  }
  std::vector<std::string> Log() const { return LogEntries(console_.str()); }
  bool FlagWritten() const { return testkit::PathExists(dir_ / kWorkFlagName); }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  testkit::ScopedClock clock_{2026, 12, 7, 10, 0, 0};
  std::ostringstream console_;
  RunContext ctx_{console_};
};

TEST_F(ConfigReaderTest, ResetJobFillsTheBuiltInDefaults) {
  ctx_.Job.Due = false;
  ctx_.Job.PostFile = "old.txt";
  ctx_.Job.AreaTag = "OLD";
  ctx_.Job.BasePath = "kept";
  ResetJob(ctx_);
  const PostJob& j = ctx_.Job;
  EXPECT_TRUE(j.Due);  // DAILY
  EXPECT_EQ(j.FromUser, "Sysop");
  EXPECT_EQ(j.ToUser, "All");
  EXPECT_EQ(j.SubjLine, "");
  EXPECT_EQ(j.AttrFlags, 256);
  EXPECT_EQ(j.OriginText, "Autoposted message");
  EXPECT_EQ(j.TearText, "");
  EXPECT_EQ(j.PostFile, "");
  EXPECT_EQ(j.AreaTag, "");
  EXPECT_EQ(j.BasePath, "kept");
  EXPECT_EQ(FormatAddress4D(j.FromAddr), "0:0/0.0");
  EXPECT_EQ(FormatAddress4D(j.ToAddr), "0:0/0.0");
  EXPECT_TRUE(ctx_.UseAsKludge);
  EXPECT_FALSE(ctx_.UseEncodedMessage);
  EXPECT_FALSE(ctx_.UseEncodedString);
  EXPECT_EQ(ctx_.EncodedMessage, "for decode use Lumok.exe /decode");
  EXPECT_EQ(ctx_.BeginEncodedString, "text.begin % of % of file %");
  EXPECT_EQ(ctx_.EndEncodedString, "text.end");
  EXPECT_TRUE(Log().empty());
}

TEST_F(ConfigReaderTest, ResetJobParsesAddressesRelativelyAndLogsBadOnes) {
  ctx_.Job.FromAddr = FidoAddress{2, 5020, 1, 3};
  ctx_.Common.FromAddr = "99";
  ctx_.Common.ToAddr = "2:50x";
  ctx_.Job.ToAddr = FidoAddress{1, 2, 3, 4};
  ResetJob(ctx_);
  EXPECT_EQ(FormatAddress(ctx_.Job.FromAddr), "2:5020/99");
  EXPECT_EQ(FormatAddress(ctx_.Job.ToAddr), "1:2/3.4");
  EXPECT_EQ(Log(), std::vector<std::string>{"Error converting 2:50x"});
}

TEST_F(ConfigReaderTest, CommonPartKeywordsCommentsAndValues) {
  ASSERT_TRUE(Load(";FROM Commented\r\n"
                   "  ;FROM Indented\r\n"
                   "#FROM Hash\r\n"
                   "\\\\FROM Backslashes\r\n"
                   "from \"John Smith\" x\r\n"
                   "SUBJ  Weekly  rules \r\n"
                   "FLAGS $102\r\n"
                   "USEASKLUDGE no\r\n"
                   "USEENCODEDSTRING Yes please\r\n"
                   "USEENCODEDMESSAGE\r\n"
                   "HPTPATH Fido/Hpt.cfg\r\n"
                   "SQUISH Squish.Cfg\r\n"
                   "WHEN WEEKLY 1\r\n"
                   "FROMADDR 2:5020/1\r\n"
                   "TOADDR 2:5020/2.1\r\n"
                   "TO Everybody\r\n"
                   "ORIGIN My station\r\n"
                   "TEARLINE Tear\r\n"
                   "ENCODEDMESSAGE decode me\r\n"
                   "BEGINENCODEDSTRING begin % %\r\n"
                   "ENDENCODEDSTRING end\r\n"
                   "FILE ignored.txt\r\n"
                   "TERMINATE ignored.cfg\r\n",
                   ConfigMode::kCommonOnly));
  const CommonSettings& c = ctx_.Common;
  EXPECT_EQ(c.FromUser, "John Smith");
  EXPECT_EQ(c.SubjLine, "Weekly  rules ");
  EXPECT_EQ(c.AttrFlags, 258);
  EXPECT_FALSE(c.UseAsKludge);
  EXPECT_TRUE(c.UseEncodedString);
  EXPECT_FALSE(c.UseEncodedMessage);
  EXPECT_EQ(ctx_.HptPath, "Fido/Hpt.cfg");
  EXPECT_EQ(ctx_.SquishCfgPath, "Squish.Cfg");
  EXPECT_EQ(ctx_.TerminateCfgPath, "");
  EXPECT_EQ(c.When, "WEEKLY 1");
  EXPECT_EQ(c.FromAddr, "2:5020/1");
  EXPECT_EQ(c.ToAddr, "2:5020/2.1");
  EXPECT_EQ(c.ToUser, "Everybody");
  EXPECT_EQ(c.OriginText, "My station");
  EXPECT_EQ(c.TearText, "Tear");
  EXPECT_EQ(c.EncodedMessage, "decode me");
  EXPECT_EQ(c.BeginEncodedString, "begin % %");
  EXPECT_EQ(c.EndEncodedString, "end");
  EXPECT_EQ(Log(), std::vector<std::string>{"Loading test.mvx"});
  // Read to the end: the flag is written even in the common-part-only mode.
  EXPECT_TRUE(FlagWritten());
}

TEST_F(ConfigReaderTest, MalformedFlagsNumberReadsAsZero) {
  ASSERT_TRUE(Load("FLAGS 258x\n", ConfigMode::kCommonOnly));
  EXPECT_EQ(ctx_.Common.AttrFlags, 0);
  ASSERT_TRUE(Load("FLAGS 257\n", ConfigMode::kCommonOnly));
  EXPECT_EQ(ctx_.Common.AttrFlags, 257);
}

TEST_F(ConfigReaderTest, CommonOnlyModeStopsAtFirstAreaWithoutWritingTheFlag) {
  ASSERT_TRUE(Load("FROM First\nAREA X\nFROM Second\nENDAREA\n", ConfigMode::kCommonOnly));
  EXPECT_EQ(ctx_.Common.FromUser, "First");
  EXPECT_FALSE(FlagWritten());
}

TEST_F(ConfigReaderTest, StopLineEndsTheReading) {
  ctx_.StopLine = kCommonPartEnd;
  ASSERT_TRUE(Load("FROM First\n   \n[endofcommonpart]\nFROM Second\n", ConfigMode::kCommonOnly));
  EXPECT_EQ(ctx_.Common.FromUser, "First");
  EXPECT_FALSE(FlagWritten());
}

TEST_F(ConfigReaderTest, BlankOnlyLineDoesNotEndAScheduledRun) {
  ASSERT_TRUE(Load("FROM First\n     \nFROM Second\n", ConfigMode::kFullRun));
  EXPECT_EQ(ctx_.Common.FromUser, "Second");
  EXPECT_TRUE(FlagWritten());
}

TEST_F(ConfigReaderTest, MissingFileIsLoggedAndWritesTheFlag) {
  EXPECT_TRUE(LoadConfiguration(ctx_, "nowhere.mvx", ConfigMode::kFullRun));
  EXPECT_EQ(Log(), (std::vector<std::string>{"Loading nowhere.mvx", "Error reading cfg file"}));
  EXPECT_TRUE(FlagWritten());
}

TEST_F(ConfigReaderTest, HostileLinesAreIgnoredWithoutHarm) {
  std::string text;
  text += "FROM " + std::string(4000, 'n') + "\n";          // cut at 255
  text += std::string("SUBJ \x00\x01\x02\xff binary\n", 17);  // kept as bytes
  text += "TO\tTabbed\n";                                    // a tab is no blank
  text += "ORIGIN \x8f\xe0\xa8\xa2\xa5\xe2\n";                 // CP866 kept unchanged
  text += "NOSUCHKEYWORD value\n";
  text += "FROMADDR not an address\n";
  text += "FLAGS 99999999999\n";
  text += "\r\r\n\n";
  ASSERT_TRUE(Load(text, ConfigMode::kFullRun));
  const CommonSettings& c = ctx_.Common;
  EXPECT_EQ(c.FromUser, Str(std::string(250, 'n')));
  EXPECT_EQ(c.SubjLine, Str(std::string("\x00\x01\x02\xff binary", 11)));
  EXPECT_EQ(c.ToUser, "All");
  EXPECT_EQ(c.OriginText, "\x8f\xe0\xa8\xa2\xa5\xe2");
  EXPECT_EQ(c.FromAddr, "not an address");
  EXPECT_EQ(c.AttrFlags, 0);
  EXPECT_TRUE(FlagWritten());
}

TEST_F(ConfigReaderTest, AreaLinesSetTheJobOnly) {
  ResetJob(ctx_);
  for (const char* line : {"FILE Texts/News.txt", "FROM Ivan Petrov", "TO All Sysops",
                           "SUBJ \"Quoted subject\"", "ORIGIN Far away", "TEARLINE tl",
                           "FROMADDR 2:5020/1.5", "TOADDR 3:3/3", "FLAGS pvt k/s",
                           "HPTPATH later.cfg", "SQUISH sq.cfg", "TERMINATE t.cfg",
                           "USEASKLUDGE n", "USEENCODEDMESSAGE y", "ENCODEDMESSAGE em",
                           "USEENCODEDSTRING yes", "BEGINENCODEDSTRING b%", "ENDENCODEDSTRING e",
                           "WHEN YEARLY 2025", "; FILE commented.txt"}) {
    ApplyAreaLine(ctx_, line);
  }
  const PostJob& j = ctx_.Job;
  EXPECT_EQ(j.PostFile, "Texts/News.txt");
  EXPECT_EQ(j.FromUser, "Ivan Petrov");
  EXPECT_EQ(j.ToUser, "All Sysops");
  EXPECT_EQ(j.SubjLine, "Quoted subject");
  EXPECT_EQ(j.OriginText, "Far away");
  EXPECT_EQ(j.TearText, "tl");
  EXPECT_EQ(FormatAddress(j.FromAddr), "2:5020/1.5");
  EXPECT_EQ(FormatAddress(j.ToAddr), "3:3/3");
  EXPECT_EQ(j.AttrFlags, 0x0081);
  EXPECT_FALSE(j.Due);
  EXPECT_EQ(ctx_.HptPath, "later.cfg");
  EXPECT_EQ(ctx_.SquishCfgPath, "sq.cfg");
  EXPECT_EQ(ctx_.TerminateCfgPath, "t.cfg");
  EXPECT_FALSE(ctx_.UseAsKludge);
  EXPECT_TRUE(ctx_.UseEncodedMessage);
  EXPECT_EQ(ctx_.EncodedMessage, "em");
  EXPECT_TRUE(ctx_.UseEncodedString);
  EXPECT_EQ(ctx_.BeginEncodedString, "b%");
  EXPECT_EQ(ctx_.EndEncodedString, "e");
  // The common part is untouched.
  EXPECT_EQ(ctx_.Common.FromUser, "Sysop");
  EXPECT_TRUE(Log().empty());
}

TEST_F(ConfigReaderTest, AreaAddressesAndFlagsAreNotUnquoted) {
  ResetJob(ctx_);
  ApplyAreaLine(ctx_, "FROMADDR \"2:5020/1\"");
  ApplyAreaLine(ctx_, "FLAGS Pvt, Loc");
  EXPECT_EQ(ctx_.Job.AttrFlags, 0x0100);
  ApplyAreaLine(ctx_, "FLAGS");
  EXPECT_EQ(ctx_.Job.AttrFlags, 0);
  EXPECT_EQ(Log(), std::vector<std::string>{"Error converting \"2:5020/1\""});
}

}  // namespace
}  // namespace mvx
