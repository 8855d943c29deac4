#include "msgbase/dir_scanner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "testkit/testkit.h"

namespace mvx {
namespace {

namespace fs = std::filesystem;

std::set<std::string> ScanAll(const std::string& mask, std::uint32_t attributes) {
  std::set<std::string> names;
  DirScanner s;
  for (bool ok = s.ScanFirst(mask, attributes); ok; ok = s.ScanNext()) names.insert(s.Name.str());
  s.ScanEnd();
  return names;
}

class DirScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "Net/5.MSG");
    testkit::WriteFileText(dir_ / "Net/1.MSG", "a");
    testkit::WriteFileText(dir_ / "Net/2.msg", "bb");
    testkit::WriteFileText(dir_ / "Net/.3.msg", "c");
    testkit::WriteFileText(dir_ / "Net/4.msg", "dddd");
    fs::permissions(dir_ / "Net/4.msg", fs::perms::owner_read);
  }
  testkit::TempDir dir_;
};

TEST_F(DirScannerTest, MessageScanTakesPlainFilesOnly) {
  // Read-only never excludes; directories and hidden files do.
  EXPECT_EQ(ScanAll(dir_.path() + "\\net\\*.MSG", 0x21), (std::set<std::string>{"1.MSG", "2.msg", "4.msg"}));
}

TEST_F(DirScannerTest, ExistenceScanTakesEveryKind) {
  EXPECT_EQ(ScanAll(dir_.path() + "/NET/*.msg", 0x3F),
            (std::set<std::string>{".3.msg", "1.MSG", "2.msg", "4.msg", "5.MSG"}));
}

TEST_F(DirScannerTest, FieldsOfAMatch) {
  DirScanner s;
  ASSERT_TRUE(s.ScanFirst(dir_.path() + "/net/4.MSG", 0x3F));
  EXPECT_EQ(s.Name, "4.msg");
  EXPECT_EQ(s.Attr, 0x21u);
  EXPECT_EQ(s.Size, 4u);
  EXPECT_NE(s.Time, 0u);
  EXPECT_FALSE(s.ScanNext());
}

TEST_F(DirScannerTest, DirectoryOnlyMatchIsSkippedForFiles) {
  DirScanner s;
  EXPECT_FALSE(s.ScanFirst(dir_.path() + "/Net/5.msg", 0x21));
  EXPECT_TRUE(s.ScanFirst(dir_.path() + "/Net/5.msg", 0x3F));
  EXPECT_EQ(s.Attr, 0x10u);
}

TEST_F(DirScannerTest, ExistingEmptyDirectoryHasEntries) {
  fs::create_directories(dir_ / "Empty");
  DirScanner s;
  EXPECT_TRUE(s.ScanFirst(dir_.path() + "\\EMPTY\\*.*", 0x3F));
  EXPECT_FALSE(s.ScanFirst(dir_.path() + "\\Missing\\*.*", 0x3F));
}

TEST_F(DirScannerTest, NewScanRestarts) {
  DirScanner s;
  ASSERT_TRUE(s.ScanFirst(dir_ / "Net/1.msg", 0x3F));
  ASSERT_TRUE(s.ScanFirst(dir_ / "Net/2.msg", 0x3F));
  EXPECT_EQ(s.Name, "2.msg");
  EXPECT_FALSE(s.ScanNext());
  s.ScanEnd();
  EXPECT_FALSE(s.ScanNext());
}

}  // namespace
}  // namespace mvx
