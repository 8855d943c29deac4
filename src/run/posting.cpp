// Posting a file: preparing the base, building and storing the messages, and
// the one-off posting from the command line.
#include "error/error.h"
#include "run/posting.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "factory/base_factory.h"
#include "msgbase/env.h"
#include "platform/platform.h"
#include "run/area_lookup.h"
#include "run/echo_toss_log.h"
#include "run/encoded_posting.h"
#include "run/job_settings.h"
#include "run/node_serials.h"
#include "support/address.h"
#include "support/charset.h"
#include "support/datetime.h"
#include "support/text.h"
#include "support/text_file.h"
#include "support/words.h"

namespace mvx {

namespace {

std::int32_t LineCost(const Str& line) { return static_cast<std::int32_t>(line.size()) + 2; }

// The posted text, read once: its lines in CP866 (each cut to 255
// characters), whether reading it failed before its end, and how many of its
// characters had no CP866 form.
struct PostedText {
  std::vector<Str> lines;
  bool readFailed = false;
  int osError = 0;  // the reason an open or read failed
  std::size_t unmapped = 0;
};

// One line recoded into CP866 and cut to 255 bytes. Only the characters that
// are kept count as posted as '?': the cut tail is not posted at all.
Str RecodedLine(Cp866Converter& converter, std::string_view raw, std::size_t& unmapped) {
  const Cp866Converter before = converter;
  std::string out;
  converter.Feed(raw, out);
  converter.Flush(out);
  if (out.size() <= Str::kMax) {
    unmapped += converter.unmapped() - before.unmapped();
    return Str(out);
  }
  // A long line: again, a byte at a time, until the kept part is complete.
  Cp866Converter kept = before;
  out.clear();
  for (std::size_t i = 0; i < raw.size() && out.size() < Str::kMax; ++i) kept.Feed(raw.substr(i, 1), out);
  if (out.size() < Str::kMax) kept.Flush(out);
  unmapped += kept.unmapped() - before.unmapped();
  return Str(out);
}

// Reads every line. CP866 text is taken as it is; other text is recoded a
// whole line at a time and cut afterwards, so that the cut at 255 and the part
// size count the bytes that are posted, and never split a character.
void ReadPostedLines(TextFileReader& file, Charset from, PostedText& text) {
  Cp866Converter converter(from);
  Str line;
  std::string raw;
  while (!file.AtEnd()) {
    bool ok = true;
    if (from == Charset::Cp866) {
      ok = file.ReadLine(line);
    } else {
      ok = file.ReadWholeLine(raw);
      line = RecodedLine(converter, raw, text.unmapped);
    }
    // What could be read of a line whose read failed is still taken; the
    // file ends there.
    text.lines.push_back(std::move(line));
    if (!ok) break;
  }
  text.readFailed = file.ReadError();
}

bool ReadPostedText(const Str& name, Charset from, int lockWaitMs, PostedText& text) {
  TextFileReader file;
  if (!file.Open(name, lockWaitMs)) {
    text.osError = file.OsError();
    return false;
  }
  ReadPostedLines(file, from, text);
  if (file.ReadError()) text.osError = file.OsError();
  return true;
}

// The text of the current posting: the file, or what standard input gave.
bool ReadPostingText(RunContext& ctx, Charset from, PostedText& text) {
  if (!ctx.PostsStandardInput) return ReadPostedText(Str(ctx.Here(ctx.Job.PostFile)), from, ctx.RunEnv.LockWaitMs(), text);
  // The text is posted once; the posting takes it over.
  TextFileReader input;
  input.OpenText(std::move(ctx.StandardInput));
  ReadPostedLines(input, from, text);
  text.readFailed = ctx.StandardInputFailed;
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

// ": <the system's words>" for an OS error, nothing without one.
Str Because(int osError, int lockWaitMs) {
  return osError != 0 ? ": " + Str(platform::ErrorText(osError, lockWaitMs)) : Str();
}

// Why a base failed: the OS reason when its files gave one, else what the
// format found wrong.
Str BaseFailure(MessageBase* base, int lockWaitMs) {
  if (base == nullptr) return Str();
  return ": " + Str(platform::ErrorText(base->LastError(), lockWaitMs));
}

Str BaseTypeName(AreaType type) {
  if (type == AreaType::kSquish) return "Squish";
  if (type == AreaType::kJam) return "JAM";
  return "MSG";
}

// Where the messages go, as the log names it.
Str BaseLine(RunContext& ctx, const AreaId& area) {
  return " >> Base: " + BaseTypeName(area.type) + " " + platform::FullPath(ctx.Here(area.path));
}

// One keyword and its value from the -p command line.
struct CommandPair {
  Str keyword;
  Str value;
  bool quoted = false;
};

// The small Russian letters a-ya to capitals, in the character set the text
// is written in, and a-z to A-Z; every other byte unchanged. Upper-casing a
// UTF-8 or KOI8-R text as if it were CP866 would turn its letters into
// other characters.
Str UpperCaseIn(Charset set, const Str& text) {
  if (set == Charset::Cp866) return UpperCaseCyr(text);
  std::string out = text.str();
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto b = static_cast<std::uint8_t>(out[i]);
    if (b >= 'a' && b <= 'z') {
      b = static_cast<std::uint8_t>(b - 0x20);
    } else if (set == Charset::Koi8r && b >= 0xC0 && b <= 0xDF) {
      b = static_cast<std::uint8_t>(b + 0x20);
    } else if (set == Charset::Cp1251 && b >= 0xE0) {
      b = static_cast<std::uint8_t>(b - 0x20);
    } else if (set == Charset::Utf8 && (b == 0xD0 || b == 0xD1) && i + 1 < out.size()) {
      // U+0430-044F, D0 B0 to D1 8F, to U+0410-042F, D0 90 to D0 AF; the
      // second byte of the pair is done with the first.
      const auto next = static_cast<std::uint8_t>(out[i + 1]);
      if (b == 0xD0 && next >= 0xB0 && next <= 0xBF) {
        out[++i] = static_cast<char>(next - 0x20);
      } else if (b == 0xD1 && next >= 0x80 && next <= 0x8F) {
        out[i] = static_cast<char>(0xD0);
        out[++i] = static_cast<char>(next + 0x20);
      }
      continue;
    }
    out[i] = static_cast<char>(b);
  }
  return Str(out);
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
  GetNow(ctx.RunEnv.Time(), now);
  base.PutWrittenDate(now);
  base.PutArrivedDate(now);
  SetAttributes(base, job.AttrFlags);
}

}  // namespace

void PostingError(RunContext& ctx, const Str& text) {
  ctx.PostingOk = false;
  ctx.Log.WriteError(text);
}

namespace {

// The job's character set; an unknown name is an error, never a guess.
std::optional<Charset> JobCharset(RunContext& ctx) {
  const std::optional<Charset> set = ParseCharset(ctx.Job.Charset.view());
  if (!set) {
    PostingError(ctx, "Unknown CHARSET \"" + ctx.Job.Charset +
                          "\": the known ones are CP866, UTF-8, KOI8-R, CP1251 and LATIN-1");
  }
  return set;
}

// The texts of the job that go into every message, recoded like the text.
// The job is refilled before every posting, so it may take them in place.
std::size_t RecodeJobTexts(PostJob& job, Charset from) {
  std::size_t unmapped = 0;
  for (Str* field : {&job.FromUser, &job.ToUser, &job.SubjLine, &job.OriginText, &job.TearText}) {
    const Cp866Text recoded = ConvertToCp866(from, field->view());
    *field = Str(recoded.text);
    unmapped += recoded.unmapped;
  }
  return unmapped;
}

}  // namespace

std::int32_t CountMessageParts(const Str& name, Charset from, int lockWaitMs) {
  PostedText text;
  if (!ReadPostedText(name, from, lockWaitMs, text)) return 0;
  return static_cast<std::int32_t>(PartStarts(text.lines).size() - 1);
}

void DescribePosting(RunContext& ctx) {
  const PostJob& job = ctx.Job;
  ctx.PostingOk = true;
  ctx.Log.Write(" >> Due: " + job.PostFile + " to " + job.AreaTag +
                (job.AreaDescription.empty() ? Str() : " // " + job.AreaDescription));
  const std::optional<Charset> set = JobCharset(ctx);
  if (job.Area.type == AreaType::kUnknown || job.Area.path.empty()) {
    PostingError(ctx, "No message base for " + job.AreaTag + ": nothing would be posted");
  } else {
    ctx.Log.Write(BaseLine(ctx, job.Area));
  }
  if (!FileExists(Str(ctx.Here(job.PostFile)))) {
    PostingError(ctx, "File not found \"" + job.PostFile + "\"");
  } else if (set) {
    ctx.Log.Write(" >> Parts: " + IntToStr(CountMessageParts(Str(ctx.Here(job.PostFile)), *set, ctx.RunEnv.LockWaitMs())));
  }
}

void PreparePosting(RunContext& ctx) {
  const PostJob& job = ctx.Job;
  ctx.PartNumber = 0;
  ctx.PartCount = 1;
  ctx.PostingOk = true;
  // A base left over from a posting that was prepared but never written.
  ReleaseBase(ctx);
  // Checked first: a posting that cannot happen creates no base.
  (void)JobCharset(ctx);
  // Without a path (an area that was not found) a *.MSG area would be the
  // root directory: no base then, as without a format.
  const bool known = job.Area.type != AreaType::kUnknown && !job.Area.path.empty();
  if (ctx.PostingOk && !OpenOrCreateBase(known ? AreaId{job.Area.type, Str(ctx.Here(job.Area.path))} : AreaId{}, ctx.Base, ctx.BaseEnv)) {
    // An area that was not found has no base to give a reason.
    PostingError(ctx, "Unable to open/create msgbase \"" + job.Area.path + "\"" +
                          (known ? BaseFailure(ctx.Base.get(), ctx.RunEnv.LockWaitMs()) : Str()));
  }
  if (ctx.PostingOk) {
    if (const Str note = BaseOpenNote(*ctx.Base); !note.empty()) ctx.Log.Write(" >> Base: " + note);
    if (job.AreaDescription.empty()) {
      ctx.Log.Write(" >> Posting " + job.PostFile + " to " + job.AreaTag);
    } else {
      ctx.Log.Write(" >> Posting " + job.PostFile + " to " + job.AreaTag + " // " +
                    job.AreaDescription);
    }
    // Where the messages go and what they carry, so that the log alone
    // answers "where did it land, and as whom".
    ctx.Log.Write(BaseLine(ctx, job.Area));
    ctx.Log.Write(" >> From: " + job.FromUser + ", " + FormatAddress(job.FromAddr));
    ctx.Log.Write(" >> To: " + job.ToUser + ", " + FormatAddress(job.ToAddr));
    ctx.Log.Write(" >> Subj: " + job.SubjLine);
  }
  if (!ctx.PostsStandardInput && !FileExists(Str(ctx.Here(job.PostFile)))) {
    PostingError(ctx, "File not found \"" + job.PostFile + "\"");
  }
  if (ctx.UseAsKludge) MarkEncodedAsKludges(ctx);
}

void WriteMessages(RunContext& ctx) {
  PostJob& job = ctx.Job;
  if (!ctx.PostingOk) {
    PostingError(ctx, "We can't make posting...");
    ReleaseBase(ctx);
    return;
  }
  // PreparePosting has refused any other name.
  const Charset charset = ParseCharset(job.Charset.view()).value_or(Charset::Cp866);
  const bool recoded = charset != Charset::Cp866;
  PostedText text;
  if (!ReadPostingText(ctx, charset, text)) {
    PostingError(ctx, "Can't open file " + job.PostFile + "!.." + Because(text.osError, ctx.RunEnv.LockWaitMs()));
  }
  if (ctx.PostingOk && ctx.Base == nullptr) PostingError(ctx, "Unable to create new message");
  if (!ctx.PostingOk) {
    PostingError(ctx, "We can't make posting...");
    ReleaseBase(ctx);
    return;
  }
  if (text.readFailed) PostingError(ctx, "Error reading file " + job.PostFile + Because(text.osError, ctx.RunEnv.LockWaitMs()));
  if (recoded) text.unmapped += RecodeJobTexts(job, charset);

  const std::vector<std::size_t> starts = PartStarts(text.lines);
  const std::size_t parts = starts.size() - 1;
  ctx.PartCount = parts > 1 ? static_cast<std::int32_t>(parts) : 1;
  // Every serial of the posting is reserved before its first message is
  // stored, so a crash can never let a later run hand one out again.
  NodeSerials serials(ctx);
  serials.Expect(static_cast<std::uint32_t>(ctx.PartCount));
  ScopedSerialSource useSerials(ctx.BaseEnv, serials);

  MessageBase& base = *ctx.Base;
  std::size_t stored = 0;
  for (std::size_t part = 0; part < parts; ++part) {
    if (!base.BeginNewMessage().ok()) {
      PostingError(ctx, "Unable to create new message" + Because(base.OsError(), ctx.RunEnv.LockWaitMs()));
      break;
    }
    ctx.PartBytes = 0;
    PutHeader(ctx, base);
    base.AppendTextLine(kPidLine);
    if (recoded) base.AppendTextLine(kCharsetLine);
    if (ctx.UseEncodedMessage) base.AppendTextLine(ctx.EncodedMessage);
    if (ctx.UseEncodedString) {
      base.AppendTextLine(
          BeginLineOfPart(ctx.BeginEncodedString, ctx.PartNumber, ctx.PartCount, job.PostFile));
    }
    for (std::size_t i = starts[part]; i < starts[part + 1]; ++i) {
      ctx.PartBytes += LineCost(text.lines[i]);
      base.AppendTextLine(text.lines[i]);
    }
    const Str& lastTaken = text.lines[starts[part + 1] - 1];
    if (ctx.UseEncodedString) base.AppendTextLine(ctx.EndEncodedString);
    if (!lastTaken.starts_with("...")) base.AppendTextLine("");
    base.AppendTextLine("--- " + job.TearText);
    base.AppendTextLine(" * Origin: " + job.OriginText + " (" + FormatAddress(job.FromAddr) + ")");
    if (base.StoreMessage().ok()) {
      ++stored;
    } else {
      PostingError(ctx, "Unable to write message" + Because(base.OsError(), ctx.RunEnv.LockWaitMs()));
    }
    base.ReleaseMessage().Ignore();
  }
  if (!CloseBase(ctx.Base)) PostingError(ctx, "Unable to close msgbase");
  if (stored > 0) NoteAreaForScan(ctx, job.AreaTag);
  if (text.unmapped == 1) {
    ctx.Log.Write("  - 1 character has no CP866 form and was posted as ?");
  } else if (text.unmapped > 1) {
    ctx.Log.Write("  - " + Str(std::to_string(text.unmapped)) + " characters have no CP866 form and were posted as ?");
  }
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
  if (job.PostFile == "-") {
    // Read before anything else, so that the program writing into the pipe
    // is never kept waiting by the area lookup.
    ctx.PostsStandardInput = true;
    job.PostFile = kStandardInputName;
    ctx.StandardInputFailed = !platform::ReadStandardInput(ctx.StandardInput).ok();
  }
  job.AreaTag = FirstWord(RestWords(args));
  Str rest = RestWords(RestWords(args));
  LookupArea(ctx);
  // The pairs are taken first and applied afterwards: an unquoted value is
  // upper-cased in the character set it is written in, which a CHARSET pair
  // after it may name.
  std::vector<CommandPair> pairs;
  // Each turn removes at least the keyword, so the loop ends.
  while (rest.find(' ') != std::string::npos) {
    CommandPair& pair = pairs.emplace_back();
    pair.keyword = FirstWord(rest);
    Str s = RestWords(rest);
    pair.quoted = s.starts_with("\"");
    if (pair.quoted) {
      pair.value = ValueOf(s);
      s = TextAfterQuotes(s);
      StripLeadingBlanks(s);
    } else {
      pair.value = FirstWordAsIs(s);
      s = RestWords(s);
    }
    rest = s;
    if (pair.keyword == "CHARSET") job.Charset = pair.quoted ? pair.value : UpperCaseCyr(pair.value);
  }
  const Charset written = ParseCharset(job.Charset.view()).value_or(Charset::Cp866);
  for (const CommandPair& pair : pairs) {
    const Str line = pair.keyword + " " + (pair.quoted ? pair.value : UpperCaseIn(written, pair.value));
    if (pair.keyword == "FROMADDR" || pair.keyword == "TOADDR") {
      FidoAddress& addr = pair.keyword == "FROMADDR" ? job.FromAddr : job.ToAddr;
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
