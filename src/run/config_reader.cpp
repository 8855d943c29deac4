// The configuration reader: common part, area blocks, and the job reset.
#include "run/config_reader.h"

#include "platform/platform.h"
#include "run/area_run.h"
#include "run/attribute_names.h"
#include "run/entry.h"
#include "run/work_flag.h"
#include "run/words.h"
#include "support/address.h"
#include "support/text_file.h"

namespace mvx {

namespace {

// A dry run leaves the work flag as it found it.
void StampWorkFlag(RunContext& ctx) {
  if (!ctx.DryRun) WriteWorkFlag(ctx);
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Parses an address keyword's text into a job address; a text that is no
// address is logged and leaves the address as the parse left it.
void ParseJobAddress(RunContext& ctx, const Str& text, FidoAddress& addr) {
  if (!ParseAddress(text, addr)) ctx.Log.Write("Error converting " + text);
}

}  // namespace

void ResetJob(RunContext& ctx) {
  const CommonSettings& c = ctx.Common;
  PostJob& job = ctx.Job;
  if (!c.When.empty()) EvaluateWhen(c.When, job.Due);
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
  if (first == "WHEN") EvaluateWhen(RestWords(line), job.Due);
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

bool LoadConfiguration(RunContext& ctx, const Str& name, ConfigMode mode) {
  ctx.Log.Write("Loading " + name);
  TextFileReader file;
  if (!file.Open(name)) {
    const int error = file.OsError();
    ctx.Log.Write(error != 0 ? "Error reading cfg file: " + Str(platform::ErrorText(error)) : Str("Error reading cfg file"));
    StampWorkFlag(ctx);
    return true;
  }
  Str line;
  bool firstLine = true;
  while (!file.AtEnd()) {
    if (!file.ReadLine(line)) {
      FatalReadError(ctx, name);
      return false;
    }
    // Editors that save UTF-8 may put a byte-order mark first; it is no
    // part of the first keyword.
    if (firstLine && line.starts_with(kUtf8ByteOrderMark)) line.erase_front(kUtf8ByteOrderMark.size());
    firstLine = false;
    if (line.empty() || !IsConfigLine(line)) continue;
    ApplyCommonLine(ctx, line);
    if (FirstWord(line) == "AREA") {
      if (mode == ConfigMode::kCommonOnly) return true;
      // The block takes its tag from this line by its blanks; a tab between
      // AREA and the tag is one as well.
      Str spaced;
      for (std::size_t i = 0; i < line.size(); ++i) spaced += line[i] == '\t' ? ' ' : line[i];
      line = spaced;
      // The block reads its lines from the same file into the same line, so
      // reading goes on after the block's last line.
      if (!RunAreaBlock(ctx, file, line, name)) return false;
    }
    // Only a stop line that was asked for ends the reading: a line of blanks
    // (whose first word is empty) must not end a scheduled run and silently
    // drop every later block.
    if (!ctx.StopLine.empty() && FirstWord(line) == ctx.StopLine) return true;
  }
  // AtEnd() is true as well once a read has failed, also on the very first
  // read: a file that could not be read is no file read to its end.
  if (file.ReadError()) {
    FatalReadError(ctx, name);
    return false;
  }
  StampWorkFlag(ctx);
  return true;
}

}  // namespace mvx
