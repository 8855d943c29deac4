// The settings lines of the configuration and the -p command line, applied to
// the run's defaults and to the job.
#include "run/job_settings.h"

#include "msgbase/attribute_names.h"
#include "platform/platform.h"
#include "support/address.h"
#include "support/words.h"

namespace mvx {

namespace {

// Parses an address keyword's text into a job address; a text that is no
// address is logged and leaves the address as the parse left it.
void ParseJobAddress(RunContext& ctx, const Str& text, FidoAddress& addr) {
  if (!ParseAddress(text, addr)) ctx.Log.Write("Error converting " + text);
}

}  // namespace

void EvaluateWhen(Clock& clock, const Str& rule, bool& due) {
  const platform::LocalTime now = clock.Now();
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

void ResetJob(RunContext& ctx) {
  const CommonSettings& c = ctx.Common;
  PostJob& job = ctx.Job;
  if (!c.When.empty()) EvaluateWhen(ctx.RunEnv.Time(), c.When, job.Due);
  job.FromUser = c.FromUser;
  job.ToUser = c.ToUser;
  job.SubjLine = c.SubjLine;
  job.AttrFlags = c.AttrFlags;
  job.TearText = c.TearText;
  job.OriginText = c.OriginText;
  job.Charset = c.Charset;
  job.AreaDescription.clear();
  job.PostFile.clear();
  job.AreaTag.clear();
  ctx.EncodedMessage = c.EncodedMessage;
  ctx.BeginEncodedString = c.BeginEncodedString;
  ctx.EndEncodedString = c.EndEncodedString;
  ctx.UseAsKludge = c.UseAsKludge;
  ctx.UseEncodedMessage = c.UseEncodedMessage;
  ctx.UseEncodedString = c.UseEncodedString;
  // Relative parse: parts the text leaves out keep what the job holds.
  ParseJobAddress(ctx, c.FromAddr, job.FromAddr);
  ParseJobAddress(ctx, c.ToAddr, job.ToAddr);
}

void ApplyCommonLine(RunContext& ctx, const Str& line) {
  CommonSettings& c = ctx.Common;
  ReadStringKey("SQUISH", ctx.SquishCfgPath, line);
  ReadStringKey("HPTPATH", ctx.HptPath, line);
  ReadStringKey("WHEN", c.When, line);
  ReadStringKey("FROMADDR", c.FromAddr, line);
  ReadStringKey("TOADDR", c.ToAddr, line);
  ReadStringKey("FROM", c.FromUser, line);
  ReadStringKey("TO", c.ToUser, line);
  ReadStringKey("SUBJ", c.SubjLine, line);
  ReadNumberKey("FLAGS", c.AttrFlags, line);
  ReadStringKey("ORIGIN", c.OriginText, line);
  ReadStringKey("TEARLINE", c.TearText, line);
  ReadBoolKey("USEENCODEDMESSAGE", c.UseEncodedMessage, line);
  ReadStringKey("ENCODEDMESSAGE", c.EncodedMessage, line);
  ReadBoolKey("USEENCODEDSTRING", c.UseEncodedString, line);
  ReadStringKey("BEGINENCODEDSTRING", c.BeginEncodedString, line);
  ReadStringKey("ENDENCODEDSTRING", c.EndEncodedString, line);
  ReadBoolKey("USEASKLUDGE", c.UseAsKludge, line);
  ReadStringKey("CHARSET", c.Charset, line);
}

void ApplyAreaLine(RunContext& ctx, const Str& line) {
  PostJob& job = ctx.Job;
  const Str first = FirstWord(line);
  if (first == "WHEN") EvaluateWhen(ctx.RunEnv.Time(), RestWords(line), job.Due);
  if (first == "FROMADDR") ParseJobAddress(ctx, RestWords(line), job.FromAddr);
  if (first == "TOADDR") ParseJobAddress(ctx, RestWords(line), job.ToAddr);
  ReadStringKey("FILE", job.PostFile, line);
  ReadStringKey("FROM", job.FromUser, line);
  ReadStringKey("TO", job.ToUser, line);
  ReadStringKey("SUBJ", job.SubjLine, line);
  ReadStringKey("ORIGIN", job.OriginText, line);
  ReadStringKey("TEARLINE", job.TearText, line);
  ReadStringKey("CHARSET", job.Charset, line);
  // The area lookup has already run for this block, so these take effect
  // from the next block on, and stay for the rest of the run.
  ReadStringKey("HPTPATH", ctx.HptPath, line);
  ReadStringKey("SQUISH", ctx.SquishCfgPath, line);
  ReadStringKey("TERMINATE", ctx.TerminateCfgPath, line);
  ReadBoolKey("USEENCODEDMESSAGE", ctx.UseEncodedMessage, line);
  ReadStringKey("ENCODEDMESSAGE", ctx.EncodedMessage, line);
  ReadBoolKey("USEENCODEDSTRING", ctx.UseEncodedString, line);
  ReadStringKey("BEGINENCODEDSTRING", ctx.BeginEncodedString, line);
  ReadStringKey("ENDENCODEDSTRING", ctx.EndEncodedString, line);
  ReadBoolKey("USEASKLUDGE", ctx.UseAsKludge, line);
  if (first == "FLAGS") job.AttrFlags = ApplyFlagNames(RestWords(line));
}

}  // namespace mvx
