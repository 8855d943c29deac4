#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

namespace fs = std::filesystem;

using testkit::kWindows;

#ifndef _WIN32

// POSIX only: on Windows the file system itself ignores the case of names.
TEST(NativeNameTest, ResolvesEachComponentOnARealDirectory) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Echo/Area");
  for (const char* f : {"Echo/Area/mail.SQD", "Echo/Area/Twin", "Echo/Area/TWIN", "Echo/Area/7.Msg",
                        "Echo/Area/7.MSG", "\xC0\xE1.txt"}) {
    testkit::WriteFileText(dir / f, "x");
  }
  const std::string longPart(300, 'L');
  const std::pair<std::string, std::string> cases[] = {
      {"echo\\area\\MAIL.SQD", "Echo/Area/mail.SQD"}, {"ECHO/area\\Mail.Sqd", "Echo/Area/mail.SQD"},
      {"echo\\NEW.SQD", "Echo/NEW.SQD"}, {"Gone/AREA/x", "Gone/AREA/x"},  // a new file keeps the name as written
      {"echo/area/Twin", "Echo/Area/Twin"},  // the exact name wins...
      {"echo/area/twin", "Echo/Area/TWIN"},  // ...else the first in sort order
      {"echo/area/7.msg", "Echo/Area/7.MSG"}, {"echo/area/7.MsG", "Echo/Area/7.MSG"},
      {".\\ECHO\\..\\echo/Area", "./Echo/../Echo/Area"}, {"ECHO\\", "Echo/"},
      {"ECHO\\\\area//", "Echo//Area//"}, {"\\", "/"}, {"..", ".."}, {"", ""},
      {"echo\\" + longPart + "\\x", "Echo/" + longPart + "/x"},
      {"\xC0\xE1.TXT", "\xC0\xE1.txt"},  // bytes above 127 compare exactly...
      {"\xE0\xE1.txt", "\xE0\xE1.txt"},  // ...0xE0 is not the lower case of 0xC0
  };
  MVX_IN_DIRECTORY(dir.path(), {
    for (const auto& [in, out] : cases) EXPECT_EQ(NativeName(in), out) << in;
  });
  EXPECT_EQ(NativeName(dir.path() + "\\ECHO\\AREA\\mail.sqd"), dir / "Echo/Area/mail.SQD");
}
#endif

// On Windows names reach the file system as the UTF-16 of CP866 whatever the
// system's code pages, and Cyrillic case folds; on POSIX bytes pass unchanged.
TEST(NativeNameTest, Cp866NamesRoundTrip) {
  testkit::TempDir dir;
  const std::string upper = "\x8F\xA8\xE1\xEC\xAC\xAE.TXT";  // "Письмо.TXT" in 866
  const std::string lower = "\xAF\xA8\xE1\xEC\xAC\xAE.txt";  // "письмо.txt"
  FileHandle made = kNoFile;
  ASSERT_TRUE(CreateNew(dir / upper, &made).ok());
  CloseFile(made);
#ifdef _WIN32
  EXPECT_TRUE(fs::exists(fs::path(dir.path()) / L"\u041F\u0438\u0441\u044C\u043C\u043E.TXT"));
#else
  EXPECT_TRUE(fs::exists(dir / upper));
#endif
  DirSearch search;
  DirEntry entry;
  ASSERT_TRUE(search.First(dir / "*.txt", &entry));
  EXPECT_EQ(entry.name, upper);
  EXPECT_FALSE(search.Next(&entry));
  FileHandle again = kNoFile;
  EXPECT_EQ(OpenExisting(dir / lower, Access::kRead, Share::kReadWrite, 0, &again).ok(), kWindows);
  CloseFile(again);
}

// POSIX tossers look for lower-case extensions, those of Windows for capitals.
TEST(NativeNameTest, NewFileExtensions) { EXPECT_EQ(NewFileExtension("SQD"), kWindows ? "SQD" : "sqd"); }

// Without asking the disk. On Windows: drive letters, a drive's own current
// directory ("C:fido") and network shares (never left by "..").
TEST(FullPathTest, FoldsDotsAndKeepsATrailingSeparator) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Net");
  MVX_IN_DIRECTORY(dir.path(), {
    const std::string cwd = fs::current_path().string();
    const std::string drive = kWindows ? cwd.substr(0, 2) : "C:";  // a plain name on POSIX
    const struct { std::string in, posix, windows; } cases[] = {
        {"net\\mail\\..\\x.msg", cwd + "/Net/x.msg", cwd + "\\net\\x.msg"},
        {"NET\\", cwd + "/Net/", cwd + "\\NET\\"},
        {"/a/./b/../c", "/a/c", drive + "\\a\\c"},
        {"\\..\\..", "/", drive + "\\"},
        {"D:\\fido\\.\\net\\..\\x.msg", cwd + "/D:/fido/x.msg", "D:\\fido\\x.msg"},
        {"D:/..", cwd, "D:\\"},
        {drive + "fido", cwd + "/C:fido", cwd + "\\fido"},
        {"\\\\server\\share\\fido\\..\\..\\..\\x", "/x", "\\\\server\\share\\x"},
        {"//server/share/fido/", "/server/share/fido/", "\\\\server\\share\\fido\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(FullPath(c.in), kWindows ? c.windows : c.posix) << c.in;
  });
}

}  // namespace
}  // namespace mvx::platform
