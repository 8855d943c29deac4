#include "dump/area_dump.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "factory/base_factory.h"
#include "msgbase/env.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

// Two messages, written at the test moment (an even second: odd seconds do
// not survive the packed stamps of *.MSG and Squish).
void FillArea(const std::string& id) {
  testkit::TestEnv env;
  env.clock.Set(2026, 12, 6, 4, 57, 36);
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(OpenOrCreateBase(ParseAreaId(Str(id)), base, env));
  // "Hello,\r\nWorld.\r": a CR LF, as another editor may write it, lists as one line end.
  const struct {
    const char *from, *to, *subject;
    std::int32_t attributes;
    std::vector<std::string> lines;
  } messages[] = {{"John Smith", "All", "First", 0x0101, {"\x01MSGID: 2:5020/1.3 0b4a6000", "\x01PID: Marvex 2.2Alpha", "Hello,", "\nWorld."}},
                  {"Sysop", "Bob", "Second", 0x0100, {"Just text"}}};
  for (const auto& m : messages) {
    ASSERT_TRUE(base->BeginNewMessage().ok());
    base->PutFromName(m.from);
    base->PutToName(m.to);
    base->PutSubject(m.subject);
    for (std::int32_t bit : {0x0001, 0x0100}) base->ChangeAttribute((m.attributes & bit) != 0, bit);
    for (const std::string& l : m.lines) base->AppendTextLine(l);
    ASSERT_TRUE(base->StoreMessage().ok());
    base->ReleaseMessage().Ignore();
  }
  ASSERT_TRUE(CloseBase(base));
}

int Dump(const std::vector<std::string>& args, std::string& out, std::string& err) {
  DumpOptions options;
  std::string error;
  if (!ParseDumpArguments(args, options, error)) {
    err = error;
    return kDumpUsage;
  }
  std::ostringstream o, e;
  const int rc = DumpArea(options, o, e);
  out = o.str();
  err = e.str();
  return rc;
}

constexpr const char* kFirstHeader =
    "From:    John Smith (2:5020/1.3)\nTo:      All (0:0/0)\nSubject: First\n"
    "Written: 06 Dec 2026 04:57:36\nArrived: 06 Dec 2026 04:57:36\nFlags:   Pvt Loc\n";
constexpr const char* kFirstText = "--\n^AMSGID: 2:5020/1.3 0b4a6000\n^APID: Marvex 2.2Alpha\nHello,\nWorld.\n";
constexpr const char* kSecondHeader =
    "From:    Sysop (0:0/0)\nTo:      Bob (0:0/0)\nSubject: Second\n"
    "Written: 06 Dec 2026 04:57:36\nArrived: 06 Dec 2026 04:57:36\nFlags:   Loc\n";

// *.MSG keeps message 1 for the tossers: its messages are 2 and 3.
TEST(AreaDumpTest, ListingsOfEachFormat) {
  const std::string first = kFirstHeader, second = std::string(kSecondHeader) + "--\nJust text\n\n";
  const struct {
    char letter;
    std::vector<std::string> options;
    std::string out;
  } cases[] = {
      {'S', {}, std::string("Message 1 (uid 1)\n") + kFirstHeader + kFirstText + "\nMessage 2 (uid 2)\n" + second},
      {'J', {"-h"}, std::string("Message 1\n") + kFirstHeader + "\nMessage 2\n" + kSecondHeader + "\n"},
      {'M', {"-f", "3"},
       "Message 3\nFrom:    Sysop (2:0/0)\nTo:      Bob (2:0/0)\n" + second.substr(second.find("Subject"))},
      {'M', {"-n", "1", "-h"},
       "Message 2\n" + first.substr(0, first.find("To")) + "To:      All (2:0/0)\n" + first.substr(first.find("Sub")) + "\n"},
      {'S', {"-m", "2", "-h"}, std::string("Message 2 (uid 2)\n") + kSecondHeader + "\n"},
  };
  for (const auto& c : cases) {
    testkit::TempDir dir;
    const std::string id = c.letter + (dir / "area");
    FillArea(id);
    std::vector<std::string> args = c.options;
    args.push_back(id);
    std::string out, err;
    ASSERT_EQ(Dump(args, out, err), kDumpOk) << err;
    EXPECT_EQ(out, c.out) << c.letter;
    EXPECT_EQ(err, "");
  }
}

// Each failure, its exit code and its words. A damaged message is named and
// the listing goes on; looking never creates an area.
TEST(AreaDumpTest, FailuresAndTheCommandLine) {
  testkit::TempDir dir;
  FillArea("M" + dir / "area");
  testkit::WriteFileText(dir / "area/2.msg", "short");  // message 2 cut short inside its header
  const auto noArea = [&](const std::string& name, const std::string& why) {
    return "mvxdump: cannot open area \"" + dir / name + "\": " + why + ")\n";
  };
  const struct {
    std::vector<std::string> args;
    int rc;
    std::string err, outStart = "";
  } cases[] = {
      {{"S" + dir / "nothing"}, kDumpAreaError, noArea("nothing", "no .sqd file (error 0x3000")},
      {{"J" + dir / "nothing"}, kDumpAreaError, ""},
      {{"M" + dir / "nodir"}, kDumpAreaError, ""},
      {{"-h", "M" + dir / "area"}, kDumpDamaged,
       "mvxdump: message 2 could not be loaded: a message file cannot be read (error 0x1002)\n", "Message 3\n"},
      {{"-m", "4", "M" + dir / "area"}, kDumpAreaError, "mvxdump: there is no message 4\n"},
      {{"xyz"}, kDumpUsage, "mvxdump: \"xyz\" is no area: it must start with a type letter (S, J, M, F or *)\n"},
      {{"-f", "x", "Sx"}, kDumpUsage, ""}, {{"-q", "Sx"}, kDumpUsage, ""}, {{}, kDumpUsage, ""},
      {{"Sa", "Sb"}, kDumpUsage, ""},
  };
  for (const auto& c : cases) {
    std::string out, err;
    EXPECT_EQ(Dump(c.args, out, err), c.rc) << err;
    EXPECT_TRUE(c.err.empty() || err == c.err) << err;
    EXPECT_TRUE(out.starts_with(c.outStart)) << out;
  }
  EXPECT_EQ(testkit::ListDir(dir.path()), std::vector<std::string>{"area"});
}

}  // namespace
}  // namespace mvx
