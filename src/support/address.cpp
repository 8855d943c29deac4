// FidoNet addresses: the relative parser and the formatters.
#include "support/address.h"

#include "support/text.h"

namespace mvx {

void ClearAddress(FidoAddress& a) { a = FidoAddress{}; }

bool ParseAddress(const Str& text, FidoAddress& a) {
  if (text.empty()) return false;
  Str t = text;
  if (t[0] == '/') t.erase_front(1);
  std::size_t at = t.find('@');
  if (at != std::string::npos) t.resize(at);
  if (t.empty()) return false;
  bool hasColon = false;
  bool hasSlash = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == ':') {
      hasColon = true;
    } else if (c == '/') {
      hasSlash = true;
    } else if (c != '-' && c != '.' && (c < '0' || c > '9')) {
      return false;
    }
  }
  std::string_view v = t.view();
  if (!hasColon && !hasSlash) {
    if (v[0] == '.') {
      ParseSmallInt(v.substr(1), a.Point);
    } else {
      ParseSmallInt(SplitWord(1, v, ".").view(), a.Node);
      ParseSmallInt(SplitWord(2, v, ".").view(), a.Point);
    }
  } else if (!hasColon) {
    ParseSmallInt(SplitWord(1, v, "/").view(), a.Net);
    ParseSmallInt(SplitWord(2, v, "/.").view(), a.Node);
    ParseSmallInt(SplitWord(3, v, "/.").view(), a.Point);
  } else if (hasSlash) {
    ParseSmallInt(SplitWord(1, v, ":/.").view(), a.Zone);
    ParseSmallInt(SplitWord(2, v, ":/.").view(), a.Net);
    ParseSmallInt(SplitWord(3, v, ":/.").view(), a.Node);
    ParseSmallInt(SplitWord(4, v, ":/.").view(), a.Point);
  }
  // Zone and net without a node ("1:234") name no node to store: accepted,
  // nothing changes.
  return true;
}

Str FormatAddress3D(const FidoAddress& a) {
  return IntToStr(a.Zone) + ":" + IntToStr(a.Net) + "/" + IntToStr(a.Node);
}

Str FormatAddress4D(const FidoAddress& a) { return FormatAddress3D(a) + "." + IntToStr(a.Point); }

Str FormatAddress(const FidoAddress& a) {
  return a.Point == 0 ? FormatAddress3D(a) : FormatAddress4D(a);
}

std::int32_t CompareAddress(const FidoAddress& a, const FidoAddress& b) {
  const std::int16_t fa[4] = {a.Zone, a.Net, a.Node, a.Point};
  const std::int16_t fb[4] = {b.Zone, b.Net, b.Node, b.Point};
  for (int i = 0; i < 4; ++i) {
    if (fa[i] < fb[i]) return -1;
    if (fa[i] > fb[i]) return 1;
  }
  return 0;
}

}  // namespace mvx
