#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/common/name_match.h"
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
                        "Echo/Area/7.MSG", "\xC0\xE1.txt"})
    testkit::WriteFileText(dir / f, "x");
  const std::string longPart(300, 'L');
  const std::pair<std::string, std::string> cases[] = {
      {"echo\\area\\MAIL.SQD", "Echo/Area/mail.SQD"}, {"ECHO/area\\Mail.Sqd", "Echo/Area/mail.SQD"},
      {"echo\\NEW.SQD", "Echo/NEW.SQD"}, {"Gone/AREA/x", "Gone/AREA/x"},  // a new file keeps the name as written
      {"echo/area/Twin", "Echo/Area/Twin"}, {"echo/area/twin", "Echo/Area/TWIN"},  // exact name, else first sorted
      {"echo/area/7.msg", "Echo/Area/7.MSG"}, {"echo/area/7.MsG", "Echo/Area/7.MSG"},
      {".\\ECHO\\..\\echo/Area", "./Echo/../Echo/Area"}, {"ECHO\\", "Echo/"},
      {"ECHO\\\\area//", "Echo//Area//"}, {"\\", "/"}, {"..", ".."}, {"", ""},
      {"echo\\" + longPart + "\\x", "Echo/" + longPart + "/x"},
      // Bytes above 127 compare exactly: 0xE0 is not the lower case of 0xC0.
      {"\xC0\xE1.TXT", "\xC0\xE1.txt"}, {"\xE0\xE1.txt", "\xE0\xE1.txt"},
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

std::map<std::string, DirEntry> SearchAll(const std::string& mask) {
  std::map<std::string, DirEntry> found;
  DirSearch search;
  DirEntry e;
  for (bool ok = search.First(mask, &e); ok; ok = search.Next(&e)) found[e.name] = e;
  return found;
}

class DirSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "Area/Sub.msg");
    fs::create_directories(dir_ / "Empty");
    // On Windows the system also matches masks against 8.3 short names, and the short name of 3.msgx
    // ends in .MSG: "*.MSG" must not find it.
    for (const auto& [name, text] :
         {std::pair{"1.msg", "one"}, {"2.MSG", "second"}, {"lastread", ""}, {"3.msgx", "x"}, {".hidden.msg", "h"}})
      testkit::WriteFileText(dir_ / "Area/" + name, text);
  }
  testkit::TempDir dir_;
};

TEST_F(DirSearchTest, MasksMatchWithoutRegardToCaseThroughEitherSeparator) {
  const std::string d = dir_.path();
  const struct { std::string mask; std::size_t count; } cases[] = {
      {d + "\\AREA\\*.Msg", 4},     {d + "/area/?.MSG", 2},
      {d + "/Area\\*.*", 8},         // also "lastread", "3.msgx", "." and ".."
      {d + "\\EMPTY\\*.*", 2},       // "." and "..": an empty directory exists
      {d + "/area/LASTREAD", 1},     {d + "/area/lastrea", 0},
      {d + "/nowhere/*.*", 0},       {d + "/nowhere/lastread", 0},
      {d + "/Area/", 0},             // no pattern
  };
  for (const auto& c : cases) EXPECT_EQ(SearchAll(c.mask).size(), c.count) << c.mask;
  EXPECT_EQ(SearchAll(d + "/area/LASTREAD").begin()->first, "lastread");  // the name on disk
  // Relative masks, and a drive's own current directory on Windows ("C:*.MSG"); on POSIX a name "C:...".
  MVX_IN_DIRECTORY(dir_ / "Area", {
    EXPECT_EQ(SearchAll("*.MSG").size(), 4u);
    EXPECT_EQ(SearchAll("..\\AREA\\1.MSG").size(), 1u);
    const std::string drive = kWindows ? fs::current_path().string().substr(0, 2) : "C:";
    EXPECT_EQ(SearchAll(drive + "*.MSG").size(), kWindows ? 4u : 0u);
  });
}

TEST_F(DirSearchTest, AttributesSizeAndTimeOfEachKind) {
  fs::permissions(dir_ / "Area/1.msg", fs::perms::owner_read | fs::perms::group_read);
  ASSERT_TRUE(SetFileTime(dir_ / "Area/2.MSG", LocalTime{2026, 12, 6, 4, 57, 36}).ok());
  const auto found = SearchAll(dir_ / "Area/*.*");
  const std::pair<const char*, std::uint32_t> attrs[] = {
      {"1.msg", kAttrArchive | kAttrReadOnly}, {"2.MSG", kAttrArchive}, {"Sub.msg", kAttrDirectory},
      {".hidden.msg", kAttrArchive | kAttrHidden}, {".", kAttrDirectory}, {"..", kAttrDirectory}};
  for (const auto& [name, attr] : attrs) EXPECT_EQ(found.at(name).attr, attr) << name;
  EXPECT_EQ(std::pair(found.at("1.msg").size, found.at("2.MSG").size), std::pair(3u, 6u));
  // Date (2026-1980)<<9 | 12<<5 | 6 = 0x5D86; time 4<<11 | 57<<5 | 36/2 = 0x2732.
  EXPECT_EQ(found.at("2.MSG").dosTime, 0x5D862732u);
}

TEST_F(DirSearchTest, EntriesDeletedDuringTheSearchAreSkipped) {
  DirSearch search;
  DirEntry e;
  ASSERT_TRUE(search.First(dir_ / "Area/?.msg", &e));
  EXPECT_EQ(e.name, "1.msg");
  fs::remove(dir_ / "Area/2.MSG");
  EXPECT_FALSE(search.Next(&e));
}

TEST(MatchesMaskTest, WildcardsIgnoringAsciiCase) {
  using common::MatchesMask;
  const std::string stars(200, '*'), a255(255, 'a');
  const struct { std::string mask, name; bool match; } cases[] = {
      {"*.MSG", "12.msg", true},    {"*.MSG", "1.msg.bak", false}, {"?.msg", "7.MSG", true},
      {"?.msg", "17.MSG", false},   {"a*b*c", "aXXbYYbZc", true},  {"a*b*c", "aXXbYYbZ", false},
      {"*.*", "lastread", true},    {"LASTREAD.*", "lastread", true},  // names without a dot
      {"LASTREAD.*", "lastrea", false}, {"EVERYDAY.FLG", "everyday.flgx", false},
      {"\xC0*", "\xC0x", true},         {"\xE0*", "\xC0x", false},  // bytes above 127 exactly
      {"@", "`", false},                                            // 0x40 and 0x60: no letters
      {stars + "b", a255 + "b", true},  {stars + "b", a255, false},  // hostile masks finish
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.mask, c.name), c.match) << c.mask << " / " << c.name;
}

}  // namespace
}  // namespace mvx::platform
