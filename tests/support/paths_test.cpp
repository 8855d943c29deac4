#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "support/text.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

namespace fs = std::filesystem;

TEST(PathParts, BothSeparators) {
  EXPECT_TRUE(EndsWithSeparator("a\\"));
  EXPECT_TRUE(EndsWithSeparator("a/"));
  EXPECT_FALSE(EndsWithSeparator(""));
  EXPECT_EQ(FileNamePart("c:\\fido/echo\\NET.SQD"), "NET.SQD");
  EXPECT_EQ(FileNamePart("a/b/"), "");
  EXPECT_EQ(FileNamePart("plain"), "plain");
}

TEST(Directories, MakeAndFindWithMixedSeparatorsAndCase) {
  testkit::TempDir dir;
  MVX_IN_DIRECTORY(dir.path(), {
    fs::create_directories("Fido");
    const std::string deep = dir.path() + "\\FIDO/two\\three\\";
    EXPECT_TRUE(MakeDirectoryPath(deep));
    EXPECT_TRUE(MakeDirectoryPath(deep));  // already there: nothing fails, nothing changes
    EXPECT_EQ(testkit::ListDir(dir.path()), std::vector<std::string>{"Fido"});
    EXPECT_TRUE(fs::is_directory("Fido/two/three"));
    EXPECT_TRUE(MakeDirectory("fido\\made\\"));  // one trailing separator dropped
    EXPECT_TRUE(MakeDirectory("fido/no/such"));  // a missing parent is not made, silently
    EXPECT_EQ(testkit::ListDir("Fido"), (std::vector<std::string>{"made", "two"}));
    // DirectoryOf gives the full path of the parent, which can make a new area.
    const Str here = Str(platform::FullPath("."));
    const std::string sep(1, platform::NativeSeparator());
    EXPECT_EQ(DirectoryOf("echo\\net\\area"), here + sep + "echo" + sep + "net");
    EXPECT_EQ(DirectoryOf("area"), here);
    EXPECT_EQ(DirectoryOf(""), "");
    EXPECT_TRUE(MakeDirectoryPath(DirectoryOf("new\\sub/area")));
    EXPECT_TRUE(fs::is_directory("new/sub"));
    EXPECT_FALSE(fs::exists("new/sub/area"));
  });
}

TEST(Directories, DirectoryOfANameInARootIsTheRoot) {
  const std::pair<const char*, const char*> cases[] = {
#ifdef _WIN32
      {"C:\\area", "C:\\"}, {"C:\\fido\\area", "C:\\fido"}, {"C:/fido/echo/", "C:\\fido\\echo"},
      {"\\\\server\\share\\area", "\\\\server\\share\\"},
      {"\\\\server\\share\\fido\\area", "\\\\server\\share\\fido"},
#else
      {"/area", "/"}, {"/fido/area", "/fido"}, {"/fido/echo/", "/fido/echo"},
#endif
  };
  for (const auto& [path, directory] : cases) EXPECT_EQ(DirectoryOf(path), directory) << path;
}

#ifndef _WIN32
TEST(Directories, AThreeCharacterPathIsNoDriveRoot) {
  // "/fm" is as long as "C:\" but an ordinary directory: it must be made.
  if (access("/", W_OK) != 0) GTEST_SKIP() << "needs a writable root directory";
  std::string name = "/m0";
  while (fs::exists(name) && name[2] < '9') ++name[2];
  ASSERT_FALSE(fs::exists(name));
  EXPECT_TRUE(MakeDirectoryPath(name));
  EXPECT_TRUE(fs::is_directory(name));
  fs::remove(name);
  EXPECT_TRUE(MakeDirectory(name + "\\"));
  EXPECT_TRUE(fs::is_directory(name));
  fs::remove(name);
}
#endif

TEST(Directories, ExistenceTestsAndDeletionWhateverTheCase) {
  testkit::TempDir dir;
  fs::create_directories(dir / "empty");
  testkit::WriteFileText(dir / "Area.SQD", "data");
  EXPECT_TRUE(DirHasEntries(dir / "EMPTY"));  // an existing directory always has entries
  EXPECT_TRUE(DirHasEntries(dir.path() + "\\empty\\"));
  EXPECT_FALSE(DirHasEntries(dir / "missing"));
  EXPECT_FALSE(DirHasEntries(dir.path() + "\\missing\\"));
  EXPECT_TRUE(FileExists(dir.path() + "\\area.sqd"));
  EXPECT_TRUE(FileExists(dir / "empty"));  // any kind of entry
  EXPECT_FALSE(FileExists(dir / "Area.SQI"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(DeleteFileKeepingError(dir.path() + "\\AREA.sqd"));
  EXPECT_FALSE(testkit::PathExists(dir / "Area.SQD"));
  EXPECT_FALSE(DeleteFileKeepingError(dir / "Area.SQD"));
}

}  // namespace
}  // namespace mvx
