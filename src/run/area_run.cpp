// The area run and the posting schedule.
#include "run/area_run.h"

#include "platform/platform.h"
#include "run/area_lookup.h"
#include "run/config_reader.h"
#include "run/entry.h"
#include "run/posting.h"
#include "run/words.h"

namespace mvx {

void EvaluateWhen(const Str& rule, bool& due) {
  const platform::LocalTime now = platform::Now();
  // Weeks run from Monday (1) to Sunday (7).
  const int dayOfWeek = now.dayOfWeek == 0 ? 7 : now.dayOfWeek;
  if (UpperCaseCyr(rule) == "DAILY") {
    due = true;
    return;
  }
  const Str first = FirstWord(rule);
  if (first == "YEARLY") {
    due = NumberInList(RestWords(rule), now.year);
  } else if (first == "MOUNTHLY") {
    due = NumberInList(RestWords(rule), now.day);
  } else if (first == "WEEKLY") {
    due = NumberInList(RestWords(rule), dayOfWeek);
  }
}

bool RunAreaBlock(RunContext& ctx, TextFileReader& file, Str& line, const Str& configName) {
  ResetJob(ctx);
  Str areaLine = line;
  StripLeadingBlanks(areaLine);
  // A line holding only the keyword names no area (a one-word text is its own
  // rest, so the rest would be the keyword itself).
  ctx.Job.AreaTag = areaLine.find(' ') == std::string::npos ? Str() : RestWords(areaLine);
  LookupArea(ctx);
  ctx.Log.Write(" [+] Working with " + ctx.Job.AreaTag);
  // The end test looks at the line read last, starting with the AREA line:
  // a line whose rest is exactly ENDAREA ends the block.
  while (!file.AtEnd() && UpperCaseCyr(RestWords(line)) != "ENDAREA") {
    if (!file.ReadLine(line)) {
      FatalReadError(ctx, configName);
      return false;
    }
    StripLeadingBlanks(line);
    ApplyAreaLine(ctx, line);
  }
  // A read that failed between two lines ends the loop like the end of the
  // file would; the block must not be posted as if it were complete.
  if (file.ReadError()) {
    FatalReadError(ctx, configName);
    return false;
  }
  if (ctx.Job.Due && ctx.DryRun) {
    DescribePosting(ctx);
  } else if (ctx.Job.Due) {
    PreparePosting(ctx);
    WriteMessages(ctx);
  } else {
    ctx.Log.Write("     [-]> Skipping " + ctx.Job.AreaTag + " by date...");
  }
  ctx.Log.Write("");
  return true;
}

}  // namespace mvx
