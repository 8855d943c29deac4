// Area lines, their options and the defaults they inherit.
#include "run/fidoconfig_area.h"

#include <algorithm>
#include <string_view>

#include "platform/platform.h"
#include "support/address.h"
#include "support/words.h"

namespace mvx {

namespace {

enum class OptionKind {
  kType,         // -b squish|jam|msg
  kPassthrough,  // -pass
  kAka,          // -a <address>
  kDescription,  // -d word, or "..." across words
  kOneWord,      // skipped with its value
  kAlone,        // skipped
  kLinkOnly,     // belongs after a link; as an area option the tosser refuses it
};

struct OptionRule {
  std::string_view name;
  OptionKind kind;
};

// Every option the tosser takes on an area line, with the number of words
// it reads. The counts matter more than the meanings: "-dupeCheck move
// -b Jam" must leave "-b Jam" to be read.
constexpr OptionRule kOptions[] = {
    {"-b", OptionKind::kType},
    {"-pass", OptionKind::kPassthrough},
    {"-a", OptionKind::kAka},
    {"-d", OptionKind::kDescription},
    {"-p", OptionKind::kOneWord},
    {"-$m", OptionKind::kOneWord},
    {"-g", OptionKind::kOneWord},
    {"-lr", OptionKind::kOneWord},
    {"-lw", OptionKind::kOneWord},
    {"-tooOld", OptionKind::kOneWord},
    {"-tooNew", OptionKind::kOneWord},
    {"-dupeCheck", OptionKind::kOneWord},
    {"-dupeHistory", OptionKind::kOneWord},
    {"-scan", OptionKind::kOneWord},
    {"-r", OptionKind::kAlone},
    {"-w", OptionKind::kAlone},
    {"-paused", OptionKind::kAlone},
    {"-ccoff", OptionKind::kAlone},
    {"-ccon", OptionKind::kAlone},
    {"-$", OptionKind::kAlone},
    {"-0", OptionKind::kAlone},
    {"-def", OptionKind::kLinkOnly},
    {"-mn", OptionKind::kLinkOnly},
};
// Flags of no value, each also written with "no" before it (-nopack).
constexpr std::string_view kFlags[] = {"h",      "hide",          "k",          "kill",     "manual", "mandatory",
                                       "pause",  "autoareapause", "pack",       "link",     "debug",  "dosfile",
                                       "tinysb", "killsb",        "keepunread", "killread", "keepsb", "sbkeepall"};
// Seen-by lists, written inside the word: -sbadd(1:2/3,1:2/4).
constexpr std::string_view kListOptions[] = {"-sbadd", "-sbign", "-sbstrip", "-sbkeep"};
// What may follow a link and belongs to it.
constexpr std::string_view kLinkOptions[] = {"-r", "-w", "-mn", "-def"};

std::optional<OptionKind> FindOption(const std::string& word) {
  for (const OptionRule& rule : kOptions) {
    if (EqualNoCase(word, rule.name)) return rule.kind;
  }
  if (word.size() > 1 && word[0] == '-') {
    std::string_view flag = std::string_view(word).substr(1);
    if (flag.size() > 2 && EqualNoCase(flag.substr(0, 2), "no")) flag.remove_prefix(2);
    for (std::string_view f : kFlags) {
      if (EqualNoCase(flag, f)) return OptionKind::kAlone;
    }
  }
  for (std::string_view list : kListOptions) {
    if (EqualNoCase(word, list) || (word.size() > list.size() && word[list.size()] == '(' &&
                                    EqualNoCase(std::string_view(word).substr(0, list.size()), list))) {
      return OptionKind::kAlone;
    }
  }
  return std::nullopt;
}

// A link names a node: it starts with a digit or "*" and is shaped *:*/*
// (a mask subscribes every matching link).
bool IsLink(const std::string& word) {
  if (word.empty() || !((word[0] >= '0' && word[0] <= '9') || word[0] == '*')) return false;
  const std::size_t colon = word.find(':');
  return colon != std::string::npos && word.find('/', colon) != std::string::npos;
}

bool IsLinkOption(const std::string& word) {
  return std::any_of(std::begin(kLinkOptions), std::end(kLinkOptions),
                     [&](std::string_view o) { return EqualNoCase(word, o); });
}

// The tosser takes the word after the tag as a path when it holds a
// directory separator.
bool IsPath(const std::string& word) {
  return word.find('/') != std::string::npos || word.find(platform::NativeSeparator()) != std::string::npos;
}

// The format a "-b" word names; kUnknown for none.
AreaType TypeOfWord(const std::string& word) {
  if (EqualNoCase(word, "squish")) return AreaType::kSquish;
  if (EqualNoCase(word, "jam")) return AreaType::kJam;
  if (EqualNoCase(word, "msg")) return AreaType::kMsgDir;
  return AreaType::kUnknown;
}

// "-d" reads one word, or from a word that opens a double quote to the word
// that closes it, joined by single blanks; an unclosed quote takes the rest
// of the line. Returns the index of the last word read.
std::size_t ReadDescription(const std::vector<std::string>& words, std::size_t i, std::string& out) {
  const std::string& first = words[i];
  if (first.empty() || first[0] != '"') {
    out = first;
    return i;
  }
  out = first.substr(1);
  if (!out.empty() && out.back() == '"') {
    out.pop_back();
    return i;
  }
  while (++i < words.size()) {
    out += ' ';
    out += words[i];
    if (words[i].back() == '"') {
      out.pop_back();
      return i;
    }
  }
  return words.size() - 1;
}

// Cheap test before the wildcard match: a pattern needs at least as many
// characters as it has letters that are not "*".
bool CanMatch(std::string_view pattern, std::size_t length) {
  return static_cast<std::size_t>(std::count_if(pattern.begin(), pattern.end(), [](char c) { return c != '*'; })) <=
         length;
}

}  // namespace

FidoAreaFinder::Group* FidoAreaFinder::FindGroup(const std::string& name) {
  for (Group& g : groups_) {
    if (EqualNoCase(g.name, name)) return &g;
  }
  groups_.push_back(Group{name, false, std::nullopt});
  return &groups_.back();
}

bool FidoAreaFinder::Apply(const FidoLine& line) {
  const std::vector<std::string>& w = line.words;
  if (line.Is("EchoAreaDefaults")) {
    defaultsSeen_ = true;
    ApplyDefaults(line, 1, defaults_);
    return true;
  }
  if (line.Is("AreaGroup")) {
    if (w.size() >= 2) {
      Group* g = FindGroup(w[1]);
      for (std::size_t i = 2; i < w.size(); ++i) {
        if (CanMatch(w[i], tag_.size()) && WildcardMatch(w[i], tag_.view())) g->matches = true;
      }
    }
    return true;
  }
  if (line.Is("AreaGroupDefaults")) {
    if (w.size() >= 2) ApplyDefaults(line, 2, FindGroup(w[1])->defaults);
    return true;
  }
  Kind kind;
  if (line.Is("EchoArea")) {
    kind = Kind::kEcho;
  } else if (line.Is("LocalArea")) {
    kind = Kind::kLocal;
  } else if (line.Is("NetmailArea") || line.Is("NetArea")) {
    kind = Kind::kNetmail;
  } else if (line.Is("BadArea")) {
    kind = Kind::kBad;
  } else if (line.Is("DupeArea")) {
    kind = Kind::kDupe;
  } else {
    return false;
  }
  if (w.size() < 2 || tag_.empty()) return true;
  // Tags keep their case and are compared without regard to it; the tag
  // may stand in quotes.
  const std::string tag = WithoutEnclosingQuotes(w[1]);
  if (tag.size() != tag_.size() || UpperCaseCyr(Str(tag)) != UpperCaseCyr(tag_)) return true;
  const FidoAreaBase area = ParseArea(line, kind);
  switch (kind) {
    case Kind::kEcho:
    case Kind::kLocal:
      if (echo_) {
        // The tosser refuses a tag defined twice; neither line is trusted.
        problems_.Error(line.file, line.number,
                        "area " + tag_.str() + " is defined again (first in " + echo_->file + ", line " +
                            std::to_string(echo_->number) + ")");
        echoTwice_ = true;
      } else {
        echo_ = area;
      }
      break;
    case Kind::kNetmail:
      if (!netmail_) netmail_ = area;  // the first one counts
      break;
    case Kind::kBad:
      bad_ = area;  // a later one replaces an earlier one
      break;
    case Kind::kDupe:
      dupe_ = area;
      break;
  }
  return true;
}

void FidoAreaFinder::ApplyDefaults(const FidoLine& line, std::size_t first, std::optional<Defaults>& defaults) {
  defaults.reset();
  // No words, or "off", turns the defaults off.
  if (line.words.size() <= first || EqualNoCase(std::string_view(line.words[first]).substr(0, 3), "off")) return;
  Defaults d;
  d.file = line.file;
  d.number = line.number;
  d.invalid = !ParseOptions(line, first, true, d);
  defaults = d;
}

bool FidoAreaFinder::ParseOptions(const FidoLine& line, std::size_t from, bool passthroughWord, Defaults& target) {
  const std::vector<std::string>& w = line.words;
  bool afterLink = false;
  for (std::size_t i = from; i < w.size(); ++i) {
    const std::string& word = w[i];
    if (afterLink && IsLinkOption(word)) continue;
    afterLink = false;
    if (passthroughWord && EqualNoCase(word, "passthrough")) {
      target.passthrough = true;
      continue;
    }
    if (IsLink(word)) {
      afterLink = true;
      continue;
    }
    const std::optional<OptionKind> kind = FindOption(word);
    // The tosser stops at the first word it cannot read; what follows it
    // cannot be read with any certainty either.
    if (!kind) {
      problems_.Error(line.file, line.number,
                      word[0] == '-' ? "unknown option " + word : word + " is neither an option nor a link");
      return false;
    }
    const bool takesValue = *kind == OptionKind::kType || *kind == OptionKind::kAka ||
                            *kind == OptionKind::kDescription || *kind == OptionKind::kOneWord;
    if (takesValue && i + 1 >= w.size()) {
      problems_.Error(line.file, line.number, "option " + word + " has no value");
      return false;
    }
    switch (*kind) {
      case OptionKind::kType: {
        const AreaType type = TypeOfWord(w[++i]);
        if (type == AreaType::kUnknown) {
          problems_.Log().WriteError("Error reading type of message base - " + w[i]);
          return false;
        }
        // Once an area is passthrough, its type no longer changes.
        if (!target.passthrough) target.type = type;
        break;
      }
      case OptionKind::kPassthrough:
        target.passthrough = true;
        break;
      case OptionKind::kAka: {
        target.aka = w[++i];
        FidoAddress probe;
        if (!ParseAddress(Str(target.aka), probe)) {
          problems_.Log().Write("error converting address " + target.aka + " (our aka)");
        }
        break;
      }
      case OptionKind::kDescription:
        i = ReadDescription(w, i + 1, target.description);
        break;
      case OptionKind::kOneWord:
        ++i;
        break;
      case OptionKind::kAlone:
        break;
      case OptionKind::kLinkOnly:
        problems_.Error(line.file, line.number, "option " + word + " belongs after a link");
        return false;
    }
  }
  return true;
}

FidoAreaBase FidoAreaFinder::ParseArea(const FidoLine& line, Kind kind) {
  FidoAreaBase area;
  area.file = line.file;
  area.number = line.number;
  area.state = FidoAreaBase::State::kInvalid;
  // EchoArea, BadArea and DupeArea inherit all the defaults; LocalArea and
  // NetmailArea only the description. A group whose pattern matches the tag
  // gives its defaults instead of EchoAreaDefaults.
  const bool inheritsAll = kind == Kind::kEcho || kind == Kind::kBad || kind == Kind::kDupe;
  const std::optional<Defaults>* inherited = &defaults_;
  for (const Group& g : groups_) {
    if (g.matches && g.defaults) {
      inherited = &g.defaults;
      break;
    }
  }
  Defaults own;
  if (*inherited) {
    const Defaults& d = **inherited;
    if (d.invalid && inheritsAll) {
      problems_.Error(line.file, line.number,
                      "the area takes its defaults from a line with errors (" + d.file + ", line " +
                          std::to_string(d.number) + ")");
      return area;
    }
    own.description = d.description;
    if (inheritsAll) {
      own.passthrough = d.passthrough;
      own.type = d.type;
      own.aka = d.aka;
    }
  }
  const std::vector<std::string>& w = line.words;
  std::size_t next = 2;
  if (w.size() > 2 && IsPath(w[2])) {
    // A path of its own gives the area a base, whatever the defaults say.
    area.path = w[2];
    own.passthrough = false;
    next = 3;
  } else if (w.size() > 2 && EqualNoCase(w[2], "passthrough")) {
    own.passthrough = true;
    next = 3;
  } else if (!own.passthrough) {
    // Only under passthrough defaults may options or links follow the tag
    // at once.
    problems_.Error(line.file, line.number,
                    w.size() > 2 ? w[2] + " is neither a path nor Passthrough" : "area " + w[1] + " has no path");
    return area;
  }
  if (!ParseOptions(line, next, false, own)) return area;
  area.aka = own.aka;
  area.description = own.description;
  if (own.passthrough) {
    area.path.clear();
    area.state = FidoAreaBase::State::kPassthrough;
    return area;
  }
  // Without -b: Squish, except that after any EchoAreaDefaults line the
  // areas that inherit from it default to MSG.
  area.type = own.type != AreaType::kUnknown    ? own.type
              : (inheritsAll && defaultsSeen_) ? AreaType::kMsgDir
                                               : AreaType::kSquish;
  area.state = FidoAreaBase::State::kBase;
  return area;
}

FidoAreaBase FidoAreaFinder::Result() const {
  if (echo_) {
    FidoAreaBase area = *echo_;
    if (echoTwice_) area.state = FidoAreaBase::State::kInvalid;
    return area;
  }
  if (netmail_) return *netmail_;
  if (bad_) return *bad_;
  if (dupe_) return *dupe_;
  return FidoAreaBase{};
}

}  // namespace mvx
