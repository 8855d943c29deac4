#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

using testkit::TempDir;

LocalTime At(int year, int month, int day, int hour, int minute, int second) {
  LocalTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

TEST(FileTimesTest, SetThenReadBackAsDosDateAndTime) {
  TempDir dir;
  testkit::WriteFileText(dir / "EVERYDAY.FLG", "");
  ASSERT_TRUE(SetFileTime(dir / "everyday.flg", At(2026, 12, 6, 4, 57, 36)));
  // (46 << 9 | 12 << 5 | 6) << 16 | (4 << 11 | 57 << 5 | 18)
  EXPECT_EQ(GetFileDosTime(dir.path() + "\\Everyday.Flg"), 0x5D862732u);
  ASSERT_TRUE(SetFileTime(dir / "EVERYDAY.FLG", At(1999, 1, 31, 23, 59, 59)));
  // (19 << 9 | 1 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29): odd seconds round down.
  EXPECT_EQ(GetFileDosTime(dir / "EVERYDAY.FLG"), 0x263FBF7Du);
}

TEST(FileTimesTest, TimesBefore1980ClampToTheFirstDosDay) {
  TempDir dir;
  testkit::WriteFileText(dir / "old", "");
  ASSERT_TRUE(SetFileTime(dir / "old", At(1975, 6, 1, 12, 0, 0)));
  EXPECT_EQ(GetFileDosTime(dir / "old"), 0x00210000u);  // 1 January 1980, 00:00:00
}

TEST(FileTimesTest, MissingFile) {
  TempDir dir;
  EXPECT_FALSE(GetFileDosTime(dir / "none").has_value());
  EXPECT_FALSE(SetFileTime(dir / "none", At(2026, 12, 6, 4, 57, 36)));
}

}  // namespace
}  // namespace mvx::platform
