#include "run/area_lookup.h"

#include <gtest/gtest.h>

#include "run_test_support.h"
#include "support/address.h"

namespace mvx {
namespace {

using runtest::Lines;

struct LookupCase {
  char kind;  // 'H' HPTPATH, 'S' SQUISH, 'T' TERMINATE, 'B' HPTPATH and SQUISH, '-' none
  const char* tag;
  std::string text;
  const char* path;  // BasePath found ("previous" when untouched)
  const char* type;  // BaseType found ("Q" when untouched)
  const char* from;  // FromAddr afterwards, or nullptr when it does not matter
  const char* description;
  Lines log;
  const char* file = nullptr;  // a tosser file to read instead of one holding text
};

const std::string kHostile = "EchoArea " + std::string(5000, 'Q') + " p\n" +
                             std::string("\x00\x01\xff\t-b -a -d \" -lr\n", 19) +
                             "EchoArea X p -d \"unterminated -b Jam\nEchoArea Y p -a -a -a -a\n";

const LookupCase kCases[] = {
    {'H', "net.talk", "EchoArea NET.TALK \\fido\\nettalk -b Squish -a 9:999/1 9:999/2\n", "\\fido\\nettalk", "S",
     "9:999/1", "", {}},
    {'H', "Ru.Sysop", "# areas\nEchoArea ru.sysop Areas/RuSysop -b Jam -d \"Sysop talk\" -sbadd -lr 10 2:5020/9\n",
     "Areas/RuSysop", "J", "0:0/0", "Sysop talk", {}},
    {'H', "A", "EchoAreaDefaults -b Jam -d \"From defaults\" -a 1:2/3\nEchoArea A a/one 1:1/1\n", "a/one", "J",
     "1:2/3", "From defaults", {}},
    {'H', "A", "EchoArea A a/one 1:1/1\nEchoAreaDefaults -b Jam 1:1/1\n", "a/one", "", "0:0/0", "", {}},
    {'H', "A", "EchoAreaDefaults -b Jam 1:1/1\nEchoArea A a/one -b Msg 1:1/1\n", "a/one", "M", nullptr, "", {}},
    {'H', "X", "EchoArea X x/path -b\n", "x/path", "", nullptr, "", {}},  // the last word is never an option
    {'H', "NET.TALK", "#EchoArea NET.TALK old/path -b Msg\nEchoArea NET.TALK new/path -b Jam\n", "old/path", "M",
     nullptr, "", {}},
    {'H', "Z", "EchoArea Z z -DupeCheck -DUPEHISTORY 7 -p 10 -b msg -d desc -g X -nolink 2:1/1 -b Jam\n", "z", "M",
     nullptr, "desc -g X -nolink 2:1/1 -b Jam", {}},
    {'H', "Z", "EchoArea Z z -h 2:5020/1 -b Jam\n", "z", "", nullptr, "", {}},  // the link ends the options
    {'H', "X", "EchoArea X x/path -b Hudson -a 2:x/1 1:1/1\n", "x/path", "", nullptr, "",
     {"[err] Error reading type of message base - HUDSON", "error converting address 2:x/1 1:1/1 (our aka)"}},
    {'H', "NO.SUCH", "EchoArea NET.TALK a/b\n\n   \n", "", "Q", nullptr, "", {"Area NO.SUCH not found... "}},
    {'H', "", "\nEchoArea \nEchoArea X a/b -a 3:3/3 1:1/1\n", "", "Q", "0:0/0", "", {"Area  not found... "}},
    {'H', "A", "", "", "Q", nullptr, "", {"Area A not found... "}, "nowhere.cfg"},
    {'H', "X", kHostile, "p", "", nullptr, "unterminated -b Jam", {}},
    {'H', "Y", kHostile, "p", "", nullptr, "",
     {"error converting address -a -a -a (our aka)", "error converting address -a (our aka)"}},
    {'B', "A", "EchoArea A a/path -b Jam\n", "a/path", "J", nullptr, "", {}},  // HPTPATH before SQUISH
    {'-', "A", "", "previous", "Q", nullptr, "", {}},
    {'S', "net.talk", "EchoArea NET.TALK Areas\\NetTalk -$ -p9:999/9 1:2/3\n", "Areas\\NetTalk", "S", "9:999/9",
     "", {}},
    // A later line wins; the last has no path, so its tag is its own rest.
    {'S', "A", "EchoArea A first -$\nEchoArea A second\nEchoArea A\n", "A", "M", nullptr, "", {}},
    {'T', "A", "EchoArea A a/path\n", "", "Q", nullptr, "", {"Area A not found... "}},
    // A file whose first read fails: reported with an empty line.
    {'H', "A", "", "", "Q", nullptr, "",
     {"Error reading /proc/self/mem", "\r", "\r", "Area A not found... "}, "/proc/self/mem"},
};

TEST(AreaLookupTest, TosserConfigurationLines) {
  testkit::TempDir dir;
  const bool canFailReads = !runtest::UnreadableFile().empty();
  for (const LookupCase& c : kCases) {
    if (c.file != nullptr && c.file[0] == '/' && !canFailReads) continue;
    SCOPED_TRACE(std::string(1, c.kind) + " " + c.tag + ": " + c.text.substr(0, 60));
    std::ostringstream out;
    RunContext ctx(out);
    const std::string file = c.file != nullptr ? std::string(c.file) : dir / "tosser.cfg";
    if (c.file == nullptr) testkit::WriteFileText(file, c.text);
    if (c.kind == 'H' || c.kind == 'B') ctx.HptPath = file;
    if (c.kind == 'S' || c.kind == 'B') ctx.SquishCfgPath = file;
    if (c.kind == 'T') ctx.TerminateCfgPath = file;
    ctx.Job.AreaTag = c.tag;
    ctx.Job.BasePath = "previous";
    ctx.Job.BaseType = "Q";
    LookupArea(ctx);
    EXPECT_EQ(ctx.Job.BasePath, c.path);
    EXPECT_EQ(ctx.Job.BaseType, c.type);
    if (c.from != nullptr) {
      EXPECT_EQ(FormatAddress(ctx.Job.FromAddr), c.from);
    }
    EXPECT_EQ(ctx.Job.AreaDescription, c.description);
    EXPECT_EQ(runtest::Entries(out.str()), c.log);
  }
}

}  // namespace
}  // namespace mvx
