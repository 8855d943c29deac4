// The area lines of a fidoconfig-style configuration: which message base
// the tosser keeps for one area tag, with the defaults, the options and
// their argument counts as the tosser reads them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "factory/area_id.h"
#include "run/fidoconfig_reader.h"
#include "support/str.h"

namespace mvx {

// What the configuration says of the area.
struct FidoAreaBase {
  enum class State {
    kNotFound,     // no area line names the tag
    kBase,         // a message base: path and type
    kPassthrough,  // the tosser keeps no base for it
    kInvalid,      // the tosser would refuse its line; the errors are logged
  };
  State state = State::kNotFound;
  std::string path;
  AreaType type = AreaType::kUnknown;
  std::string aka;          // "-a": the address to post from, own or inherited
  std::string description;  // "-d": own or inherited
  std::string file;         // where the deciding line stands
  int number = 0;
};

class FidoAreaFinder {
 public:
  FidoAreaFinder(const Str& tag, ConfigProblems& problems) : tag_(tag), problems_(problems) {}
  // Takes one logical line. True when it was an area, defaults or area
  // group line (and so no other keyword).
  bool Apply(const FidoLine& line);
  // The area after the last line.
  FidoAreaBase Result() const;

 private:
  // What EchoAreaDefaults (or an AreaGroupDefaults) hands to the areas.
  struct Defaults {
    bool passthrough = false;
    AreaType type = AreaType::kUnknown;  // kUnknown: no -b
    std::string aka;
    std::string description;
    bool invalid = false;
    std::string file;
    int number = 0;
  };
  struct Group {
    std::string name;
    bool matches = false;  // one of its patterns matches the tag
    std::optional<Defaults> defaults;
  };
  enum class Kind { kEcho, kLocal, kNetmail, kBad, kDupe };

  void ApplyDefaults(const FidoLine& line, std::size_t first, std::optional<Defaults>& defaults);
  // Reads options and links from words[from] on; false after an error.
  bool ParseOptions(const FidoLine& line, std::size_t from, bool passthroughWord, Defaults& target);
  FidoAreaBase ParseArea(const FidoLine& line, Kind kind);
  Group* FindGroup(const std::string& name);

  Str tag_;
  ConfigProblems& problems_;
  std::optional<Defaults> defaults_;
  // Any EchoAreaDefaults line, even "off", turns the default type to MSG.
  bool defaultsSeen_ = false;
  std::vector<Group> groups_;
  std::optional<FidoAreaBase> echo_;  // EchoArea and LocalArea share one namespace
  bool echoTwice_ = false;
  std::optional<FidoAreaBase> netmail_;
  std::optional<FidoAreaBase> bad_;
  std::optional<FidoAreaBase> dupe_;
};

}  // namespace mvx
