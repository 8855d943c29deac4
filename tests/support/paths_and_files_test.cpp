// Paths and directories, the log file and the text file reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/log_file.h"
#include "support/text.h"
#include "support/text_file.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

namespace fs = std::filesystem;

TEST(Directories, MakeAndFindWithMixedSeparatorsAndCase) {
  // For a name directly in a root the directory is the root, kept as a usable path.
  const std::pair<const char*, const char*> roots[] = {
#ifdef _WIN32
      {"C:\\area", "C:\\"}, {"C:/fido/echo/", "C:\\fido\\echo"}, {"\\\\server\\share\\area", "\\\\server\\share\\"},
#else
      {"/area", "/"}, {"/fido/echo/", "/fido/echo"},
#endif
  };
  for (const auto& [path, directory] : roots) EXPECT_EQ(DirectoryOf(path), directory) << path;
  testkit::TempDir dir;
  MVX_IN_DIRECTORY(dir.path(), {
    fs::create_directories("Fido");
    const std::string deep = dir.path() + "\\FIDO/two\\three\\";
    EXPECT_TRUE(MakeDirectoryPath(deep));
    EXPECT_TRUE(MakeDirectoryPath(deep));  // already there: nothing fails, nothing changes
    EXPECT_EQ(testkit::ListDir(dir.path()), std::vector<std::string>{"Fido"});
    EXPECT_TRUE(fs::is_directory("Fido/two/three"));
    // DirectoryOf gives the full path of the parent, which can make a new area.
    const Str here = Str(platform::FullPath("."));
    const std::string sep(1, platform::NativeSeparator());
    EXPECT_EQ(DirectoryOf("echo\\net\\area"), here + sep + "echo" + sep + "net");
    EXPECT_EQ(DirectoryOf("area"), here);
    EXPECT_EQ(DirectoryOf(""), "");
    EXPECT_TRUE(MakeDirectoryPath(DirectoryOf("new\\sub/area")) && fs::is_directory("new/sub"));
  });
}

const std::string kStamp = " 06.12.26 04:57:36 ";

class LogFileTest : public ::testing::Test {
 protected:
  // One run: open, the body's entries, close. Returns what the console saw.
  std::string Run(const std::string& name, const std::function<void(LogFile&)>& body = nullptr) {
    std::ostringstream console;
    LogFile log(clock_, &console);
    log.Open(name, "Marvex 2.1", 100);
    if (body) body(log);
    log.Close();
    return console.str();
  }
  testkit::TempDir dir_;
  void SetUp() override { clock_.Set(2026, 12, 6, 4, 57, 36); }
  testkit::TestClock clock_;
  std::string file_ = dir_ / "Marvex.Log";
};

// The log file's lines end as the system's text files do (CR LF on Windows); the console's in LF.
std::string InFile(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string(platform::kLineEnd) : std::string(1, c);
  return out;
}

TEST_F(LogFileTest, FirstRunCreatesTheSecondAppendsAndLinesAreCutAt255) {
  const std::string first = kStamp + "Marvex 2.1: started..\n" + kStamp + "X\n" + kStamp + "[err] bad\n" +
                            kStamp + "\n" + kStamp + "End..\n\n";
  EXPECT_EQ(Run(file_,
                [&](LogFile& log) {
                  log.Write("X");
                  log.WriteError("bad");
                  log.Write("");
                  // Each entry is in the file at once: nothing waits in a buffer.
                  EXPECT_EQ(testkit::ReadFileText(file_), InFile(first.substr(0, first.find(kStamp + "End"))));
                }),
            "Made new log file\n" + first);

  clock_.Set(2000, 1, 1, 9, 5, 3);  // each field of the stamp padded to two digits
  const std::string at = " 01.01.00 09:05:03 ";
  const std::string second = at + "Marvex 2.1: started..\n" + at + std::string(236, 'a') + "\n" + at + "[err] " +
                             std::string(230, 'b') + "\n" + at + "\x8F\xE0\xA8\n" + at + "End..\n\n";
  // The existing file, in any case. Console and file get each line from one place: the file is compared.
  Run(dir_ / "MARVEX.log", [](LogFile& log) {
    log.Write(Str(std::string(250, 'a')));
    log.WriteError(Str(std::string(250, 'b')));
    log.Write("\x8F\xE0\xA8");
  });
  EXPECT_EQ(testkit::ReadFileText(file_), InFile(first + second));
  EXPECT_EQ(testkit::ListDir(dir_.path()), std::vector<std::string>{"Marvex.Log"});
}

TEST_F(LogFileTest, AnUnusableLogLeavesTheConsoleOnly) {
  const auto body = [](LogFile& log) {
    EXPECT_TRUE(log.Unusable());
    log.Write("still shown");
  };
  const std::string console = "I can't make log file!!!..\n" + kStamp + "still shown\n";
  EXPECT_EQ(Run(dir_ / "no/such/dir/Marvex.Log", body), console);
  EXPECT_FALSE(testkit::PathExists(dir_ / "no"));
  // A log that exists but cannot be appended to (a directory of that name: read-only files can still be
  // written by root) is never created over.
  ASSERT_TRUE(MakeDirectory(file_));
  testkit::WriteFileText(dir_ / "Marvex.Log/keep", "k");
  EXPECT_EQ(Run(file_, body), console);
  EXPECT_EQ(testkit::ReadFileText(dir_ / "Marvex.Log/keep"), "k");
}

using Lines = std::vector<std::string>;

Lines ReadAll(TextFileReader& r) {
  Lines lines;
  Str line;
  while (!r.AtEnd()) {
    EXPECT_TRUE(r.ReadLine(line));
    lines.push_back(line.str());
  }
  return lines;
}

TEST(TextFileReader, LineEndsLongLinesAndMissingFile) {
  const std::string x300(300, 'x'), y255(255, 'y'), q255(255, 'q');
  const struct { std::string content; Lines lines; } cases[] = {
      {"a\r\nb\rc\n\nd", {"a", "b", "c", "", "d"}}, {"a\n\r\n\r\rb\r", {"a", "", "", "", "b"}},
      {"\n", {""}}, {"", {}},
      {x300 + "\r\nnext\n" + y255 + "\n", {std::string(255, 'x'), "next", y255}},
      {std::string(200000, 'z') + "\nend", {std::string(255, 'z'), "end"}},  // longer than the buffer
      {std::string(65535, 'q') + "\r\nnext", {q255, "next"}},  // CR LF split across two reads
      {std::string("a\0b\xFF\x80\n\x1A", 7), {std::string("a\0b\xFF\x80", 5), "\x1A"}},
  };
  testkit::TempDir dir;
  for (const auto& c : cases) {
    testkit::WriteFileText(dir / "f.txt", c.content);
    TextFileReader r;
    ASSERT_TRUE(r.Open(dir.path() + "\\F.TXT", 100));  // found whatever the case
    EXPECT_EQ(ReadAll(r), c.lines) << c.content.substr(0, 20);
    Str line = "stale";  // no line left: false and empty, no error
    EXPECT_TRUE(!r.ReadLine(line) && line.empty() && !r.ReadError());
  }
  // A missing file is at its end at once: the readers' loops end.
  TextFileReader r;
  EXPECT_FALSE(r.Open(dir / "none.txt", 100));
  EXPECT_TRUE(r.AtEnd());
}

}  // namespace
}  // namespace mvx
