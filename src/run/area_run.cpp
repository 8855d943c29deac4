// The area run: one block of the configuration, looked up and posted.
#include "run/area_run.h"

#include "run/area_lookup.h"
#include "run/job_settings.h"
#include "run/posting.h"
#include "support/words.h"

namespace mvx {

bool RunAreaBlock(RunContext& ctx, TextFileReader& file, Str& line) {
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
    if (!file.ReadLine(line)) return false;
    StripLeadingBlanks(line);
    ApplyAreaLine(ctx, line);
  }
  // A read that failed between two lines ends the loop like the end of the
  // file would; the block must not be posted as if it were complete.
  if (file.ReadError()) return false;
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
