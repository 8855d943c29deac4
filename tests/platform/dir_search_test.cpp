#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

using testkit::TempDir;
namespace fs = std::filesystem;

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
    testkit::WriteFileText(dir_ / "Area/1.msg", "one");
    testkit::WriteFileText(dir_ / "Area/2.MSG", "second");
    testkit::WriteFileText(dir_ / "Area/lastread", "");
    testkit::WriteFileText(dir_ / "Area/.hidden.msg", "h");
  }
  TempDir dir_;
};

TEST_F(DirSearchTest, MaskMatchesWithoutRegardToCaseThroughEitherSeparator) {
  const auto found = SearchAll(dir_.path() + "\\AREA\\*.Msg");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_TRUE(found.count("1.msg"));
  EXPECT_TRUE(found.count("2.MSG"));
  EXPECT_TRUE(found.count("Sub.msg"));
  EXPECT_TRUE(found.count(".hidden.msg"));
  EXPECT_EQ(SearchAll(dir_.path() + "/area/?.MSG").size(), 2u);
}

TEST_F(DirSearchTest, AttributesSizeOfEachKind) {
  fs::permissions(dir_ / "Area/1.msg", fs::perms::owner_read | fs::perms::group_read);
  const auto found = SearchAll(dir_.path() + "/Area/*.*");
  EXPECT_EQ(found.at("1.msg").attr, kAttrArchive | kAttrReadOnly);
  EXPECT_EQ(found.at("1.msg").size, 3u);
  EXPECT_EQ(found.at("2.MSG").attr, kAttrArchive);
  EXPECT_EQ(found.at("2.MSG").size, 6u);
  EXPECT_EQ(found.at("Sub.msg").attr, kAttrDirectory);
  EXPECT_EQ(found.at(".hidden.msg").attr, kAttrArchive | kAttrHidden);
  EXPECT_EQ(found.at("lastread").attr, kAttrArchive);  // "*.*" finds names without a dot
  EXPECT_EQ(found.at(".").attr, kAttrDirectory);
  EXPECT_EQ(found.at("..").attr, kAttrDirectory);
}

TEST_F(DirSearchTest, TimeIsTheLocalLastWriteTimePackedForDos) {
  LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 6;
  t.hour = 4;
  t.minute = 57;
  t.second = 36;
  ASSERT_TRUE(SetFileTime(dir_ / "Area/2.MSG", t));
  // Date (2026-1980)<<9 | 12<<5 | 6 = 0x5D86; time 4<<11 | 57<<5 | 36/2 = 0x2732.
  EXPECT_EQ(SearchAll(dir_ / "Area/2.msg").at("2.MSG").dosTime, 0x5D862732u);
}

TEST_F(DirSearchTest, PlainNameFindsOneEntryInAnyCase) {
  const auto found = SearchAll(dir_.path() + "/area/LASTREAD");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.begin()->first, "lastread");
  EXPECT_TRUE(SearchAll(dir_.path() + "/area/lastrea").empty());
  EXPECT_TRUE(SearchAll(dir_.path() + "/nowhere/lastread").empty());
  EXPECT_TRUE(SearchAll(dir_.path() + "/nowhere/*.*").empty());
}

TEST_F(DirSearchTest, EmptyDirectoryStillHasEntries) {
  fs::create_directories(dir_ / "Empty");
  const auto found = SearchAll(dir_.path() + "\\EMPTY\\*.*");
  EXPECT_EQ(found.size(), 2u);
  EXPECT_TRUE(found.count("."));
}

TEST_F(DirSearchTest, MaskEndingInASeparatorFindsNothing) {
  EXPECT_TRUE(SearchAll(dir_.path() + "/Area/").empty());
}

TEST_F(DirSearchTest, RelativeMaskSearchesTheCurrentDirectory) {
  testkit::ScopedCurrentDir cd(dir_ / "Area");
  EXPECT_EQ(SearchAll("*.MSG").size(), 4u);
  EXPECT_EQ(SearchAll("..\\AREA\\1.MSG").size(), 1u);
}

TEST_F(DirSearchTest, NextAfterTheEndAndAfterCloseFindNothing) {
  DirSearch search;
  DirEntry e;
  ASSERT_TRUE(search.First(dir_ / "Area/1.MSG", &e));
  EXPECT_FALSE(search.Next(&e));
  EXPECT_FALSE(search.Next(&e));
  ASSERT_TRUE(search.First(dir_ / "Area/*", &e));
  search.Close();
  EXPECT_FALSE(search.Next(&e));
}

TEST_F(DirSearchTest, FilesDeletedDuringASearchAreSkipped) {
  DirSearch search;
  DirEntry e;
  ASSERT_TRUE(search.First(dir_ / "Area/?.msg", &e));
  EXPECT_EQ(e.name, "1.msg");
  fs::remove(dir_ / "Area/2.MSG");
  EXPECT_FALSE(search.Next(&e));
}

}  // namespace
}  // namespace mvx::platform
