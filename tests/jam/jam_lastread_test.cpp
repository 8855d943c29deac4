// Last-read pointers: one 16-byte record per user in the .JLR.
#include <gtest/gtest.h>

#include <vector>

#include "jam/jam_base.h"
#include "jam_test_support.h"

namespace mvx::jamtest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using JamLastReadTest = AreaFixture;

TEST_F(JamLastReadTest, AppendThenUpdateInPlace) {
  auto base = Create();
  EXPECT_EQ(base->ReadLastRead(5), 0);
  base->WriteLastRead(5, 10);
  base->WriteLastRead(7, 3);
  EXPECT_EQ(testkit::ReadFileBytes(jlr()),
            (Bytes{5, 0, 0, 0, 5, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0,
                   7, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0}));
  base->WriteLastRead(5, 0x0102);
  const Bytes after = testkit::ReadFileBytes(jlr());
  ASSERT_EQ(after.size(), 32u);
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 16),
            (Bytes{5, 0, 0, 0, 5, 0, 0, 0, 2, 1, 0, 0, 2, 1, 0, 0}));
  EXPECT_EQ(base->ReadLastRead(5), 0x0102);
  EXPECT_EQ(base->ReadLastRead(7), 3);
  EXPECT_EQ(base->ReadLastRead(6), 0);
  ASSERT_TRUE(base->CloseArea());
  auto again = Open();
  EXPECT_EQ(again->ReadLastRead(5), 0x0102);
}

TEST_F(JamLastReadTest, ReadingGivesTheHighestReadAndKeepsForeignFields) {
  {
    auto base = Create();
  }
  // As another program writes it: a name CRC and two different numbers,
  // then a torn record.
  testkit::WriteFileBytes(jlr(), Bytes{0xAA, 0xBB, 0xCC, 0xDD, 9, 0, 0, 0, 4, 0, 0, 0, 6, 0, 0, 0, 1, 2, 3});
  auto base = Open();
  EXPECT_EQ(base->ReadLastRead(9), 6);
  base->WriteLastRead(9, 8);
  base->WriteLastRead(1, 1);
  EXPECT_EQ(testkit::ReadFileBytes(jlr()),
            (Bytes{0xAA, 0xBB, 0xCC, 0xDD, 9, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0,
                   1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace mvx::jamtest
