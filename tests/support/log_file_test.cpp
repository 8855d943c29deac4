#include "support/log_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/text.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

const char kStamp[] = " 06.12.26 04:57:36 ";

TEST(LogStamps, PaddedDateAndTime) {
  {
    testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
    EXPECT_EQ(LogDateStamp(), "06.12.26");
    EXPECT_EQ(LogTimeStamp(), "04:57:36");
  }
  testkit::ScopedClock clock(2000, 1, 1, 9, 5, 3);
  EXPECT_EQ(LogDateStamp(), "01.01.00");
  EXPECT_EQ(LogTimeStamp(), "09:05:03");
}

TEST(LogFile, FirstRunCreatesTheFileAndLogsToBoth) {
  testkit::TempDir dir;
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  std::ostringstream console;
  LogFile log(&console);
  log.Open(dir / "Marvex.Log", "Marvex 2.1");
  EXPECT_FALSE(log.Unusable());
  log.Write("X");
  log.WriteError("bad thing");
  log.Write("");
  // The file holds every entry before Close: nothing waits in a buffer.
  EXPECT_EQ(testkit::ReadFileText(dir / "Marvex.Log"),
            std::string(kStamp) + "Marvex 2.1: started..\n" + kStamp + "X\n" + kStamp +
                "[err] bad thing\n" + kStamp + "\n");
  log.Close();

  const std::string entries = std::string(kStamp) + "Marvex 2.1: started..\n" + kStamp + "X\n" +
                              kStamp + "[err] bad thing\n" + kStamp + "\n" + kStamp + "End..\n\n";
  EXPECT_EQ(testkit::ReadFileText(dir / "Marvex.Log"), entries);
  EXPECT_EQ(console.str(), "Made new log file\n" + entries);
}

TEST(LogFile, SecondRunAppendsAfterTheFirst) {
  testkit::TempDir dir;
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  testkit::WriteFileText(dir / "Marvex.Log", "old block\n\n");
  std::ostringstream console;
  LogFile log(&console);
  log.Open(dir / "marvex.log", "Marvex 2.1");  // the existing file in any case
  log.Close();
  const std::string block = std::string(kStamp) + "Marvex 2.1: started..\n" + kStamp + "End..\n\n";
  EXPECT_EQ(testkit::ReadFileText(dir / "Marvex.Log"), "old block\n\n" + block);
  EXPECT_EQ(console.str(), block);
  EXPECT_EQ(testkit::ListDir(dir.path()), std::vector<std::string>{"Marvex.Log"});
}

TEST(LogFile, LinesAreCutAt255) {
  testkit::TempDir dir;
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  std::ostringstream console;
  LogFile log(&console);
  log.Open(dir / "Marvex.Log", "T");
  log.Write(Str(std::string(250, 'a')));
  log.WriteError(Str(std::string(250, 'b')));
  log.Write(Str(std::string(236, 'c')));
  log.Close();
  const std::string text = testkit::ReadFileText(dir / "Marvex.Log");
  const std::string expected = std::string(kStamp) + "T: started..\n" + kStamp +
                               std::string(236, 'a') + "\n" + kStamp + "[err] " +
                               std::string(230, 'b') + "\n" + kStamp + std::string(236, 'c') +
                               "\n" + kStamp + "End..\n\n";
  EXPECT_EQ(text, expected);
}

TEST(LogFile, UncreatableFileLeavesTheConsoleOnly) {
  testkit::TempDir dir;
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  std::ostringstream console;
  LogFile log(&console);
  log.Open(dir / "no/such/dir/Marvex.Log", "Marvex 2.1");
  EXPECT_TRUE(log.Unusable());
  log.Write("still shown");
  log.Close();
  EXPECT_EQ(console.str(), std::string("I can't make log file!!!..\n") + kStamp + "still shown\n");
  EXPECT_FALSE(testkit::PathExists(dir / "no"));
}

TEST(LogFile, ExistingButUnwritableLogIsNeverCreatedOver) {
  testkit::TempDir dir;
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  // A directory of that name stands for a log that exists but cannot be
  // appended to (read-only files can still be written by root).
  ASSERT_TRUE(MakeDirectory(dir / "Marvex.Log"));
  testkit::WriteFileText(dir / "Marvex.Log/keep", "k");
  std::ostringstream console;
  LogFile log(&console);
  log.Open(dir / "Marvex.Log", "Marvex 2.1");
  EXPECT_TRUE(log.Unusable());
  log.Write("run goes on");
  log.Close();
  EXPECT_EQ(console.str(), std::string("I can't make log file!!!..\n") + kStamp + "run goes on\n");
  EXPECT_EQ(testkit::ReadFileText(dir / "Marvex.Log/keep"), "k");
}

TEST(LogFile, BytesAboveAsciiPassUnchanged) {
  testkit::TempDir dir;
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  std::ostringstream console;
  LogFile log(&console);
  log.Open(dir / "Marvex.Log", "T");
  log.Write("\x8F\xE0\xA8\xA2\xA5\xE2");
  log.Close();
  EXPECT_NE(testkit::ReadFileText(dir / "Marvex.Log").find("\x8F\xE0\xA8\xA2\xA5\xE2\n"),
            std::string::npos);
}

}  // namespace
}  // namespace mvx
