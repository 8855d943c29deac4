// The per-user last-read pointers of a *.MSG area ("lastread").
#include <gtest/gtest.h>

#include "msgbase/file_stream.h"
#include "msgdir/msgdir_base.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using MsgDirLastReadTest = MsgDirTest;

TEST_F(MsgDirLastReadTest, ReadsTheWordOfTheUserIndex) {
  PutFile("lastread", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.ReadLastRead(2), 3);
  EXPECT_EQ(base.ReadLastRead(3), 0);  // beyond the 6-byte file
  EXPECT_EQ(base.ReadLastRead(-1), 0);
  PutFile("lastread", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x34, 0xF2});
  EXPECT_EQ(base.ReadLastRead(3), 0xF234);  // unsigned
}

TEST_F(MsgDirLastReadTest, MissingFileReadsZeroAndIsCreatedByAWrite) {
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.ReadLastRead(0), 0);
  base.WriteLastRead(3, 0x1234);
  const std::vector<std::uint8_t> bytes = testkit::ReadFileBytes(Path("lastread"));
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(bytes[6], 0x34);
  EXPECT_EQ(bytes[7], 0x12);
  EXPECT_EQ(base.ReadLastRead(3), 0x1234);
}

TEST_F(MsgDirLastReadTest, WritingOneUserKeepsTheOthers) {
  PutFile("LASTREAD", {0x0A, 0x00, 0x0B, 0x00, 0x0C, 0x00});
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.WriteLastRead(1, 0x10000 + 7);  // cut to 16 bits
  EXPECT_EQ(testkit::ReadFileBytes(Path("LASTREAD")),
            (std::vector<std::uint8_t>{0x0A, 0x00, 0x07, 0x00, 0x0C, 0x00}));
  EXPECT_EQ(Names(), std::vector<std::string>{"LASTREAD"});
}

TEST_F(MsgDirLastReadTest, AFileThatCannotBeOpenedIsNeverEmptied) {
  PutFile("lastread", {0x0A, 0x00, 0x0B, 0x00});
  // Opening for writing fails, as when another program holds the file.
  FileHooks hooks = RealFileHooks();
  hooks.openFileStream = [](const Str& name, std::uint16_t mode) -> std::unique_ptr<DataStream> {
    if ((mode & 0xFF) == kModeWrite) return RealFileHooks().openFileStream(name + ".absent", kModeRead);
    return RealFileHooks().openFileStream(name, mode);
  };
  SetFileHooks(hooks);
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  base.WriteLastRead(0, 0x55);
  EXPECT_EQ(testkit::ReadFileBytes(Path("lastread")), (std::vector<std::uint8_t>{0x0A, 0x00, 0x0B, 0x00}));
}

TEST_F(MsgDirLastReadTest, NothingWithoutAnOpenArea) {
  MsgDirBase base;
  base.WriteLastRead(0, 1);
  EXPECT_EQ(base.ReadLastRead(0), 0);
  EXPECT_TRUE(Names().empty());
}

}  // namespace
}  // namespace mvx::msgdirtest
