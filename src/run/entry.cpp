// The program start: command line, run modes, usage screen.
#include "run/entry.h"

#include <string>

#include "run/config_reader.h"
#include "run/job_settings.h"
#include "run/posting.h"
#include "run/work_flag.h"
#include "support/words.h"

namespace mvx {

namespace {

bool IsHelpRequest(const std::string& param) {
  const Str p = UpperCaseCyr(Str(param));
  return p == "-H" || p == "-?" || p == "/?" || p == "/H";
}

// Removes every word equal to word (upper-cased) from the command; true when
// there was one. The other words are kept in order, one blank apart.
bool TakeWord(Str& command, const char* word) {
  bool found = false;
  Str kept;
  Str rest = command;
  StripLeadingBlanks(rest);
  while (!rest.empty()) {
    const Str w = FirstWordAsIs(rest);
    if (UpperCaseCyr(w) == word) {
      found = true;
    } else {
      if (!kept.empty()) kept += ' ';
      kept += w.view();
    }
    rest = HasBlank(rest) ? RestWords(rest) : Str();
  }
  if (found) command = kept;
  return found;
}

}  // namespace

void ShowUsage(std::ostream& console) {
  // Lines 5 to 7 carry LF CR before their line end, so each is followed by an
  // empty line.
  console << "Usage\n"
          << "marvex.exe [-c <config>] [-p <path\\file.ext> <AreaName>] [-d]\n"
          << "  -c  <config>                  - alternative cfg file\n"
          << "  -d                            - fuck workflag\n"
          << "  -p <path\\file.ext> <AreaName> - post file to area\n\r\n"
          << "      You can use all of program keywords for setup posting like this:\n\r\n"
          << "      marvex -p c:\\fido\\rules.txt NET.TALK From \"John Smith\" FromAddr "
             "2:5020/1234.5\n\r\n"
          << "      All other information will be got from cfg file\n"
          << "  -n [-d]                       - show what today's run would post, write nothing\n"
          << "  -p - <AreaName>               - post standard input; Charset UTF-8 recodes it\n"
          << std::flush;
}

Str JoinParameters(const std::vector<std::string>& args) {
  Str joined;
  for (const std::string& a : args) {
    const bool requote =
        a.find(' ') != std::string::npos && a.find('"') == std::string::npos;
    const std::string word = requote ? "\"" + a + "\"" : a;
    joined += " ";
    joined += std::string_view(word);
  }
  StripLeadingBlanks(joined);
  return joined;
}

int RunMarvex(const std::vector<std::string>& args, std::ostream& console, Env& env) {
  if (!args.empty() && IsHelpRequest(args.front())) {
    ShowUsage(console);
    return kExitFailure;
  }
  RunContext ctx(console, env);
  ResetJob(ctx);

  ctx.StopLine.clear();
  ctx.CommandString = JoinParameters(args);
  Str& command = ctx.CommandString;
  if (FirstWord(command) == "-C") {
    // The name keeps the case the user wrote it in.
    ctx.ConfigName = FirstWordAsIs(RestWords(command));
    command = RestWords(RestWords(command));
  }
  // A look before posting, wherever -n stands in a scheduled run: a sysop
  // who asks for one must never get a real run because of the order of the
  // words.
  ctx.DryRun = FirstWord(command) != "-P" && TakeWord(command, "-N");
  if (ctx.DryRun) {
    ctx.Log.OpenConsoleOnly(kLogTitle);
    ctx.Log.Write("Dry run: nothing is posted, and no file is written");
  } else {
    ctx.Log.Open(Str(ctx.Here(kLogName)), kLogTitle, ctx.RunEnv.LockWaitMs());
  }

  if (FirstWord(command) == "-P") {
    ctx.StopLine = kCommonPartEnd;
    if (!LoadConfiguration(ctx, ctx.ConfigName, ConfigMode::kCommonOnly)) return kExitFailure;
    PostFromCommandLine(ctx, RestWords(command));
    ctx.Log.Close();
    return kExitOk;
  }

  // The flag is tested first in either case; -d must be all that is left of
  // the command line.
  const bool allowed = WorkFlagAllowsRun(ctx.RunEnv.Time(), ctx.Here(kWorkFlagName));
  const bool forced = UpperCaseCyr(command) == "-D";
  // The stamping test makes and removes a trial flag: not in a dry run.
  const int waitMs = ctx.RunEnv.LockWaitMs();
  const Error stampable =
      allowed && !forced && !ctx.DryRun ? WorkFlagCanBeStamped(ctx.Here(kWorkFlagName), waitMs) : Error();
  if (!stampable.ok()) {
    ctx.Log.WriteError("Can't write work flag " + Str(kWorkFlagName) + " (" + Str(platform::ErrorText(stampable, waitMs)) +
                       "): nothing is posted, or the next run would post it again");
  } else if (allowed || forced) {
    if (!LoadConfiguration(ctx, ctx.ConfigName, ConfigMode::kFullRun)) return kExitFailure;
  } else {
    ctx.Log.Write("We can't continue because of already worked today...");
  }
  ctx.Log.Close();
  return kExitOk;
}

}  // namespace mvx
