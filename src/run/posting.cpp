// Posting a file: preparing the base, building and storing the messages, and
// the one-off posting from the command line.
#include "run/posting.h"

#include <vector>

#include "msgbase/base_factory.h"
#include "msgbase/file_hooks.h"
#include "platform/platform.h"
#include "run/area_lookup.h"
#include "run/config_reader.h"
#include "run/echo_toss_log.h"
#include "run/encoded_posting.h"
#include "run/node_serials.h"
#include "run/words.h"
#include "support/address.h"
#include "support/datetime.h"
#include "support/text.h"
#include "support/text_file.h"

namespace mvx {

namespace {

std::int32_t LineCost(const Str& line) { return static_cast<std::int32_t>(line.size()) + 2; }

// The posted file, read once: its lines (each cut to 255 characters) and
// whether reading it failed before its end.
struct PostedText {
  std::vector<Str> lines;
  bool readFailed = false;
};

bool ReadPostedText(const Str& name, PostedText& text) {
  TextFileReader file;
  if (!file.Open(name)) return false;
  Str line;
  while (!file.AtEnd()) {
    const bool ok = file.ReadLine(line);
    // What could be read of a line whose read failed is still taken; the
    // file ends there.
    text.lines.push_back(line);
    if (!ok) break;
  }
  text.readFailed = file.ReadError();
  return true;
}

// Where each part starts: lines are packed in order into parts of at most
// kPartLimit bytes, a line counting as its length plus 2. The last entry is
// the number of lines, so part i holds lines [starts[i], starts[i + 1]).
std::vector<std::size_t> PartStarts(const std::vector<Str>& lines) {
  std::vector<std::size_t> starts;
  std::int32_t bytes = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::int32_t cost = LineCost(lines[i]);
    if (starts.empty() || bytes + cost > kPartLimit) {
      starts.push_back(i);
      bytes = cost;
    } else {
      bytes += cost;
    }
  }
  starts.push_back(lines.size());
  return starts;
}

Str BaseTypeName(const Str& letter) {
  if (letter == "S") return "Squish";
  if (letter == "J") return "JAM";
  return "MSG";
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
  PostedText text;
  if (!ReadPostedText(name, text)) return 0;
  return static_cast<std::int32_t>(PartStarts(text.lines).size() - 1);
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
    // Where the messages go and what they carry, so that the log alone
    // answers "where did it land, and as whom".
    ctx.Log.Write(" >> Base: " + BaseTypeName(job.BaseType) + " " + platform::FullPath(job.BasePath.str()));
    ctx.Log.Write(" >> From: " + job.FromUser + ", " + FormatAddress(job.FromAddr));
    ctx.Log.Write(" >> To: " + job.ToUser + ", " + FormatAddress(job.ToAddr));
    ctx.Log.Write(" >> Subj: " + job.SubjLine);
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
  PostedText text;
  if (!ReadPostedText(job.PostFile, text)) PostingError(ctx, "Can't open file " + job.PostFile + "!..");
  if (ctx.PostingOk && ctx.Base == nullptr) PostingError(ctx, "Unable to create new message");
  if (!ctx.PostingOk) {
    PostingError(ctx, "We can't make posting...");
    ReleaseBase(ctx);
    return;
  }
  if (text.readFailed) PostingError(ctx, "Error reading file " + job.PostFile);

  const std::vector<std::size_t> starts = PartStarts(text.lines);
  const std::size_t parts = starts.size() - 1;
  ctx.PartCount = parts > 1 ? static_cast<std::int32_t>(parts) : 1;
  // Every serial of the posting is reserved before its first message is
  // stored, so a crash can never let a later run hand one out again.
  NodeSerials serials(ctx);
  serials.Expect(static_cast<std::uint32_t>(ctx.PartCount));
  ScopedSerialSource useSerials(serials);

  MessageBase& base = *ctx.Base;
  std::size_t stored = 0;
  for (std::size_t part = 0; part < parts; ++part) {
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
    for (std::size_t i = starts[part]; i < starts[part + 1]; ++i) {
      ctx.PartBytes += LineCost(text.lines[i]);
      base.AppendTextLineStr(text.lines[i]);
    }
    const Str& lastTaken = text.lines[starts[part + 1] - 1];
    if (ctx.UseEncodedString) base.AppendTextLineStr(ctx.EndEncodedString);
    if (!lastTaken.starts_with("...")) base.AppendTextLineStr("");
    base.AppendTextLineStr("--- " + job.TearText);
    base.AppendTextLineStr(" * Origin: " + job.OriginText + " (" + FormatAddress(job.FromAddr) + ")");
    if (base.StoreMessage()) {
      ++stored;
    } else {
      PostingError(ctx, "Unable to write message");
    }
    (void)base.ReleaseMessage();
  }
  if (!CloseBase(ctx.Base)) PostingError(ctx, "Unable to close msgbase");
  if (stored > 0) NoteAreaForScan(ctx, job.AreaTag);
  // The last line of a posting tells the truth about all of it.
  if (!ctx.PostingOk) {
    ctx.Log.WriteError("  - Failed...");
  } else if (parts == 0) {
    ctx.Log.Write("  - Nothing to post: " + job.PostFile + " is empty");
  } else {
    ctx.Log.Write("  - Ok...");
  }
}

void PostFromCommandLine(RunContext& ctx, const Str& args) {
  PostJob& job = ctx.Job;
  ResetJob(ctx);
  job.PostFile = FirstWordAsIs(args);
  job.AreaTag = FirstWord(RestWords(args));
  Str rest = RestWords(RestWords(args));
  LookupArea(ctx);
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
  // After the command line's keywords, so that the announcement shows what
  // the message carries.
  PreparePosting(ctx);
  WriteMessages(ctx);
}

}  // namespace mvx
