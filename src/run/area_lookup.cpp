// The echo area lookup in the tosser configurations.
#include "run/area_lookup.h"

#include <array>
#include <string_view>

#include "run/words.h"
#include "support/address.h"
#include "support/text_file.h"

namespace mvx {

namespace {

// Options that take one argument word, and options that stand alone; both
// are skipped.
constexpr std::array<std::string_view, 6> kOptionsWithArgument = {
    "-lr", "-lw", "-p", "-$m", "-DupeHistory", "-g"};
constexpr std::array<std::string_view, 17> kOptionsAlone = {
    "-sbadd",   "-sbign",    "-DupeCheck", "-mandatory", "-nopack", "-killRead",
    "-keepUnread", "-keepsb", "-tinysb",    "-killsb",    "-manual", "-dosfile",
    "-h",       "-nopause",  "-ccoff",     "-nolink",    "-debug"};

bool HasBlank(const Str& text) { return text.find(' ') != std::string::npos; }

// word is already upper-cased (FirstWord); the option is written as the
// tossers document it.
bool IsOption(const Str& word, std::string_view option) { return word == UpperCaseCyr(Str(option)); }

template <std::size_t N>
bool IsOneOf(const Str& word, const std::array<std::string_view, N>& options) {
  for (std::string_view o : options) {
    if (IsOption(word, o)) return true;
  }
  return false;
}

// An empty tag (an AREA line without a tag) never names an area, even against
// an empty tosser line.
bool NamesArea(const Str& rest, const Str& tag) {
  return !tag.empty() && FirstWord(rest) == UpperCaseCyr(tag);
}

// The defaults' value when there are defaults with that value set and the
// area's own is empty; otherwise the area's.
const Str& Merge(const std::optional<AreaOptions>& defaults, Str AreaOptions::*field,
                 const AreaOptions& area) {
  if (defaults && !((*defaults).*field).empty() && (area.*field).empty()) return (*defaults).*field;
  return area.*field;
}

void Scan(RunContext& ctx, char kind, const Str& path) {
  PostJob& job = ctx.Job;
  job.BasePath.clear();
  TextFileReader file;
  std::optional<AreaOptions> defaults;
  // A file that cannot be opened reads as a file without lines.
  if (file.Open(path)) {
    Str line;
    bool found = false;
    // A failed read is not retried: the same failure would come again. One
    // that fails between two lines ends the loop like the end of the file,
    // with an empty line to report.
    while (!found && (!file.AtEnd() || file.ReadError())) {
      const bool readOk = file.ReadLine(line);
      if (!readOk) ctx.Log.Write("Error reading " + path + "\n\r" + line + "\n\r");
      if (kind == 'H') found = ApplyFidoconfigLine(ctx, line, defaults);
      if (kind == 'S') ApplySquishLine(ctx, line);
      if (!readOk) break;
    }
  }
  if (job.BasePath.empty()) ctx.Log.Write("Area " + job.AreaTag + " not found... ");
}

}  // namespace

Str TypeLetter(RunContext& ctx, const Str& word) {
  const Str w = UpperCaseCyr(word);
  if (w == "SQUISH") return "S";
  if (w == "MSG") return "M";
  if (w == "JAM") return "J";
  ctx.Log.WriteError("Error reading type of message base - " + word);
  return Str();
}

void ParseAreaOptions(RunContext& ctx, const Str& text, AreaOptions& options) {
  options.Description.clear();
  Str rest = text;
  // Every branch removes at least the option word, so the text shrinks on
  // every turn and the loop ends.
  while (HasBlank(rest)) {
    const Str w = FirstWord(rest);
    if (IsOption(w, "-a")) {
      options.OurAddress = FirstWord(RestWords(rest));
      FidoAddress probe;
      if (!ParseAddress(options.OurAddress, probe)) {
        ctx.Log.Write("error converting address " + RestWords(rest) + " (our aka)");
      }
      rest = RestWords(RestWords(rest));
    } else if (IsOption(w, "-b")) {
      options.Type = TypeLetter(ctx, FirstWord(RestWords(rest)));
      rest = RestWords(RestWords(rest));
    } else if (IsOption(w, "-d")) {
      options.Description = ValueOf(rest);
      rest = TextAfterQuotes(RestWords(rest));
    } else if (IsOneOf(w, kOptionsWithArgument)) {
      rest = RestWords(RestWords(rest));
    } else if (IsOneOf(w, kOptionsAlone)) {
      rest = RestWords(rest);
    } else {
      break;
    }
  }
}

bool ApplyFidoconfigLine(RunContext& ctx, const Str& line, std::optional<AreaOptions>& defaults) {
  PostJob& job = ctx.Job;
  if (FirstWord(line) == "ECHOAREADEFAULTS") {
    defaults.emplace();
    ParseAreaOptions(ctx, RestWords(line), *defaults);
  }
  Str rest = RestWords(line);
  // Whatever the first word is (EchoArea, LocalArea, a commented-out line):
  // the second word decides.
  if (!NamesArea(rest, job.AreaTag)) return false;
  rest = RestWords(rest);
  job.BasePath = FirstWordAsIs(rest);
  AreaOptions area;
  ParseAreaOptions(ctx, RestWords(rest), area);
  job.BaseType = Merge(defaults, &AreaOptions::Type, area);
  // Relative parse; an empty or bad text changes nothing and is not reported
  // again here.
  (void)ParseAddress(Merge(defaults, &AreaOptions::OurAddress, area), job.FromAddr);
  job.AreaDescription = Merge(defaults, &AreaOptions::Description, area);
  return true;
}

void ApplySquishLine(RunContext& ctx, const Str& line) {
  PostJob& job = ctx.Job;
  Str rest = RestWords(line);
  if (!NamesArea(rest, job.AreaTag)) return;
  rest = RestWords(rest);
  job.BasePath = FirstWordAsIs(rest);
  job.BaseType = "M";
  // The words after the path; a path that is the line's last word has none.
  Str words = HasBlank(rest) ? RestWords(rest) : Str();
  while (!words.empty()) {
    const Str w = FirstWordAsIs(words);
    if (w == "-$") job.BaseType = "S";
    if (w.starts_with("-p") || w.starts_with("-P")) (void)ParseAddress(w.sub(2), job.FromAddr);
    words = HasBlank(words) ? RestWords(words) : Str();
  }
}

void LookupArea(RunContext& ctx) {
  if (!ctx.HptPath.empty()) {
    Scan(ctx, 'H', ctx.HptPath);
  } else if (!ctx.SquishCfgPath.empty()) {
    Scan(ctx, 'S', ctx.SquishCfgPath);
  } else if (!ctx.TerminateCfgPath.empty()) {
    // The third kind has no line rules: its scan never finds an area.
    Scan(ctx, 'T', ctx.TerminateCfgPath);
  }
}

}  // namespace mvx
