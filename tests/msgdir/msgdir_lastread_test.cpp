// The per-user last-read pointers of a *.MSG area ("lastread").
#include <gtest/gtest.h>

#include "msgbase/file_stream.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using MsgDirLastRead = MsgDirTest;
using Bytes = std::vector<std::uint8_t>;

TEST_F(MsgDirLastRead, ReadsAndWritesTheWordOfTheUserIndex) {
  MsgDirBase closed;
  closed.WriteLastRead(0, 1);
  EXPECT_EQ(closed.ReadLastRead(0), 0);
  EXPECT_TRUE(Names().empty());

  auto base = Open();
  EXPECT_EQ(base->ReadLastRead(0), 0);  // no file yet
  base->WriteLastRead(3, 0x1234);
  EXPECT_EQ(testkit::ReadFileBytes(Path("lastread")), (Bytes{0, 0, 0, 0, 0, 0, 0x34, 0x12}));
  PutFile("lastread", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
  EXPECT_EQ(base->ReadLastRead(2), 3);
  EXPECT_EQ(base->ReadLastRead(3), 0);  // beyond the 6-byte file
  EXPECT_EQ(base->ReadLastRead(-1), 0);
  base->WriteLastRead(1, 0x10000 + 0xF234);  // cut to 16 bits, read back unsigned
  base->WriteLastRead(3, 7);
  EXPECT_EQ(testkit::ReadFileBytes(Path("lastread")), (Bytes{0x01, 0x00, 0x34, 0xF2, 0x03, 0x00, 0x07, 0x00}));
  EXPECT_EQ(base->ReadLastRead(1), 0xF234);
}

TEST_F(MsgDirLastRead, AFileThatCannotBeOpenedIsNeverEmptied) {
  PutFile("LASTREAD", {0x0A, 0x00, 0x0C, 0x00});
  Open()->WriteLastRead(1, 0x0B);  // found whatever its case
  FaultPlan plan{.refuseWriteOpens = true};  // as when another program holds it
  ScopedFaults faults(plan);
  Open()->WriteLastRead(0, 0x55);
  EXPECT_EQ(testkit::ReadFileBytes(Path("LASTREAD")), (Bytes{0x0A, 0x00, 0x0B, 0x00}));
  EXPECT_EQ(Names(), std::vector<std::string>{"LASTREAD"});
}

}  // namespace
}  // namespace mvx::msgdirtest
