#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

TEST(FileTimesTest, SetThenReadBackAsLocalDosDateAndTime) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "EVERYDAY.FLG", "");
  const struct {
    int year, month, day, hour, minute, second;
    std::uint32_t dos;
  } cases[] = {
      // (46 << 9 | 12 << 5 | 6) << 16 | (4 << 11 | 57 << 5 | 18)
      {2026, 12, 6, 4, 57, 36, 0x5D862732u},
      // (19 << 9 | 1 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29): odd seconds round down
      {1999, 1, 31, 23, 59, 59, 0x263FBF7Du},
      {1975, 6, 1, 12, 0, 0, 0x00210000u},  // before 1980: 1 January 1980, 00:00:00
  };
  for (const auto& c : cases) {
    LocalTime t;
    t.year = c.year, t.month = c.month, t.day = c.day, t.hour = c.hour, t.minute = c.minute, t.second = c.second;
    ASSERT_TRUE(SetFileTime(dir / "everyday.flg", t));
    EXPECT_EQ(GetFileDosTime(dir.path() + "\\Everyday.Flg"), c.dos) << c.year;
  }
  EXPECT_FALSE(GetFileDosTime(dir / "none").has_value());
  EXPECT_FALSE(SetFileTime(dir / "none", LocalTime{}));
}

}  // namespace
}  // namespace mvx::platform
