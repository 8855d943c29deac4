#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/text.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

TEST(PathParts, BothSeparators) {
  EXPECT_TRUE(EndsWithSeparator("a\\"));
  EXPECT_TRUE(EndsWithSeparator("a/"));
  EXPECT_FALSE(EndsWithSeparator("a"));
  EXPECT_FALSE(EndsWithSeparator(""));
  EXPECT_EQ(FileNamePart("c:\\fido/echo\\NET.SQD"), "NET.SQD");
  EXPECT_EQ(FileNamePart("a/b/"), "");
  EXPECT_EQ(FileNamePart("plain"), "plain");
}

TEST(Directories, MakeDirectoryPathWithMixedSeparators) {
  testkit::TempDir dir;
  const std::string deep = dir.path() + "\\one/two\\three\\";
  EXPECT_TRUE(MakeDirectoryPath(deep));
  EXPECT_TRUE(testkit::PathExists(dir / "one/two/three"));
  // Already there: nothing fails, nothing changes.
  EXPECT_TRUE(MakeDirectoryPath(deep));
  EXPECT_EQ(testkit::ListDir(dir / "one/two"), std::vector<std::string>{"three"});
}

TEST(Directories, MakeDirectoryDropsOneTrailingSeparator) {
  testkit::TempDir dir;
  EXPECT_TRUE(MakeDirectory(dir.path() + "\\made\\"));
  EXPECT_TRUE(testkit::PathExists(dir / "made"));
  EXPECT_TRUE(MakeDirectory(dir.path() + "/made2/"));
  EXPECT_TRUE(testkit::PathExists(dir / "made2"));
  // A missing parent is not made, and the failure is not reported.
  EXPECT_TRUE(MakeDirectory(dir.path() + "/no/such"));
  EXPECT_FALSE(testkit::PathExists(dir / "no"));
}

TEST(Directories, RelativePathsUseTheCurrentDirectory) {
  testkit::TempDir dir;
  testkit::ScopedCurrentDir cd(dir.path());
  EXPECT_TRUE(MakeDirectoryPath("echo\\net"));
  EXPECT_TRUE(testkit::PathExists(dir / "echo/net"));
  const Str here = Str(platform::FullPath("."));
  EXPECT_EQ(DirectoryOf("echo\\net\\area"), here + "/echo/net");
  EXPECT_EQ(DirectoryOf("area"), here);
  EXPECT_EQ(DirectoryOf(""), "");
  // What DirectoryOf gives can make the parents of a new area.
  EXPECT_TRUE(MakeDirectoryPath(DirectoryOf("new\\sub/area")));
  EXPECT_TRUE(testkit::PathExists(dir / "new/sub"));
  EXPECT_FALSE(testkit::PathExists(dir / "new/sub/area"));
}

TEST(Directories, DirHasEntriesServesAsExistenceTest) {
  testkit::TempDir dir;
  EXPECT_FALSE(DirHasEntries(dir / "full"));
  MakeDirectory(dir / "full");
  MakeDirectory(dir / "empty");
  testkit::WriteFileText(dir / "full/1.MSG", "x");
  EXPECT_TRUE(DirHasEntries(dir / "full"));
  EXPECT_TRUE(DirHasEntries(dir.path() + "\\full\\"));
  EXPECT_TRUE(DirHasEntries(dir.path() + "/FULL/"));  // any letter case
  EXPECT_TRUE(DirHasEntries(dir / "empty"));
  EXPECT_FALSE(DirHasEntries(dir / "missing"));
  EXPECT_FALSE(DirHasEntries(dir.path() + "\\missing\\"));
}

TEST(Files, ExistsAndDeleteWhateverTheCase) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "Area.SQD", "data");
  EXPECT_TRUE(FileExists(dir / "Area.SQD"));
  EXPECT_TRUE(FileExists(dir.path() + "\\area.sqd"));
  EXPECT_FALSE(FileExists(dir / "Area.SQI"));
  EXPECT_FALSE(FileExists(""));
  MakeDirectory(dir / "sub");
  EXPECT_TRUE(FileExists(dir / "sub"));  // any kind of entry

  EXPECT_TRUE(DeleteFileKeepingError(dir.path() + "\\AREA.sqd"));
  EXPECT_FALSE(testkit::PathExists(dir / "Area.SQD"));
  EXPECT_FALSE(DeleteFileKeepingError(dir / "Area.SQD"));
}

}  // namespace
}  // namespace mvx
