// The fidoconfig preprocessor: physical lines to logical lines.
#include "run/fidoconfig_reader.h"

#include <algorithm>
#include <optional>

#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

// Real configurations include two or three levels deep; the bound keeps a
// chain of distinct files (or names that reach one file by different
// spellings) from going on for ever.
constexpr std::size_t kMaxIncludeDepth = 16;
// A configuration is text of some kilobytes; these keep a device or a huge
// file named by mistake from filling the memory.
constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr std::size_t kMaxTotalBytes = 64u << 20;
// Variables hold paths and names. A line may grow by this much through its
// variables, all lines of one read together by the second figure, and all
// values together take at most the third: "set a=[a][a]" repeated must not
// double without end.
constexpr std::size_t kExpansionRoom = 8u << 10;
constexpr std::size_t kMaxExpansionGrowth = 1u << 20;
constexpr std::size_t kMaxVariableBytes = 256u << 10;
// Both sides of a wildcard condition are short in real files; longer ones
// would make the match slow without serving anyone.
constexpr std::size_t kMaxConditionSide = 1024;
constexpr int kMaxShownProblems = 20;
// The tosser's version as it presets it for its configuration.
constexpr const char* kTosserVersion = "1.9.0";

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

std::string Trim(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && IsBlankOrTab(text[b])) ++b;
  while (e > b && IsBlankOrTab(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlankOrTab(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !IsBlankOrTab(text[i])) ++i;
    if (i > start) words.emplace_back(text, start, i - start);
  }
  return words;
}

// ": <the system's text>" or nothing.
std::string Reason(const Error& error, int lockWaitMs) {
  const std::string text = platform::ErrorText(error.osError(), lockWaitMs);
  return text.empty() ? std::string() : ": " + text;
}

}  // namespace

std::string FidoLine::Rest() const {
  std::size_t i = 0;
  while (i < text.size() && !IsBlankOrTab(text[i])) ++i;
  return Trim(std::string_view(text).substr(i));
}

bool FidoLine::Is(std::string_view keyword) const { return !words.empty() && EqualNoCase(words[0], keyword); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

bool WildcardMatch(std::string_view pattern, std::string_view text) {
  // Greedy with a return to the last "*": each "*" is tried with longer
  // and longer runs only while nothing after it has failed for good.
  std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerChar(pattern[p]) == LowerChar(text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string WithoutEnclosingQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return std::string(text);
}

bool ConfigProblems::Room() {
  if (shown_ > kMaxShownProblems) return false;
  if (shown_++ == kMaxShownProblems) {
    log_.Write("More problems in the tosser configuration are not shown");
    return false;
  }
  return true;
}

void ConfigProblems::Error(const std::string& file, int number, const std::string& what) {
  if (Room()) log_.WriteError(file + ", line " + std::to_string(number) + ": " + what);
}

void ConfigProblems::Warning(const std::string& file, int number, const std::string& what) {
  if (Room()) log_.Write(file + ", line " + std::to_string(number) + ": " + what);
}

Error FidoconfigReader::ReadWhole(const std::string& name, std::string& text) {
  text.clear();
  platform::FileHandle file = platform::kNoFile;
  if (const Error e = platform::OpenExisting(InDirectory(workDir_, name), platform::Access::kRead,
                                             platform::Share::kReadWrite, lockWaitMs_, &file);
      !e.ok()) {
    return Error(Errc::kOpenFailed, e.osError(), name);
  }
  const std::size_t limit = std::min(kMaxFileBytes, kMaxTotalBytes - totalBytes_);
  std::string chunk(64u << 10, '\0');
  Error result;
  for (;;) {
    std::size_t got = 0;
    if (const Error e = platform::ReadFile(file, chunk.data(), chunk.size(), &got); !e.ok()) {
      result = Error(Errc::kReadFailed, e.osError(), name);
      break;
    }
    if (got == 0) break;
    if (got > limit - text.size()) {
      result = Error(Errc::kTooLarge, 0, name);
      break;
    }
    text.append(chunk, 0, got);
  }
  platform::CloseFile(file);
  if (!result.ok()) {
    text.clear();
    return result;
  }
  totalBytes_ += text.size();
  return result;
}

bool FidoconfigReader::Open(const std::string& path, std::string& failure) {
  sources_.clear();
  seen_.clear();
  branches_.clear();
  variables_.clear();
  variableBytes_ = expansionGrowth_ = totalBytes_ = 0;
  comment_ = '#';
  Source main;
  main.name = path;
  main.identity = platform::FullPath(InDirectory(workDir_, path));
  if (const Error e = ReadWhole(path, main.text); !e.ok()) {
    failure = e.code() == Errc::kOpenFailed   ? "Can't open tosser configuration " + path + Reason(e, lockWaitMs_)
              : e.code() == Errc::kReadFailed ? "Error reading tosser configuration " + path + Reason(e, lockWaitMs_)
                                              : "Tosser configuration " + path + " is too large to be a configuration";
    return false;
  }
  // What the tosser sets before it reads: configurations test these
  // ("if [module]==hpt") and build paths on them ("[configdir]areas").
  SetVariable("module", "hpt");
  SetVariable("version", kTosserVersion);
  SetVariable("OS", platform::SystemName());
  const std::size_t slash = main.identity.find_last_of("/\\");  // "\\" in a Windows full path
  SetVariable("configdir", slash == std::string::npos ? std::string() : main.identity.substr(0, slash + 1));
  SkipByteOrderMark(main);
  seen_.push_back(main.identity);
  sources_.push_back(std::move(main));
  return true;
}

void FidoconfigReader::SkipByteOrderMark(Source& source) {
  if (source.text.compare(0, 3, "\xEF\xBB\xBF") != 0) return;
  // The tosser takes the mark for part of the first keyword and refuses the
  // file; the sysop meant the keyword, so it is read here, with a warning
  // that the tosser will not.
  problems_.Error(source.name, 1, "a UTF-8 byte-order mark starts the file; the tosser does not accept it");
  source.text.erase(0, 3);
}

std::string FidoconfigReader::PhysicalLine(Source& source, int& number) {
  number = source.number + 1;
  std::string line;
  for (;;) {
    const std::size_t end = source.text.find('\n', source.pos);
    const std::size_t stop = end == std::string::npos ? source.text.size() : end;
    const std::size_t from = line.size();
    line.append(source.text, source.pos, stop - source.pos);
    // Every CR goes, wherever it stands.
    line.erase(std::remove(line.begin() + static_cast<std::ptrdiff_t>(from), line.end(), '\r'), line.end());
    source.pos = end == std::string::npos ? source.text.size() : end + 1;
    ++source.number;
    // A blank and a backslash at the end join the next line; the blank
    // stays. This comes before comments, so a comment line that ends so
    // swallows the line after it, as it does for the tosser.
    if (line.size() < 2 || line.back() != '\\' || line[line.size() - 2] != ' ') break;
    line.pop_back();
    if (source.pos >= source.text.size()) break;
  }
  return line;
}

std::string FidoconfigReader::StripComment(const std::string& line) const {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] == comment_) return std::string();
  // Within a line the comment character needs a blank or tab on both sides
  // (or the line end after it): "x#y" and " #y" are text. Quotes do not
  // protect it.
  for (std::size_t i = first + 1; i < line.size(); ++i) {
    if (line[i] == comment_ && IsBlankOrTab(line[i - 1]) && (i + 1 == line.size() || IsBlankOrTab(line[i + 1]))) {
      return line.substr(0, i);
    }
  }
  return line;
}

bool FidoconfigReader::Directive(const std::string& line, const std::string& file, int number) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const std::string_view t = std::string_view(line).substr(first);
  // Directives are known by their spelling before any expansion; set, if,
  // ifdef, ifndef and elseif need a blank after them (a tab is not enough),
  // else and endif are recognised as prefixes.
  if (StartsNoCase(t, "set ")) {
    if (Active()) Set(std::string(t.substr(4)), file, number);
    return true;
  }
  const bool ifdef = StartsNoCase(t, "ifdef ");
  const bool ifndef = StartsNoCase(t, "ifndef ");
  const bool ifCondition = StartsNoCase(t, "if ");
  if (ifdef || ifndef || ifCondition) {
    Branch branch;
    branch.outer = Active();
    bool readable = true;
    bool holds = false;
    if (!branch.outer) {
      // Nothing inside a branch that does not run is evaluated.
    } else if (ifCondition) {
      holds = Condition(std::string(t.substr(3)), file, number, readable);
    } else {
      const std::string name = Trim(t.substr(ifdef ? 6 : 7));
      const std::string* value = Variable(name);
      holds = (value != nullptr && !value->empty()) || platform::GetEnv(name).has_value();
      if (ifndef) holds = !holds;
    }
    branch.active = branch.outer && readable && holds;
    // A condition that cannot be read takes no branch of its if at all:
    // guessing one could hand out an area the tosser does not have.
    branch.taken = !branch.outer || branch.active || !readable;
    branches_.push_back(branch);
    return true;
  }
  const bool elseif = StartsNoCase(t, "elseif ");
  if (elseif || StartsNoCase(t, "elif ")) {
    if (branches_.empty()) {
      problems_.Error(file, number, "elseif without if");
      return true;
    }
    Branch& branch = branches_.back();
    branch.active = false;
    if (branch.outer && !branch.taken) {
      bool readable = true;
      const bool holds = Condition(std::string(t.substr(elseif ? 7 : 5)), file, number, readable);
      branch.active = readable && holds;
      branch.taken = branch.active || !readable;
    }
    return true;
  }
  if (StartsNoCase(t, "else")) {
    if (branches_.empty()) {
      problems_.Error(file, number, "else without if");
      return true;
    }
    Branch& branch = branches_.back();
    branch.active = branch.outer && !branch.taken;
    branch.taken = true;
    return true;
  }
  if (StartsNoCase(t, "endif")) {
    if (branches_.empty()) {
      problems_.Error(file, number, "endif without if");
    } else {
      branches_.pop_back();
    }
    return true;
  }
  return false;
}

bool FidoconfigReader::Condition(const std::string& text, const std::string& file, int number, bool& readable) {
  std::string s = Trim(Expand(Trim(text), file, number));
  bool negate = false;
  if (StartsNoCase(s, "not ")) {
    negate = true;
    s = Trim(std::string_view(s).substr(4));
  }
  // The first operator outside double quotes.
  std::size_t op = std::string::npos;
  bool quoted = false;
  for (std::size_t i = 0; i + 1 < s.size() && op == std::string::npos; ++i) {
    if (s[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && (s[i + 1] == '=' || s[i + 1] == '~') && (s[i] == '=' || s[i] == '!')) {
      op = i;
    }
  }
  if (op == std::string::npos) {
    readable = false;
    problems_.Error(file, number, "condition without ==, !=, =~ or !~; the lines it governs are skipped");
    return false;
  }
  const std::string left = Trim(std::string_view(s).substr(0, op));
  const std::string right = Trim(std::string_view(s).substr(op + 2));
  bool holds = false;
  if (s[op + 1] == '=') {
    // Compared ignoring case, quotes and all.
    holds = EqualNoCase(left, right) == (s[op] == '=');
  } else {
    if (left.size() > kMaxConditionSide || right.size() > kMaxConditionSide) {
      readable = false;
      problems_.Error(file, number, "wildcard condition too long; the lines it governs are skipped");
      return false;
    }
    // The tosser's wildcard operators are the wrong way round: "=~" holds
    // when the pattern does not match. Configurations are written (and
    // tested) against that, so it is kept.
    holds = WildcardMatch(right, left) == (s[op] == '!');
  }
  return negate ? !holds : holds;
}

std::string FidoconfigReader::Expand(const std::string& text, const std::string& file, int number) {
  if (text.find_first_of("[`") == std::string::npos) return text;
  const std::size_t room = std::min(kExpansionRoom, kMaxExpansionGrowth - expansionGrowth_);
  const std::size_t limit = text.size() + room;
  std::string out;
  bool cut = false;
  // Once a "]" or a second "`" is not found, no later one will be: the
  // search is not repeated for every opening character of a long line.
  bool bracketsClose = true;
  bool backquotesClose = true;
  for (std::size_t i = 0; i < text.size() && !cut; ++i) {
    const char c = text[i];
    std::size_t close = std::string::npos;
    if (c == '[' && bracketsClose) {
      close = text.find(']', i + 1);
      bracketsClose = close != std::string::npos;
    } else if (c == '`' && backquotesClose) {
      close = text.find('`', i + 1);
      backquotesClose = close != std::string::npos;
    }
    if (close == std::string::npos) {
      // Plain text, or a bracket or backquote that is never closed.
      out += c;
    } else if (c == '`') {
      // The tosser runs the command and takes its output. Running commands
      // named in a file is not something a posting program may do, so the
      // text is empty here and the sysop is told.
      problems_.Warning(file, number, "command " + text.substr(i, close - i + 1) + " is not run; it reads as empty");
      i = close;
    } else {
      const std::string name = text.substr(i + 1, close - i - 1);
      if (name.size() == 1 &&
          (name[0] == comment_ || std::string_view("[`\"'").find(name[0]) != std::string_view::npos)) {
        out += name;  // [#], [[], [`], ["], [']: the character itself
      } else if (const std::string* value = Variable(name)) {
        out += *value;
      } else if (const std::optional<std::string> env = platform::GetEnv(name)) {
        out += *env;
      } else {
        problems_.Warning(file, number, "variable [" + name + "] is not defined; it reads as empty");
      }
      i = close;
    }
    if (out.size() > limit) {
      out.resize(limit);
      cut = true;
      problems_.Error(file, number, "the line grows too long through its variables; it is cut");
    }
  }
  if (out.size() > text.size()) expansionGrowth_ += out.size() - text.size();
  return out;
}

void FidoconfigReader::Set(const std::string& body, const std::string& file, int number) {
  const std::size_t eq = body.find('=');
  const std::string name = Trim(std::string_view(body).substr(0, eq == std::string::npos ? body.size() : eq));
  if (eq == std::string::npos || name.empty()) {
    problems_.Error(file, number, "set needs a name, \"=\" and a value");
    return;
  }
  const std::string value =
      WithoutEnclosingQuotes(Trim(Expand(Trim(std::string_view(body).substr(eq + 1)), file, number)));
  const std::string* old = Variable(name);
  const std::size_t oldBytes = old != nullptr ? name.size() + old->size() : 0;
  if (!value.empty() && variableBytes_ - oldBytes + name.size() + value.size() > kMaxVariableBytes) {
    problems_.Error(file, number, "variables take too much room; " + name + " is not set");
    return;
  }
  SetVariable(name, value);
}

void FidoconfigReader::SetVariable(const std::string& name, const std::string& value) {
  const std::string key = Lower(name);
  const auto it = variables_.find(key);
  if (it != variables_.end()) {
    variableBytes_ -= key.size() + it->second.size();
    variables_.erase(it);
  }
  // An empty value deletes the variable.
  if (value.empty()) return;
  variableBytes_ += key.size() + value.size();
  variables_.emplace(key, value);
}

const std::string* FidoconfigReader::Variable(const std::string& name) const {
  const auto it = variables_.find(Lower(name));
  return it == variables_.end() ? nullptr : &it->second;
}

void FidoconfigReader::Include(const std::string& name, const std::string& file, int number) {
  if (name.empty()) {
    problems_.Error(file, number, "include names no file");
    return;
  }
  if (sources_.size() >= kMaxIncludeDepth) {
    problems_.Error(
        file, number,
        "includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep; " + name + " is not read");
    return;
  }
  Source source;
  source.name = name;
  // A relative name is taken from the working directory, as the tosser
  // takes it, not from the including file's directory.
  source.identity = platform::FullPath(InDirectory(workDir_, name));
  for (const Source& open : sources_) {
    if (open.identity == source.identity) {
      problems_.Error(file, number, "include loop: " + name + " is already being read");
      return;
    }
  }
  if (std::find(seen_.begin(), seen_.end(), source.identity) != seen_.end()) {
    problems_.Error(file, number, name + " is included a second time; it is not read again");
    return;
  }
  if (const Error e = ReadWhole(name, source.text); !e.ok()) {
    problems_.Error(file, number,
                    e.code() == Errc::kOpenFailed   ? "can't open included file " + name + Reason(e, lockWaitMs_)
                    : e.code() == Errc::kReadFailed ? "error reading included file " + name + Reason(e, lockWaitMs_)
                                                    : "included file " + name + " is too large to be a configuration");
    return;
  }
  SkipByteOrderMark(source);
  seen_.push_back(source.identity);
  sources_.push_back(std::move(source));
}

bool FidoconfigReader::Next(FidoLine& line) {
  while (!sources_.empty()) {
    Source& source = sources_.back();
    if (source.pos >= source.text.size()) {
      sources_.pop_back();
      continue;
    }
    int number = 0;
    const std::string raw = PhysicalLine(source, number);
    // Include adds to sources_, so the name is copied before.
    const std::string file = source.name;
    const std::string text = StripComment(raw);
    if (Directive(text, file, number) || !Active()) continue;
    line.text = Trim(Expand(Trim(text), file, number));
    line.words = SplitWords(line.text);
    if (line.words.empty()) continue;
    line.file = file;
    line.number = number;
    if (line.Is("include")) {
      // The rest of the line, quotes and all, is the name.
      Include(line.Rest(), file, number);
      continue;
    }
    if (line.Is("CommentChar")) {
      // From the next line on, to the end of the whole read (past the end
      // of an include file too). Other characters are ignored.
      if (line.words.size() >= 2 && line.words[1].size() == 1 &&
          std::string_view("!#$%;").find(line.words[1][0]) != std::string_view::npos) {
        comment_ = line.words[1][0];
      }
      continue;
    }
    return true;
  }
  return false;
}

}  // namespace mvx
