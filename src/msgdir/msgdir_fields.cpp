// MsgDirBase: header fields, addresses, attributes and dates.
#include "msgdir/msg_attributes.h"
#include "msgdir/msg_date_text.h"
#include "msgdir/msgdir_base.h"

namespace mvx {

namespace {

// The header keeps no zone; FidoNet zone 2 is assumed when no control line
// names one.
constexpr std::int16_t kDefaultZone = 2;

void PresetFromHeader(FidoAddress& a, std::uint16_t net, std::uint16_t node) {
  ClearAddress(a);
  a.Net = static_cast<std::int16_t>(net);
  a.Node = static_cast<std::int16_t>(node);
}

void DefaultZone(FidoAddress& a) {
  if (a.Zone == 0) a.Zone = kDefaultZone;
}

}  // namespace

Str MsgDirBase::FromName() { return header_.From(); }
Str MsgDirBase::ToName() { return header_.To(); }
Str MsgDirBase::SubjectText() { return header_.Subject(); }
void MsgDirBase::PutFromName(const Str& name) { header_.SetFrom(name.view()); }
void MsgDirBase::PutToName(const Str& name) { header_.SetTo(name.view()); }
void MsgDirBase::PutSubject(const Str& text) { header_.SetSubject(text.view()); }

void MsgDirBase::ReadOrigAddress(FidoAddress& orig) {
  PresetFromHeader(orig, header_.OrigNet(), header_.OrigNode());
  MessageBase::ReadOrigAddress(orig);
  DefaultZone(orig);
}

void MsgDirBase::ReadDestAddress(FidoAddress& dest) {
  PresetFromHeader(dest, header_.DestNet(), header_.DestNode());
  MessageBase::ReadDestAddress(dest);
  DefaultZone(dest);
}

void MsgDirBase::ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) {
  PresetFromHeader(orig, header_.OrigNet(), header_.OrigNode());
  PresetFromHeader(dest, header_.DestNet(), header_.DestNode());
  MessageBase::ReadBothAddresses(orig, dest);
  DefaultZone(orig);
  DefaultZone(dest);
}

void MsgDirBase::EmitOrigKludges(bool newSerial, const FidoAddress& orig) {
  MessageBase::EmitOrigKludges(newSerial, orig);
  header_.SetOrigNet(static_cast<std::uint16_t>(orig.Net));
  header_.SetOrigNode(static_cast<std::uint16_t>(orig.Node));
}

void MsgDirBase::EmitDestKludges(const FidoAddress& dest) {
  MessageBase::EmitDestKludges(dest);
  header_.SetDestNet(static_cast<std::uint16_t>(dest.Net));
  header_.SetDestNode(static_cast<std::uint16_t>(dest.Node));
}

void MsgDirBase::EmitAddressKludges(const FidoAddress& orig, const FidoAddress& dest,
                                    bool newSerial) {
  MessageBase::EmitAddressKludges(orig, dest, newSerial);
  header_.SetOrigNet(static_cast<std::uint16_t>(orig.Net));
  header_.SetOrigNode(static_cast<std::uint16_t>(orig.Node));
  header_.SetDestNet(static_cast<std::uint16_t>(dest.Net));
  header_.SetDestNode(static_cast<std::uint16_t>(dest.Node));
}

bool MsgDirBase::HasAttribute(std::int32_t value) {
  const std::uint16_t bit = MsgAttributeBit(value);
  if (bit != 0) return (header_.Attributes() & bit) == bit;

  // No header bit: the text's FLAGS control line may carry it.
  const Str name = MsgFlagsName(value);
  if (name.empty() || TextBuffer() == nullptr) return false;
  const std::int32_t offset = TextOffset();
  std::string line;
  const bool found = FindControlLine("\x01" "FLAGS", line);
  // Asking must not move a caller that is reading or appending lines.
  MoveTextTo(offset);
  return found && FlagsLineHasName(line, name);
}

void MsgDirBase::ChangeAttribute(bool on, std::int32_t value) {
  const std::uint16_t bit = MsgAttributeBit(value);
  if (bit == 0) return;
  const std::uint16_t attributes = header_.Attributes();
  header_.SetAttributes(static_cast<std::uint16_t>(on ? (attributes | bit) : (attributes & ~bit)));
}

void MsgDirBase::ReadWrittenDate(DateTimeRec& d) { ParseMsgDateText(header_.DateText(), d); }

void MsgDirBase::ReadArrivedDate(DateTimeRec& d) { UnpackDateFirstStamp(header_.ArrivedStamp(), d); }

void MsgDirBase::PutWrittenDate(const DateTimeRec& d) {
  header_.SetDateText(FtsDateText(d).view());
  std::uint32_t stamp = 0;
  PackDateFirstStamp(d, stamp);
  header_.SetWrittenStamp(stamp);
}

void MsgDirBase::PutArrivedDate(const DateTimeRec& d) {
  std::uint32_t stamp = 0;
  PackDateFirstStamp(d, stamp);
  header_.SetArrivedStamp(stamp);
}

}  // namespace mvx
