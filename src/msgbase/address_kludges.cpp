// Addresses in control lines: writing MSGID, INTL, FMPT and TOPT from
// addresses, reading addresses back out of them, and the origin line.
//
// Only netmail carries INTL, FMPT and TOPT; echomail and local areas get the
// MSGID line alone. The parsers are relative, like ParseAddress: they change
// only what a line names, so callers preset the record first.
#include <algorithm>
#include <string>
#include <string_view>

#include "msgbase/message_base.h"
#include "support/datetime.h"
#include "support/msgid_serials.h"
#include "support/text.h"

namespace mvx {

namespace {

const Str kMsgIdKey = "\x01MSGID:";
const Str kIntlKey = "\x01INTL";
const Str kFmptKey = "\x01" "FMPT";
const Str kToptKey = "\x01TOPT";

constexpr std::size_t kOriginLineMax = 79;
const Str kOriginLead = " * Origin: ";

Str Word(std::int32_t n, const Str& line) { return SplitWord(n, line.view(), " "); }

Str IntlLine(const FidoAddress& dest, const FidoAddress& orig) {
  return kIntlKey + " " + FormatAddress3D(dest) + " " + FormatAddress3D(orig);
}

}  // namespace

void MessageBase::ParseOrigKludge(FidoAddress& orig, const Str& line) {
  if (line.starts_with(kMsgIdKey.view())) {
    ParseAddress(Word(2, line), orig);
  } else if (line.starts_with(kIntlKey.view())) {
    // INTL names zone, net and node only; the point comes from FMPT.
    const std::int16_t point = orig.Point;
    ParseAddress(Word(3, line), orig);
    orig.Point = point;
  } else if (line.starts_with(kFmptKey.view())) {
    ParseSmallInt(Word(2, line).view(), orig.Point);
  }
}

void MessageBase::ParseDestKludge(FidoAddress& dest, const Str& line) {
  if (line.starts_with(kIntlKey.view())) {
    const std::int16_t point = dest.Point;
    ParseAddress(Word(2, line), dest);
    dest.Point = point;
  } else if (line.starts_with(kToptKey.view())) {
    ParseSmallInt(Word(2, line).view(), dest.Point);
  }
}

// The readers pass the first line and every control line to the parsers; a
// later line overrides an earlier one. They leave the position at the end.
//
// The text is taken in one read and split here by the rules of
// ReadTextLine (a line ends at CR or a 0 byte, the LF of a CR LF pair
// belongs to it, only its first 255 characters count): a store reads the
// addresses of every message it writes, and reading a long text line by
// line through the stream costs more than all the rest of the store.
template <typename Fn>
void MessageBase::ForEachAddressLine(Fn&& fn) {
  const std::int32_t length = TextLength();
  MoveTextTo(0);
  DataStream* stream = TextBuffer();
  if (stream == nullptr || length <= 0 || !stream->Status().ok()) return;
  std::string text(static_cast<std::size_t>(length), '\0');
  stream->ReadAll(text.data(), static_cast<std::uint32_t>(length));
  if (!stream->Status().ok()) return;
  std::size_t at = 0;
  for (bool first = true; at < text.size(); first = false) {
    const std::size_t end = at + FindEither(std::string_view(text).substr(at), '\r', '\0');
    if (first || text[at] == '\x01') fn(Str(std::string_view(text).substr(at, std::min<std::size_t>(end - at, Str::kMax))));
    at = end + 1;
    if (end < text.size() && text[end] == '\r' && at < text.size() && text[at] == '\n') ++at;
  }
}

void MessageBase::ReadOrigAddress(FidoAddress& orig) {
  ForEachAddressLine([&](const Str& line) { ParseOrigKludge(orig, line); });
}

void MessageBase::ReadDestAddress(FidoAddress& dest) {
  ForEachAddressLine([&](const Str& line) { ParseDestKludge(dest, line); });
}

void MessageBase::ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) {
  ForEachAddressLine([&](const Str& line) {
    ParseOrigKludge(orig, line);
    ParseDestKludge(dest, line);
  });
}

void MessageBase::EmitOrigKludges(bool newSerial, const FidoAddress& orig) {
  Str serial;
  std::string existing;
  if (!newSerial && FindControlLine(kMsgIdKey, existing)) {
    serial = Word(3, existing);
  } else {
    serial = Hex8(env_.Serials().Next());
  }
  ReplaceControlLine(kMsgIdKey, kMsgIdKey + " " + FormatAddress(orig) + " " + serial);
  EmitOrigNetmailKludges(orig);
}

void MessageBase::RestoreOrigKludges(const FidoAddress& orig) {
  // A message stored without a MSGID must not come back with one: the line
  // would be ours, not its writer's, with a serial made up at load time.
  std::string existing;
  if (FindControlLine(kMsgIdKey, existing)) {
    EmitOrigKludges(false, orig);
  } else {
    EmitOrigNetmailKludges(orig);
  }
}

void MessageBase::EmitOrigNetmailKludges(const FidoAddress& orig) {
  if (!HasAreaFlag(kAreaNetmail)) return;

  FidoAddress dest;
  ReadDestAddress(dest);
  ReplaceControlLine(kIntlKey, IntlLine(dest, orig));
  if (orig.Point == 0) {
    DeleteControlLine(kFmptKey);
  } else {
    ReplaceControlLine(kFmptKey, kFmptKey + " " + IntToStr(orig.Point));
  }
}

void MessageBase::EmitDestKludges(const FidoAddress& dest) {
  if (!HasAreaFlag(kAreaNetmail)) return;
  FidoAddress orig;
  ReadOrigAddress(orig);
  ReplaceControlLine(kIntlKey, IntlLine(dest, orig));
  if (dest.Point == 0) {
    DeleteControlLine(kToptKey);
  } else {
    ReplaceControlLine(kToptKey, kToptKey + " " + IntToStr(dest.Point));
  }
}

void MessageBase::EmitAddressKludges(const FidoAddress& orig, const FidoAddress& dest,
                                     bool newSerial) {
  EmitOrigKludges(newSerial, orig);
  EmitDestKludges(dest);
}

void MessageBase::AppendOriginLine(const Str& text, const FidoAddress& addr) {
  const Str tail = " (" + FormatAddress(addr) + ")";
  const std::size_t fixed = kOriginLead.size() + tail.size();
  const std::size_t keep = fixed < kOriginLineMax ? kOriginLineMax - fixed : 0;
  AppendTextLine(kOriginLead + text.sub(0, keep) + tail);
}

}  // namespace mvx
