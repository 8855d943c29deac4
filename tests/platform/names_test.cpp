#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

using testkit::TempDir;

class NativeNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "Echo/Area");
    testkit::WriteFileText(dir_ / "Echo/Area/mail.SQD", "x");
  }
  TempDir dir_;
};

TEST_F(NativeNameTest, ResolvesEveryComponentWhateverItsCase) {
  EXPECT_EQ(NativeName(dir_.path() + "/ECHO/area/MAIL.sqd"), dir_ / "Echo/Area/mail.SQD");
  EXPECT_EQ(NativeName(dir_.path() + "\\echo\\AREA\\Mail.Sqd"), dir_ / "Echo/Area/mail.SQD");
  EXPECT_EQ(NativeName(dir_.path() + "/echo\\area/mail.sqd"), dir_ / "Echo/Area/mail.SQD");
}

TEST_F(NativeNameTest, MissingComponentsStayAsWritten) {
  // A new file is created with the name as the program wrote it, in a
  // directory that already exists under another case.
  EXPECT_EQ(NativeName(dir_.path() + "\\ECHO\\NEW.SQD"), dir_ / "Echo/NEW.SQD");
  EXPECT_EQ(NativeName(dir_.path() + "/Gone/Area/x"), dir_ / "Gone/Area/x");
}

TEST_F(NativeNameTest, PrefersTheExactNameOverAnotherCase) {
  testkit::WriteFileText(dir_ / "Echo/Area/MAIL.SQD", "y");
  EXPECT_EQ(NativeName(dir_.path() + "/echo/area/MAIL.SQD"), dir_ / "Echo/Area/MAIL.SQD");
  EXPECT_EQ(NativeName(dir_.path() + "/echo/area/mail.SQD"), dir_ / "Echo/Area/mail.SQD");
}

TEST_F(NativeNameTest, RelativeNamesResolveAgainstTheCurrentDirectory) {
  testkit::ScopedCurrentDir cd(dir_.path());
  EXPECT_EQ(NativeName("echo\\area\\MAIL.SQD"), "Echo/Area/mail.SQD");
  EXPECT_EQ(NativeName(".\\ECHO\\..\\echo/Area"), "./Echo/../Echo/Area");
  EXPECT_EQ(NativeName("ECHO\\"), "Echo/");
}

TEST_F(NativeNameTest, KeepsBytesAboveAsciiAndComparesThemExactly) {
  const std::string name = "\xC0\xE1.txt";
  testkit::WriteFileText(dir_ / name, "z");
  EXPECT_EQ(NativeName(dir_.path() + "/\xC0\xE1.TXT"), dir_ / name);
  // 0xE0 is not treated as the lower case of 0xC0.
  EXPECT_EQ(NativeName(dir_.path() + "/\xE0\xE1.txt"), dir_.path() + "/\xE0\xE1.txt");
}

TEST(NewFileExtensionTest, LowerCasesForTheLocalTossers) {
  EXPECT_EQ(NewFileExtension("SQD"), "sqd");
  EXPECT_EQ(NewFileExtension("JLR"), "jlr");
  EXPECT_EQ(NewFileExtension("MSG"), "msg");
}

TEST(FullPathTest, FoldsDotsAndKeepsATrailingSeparator) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Net");
  testkit::ScopedCurrentDir cd(dir.path());
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(FullPath("net\\mail\\..\\x.msg"), cwd + "/Net/x.msg");
  EXPECT_EQ(FullPath("NET\\"), cwd + "/Net/");
  EXPECT_EQ(FullPath("/a/./b/../c"), "/a/c");
  EXPECT_EQ(FullPath("\\..\\.."), "/");
}

TEST(CreateDirectoryTest, CreatesUnderAnExistingDirectoryOfAnotherCase) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Base");
  int error = 0;
  ASSERT_TRUE(CreateDirectory(dir.path() + "\\BASE\\Area", &error));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Base/Area"));
  EXPECT_FALSE(CreateDirectory(dir.path() + "/base/AREA", &error));
  EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace mvx::platform
