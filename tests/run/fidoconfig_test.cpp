// Finding an area in the tosser configurations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "factory/base_factory.h"
#include "run/area_lookup.h"
#include "run_test_support.h"
#include "support/address.h"

namespace mvx {
namespace {

using runtest::Lines;
using runtest::Repeat;
using Files = std::vector<std::pair<std::string, std::string>>;

struct LookupCase {
  std::string text;  // fido.cfg (squish.cfg for the kinds S and T)
  const char* tag;
  const char* path;  // the area's path found; "" when no base
  const char* type;  // the type letter found ("Q": none, as before)
  Lines log;
  const char* from = "0:0/0";  // FromAddr afterwards
  const char* description = "";
  Files more = {};  // further files: includes
  char kind = 'H';  // 'H' HPTPATH, 'S' SQUISH, 'T' TERMINATE, 'B' HPTPATH and SQUISH
  const char* name = nullptr;  // a configuration name that is not written
};

class FidoconfigTest : public runtest::RunTest {
 protected:
  // The tosser settings read on the way.
  TosserSettings Check(const LookupCase& c) {
    SCOPED_TRACE(std::string(1, c.kind) + " " + c.tag + ": " + c.text.substr(0, 70));
    const bool hpt = c.kind == 'H' || c.kind == 'B';
    const std::string name = c.name ? c.name : hpt ? "fido.cfg" : "squish.cfg";
    if (!c.name) Write(name, c.text);
    for (const auto& [file, text] : c.more) Write(file, text);
    std::ostringstream out;
    RunContext ctx(out, env_);
    if (hpt) ctx.HptPath = name;
    if (c.kind == 'S' || c.kind == 'B') ctx.SquishCfgPath = name;
    if (c.kind == 'T') ctx.TerminateCfgPath = name;
    ctx.Job.AreaTag = c.tag;
    ctx.Job.Area = {AreaType::kUnknown, "previous"};
    ctx.Tosser.AdvisoryLock = 7;  // every read starts afresh
    LookupArea(ctx);
    EXPECT_EQ(ctx.Job.Area.path, c.path);
    EXPECT_EQ(ctx.Job.Area.type, ParseAreaId(c.type).type);
    EXPECT_EQ(FormatAddress(ctx.Job.FromAddr), c.from);
    EXPECT_EQ(ctx.Job.AreaDescription, c.description);
    EXPECT_EQ(runtest::Entries(out.str()), c.log);
    return ctx.Tosser;
  }
};

const std::string kPassthrough = "[err] Area X is passthrough: it has no message base";
const std::string kRefused = "[err] Area X is not posted to: the tosser would refuse its line (fido.cfg, line 1)";

TEST_F(FidoconfigTest, AreaLinesDefaultsAndOptions) {
  const LookupCase cases[] = {
      {"EchoArea NET.TALK /fido/nettalk -b Squish -a 9:999/1 9:999/2\n", "net.talk", "/fido/nettalk", "S", {},
       "9:999/1"},
      // An option's value is no end of the options.
      {"EchoArea X /fido/x -dupeCheck move -dupeHistory 14 -b Jam 2:5020/1 -r\n", "X", "/fido/x", "J", {}},
      // Commented-out lines above the real one, and a comment after it.
      {"#EchoArea X /old -b Msg\n  \t# EchoArea X /older -b Msg\nEchoArea X /new -b Jam # moved\n", "X", "/new", "J",
       {}},
      // Within a line "#" needs blanks on both sides; quotes do not protect
      // it, and the unclosed quote then takes the rest of the line.
      {"EchoArea X /a#b/x -d \"one # two\"\n", "X", "/a#b/x", "S", {}, "0:0/0", "one"},
      // A blank and a backslash join lines, before comments are removed.
      {"EchoArea X /c \\\n  -b Jam\n# comment \\\nEchoArea X /hidden -b Msg\n", "X", "/c", "J", {}},
      {"EchoArea X /fido/long " + Repeat("2:5020/1000 -r ", 30) + "-b Jam\n", "X", "/fido/long", "J", {}},
      {"EchoArea X /" + std::string(300, 'p') + " -b Jam\n", "X", "", "Q",
       {"[err] Area X is not posted to: its path is longer than 255 characters (fido.cfg, line 1)"}},
      {"\xEF\xBB\xBF" "EchoArea \"X\" /bom -b Jam\n", "X", "/bom", "J",
       {"[err] fido.cfg, line 1: a UTF-8 byte-order mark starts the file; the tosser does not accept it"}},
      // Defaults: before the area only; all of them for EchoArea, only the
      // description for LocalArea and NetmailArea; the area's own -b wins.
      {"EchoAreaDefaults -b Jam -d \"From defaults\" -a 1:2/3\nEchoArea X /a 1:1/1\n", "X", "/a", "J", {}, "1:2/3",
       "From defaults"},
      {"EchoArea X /a\nEchoAreaDefaults -b Jam\n", "X", "/a", "S", {}},
      {"EchoAreaDefaults -b Jam\nEchoArea X /a -b Msg\n", "X", "/a", "M", {}},
      {"EchoAreaDefaults -b Jam -a 1:2/3 -d Desc\nLocalArea X /a\n", "X", "/a", "S", {}, "0:0/0", "Desc"},
      // Without -b, any defaults line before (even "off") makes the type
      // MSG, but not for NetmailArea.
      {"EchoAreaDefaults -b Jam\nEchoAreaDefaults off\nEchoArea X /a\n", "X", "/a", "M", {}},
      {"EchoAreaDefaults -b Jam\nNetmailArea X /net\n", "X", "/net", "S", {}},
      {"AreaGroup FIDO RU.* X*\nAreaGroupDefaults FIDO -b Jam\nEchoAreaDefaults -b Msg\nEchoArea X /g\n", "X", "/g",
       "J", {}},
      // Passthrough, by word, option or defaults; a path of its own gives a
      // base all the same.
      {"EchoArea X Passthrough 2:5020/1\n", "X", "", "Q", {kPassthrough}},
      {"EchoArea X /p -pass -b Jam\n", "X", "", "Q", {kPassthrough}},
      {"EchoAreaDefaults Passthrough\nEchoArea X -b Jam 2:5020/1\n", "X", "", "Q", {kPassthrough}},
      {"EchoAreaDefaults -pass\nEchoArea X /p -b Jam\n", "X", "/p", "J", {}},
      // Which definition counts: EchoArea and LocalArea may not share a tag;
      // the first NetmailArea, the last BadArea; an echo area before them.
      {"EchoArea X /one -b Jam\nLocalArea x /two\n", "X", "", "Q",
       {"[err] fido.cfg, line 2: area X is defined again (first in fido.cfg, line 1)", kRefused}},
      {"NetmailArea X /first\nNetArea X /second\n", "X", "/first", "S", {}},
      {"BadArea X /b1\nBadArea X /b2 -b Jam\n", "X", "/b2", "J", {}},
      {"DupeArea X /dupe\nNetmailArea X /net -b Msg\nEchoArea X /echo -b Jam\n", "X", "/echo", "J", {}},
      // Lines the tosser refuses give no base.
      {"EchoArea X /x -bogus -b Jam\n", "X", "", "Q", {"[err] fido.cfg, line 1: unknown option -bogus", kRefused}},
      {"EchoArea X /x -b Hudson -a 2:x/1\n", "X", "", "Q",
       {"[err] Error reading type of message base - Hudson", kRefused}},
      {"EchoArea X /x ru.other -b Jam\n", "X", "", "Q",
       {"[err] fido.cfg, line 1: ru.other is neither an option nor a link", kRefused}},
      {"EchoArea X /x -def\n", "X", "", "Q", {"[err] fido.cfg, line 1: option -def belongs after a link", kRefused}},
      {"EchoArea X /x -b\n", "X", "", "Q", {"[err] fido.cfg, line 1: option -b has no value", kRefused}},
      {"EchoArea X nopath -b Jam\n", "X", "", "Q",
       {"[err] fido.cfg, line 1: nopath is neither a path nor Passthrough", kRefused}},
      {"EchoAreaDefaults -b Jam -nosuch\nEchoArea X /x\n", "X", "", "Q",
       {"[err] fido.cfg, line 1: unknown option -nosuch",
        "[err] fido.cfg, line 2: the area takes its defaults from a line with errors (fido.cfg, line 1)",
        "[err] Area X is not posted to: the tosser would refuse its line (fido.cfg, line 2)"}},
      // A bad aka is reported and the base is still used.
      {"EchoArea X /x -a 2:x/1 -b Jam\n", "X", "/x", "J", {"error converting address 2:x/1 (our aka)"}},
      {"EchoArea NET.TALK /a\n\n   \n", "NO.SUCH", "", "Q", {"[err] Area NO.SUCH not found in fido.cfg"}},
      {"\nEchoArea \nEchoArea X /a -a 3:3/3\n", "", "", "Q", {"[err] Area  not found in fido.cfg"}},
      {"EchoArea X /a -b Jam\n", "X", "/a", "J", {}, "0:0/0", "", {}, 'B'},  // HPTPATH before SQUISH
      // Squish-style files: tabs, comment lines, the later line wins.
      {"EchoArea\tNET.TALK\tAreas\\NetTalk\t-$\t-p9:999/9 1:2/3\n", "net.talk", "Areas\\NetTalk", "S", {}, "9:999/9",
       "", {}, 'S'},
      {"EchoArea X first -$\nEchoArea X second\n;EchoArea X /commented -$\n  \t; EchoArea X /indented -$\n", "X",
       "second", "M", {}, "0:0/0", "", {}, 'S'},
      {"EchoArea X a/path\n", "X", "", "Q", {"[err] Area X not found in squish.cfg"}, "0:0/0", "", {}, 'T'},
  };
  for (const LookupCase& c : cases) Check(c);
}

TEST_F(FidoconfigTest, EveryOptionReadsItsOwnNumberOfWords) {
  // An option read with one word too few or too many takes "-b" or "Jam"
  // with it, and the type is lost. One of each kind: a value, alone, a flag
  // with and without "no", a seen-by list, what follows a link.
  const char* options[] = {"-DUPECHECK del", "-$m 500", "-$",    "-h", "-nopack", "-sbadd(1:2/3,1:2/4)",
                           "2:5020/1 -r -w -mn -def", "*:*/* -def"};
  for (const char* option : options) {
    Check({std::string("EchoArea X /x ") + option + " -b Jam 2:5020/2\n", "X", "/x", "J", {}});
  }
  // The options whose value is kept.
  const std::tuple<const char*, const char*, const char*> kept[] = {
      {"-a 2:5020/1", "2:5020/1", ""}, {"-d Word", "0:0/0", "Word"}, {"-d \"One\"", "0:0/0", "One"},
      {"-d \"Three  words\there\"", "0:0/0", "Three words here"}};
  for (const auto& [option, from, description] : kept) {
    Check({std::string("EchoArea X /x ") + option + " -b Jam 2:5020/2\n", "X", "/x", "J", {}, from, description});
  }
}

TEST_F(FidoconfigTest, IncludesVariablesConditionsAndTosserSettings) {
#ifdef _WIN32
  const auto setHome = [](const char* v) { return _putenv_s("MARVEX_TEST_HOME", v); };  // "" removes it
#else
  const auto setHome = [](const char* v) { return *v ? setenv("MARVEX_TEST_HOME", v, 1) : unsetenv("MARVEX_TEST_HOME"); };
#endif
  ASSERT_EQ(setHome("/home/sysop"), 0);
  const std::string fido =
        "# main configuration\n"
        "set BASEDIR=/var/spool/fido\n"
        "set AREAS = \"[configdir]areas.cfg\"\n"
        "SeqDir [BASEDIR]/seq\n"
        "if [module]==hpt\n"
        "  EchoTossLog \"[BASEDIR]/echo toss.log\"\n"
        "  include [AREAS]\n"
        "elseif [module]==htick\n"
        "  include /nonexistent/htick.cfg\n"
        "else\n"
        "  EchoArea RU.FIDO.LOCAL /wrong/branch -b Msg\n"
        "endif\n"
        "ifdef MARVEX_TEST_HOME\n"
        "  LockFile [MARVEX_TEST_HOME]/hpt.lock\n"
        "endif\n"
        "ifndef BASEDIR\n"
        "  AdvisoryLock 99\n"
        "endif\n"
        "if [OS] =~ win*   # the tosser's =~ holds when the pattern does not match\n"
        "  AdvisoryLock 5\n"
        "endif\n"
        "if not [OS] !~ win*\n"
        "  SeqOutrun 3y\n"
        "endif\n";
  const Files areas = {{"areas.cfg",
        "EchoAreaDefaults -b Jam -dupeCheck move\n"
        "EchoArea RU.FIDO.LOCAL [BASEDIR]/msgbase/ru.fido.local -d \"Local [module] talk\"\n"}};
  const TosserSettings t = Check({fido, "ru.fido.local", "/var/spool/fido/msgbase/ru.fido.local", "J", {}, "0:0/0",
                                  "Local hpt talk", areas});
  // [OS] is UNIX here and WIN on Windows, where both tests of it fail.
  EXPECT_EQ((Lines{t.SeqDir, t.EchoTossLog, t.LockFile, t.SeqOutrun}),
            (Lines{"/var/spool/fido/seq", "/var/spool/fido/echo toss.log", "/home/sysop/hpt.lock", testkit::kWindows ? "" : "3y"}));
  EXPECT_EQ(t.AdvisoryLock, testkit::kWindows ? 0 : 5);
  setHome("");
}

TEST_F(FidoconfigTest, IncludeAndExpansionProblems) {
  ASSERT_TRUE(platform::CreateDirectory(dir_ / "sub").ok());
  Files chain;
  for (int i = 1; i <= 20; ++i) chain.push_back({"n" + std::to_string(i) + ".cfg", "include n" + std::to_string(i + 1) + ".cfg\n"});
  const LookupCase cases[] = {
      // A relative include is taken from the current directory, not from
      // the including file's.
      {"include sub/main.cfg\n", "X", "/from/cwd", "S", {}, "0:0/0", "",
       {{"sub/main.cfg", "include areas.cfg\n"}, {"areas.cfg", "EchoArea X /from/cwd\n"},
        {"sub/areas.cfg", "EchoArea X /from/sub\n"}}},
      {"include missing.cfg\nEchoArea X /a\n", "X", "/a", "S",
       {"[err] fido.cfg, line 1: can't open included file missing.cfg: " + runtest::NoSuchFile()}},
      {"include loop.cfg\nEchoArea X /a\n", "X", "/a", "S",
       {"[err] loop.cfg, line 1: include loop: fido.cfg is already being read"}, "0:0/0", "",
       {{"loop.cfg", "include fido.cfg\n"}}},
      {"include a.cfg\ninclude ./a.cfg\n", "X", "/a", "S",
       {"[err] fido.cfg, line 2: ./a.cfg is included a second time; it is not read again"}, "0:0/0", "",
       {{"a.cfg", "EchoArea X /a\n"}}},
      {"include n1.cfg\nEchoArea X /a\n", "X", "/a", "S",
       {"[err] n15.cfg, line 1: includes nested more than 16 deep; n16.cfg is not read"}, "0:0/0", "", chain},
      // The comment character stays changed after its include file ends.
      {"include c.cfg\nEchoArea X /a -b Jam ; comment\n", "X", "/a", "J", {}, "0:0/0", "",
       {{"c.cfg", "CommentChar ;\n"}}},
      // A condition that cannot be read runs no branch of its if.
      {"if [module]\nEchoArea X /broken\nelse\nEchoArea X /else\nendif\nelse\nendif\nEchoArea X /a\n", "X", "/a", "S",
       {"[err] fido.cfg, line 1: condition without ==, !=, =~ or !~; the lines it governs are skipped",
        "[err] fido.cfg, line 6: else without if", "[err] fido.cfg, line 7: endif without if"}},
      // Commands are never run; undefined and deleted variables are empty.
      {"set CMD=`touch ran.flag`\nset GONE=x\nset GONE=\nEchoArea X /a[CMD]/[NO_SUCH_VAR_MARVEX][gone] -d [#][[]1]\n",
       "X", "/a/", "S",
       {"fido.cfg, line 1: command `touch ran.flag` is not run; it reads as empty",
        "fido.cfg, line 4: variable [CMD] is not defined; it reads as empty",
        "fido.cfg, line 4: variable [NO_SUCH_VAR_MARVEX] is not defined; it reads as empty",
        "fido.cfg, line 4: variable [gone] is not defined; it reads as empty"},
       "0:0/0", "#[1]"},
  };
  for (const LookupCase& c : cases) Check(c);
  EXPECT_FALSE(Exists("ran.flag"));
}

TEST_F(FidoconfigTest, VariablesThatDoubleOnEveryLineStayBounded) {
  std::ostringstream out;
  RunContext ctx(out, env_);
  Write("fido.cfg", "set A=0123456789abcdef\n" + Repeat("set A=[A][A]\n", 40) + "EchoArea X /x/[A] -b Jam\n");
  ctx.HptPath = "fido.cfg";
  ctx.Job.AreaTag = "X";
  LookupArea(ctx);
  // From line 11 on the value would pass the room a line may grow by; the
  // path that results is longer than the job keeps: refused, not cut.
  const Lines log = runtest::Entries(out.str());
  ASSERT_EQ(log.size(), 22u) << out.str();  // twenty problems, the note, the refusal
  EXPECT_EQ(log[0], "[err] fido.cfg, line 11: the line grows too long through its variables; it is cut");
  EXPECT_EQ(log[20], "More problems in the tosser configuration are not shown");
  EXPECT_EQ(ctx.Job.Area.path, "");
}

TEST_F(FidoconfigTest, UnreadableTosserConfigurationIsNoMissingArea) {
  ASSERT_TRUE(platform::CreateDirectory(dir_ / "adir").ok());
  for (const char kind : {'H', 'S', 'T'}) {
    for (const auto& [name, reason] : {std::pair{"nowhere.cfg", runtest::NoSuchFile()}, {"adir", runtest::IsADirectory()}}) {
      Check({"", "X", "", "Q", {"[err] Can't open tosser configuration " + std::string(name) + ": " + reason}, "0:0/0",
             "", {}, kind, name});
    }
  }
  const std::string bad = runtest::UnreadableFile();
  if (bad.empty()) return;
  std::ostringstream out;
  RunContext ctx(out, env_);
  ctx.HptPath = bad;
  LookupArea(ctx);
  EXPECT_NE(out.str().find("[err] Error reading tosser configuration " + bad), std::string::npos) << out.str();
}

}  // namespace
}  // namespace mvx
