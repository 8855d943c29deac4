// FidoNet addresses: the relative parser and the formatters.
#include "support/address.h"

#include "support/text.h"

namespace mvx {

namespace {

// One number of an address into its 16-bit field. An absent part reads as
// 0; a part that is no number or does not fit the field makes the whole
// address bad, rather than a wrapped number that names another node.
bool AddressPart(std::string_view text, std::int16_t& field) {
  if (text.empty()) {
    field = 0;
    return true;
  }
  std::int32_t errorPos = 0;
  const std::int32_t v = ParseInteger(text, errorPos);
  if (errorPos != 0 || v < -32768 || v > 32767) return false;
  field = static_cast<std::int16_t>(v);
  return true;
}

}  // namespace

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
  // Parsed into a copy: a bad address changes nothing.
  FidoAddress r = a;
  bool ok = true;
  if (!hasColon && !hasSlash) {
    if (v[0] == '.') {
      ok = AddressPart(v.substr(1), r.Point);
    } else {
      ok = AddressPart(SplitWord(1, v, ".").view(), r.Node) &&
           AddressPart(SplitWord(2, v, ".").view(), r.Point);
    }
  } else if (!hasColon) {
    ok = AddressPart(SplitWord(1, v, "/").view(), r.Net) &&
         AddressPart(SplitWord(2, v, "/.").view(), r.Node) &&
         AddressPart(SplitWord(3, v, "/.").view(), r.Point);
  } else if (hasSlash) {
    ok = AddressPart(SplitWord(1, v, ":/.").view(), r.Zone) &&
         AddressPart(SplitWord(2, v, ":/.").view(), r.Net) &&
         AddressPart(SplitWord(3, v, ":/.").view(), r.Node) &&
         AddressPart(SplitWord(4, v, ":/.").view(), r.Point);
  }
  if (!ok) return false;
  a = r;
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
