// Posting a file: preparing the base, building and storing the messages, and
// the one-off posting from the command line.
#include "run/posting.h"

#include "msgbase/base_factory.h"
#include "msgbase/file_hooks.h"
#include "run/area_lookup.h"
#include "run/config_reader.h"
#include "run/encoded_posting.h"
#include "run/words.h"
#include "support/address.h"
#include "support/datetime.h"
#include "support/text.h"
#include "support/text_file.h"

namespace mvx {

namespace {

std::int32_t LineCost(const Str& line) { return static_cast<std::int32_t>(line.size()) + 2; }

// The counting pass: the same packing rule as the writing loop, so that the
// announced count is the number of messages really written.
std::int32_t CountParts(TextFileReader& file) {
  std::int32_t parts = 0;
  std::int32_t bytes = 0;
  Str line;
  while (!file.AtEnd()) {
    const bool ok = file.ReadLine(line);
    const std::int32_t cost = LineCost(line);
    if (parts == 0 || bytes + cost > kPartLimit) {
      ++parts;
      bytes = cost;
    } else {
      bytes += cost;
    }
    if (!ok) break;
  }
  return parts;
}

// Gives up the base of a posting that stops before writing anything.
void ReleaseBase(RunContext& ctx) { (void)DisposeBase(ctx.Base); }

// Every bit of the attribute word, one at a time: the bases accept single
// attribute values only and refuse those their format cannot hold.
void SetAttributes(MessageBase& base, std::int32_t attrFlags) {
  base.ChangeAttribute(true, kAttrLocal);
  const std::uint32_t bits = static_cast<std::uint32_t>(attrFlags);
  for (int i = 0; i < 32; ++i) {
    const std::uint32_t bit = std::uint32_t{1} << i;
    if ((bits & bit) != 0 && bit != static_cast<std::uint32_t>(kAttrLocal)) {
      base.ChangeAttribute(true, static_cast<std::int32_t>(bit));
    }
  }
}

// The header of one message: kludges, names, subject, dates, attributes.
void PutHeader(RunContext& ctx, MessageBase& base) {
  const PostJob& job = ctx.Job;
  base.EmitOrigKludges(true, job.FromAddr);
  base.EmitDestKludges(job.ToAddr);
  base.PutFromName(job.FromUser);
  base.PutToName(job.ToUser);
  ++ctx.PartNumber;
  if (ctx.PartCount == 1) {
    base.PutSubject(job.SubjLine);
  } else {
    const Str part = IntToStr(ctx.PartNumber) + "/" + IntToStr(ctx.PartCount);
    base.PutSubject("[" + part + "] " + job.SubjLine);
    ctx.Log.Write("   -> [" + part + "]");
  }
  DateTimeRec now;
  GetNow(now);
  base.PutWrittenDate(now);
  base.PutArrivedDate(now);
  SetAttributes(base, job.AttrFlags);
}

}  // namespace

void PostingError(RunContext& ctx, const Str& text) {
  ctx.PostingOk = false;
  ctx.Log.WriteError(text);
}

std::int32_t CountMessageParts(const Str& name) {
  TextFileReader file;
  if (!file.Open(name)) return 0;
  return CountParts(file);
}

void PreparePosting(RunContext& ctx) {
  const PostJob& job = ctx.Job;
  if (!ctx.HooksInstalled) {
    InstallFileHooks();
    ctx.HooksInstalled = true;
  }
  ctx.PartNumber = 0;
  ctx.PartCount = 1;
  ctx.PostingOk = true;
  // A base left over from a posting that was prepared but never written.
  ReleaseBase(ctx);
  // Without a type letter the path alone would be read as an identifier, and
  // a path beginning with one of the letters S, J, M or F would be taken for
  // a base of that type. Without a path (an area that was not found) a *.MSG
  // area would be the root directory. Either way: no base.
  const bool known = !job.BaseType.empty() && !job.BasePath.empty();
  const Str id = known ? job.BaseType + job.BasePath : Str();
  if (!OpenOrCreateBase(id, ctx.Base)) {
    PostingError(ctx, "Unable to open/create msgbase \"" + job.BasePath + "\"");
  }
  if (ctx.PostingOk) {
    if (job.AreaDescription.empty()) {
      ctx.Log.Write(" >> Posting " + job.PostFile + " to " + job.AreaTag);
    } else {
      ctx.Log.Write(" >> Posting " + job.PostFile + " to " + job.AreaTag + " // " +
                    job.AreaDescription);
    }
    ctx.Log.Write(" >> From: " + job.FromUser + ", " + FormatAddress(job.FromAddr));
  }
  if (!FileExists(job.PostFile)) {
    PostingError(ctx, "File not found \"" + job.PostFile + "\"");
  }
  if (ctx.UseAsKludge) MarkEncodedAsKludges(ctx);
}

void WriteMessages(RunContext& ctx) {
  const PostJob& job = ctx.Job;
  if (!ctx.PostingOk) {
    PostingError(ctx, "We can't make posting...");
    ReleaseBase(ctx);
    return;
  }
  TextFileReader file;
  if (!file.Open(job.PostFile)) PostingError(ctx, "Can't open file " + job.PostFile + "!..");
  if (ctx.PostingOk && ctx.Base == nullptr) PostingError(ctx, "Unable to create new message");
  if (ctx.PostingOk) {
    const std::int32_t parts = CountParts(file);
    ctx.PartCount = parts > 1 ? parts : 1;
    if (!file.Rewind()) PostingError(ctx, "Can't open file " + job.PostFile + "!..");
  }
  if (!ctx.PostingOk) {
    PostingError(ctx, "We can't make posting...");
    ReleaseBase(ctx);
    return;
  }

  MessageBase& base = *ctx.Base;
  Str pending;  // a line that did not fit into the previous part
  bool havePending = false;
  bool readFailed = false;
  while (havePending || (!readFailed && !file.AtEnd())) {
    if (!base.BeginNewMessage()) {
      PostingError(ctx, "Unable to create new message");
      break;
    }
    ctx.PartBytes = 0;
    PutHeader(ctx, base);
    base.AppendTextLineStr(kPidLine);
    if (ctx.UseEncodedMessage) base.AppendTextLineStr(ctx.EncodedMessage);
    if (ctx.UseEncodedString) {
      base.AppendTextLineStr(
          BeginLineOfPart(ctx.BeginEncodedString, ctx.PartNumber, ctx.PartCount, job.PostFile));
    }
    Str lastTaken;
    for (;;) {
      Str line;
      if (havePending) {
        line = pending;
        havePending = false;
      } else {
        if (readFailed || file.AtEnd()) break;
        if (!file.ReadLine(line)) {
          // What could be read of the line is still taken; the file ends here.
          readFailed = true;
          PostingError(ctx, "Error reading file " + job.PostFile);
        }
      }
      ctx.PartBytes += LineCost(line);
      if (ctx.PartBytes > kPartLimit) {
        pending = line;
        havePending = true;
        break;
      }
      base.AppendTextLineStr(line);
      lastTaken = line;
    }
    if (ctx.UseEncodedString) base.AppendTextLineStr(ctx.EndEncodedString);
    if (!lastTaken.starts_with("...")) base.AppendTextLineStr("");
    base.AppendTextLineStr("--- " + job.TearText);
    base.AppendTextLineStr(" * Origin: " + job.OriginText + " (" + FormatAddress(job.FromAddr) + ")");
    if (!base.StoreMessage()) PostingError(ctx, "Unable to write message");
    (void)base.ReleaseMessage();
  }
  // A read that failed between two lines (or on the first read) ends the
  // file like its end would: the posting is then incomplete, not "Ok".
  if (!readFailed && file.ReadError()) PostingError(ctx, "Error reading file " + job.PostFile);
  if (!CloseBase(ctx.Base)) PostingError(ctx, "Unable to close msgbase");
  ctx.Log.Write("  - Ok...");
  file.Close();
}

void PostFromCommandLine(RunContext& ctx, const Str& args) {
  PostJob& job = ctx.Job;
  ResetJob(ctx);
  job.PostFile = FirstWordAsIs(args);
  job.AreaTag = FirstWord(RestWords(args));
  Str rest = RestWords(RestWords(args));
  LookupArea(ctx);
  // The announcement therefore shows the sender of the configuration, before
  // the command line's keywords apply.
  PreparePosting(ctx);
  // Each turn removes at least the keyword, so the loop ends.
  while (rest.find(' ') != std::string::npos) {
    const Str keyword = FirstWord(rest);
    Str s = RestWords(rest);
    Str value;
    if (s.starts_with("\"")) {
      value = ValueOf(s);
      s = TextAfterQuotes(s);
      StripLeadingBlanks(s);
    } else {
      value = FirstWord(s);
      s = RestWords(s);
    }
    rest = s;
    const Str line = keyword + " " + value;
    if (keyword == "FROMADDR" || keyword == "TOADDR") {
      FidoAddress& addr = keyword == "FROMADDR" ? job.FromAddr : job.ToAddr;
      if (!ParseAddress(RestWords(line), addr)) ctx.Log.Write("Error converting " + RestWords(line));
    }
    ReadStringKey("FROM", job.FromUser, line);
    ReadStringKey("TO", job.ToUser, line);
    ReadStringKey("SUBJ", job.SubjLine, line);
    ReadStringKey("ORIGIN", job.OriginText, line);
    ReadStringKey("TEARLINE", job.TearText, line);
  }
  WriteMessages(ctx);
}

}  // namespace mvx
