#include "msgbase/env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "msgbase/dir_scanner.h"
#include "msgbase/file_stream.h"
#include "msgbase/memory_stream.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

TEST(SystemEnvTest, MakesTheRealObjectsAndWaitsAsLongAsItSays) {
  testkit::TempDir dir;
  SystemEnv env(20);
  auto f = env.OpenFileStream(dir / "new.jdt", kModeCreate | kShareRead);
  ASSERT_NE(dynamic_cast<FileStream*>(f.get()), nullptr);
  EXPECT_TRUE(f->Status().ok());
  auto m = env.NewMemoryStream(65536);
  ASSERT_NE(dynamic_cast<MemoryStream*>(m.get()), nullptr);
  EXPECT_EQ(m->Size(), 0);
  EXPECT_TRUE(env.NewDirScanner()->ScanFirst(dir / "NEW.JDT", 0x3F));
  for (std::uint16_t unknown : {0x0003, 0x0102}) EXPECT_EQ(env.OpenFileStream(dir / "new.jdt", unknown), nullptr);
  f.reset();
  auto holder = env.OpenFileStream(dir / "new.jdt", kModeReadWrite | kShareNone);
  const std::int64_t start = platform::MonotonicMilliseconds();
  auto second = env.OpenFileStream(dir / "new.jdt", kModeReadWrite | kShareNone);
  EXPECT_EQ(second->Status().code(), Errc::kHeldByOther);
  EXPECT_LT(platform::MonotonicMilliseconds() - start, 1000);
}

namespace fs = std::filesystem;

std::set<std::string> ScanAll(DirScanner& s, const std::string& mask, std::uint32_t attributes) {
  std::set<std::string> names;
  for (bool ok = s.ScanFirst(mask, attributes); ok; ok = s.ScanNext()) names.insert(s.Name.str());
  return names;
}

TEST(DirScannerTest, AttributesChooseTheEntriesAndFillTheFields) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Net/5.MSG");
  for (const char* f : {"Net/1.MSG", "Net/2.msg", "Net/.3.msg"}) testkit::WriteFileText(dir / f, "a");
  testkit::WriteFileText(dir / "Net/4.msg", "dddd");
  fs::permissions(dir / "Net/4.msg", fs::perms::owner_read);
  DirScanner s;
  // The *.MSG scan (0x21): plain files, read-only or not; no directories or hidden files.
  EXPECT_EQ(ScanAll(s, dir.path() + "\\net\\*.MSG", 0x21), (std::set<std::string>{"1.MSG", "2.msg", "4.msg"}));
  // The existence test (0x3F): every kind.
  EXPECT_EQ(ScanAll(s, dir.path() + "/NET/*.msg", 0x3F),
            (std::set<std::string>{".3.msg", "1.MSG", "2.msg", "4.msg", "5.MSG"}));
  ASSERT_TRUE(s.ScanFirst(dir.path() + "/net/4.MSG", 0x3F));
  EXPECT_EQ(s.Name.str() + " " + std::to_string(s.Attr) + " " + std::to_string(s.Size), "4.msg 33 4");  // 0x21
  EXPECT_GT(s.Time, 0x00210000u);  // after 1 January 1980
  EXPECT_FALSE(s.ScanNext());
  ASSERT_TRUE(s.ScanFirst(dir / "Net/*.*", 0x3F));
  s.ScanEnd();
  EXPECT_FALSE(s.ScanNext());
}

}  // namespace
}  // namespace mvx
