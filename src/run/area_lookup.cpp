// The echo area lookup in the tosser configurations.
#include "run/area_lookup.h"

#include <charconv>
#include <string>

#include "platform/platform.h"
#include "run/fidoconfig_area.h"
#include "run/fidoconfig_reader.h"
#include "support/address.h"
#include "support/text_file.h"
#include "support/words.h"

namespace mvx {

namespace {

// The line reader keeps no error code, so a failed open is asked again for
// its reason.
Str CantOpen(RunContext& ctx, const Str& path) {
  platform::FileHandle file = platform::kNoFile;
  const Error e = platform::OpenExisting(ctx.Here(path), platform::Access::kRead, platform::Share::kReadWrite,
                                         ctx.RunEnv.LockWaitMs(), &file);
  if (e.ok()) platform::CloseFile(file);
  const std::string reason = e.ok() ? std::string() : platform::ErrorText(e, ctx.RunEnv.LockWaitMs());
  return "Can't open tosser configuration " + path + (reason.empty() ? std::string() : ": " + reason);
}

void NotFound(RunContext& ctx, const Str& path) {
  ctx.Log.WriteError("Area " + ctx.Job.AreaTag + " not found in " + path);
}

// The settings beside the areas that other parts of the run take from the
// tosser: where its MSGID serials and its echo toss log live, and its lock.
void ApplyTosserSetting(const FidoLine& line, TosserSettings& tosser) {
  if (line.Is("SeqDir")) tosser.SeqDir = WithoutEnclosingQuotes(line.Rest());
  if (line.Is("SeqOutrun")) tosser.SeqOutrun = WithoutEnclosingQuotes(line.Rest());
  if (line.Is("EchoTossLog")) tosser.EchoTossLog = WithoutEnclosingQuotes(line.Rest());
  if (line.Is("LockFile")) tosser.LockFile = WithoutEnclosingQuotes(line.Rest());
  if (line.Is("AdvisoryLock")) {
    const std::string value = line.Rest();
    int seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    tosser.AdvisoryLock = (error == std::errc() && end == value.data() + value.size() && seconds > 0) ? seconds : 0;
  }
}

void ScanFidoconfig(RunContext& ctx, const Str& path) {
  PostJob& job = ctx.Job;
  job.Area.path.clear();
  ctx.Tosser = TosserSettings{};
  ConfigProblems problems(ctx.Log);
  FidoconfigReader reader(problems, ctx.RunEnv.WorkingDirectory(), ctx.RunEnv.LockWaitMs());
  std::string failure;
  if (!reader.Open(path.str(), failure)) {
    ctx.Log.WriteError(failure);
    return;
  }
  // The whole file is read: the settings may stand anywhere, and a tag
  // that is defined twice must be seen as such.
  FidoAreaFinder finder(job.AreaTag, problems);
  FidoLine line;
  while (reader.Next(line)) {
    if (!finder.Apply(line)) ApplyTosserSetting(line, ctx.Tosser);
  }
  const FidoAreaBase area = finder.Result();
  switch (area.state) {
    case FidoAreaBase::State::kNotFound:
      NotFound(ctx, path);
      return;
    case FidoAreaBase::State::kPassthrough:
      ctx.Log.WriteError("Area " + job.AreaTag + " is passthrough: it has no message base");
      return;
    case FidoAreaBase::State::kInvalid:
      ctx.Log.WriteError("Area " + job.AreaTag + " is not posted to: the tosser would refuse its line (" + area.file +
                         ", line " + std::to_string(area.number) + ")");
      return;
    case FidoAreaBase::State::kBase:
      break;
  }
  // A path cut to the length the job keeps would name another base.
  if (area.path.size() > Str::kMax) {
    ctx.Log.WriteError("Area " + job.AreaTag + " is not posted to: its path is longer than " +
                       std::to_string(Str::kMax) + " characters (" + area.file + ", line " +
                       std::to_string(area.number) + ")");
    return;
  }
  job.Area = {area.type, Str(area.path)};
  // A relative parse; an empty or bad text changes nothing (a bad one was
  // logged when it was read).
  if (!area.aka.empty()) (void)ParseAddress(Str(area.aka), job.FromAddr);
  job.AreaDescription = area.description;
}

// A Squish-style line: "EchoArea <tag> <path> [options]"; "-$" makes the
// area a Squish base (otherwise a directory of *.MSG files), "-p<address>"
// gives the address to post from. A later line for a tag overrides an
// earlier one.
void ApplySquishLine(RunContext& ctx, const Str& line) {
  PostJob& job = ctx.Job;
  Str rest = line;
  StripLeadingBlanks(rest);
  // A comment line never names an area, even when its second word is the
  // tag.
  if (rest.empty() || rest[0] == ';') return;
  rest = RestWords(rest);
  if (job.AreaTag.empty() || FirstWord(rest) != UpperCaseCyr(job.AreaTag)) return;
  rest = RestWords(rest);
  job.Area = {AreaType::kMsgDir, FirstWordAsIs(rest)};
  // The words after the path; a path that is the line's last word has none.
  Str words = HasBlank(rest) ? RestWords(rest) : Str();
  while (!words.empty()) {
    const Str w = FirstWordAsIs(words);
    if (w == "-$") job.Area.type = AreaType::kSquish;
    if (w.starts_with("-p") || w.starts_with("-P")) (void)ParseAddress(w.sub(2), job.FromAddr);
    words = HasBlank(words) ? RestWords(words) : Str();
  }
}

// Squish-style files and the third kind, line by line.
void ScanLines(RunContext& ctx, char kind, const Str& path) {
  PostJob& job = ctx.Job;
  job.Area.path.clear();
  TextFileReader file;
  if (!file.Open(Str(ctx.Here(path)), ctx.RunEnv.LockWaitMs())) {
    ctx.Log.WriteError(CantOpen(ctx, path));
    return;
  }
  Str line;
  // A failed read is not retried: the same failure would come again. One
  // that fails between two lines ends the loop like the end of the file,
  // with an empty line to report.
  while (!file.AtEnd() || file.ReadError()) {
    const bool readOk = file.ReadLine(line);
    if (!readOk) ctx.Log.Write("Error reading " + path + "\n\r" + line + "\n\r");
    // The third kind has no line rules: its scan never finds an area.
    if (kind == 'S') ApplySquishLine(ctx, line);
    if (!readOk) break;
  }
  if (job.Area.path.empty()) NotFound(ctx, path);
}

}  // namespace

void LookupArea(RunContext& ctx) {
  if (!ctx.HptPath.empty()) {
    ScanFidoconfig(ctx, ctx.HptPath);
  } else if (!ctx.SquishCfgPath.empty()) {
    ScanLines(ctx, 'S', ctx.SquishCfgPath);
  } else if (!ctx.TerminateCfgPath.empty()) {
    ScanLines(ctx, 'T', ctx.TerminateCfgPath);
  }
}

}  // namespace mvx
