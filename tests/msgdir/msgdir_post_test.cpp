// Posting through MsgDirBase and reading back. (Exact file bytes: base_factory_test.)
#include <gtest/gtest.h>

#include <algorithm>

#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

using namespace std::literals;
using MsgDirPost = MsgDirTest;

std::string Text4D(const FidoAddress& a) { return FormatAddress4D(a).str(); }

TEST_F(MsgDirPost, AddressesAndDatesComeBackThroughTheHeader) {
  {
    auto base = Open();
    ASSERT_TRUE(base->BeginNewMessage().ok());
    base->AppendTextLine("\x01MSGID: 1:1/1 12345678");  // its serial is carried over
    base->EmitAddressKludges(FidoAddress{1, 5020, 1, 3}, FidoAddress{3, 463, 99, 4}, false);
    base->PutWrittenDate(DateTimeRec{23, 59, 58, 0, 31, 1, 1999});
    base->PutArrivedDate(DateTimeRec{3, 4, 5, 6, 2, 1, 1999});
    ASSERT_TRUE(base->StoreMessage().ok() && base->ReleaseMessage().ok());
  }
  auto base = Open();
  ASSERT_TRUE(Load(*base, 2, true));
  EXPECT_EQ(TextOf(*base), "\x01MSGID: 1:5020/1.3 12345678\r");
  // Zone and point of the origin come from the MSGID line; the destination
  // has only the header's net and node, and zone 2 by default.
  FidoAddress orig, dest, only{7, 7, 7, 7};
  base->ReadBothAddresses(orig, dest);
  EXPECT_EQ(Text4D(orig) + " " + Text4D(dest), "1:5020/1.3 2:463/99.0");
  base->ReadOrigAddress(only);
  EXPECT_EQ(Text4D(only), "1:5020/1.3");
  base->ReadDestAddress(only);
  EXPECT_EQ(Text4D(only), "2:463/99.0");
  DateTimeRec written, arrived;
  base->ReadWrittenDate(written);
  base->ReadArrivedDate(arrived);
  EXPECT_EQ(DateText(written) + " / " + DateText(arrived), "1999-01-31 23:59:58 / 1999-01-02 03:04:04");  // 2-second steps
}

TEST_F(MsgDirPost, LongNamesAndSubjectsAreCutToTheirFields) {
  auto base = Open();
  ASSERT_TRUE(base->BeginNewMessage().ok());
  base->PutToName("To");
  base->PutFromName(std::string(50, 'F'));
  base->PutSubject(std::string(100, 'S'));
  const std::uint8_t* h = base->Header().data();
  EXPECT_EQ(std::string(h + 34, h + 38), "F\0To"s);
  EXPECT_EQ(std::string(h + 142, h + 165), "S\0" "06 Dec 26  04:57:36\0\0"s);  // the date follows intact
  EXPECT_EQ(base->FromName().str(), std::string(35, 'F'));
  EXPECT_EQ(base->SubjectText().str(), std::string(71, 'S'));
}

TEST_F(MsgDirPost, AreaPathAndDirectory) {
  for (const std::string suffix : {"", "/", "\\"}) {
    MsgDirBase base;
    ASSERT_TRUE(base.OpenArea(dir_.path() + suffix).ok()) << suffix;
    EXPECT_EQ(base.AreaPath(), dir_.path() + (suffix.empty() ? "\\" : suffix));
  }
  // CreateArea makes the directory with its parents, "\" separators included.
  std::string dos = Path("net/echo/area");
  std::replace(dos.begin(), dos.end(), '/', '\\');
  MsgDirBase base;
  ASSERT_FALSE(base.OpenArea(dos).ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kMsgNoArea);
  ASSERT_TRUE(base.CreateArea(dos).ok());
  ASSERT_TRUE(base.BeginNewMessage().ok() && base.StoreMessage().ok());
  EXPECT_EQ(testkit::ListDir(Path("net/echo/area")), std::vector<std::string>{testkit::Made("2.msg")});
  EXPECT_TRUE(base.CloseArea().ok());
  EXPECT_EQ(base.AreaPath(), "");
  // A directory that cannot be made fails at once, not at the first message.
  testkit::WriteFileText(Path("blocker"), "a file where the directory should be");
  EXPECT_FALSE(base.CreateArea(Path("blocker/area")).ok());
  EXPECT_FALSE(base.IsOpen());
  EXPECT_FALSE(base.BeginNewMessage().ok());
}

}  // namespace
}  // namespace mvx::msgdirtest
