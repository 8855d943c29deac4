// The factory: area identifiers, the objects they make, opening or creating areas.
#include "factory/base_factory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "msgdir/msgdir_base.h"
#include "squish/squish_base.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace std::literals;

char KindOf(MessageBase* base) {
  if (dynamic_cast<SquishBase*>(base)) return 'S';
  if (dynamic_cast<JamBase*>(base)) return 'J';
  return dynamic_cast<MsgDirBase*>(base) ? 'M' : '-';
}

TEST(ParseAreaId, TypeLetterPathAndObject) {
  // The id, its type and path, and the kind of object MakeBase makes ('-' for none).
  const struct { const char* id; AreaType type; const char* path; char kind; } cases[] = {
      {"J/jam/echo", AreaType::kJam, "/jam/echo", 'J'},  {"jC:\\JAM", AreaType::kJam, "C:\\JAM", 'J'},
      {"F/n/", AreaType::kMsgDir, "/n/", 'M'},           {"f/n", AreaType::kMsgDir, "/n", 'M'},
      {"M/m", AreaType::kMsgDir, "/m", 'M'},             {"m/m", AreaType::kMsgDir, "/m", 'M'},
      {"*/m", AreaType::kMsgDir, "/m", 'M'},             {"S/sq", AreaType::kSquish, "/sq", 'S'},
      {"s/sq", AreaType::kSquish, "/sq", 'S'},           {"J", AreaType::kJam, "", 'J'},
      // The letter is required: a bare path is unknown and kept whole, unless
      // its drive letter is a type letter. Nothing is trimmed.
      {"c:\\fido", AreaType::kUnknown, "c:\\fido", '-'}, {"m:\\fido", AreaType::kMsgDir, ":\\fido", 'M'},
      {"S /sq", AreaType::kSquish, " /sq", 'S'},         {"", AreaType::kUnknown, "", '-'},
  };
  std::unique_ptr<MessageBase> base;
  for (const auto& c : cases) {
    const AreaId area = ParseAreaId(c.id);
    EXPECT_EQ(area.type, c.type) << c.id;
    EXPECT_EQ(area.path, c.path) << c.id;
    ASSERT_TRUE(MakeBase(AreaType::kJam, base));
    EXPECT_EQ(MakeBase(area.type, base), c.kind != '-') << c.id;  // none replaces an earlier object
    EXPECT_EQ(KindOf(base.get()), c.kind) << c.id;
    EXPECT_TRUE(base == nullptr || !base->IsOpen());
  }
}

// An area there that will not open is looked at again for a while: not long here.
class FactoryArea : public testkit::ScratchTest {
 protected:
  void SetUp() override { env_.openRetryMs = 50; }
};

TEST_F(FactoryArea, MessageThroughTheFactoryHasExactlyTheseBytes) {
  for (const char* letter : {"M", "F", "*"}) {
    testkit::TestEnv env;  // its first serial is the test moment's, 0b4a6000
    env.clock.Set(2026, 12, 6, 4, 57, 36);
    const std::string area = dir_ / (std::string("new/area") + (*letter == '*' ? "x" : letter));
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(ParseAreaId(Str(letter + area)), base, env)) << letter;
    ASSERT_TRUE(base->BeginNewMessage().ok());
    base->EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});
    base->EmitDestKludges(FidoAddress{2, 463, 99, 0});
    base->PutFromName("Sender Name");
    base->PutToName("All");
    base->PutSubject("Test subject");
    // Written and arrived: the moment the message was begun.
    for (std::int32_t attr : {kAttrLocal, kAttrFileRequest}) base->ChangeAttribute(true, attr);
    for (const char* line : {"\001PID: Marvex 2.1", "Hello", "--- Marvex"}) base->AppendTextLine(line);
    ASSERT_TRUE(base->StoreMessage().ok());
    ASSERT_TRUE(base->ReleaseMessage().ok());
    ASSERT_TRUE(CloseBase(base));

    std::string want(190, '\0');
    want.replace(0, 11, "Sender Name").replace(36, 3, "All").replace(72, 12, "Test subject");
    want.replace(144, 19, "06 Dec 26  04:57:36");
    // Dest node 99, orig node 1, cost 0, orig net 5020, dest net 463; date
    // word 0x5D86 and time word 0x2732 written and arrived; reply 0; local
    // 0x0100 and file request stored as 0x0800.
    want.replace(166, 22, "\x63\0\x01\0\0\0\x9C\x13\xCF\x01\x86\x5D\x32\x27\x86\x5D\x32\x27\0\0\0\x09"s);
    want += "\001MSGID: 2:5020/1.3 0b4a6000\r\001PID: Marvex 2.1\rHello\r--- Marvex\r"s + '\0';
    EXPECT_EQ(testkit::ReadFileText(area + "/2.msg"), want) << letter;

    // Present now: opened, not made anew; the message reads back whole.
    // (Addresses and dates through the header: msgdir_message_test.cpp.)
    ASSERT_TRUE(OpenOrCreateBase(ParseAreaId(Str(letter + area)), base, env_));
    EXPECT_EQ(testkit::LoadText(*base, 2), want.substr(190, want.size() - 191));
    EXPECT_EQ(base->FromName() + "|" + base->ToName() + "|" + base->SubjectText(), "Sender Name|All|Test subject");
    EXPECT_TRUE(base->HasAttribute(kAttrLocal) && base->HasAttribute(kAttrFileRequest));
    EXPECT_FALSE(base->HasAttribute(kAttrReturnReceiptRequest));  // stored as 0x1000
    EXPECT_TRUE(CloseBase(base));
  }
}

std::vector<std::uint16_t> g_modes;

TEST_F(FactoryArea, AreasAreClosedOnceAndAPresentOneThatCannotBeOpenedIsNotMadeAnew) {
  // Every open fails, as when another program holds the files.
  const auto locked = [this](const Str& name, std::uint16_t mode) {
    g_modes.push_back(mode);
    return env_.RealOpen(name + ".absent", kModeRead);
  };
  for (const char* letter : {"J", "S"}) {
    const AreaId id = ParseAreaId(Str(letter + (dir_ / (std::string("locked") + letter))));
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(id, base, env_)) << letter;
    EXPECT_EQ(KindOf(base.get()), *letter);
    EXPECT_TRUE(base->IsOpen());
    ASSERT_TRUE(CloseBase(base));
    EXPECT_FALSE(CloseBase(base));  // the second close finds none
    EXPECT_FALSE(DisposeBase(base));
    env_.openFile = locked;
    g_modes.clear();
    EXPECT_FALSE(OpenOrCreateBase(id, base, env_)) << letter;
    env_.openFile = nullptr;
    ASSERT_NE(base, nullptr);  // left to the caller, not open
    EXPECT_FALSE(base->IsOpen());
    EXPECT_NE(base->ErrorCode(), Errc::kNone);
    EXPECT_TRUE(DisposeBase(base));
    ASSERT_FALSE(g_modes.empty());
    for (std::uint16_t mode : g_modes) EXPECT_TRUE((mode & 0xFF) != kModeCreate && (mode & 0xFF) != kModeCreateNew);
  }
  // A bare path names no format: nothing is made.
  const std::vector<std::string> before = testkit::ListDir(dir_.path());
  std::unique_ptr<MessageBase> base;
  EXPECT_FALSE(OpenOrCreateBase(ParseAreaId(Str(dir_ / "echo")), base, env_));
  EXPECT_EQ(base, nullptr);
  EXPECT_EQ(testkit::ListDir(dir_.path()), before);
}

}  // namespace
}  // namespace mvx
