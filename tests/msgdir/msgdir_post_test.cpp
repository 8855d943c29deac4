// Posting through MsgDirBase: the exact bytes of a new message file, its
// name, and reading it back after the area was closed and reopened.
#include <gtest/gtest.h>

#include <cctype>

#include "msgdir/msgdir_base.h"
#include "msgdir_testing.h"

namespace mvx::msgdirtest {
namespace {

// Bytes of a text, for building expected file contents.
std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

void Put(std::vector<std::uint8_t>& v, std::size_t at, const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) v[at + i] = static_cast<std::uint8_t>(s[i]);
}

void ExpectAddress(const FidoAddress& a, int zone, int net, int node, int point) {
  EXPECT_EQ(a.Zone, zone);
  EXPECT_EQ(a.Net, net);
  EXPECT_EQ(a.Node, node);
  EXPECT_EQ(a.Point, point);
}

class MsgDirPostTest : public MsgDirTest {
 protected:
  // One message as the posting writes it, on the test clock 2026-12-06
  // 04:57:36. The MSGID serial is carried over from a line put there first so
  // that the bytes do not depend on the clock's serial.
  void PostOne(MsgDirBase& base) {
    ASSERT_TRUE(base.BeginNewMessage());
    base.AppendTextLineStr("\x01MSGID: 1:1/1 12345678");
    base.EmitOrigKludges(false, FidoAddress{1, 5020, 1, 3});
    base.EmitDestKludges(FidoAddress{2, 463, 99, 0});
    base.PutFromName("Sender Name");
    base.PutToName("All");
    base.PutSubject("Test subject");
    DateTimeRec now;
    GetNow(now);
    base.PutWrittenDate(now);
    base.PutArrivedDate(now);
    base.ChangeAttribute(true, kAttrLocal);
    base.ChangeAttribute(true, kAttrFileRequest);
    base.AppendTextLineStr("\x01PID: Marvex 2.1");
    base.AppendTextLineStr("Hello");
    base.AppendTextLineStr("--- Marvex");
    ASSERT_TRUE(base.StoreMessage());
    ASSERT_TRUE(base.ReleaseMessage());
  }
};

TEST_F(MsgDirPostTest, PostedFileHasTheHeaderTextAndNulByteForByte) {
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  {
    MsgDirBase base;
    ASSERT_TRUE(base.OpenArea(dir_.path()));
    PostOne(base);
    EXPECT_EQ(base.CurrentNumber(), 2);
  }
  ASSERT_EQ(Names(), std::vector<std::string>{"2.msg"});

  std::vector<std::uint8_t> want(190, 0);
  Put(want, 0, "Sender Name");
  Put(want, 36, "All");
  Put(want, 72, "Test subject");
  Put(want, 144, "06 Dec 26  04:57:36");
  want[166] = 0x63;  // destination node 99
  want[168] = 0x01;  // origin node 1
  want[172] = 0x9C;  // origin net 5020 = 0x139C
  want[173] = 0x13;
  want[174] = 0xCF;  // destination net 463 = 0x01CF
  want[175] = 0x01;
  // Written and arrived: date word 0x5D86, then time word 0x2732.
  for (std::size_t at : {176u, 180u}) {
    want[at] = 0x86;
    want[at + 1] = 0x5D;
    want[at + 2] = 0x32;
    want[at + 3] = 0x27;
  }
  want[186] = 0x00;  // local 0x0100 and file request stored as 0x0800
  want[187] = 0x09;
  const std::vector<std::uint8_t> text =
      Bytes("\x01MSGID: 1:5020/1.3 12345678\r\x01PID: Marvex 2.1\rHello\r--- Marvex\r");
  want.insert(want.end(), text.begin(), text.end());
  want.push_back(0);

  EXPECT_EQ(testkit::ReadFileBytes(Path("2.msg")), want);
}

TEST_F(MsgDirPostTest, NewSerialMsgIdLineIsWrittenFirst) {
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  ASSERT_TRUE(base.BeginNewMessage());
  base.EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});
  base.AppendTextLineStr("Body");
  ASSERT_TRUE(base.StoreMessage());
  const std::vector<std::uint8_t> file = testkit::ReadFileBytes(Path("2.msg"));
  ASSERT_EQ(file.size(), 190u + 28u + 5u + 1u);
  const std::string text(file.begin() + 190, file.end());
  // 0x01, "MSGID: 2:5020/1.3 ", eight lowercase hex digits, CR.
  EXPECT_EQ(text.substr(0, 19), "\x01MSGID: 2:5020/1.3 ");
  for (std::size_t i = 19; i < 27; ++i) {
    EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) && !std::isupper(static_cast<unsigned char>(text[i]))) << i;
  }
  EXPECT_EQ(text.substr(27), std::string("\rBody\r") + '\0');
  // Net and node went into the header as well.
  EXPECT_EQ(file[172], 0x9C);
  EXPECT_EQ(file[173], 0x13);
  EXPECT_EQ(file[168], 0x01);
}

TEST_F(MsgDirPostTest, RoundTripThroughCloseAndReopen) {
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36);
  {
    MsgDirBase base;
    ASSERT_TRUE(base.OpenArea(dir_.path()));
    PostOne(base);
  }
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  EXPECT_EQ(base.MessageCount(), 1);
  EXPECT_EQ(base.HighestNumber(), 2);
  base.PositionFrom(1);
  ASSERT_EQ(base.CurrentNumber(), 2);
  ASSERT_TRUE(base.LoadMessage());
  EXPECT_EQ(base.TextOffset(), 0);

  EXPECT_EQ(base.FromName(), "Sender Name");
  EXPECT_EQ(base.ToName(), "All");
  EXPECT_EQ(base.SubjectText(), "Test subject");

  FidoAddress orig, dest;
  base.ReadBothAddresses(orig, dest);
  // Zone and point of the origin come from the MSGID line; the destination
  // has only the header's net and node, and zone 2 by default.
  ExpectAddress(orig, 1, 5020, 1, 3);
  ExpectAddress(dest, 2, 463, 99, 0);
  FidoAddress only{7, 7, 7, 7};
  base.ReadOrigAddress(only);
  ExpectAddress(only, 1, 5020, 1, 3);
  only = FidoAddress{7, 7, 7, 7};
  base.ReadDestAddress(only);
  ExpectAddress(only, 2, 463, 99, 0);

  DateTimeRec written, arrived;
  base.ReadWrittenDate(written);
  base.ReadArrivedDate(arrived);
  for (const DateTimeRec& d : {written, arrived}) {
    EXPECT_EQ(d.Year, 2026);
    EXPECT_EQ(d.Month, 12);
    EXPECT_EQ(d.Day, 6);
    EXPECT_EQ(d.Hour, 4);
    EXPECT_EQ(d.Minute, 57);
    EXPECT_EQ(d.Second, 36);
  }

  EXPECT_TRUE(base.HasAttribute(kAttrLocal));
  EXPECT_TRUE(base.HasAttribute(kAttrFileRequest));
  EXPECT_FALSE(base.HasAttribute(kAttrPrivate));
  EXPECT_FALSE(base.HasAttribute(kAttrReturnReceiptRequest));  // stored as 0x1000

  EXPECT_EQ(TextOf(base), "\x01MSGID: 1:5020/1.3 12345678\r\x01PID: Marvex 2.1\rHello\r--- Marvex\r");
  EXPECT_TRUE(base.ReleaseMessage());
}

TEST_F(MsgDirPostTest, LongNamesAndSubjectsAreCutToTheirFields) {
  MsgDirBase base;
  ASSERT_TRUE(base.OpenArea(dir_.path()));
  ASSERT_TRUE(base.BeginNewMessage());
  base.PutToName("To");
  base.PutFromName(std::string(50, 'F'));
  base.PutSubject(std::string(100, 'S'));
  const std::uint8_t* h = base.Header().data();
  EXPECT_EQ(h[34], 'F');
  EXPECT_EQ(h[35], 0);
  EXPECT_EQ(h[36], 'T');  // the to name was not overrun
  EXPECT_EQ(h[142], 'S');
  EXPECT_EQ(h[143], 0);
  EXPECT_EQ(base.FromName().str(), std::string(35, 'F'));
  EXPECT_EQ(base.SubjectText().str(), std::string(71, 'S'));
  // The date text written by BeginNewMessage follows the subject untouched.
  EXPECT_NE(h[144], 0);
}

TEST_F(MsgDirPostTest, TrailingSeparatorOfTheAreaPath) {
  for (const std::string& suffix : {std::string(""), std::string("/"), std::string("\\")}) {
    MsgDirBase base;
    const std::string path = dir_.path() + suffix;
    ASSERT_TRUE(base.OpenArea(path)) << suffix;
    const std::string want = suffix.empty() ? path + "\\" : path;
    EXPECT_EQ(base.AreaPath(), want);
  }
  // A path given with "\" separators reaches the same directory.
  MsgDirBase base;
  std::string dos = dir_.path();
  for (char& c : dos) {
    if (c == '/') c = '\\';
  }
  ASSERT_TRUE(base.OpenArea(dos));
  ASSERT_TRUE(base.BeginNewMessage());
  ASSERT_TRUE(base.StoreMessage());
  EXPECT_EQ(Names(), std::vector<std::string>{"2.msg"});
}

TEST_F(MsgDirPostTest, CreateAreaMakesTheDirectoryPath) {
  MsgDirBase base;
  const std::string area = Path("net/echo/area");
  ASSERT_FALSE(base.OpenArea(area));
  EXPECT_EQ(base.ErrorCode(), kMsgErrNoArea);
  EXPECT_FALSE(base.IsOpen());
  ASSERT_TRUE(base.CreateArea(area));
  EXPECT_TRUE(base.IsOpen());
  EXPECT_TRUE(base.AreaExists(area));
  ASSERT_TRUE(base.BeginNewMessage());
  ASSERT_TRUE(base.StoreMessage());
  EXPECT_EQ(testkit::ListDir(area), std::vector<std::string>{"2.msg"});
  EXPECT_TRUE(base.CloseArea());
  EXPECT_FALSE(base.IsOpen());
  EXPECT_EQ(base.AreaPath(), "");
}

TEST_F(MsgDirPostTest, CreateAreaFailsWhenTheDirectoryCannotBeMade) {
  testkit::WriteFileText(Path("blocker"), "a file where the directory should be");
  MsgDirBase base;
  EXPECT_FALSE(base.CreateArea(Path("blocker/area")));
  EXPECT_EQ(base.ErrorCode(), kMsgErrNoArea);
  EXPECT_FALSE(base.IsOpen());
  EXPECT_FALSE(base.BeginNewMessage());
}

}  // namespace
}  // namespace mvx::msgdirtest
