#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

namespace fs = std::filesystem;

TEST(NativeNameTest, ResolvesEachComponentOnARealDirectory) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Echo/Area");
  for (const char* f : {"Echo/Area/mail.SQD", "Echo/Area/Twin", "Echo/Area/TWIN", "Echo/Area/7.Msg",
                        "Echo/Area/7.MSG", "\xC0\xE1.txt"}) {
    testkit::WriteFileText(dir / f, "x");
  }
  const std::string longPart(300, 'L');
  const struct {
    std::string in, out;
  } cases[] = {
      {"echo\\area\\MAIL.SQD", "Echo/Area/mail.SQD"},
      {"ECHO/area\\Mail.Sqd", "Echo/Area/mail.SQD"},
      {"echo\\NEW.SQD", "Echo/NEW.SQD"},  // a new file keeps the name as written
      {"Gone/AREA/x", "Gone/AREA/x"},
      {"echo/area/Twin", "Echo/Area/Twin"},  // the exact name wins...
      {"echo/area/twin", "Echo/Area/TWIN"},  // ...else the first in sort order
      {"echo/area/7.msg", "Echo/Area/7.MSG"},
      {"echo/area/7.MsG", "Echo/Area/7.MSG"},
      {".\\ECHO\\..\\echo/Area", "./Echo/../Echo/Area"},
      {"ECHO\\", "Echo/"},
      {"ECHO\\\\area//", "Echo//Area//"},
      {"\\", "/"},
      {"..", ".."},
      {"", ""},
      {"echo\\" + longPart + "\\x", "Echo/" + longPart + "/x"},
      {"\xC0\xE1.TXT", "\xC0\xE1.txt"},  // bytes above 127 compare exactly...
      {"\xE0\xE1.txt", "\xE0\xE1.txt"},  // ...0xE0 is not the lower case of 0xC0
  };
  {
    testkit::ScopedCurrentDir cd(dir.path());
    for (const auto& c : cases) EXPECT_EQ(NativeName(c.in), c.out) << c.in;
  }
  EXPECT_EQ(NativeName(dir.path() + "\\ECHO\\AREA\\mail.sqd"), dir / "Echo/Area/mail.SQD");
}

TEST(NativeNameTest, NewFileExtensionsAreLowerCase) {
  EXPECT_EQ(NewFileExtension("SQD"), "sqd");
  EXPECT_EQ(NewFileExtension("JLR"), "jlr");
}

TEST(FullPathTest, FoldsDotsAndKeepsATrailingSeparator) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Net");
  testkit::ScopedCurrentDir cd(dir.path());
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(FullPath("net\\mail\\..\\x.msg"), cwd + "/Net/x.msg");
  EXPECT_EQ(FullPath("NET\\"), cwd + "/Net/");
  EXPECT_EQ(FullPath("/a/./b/../c"), "/a/c");
  EXPECT_EQ(FullPath("\\..\\.."), "/");
}

}  // namespace
}  // namespace mvx::platform
