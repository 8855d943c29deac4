// Header fields of the current message: names, subject, addresses,
// attributes and dates.

#include "squish/squish_attributes.h"
#include "squish/squish_base.h"
#include "support/text.h"

namespace mvx {

Str SquishBase::FromName() {
  return GetNulField(currentHeader_.Sender.data(), currentHeader_.Sender.size());
}

Str SquishBase::ToName() {
  return GetNulField(currentHeader_.Recipient.data(), currentHeader_.Recipient.size());
}

Str SquishBase::SubjectText() {
  return GetNulField(currentHeader_.Subject.data(), currentHeader_.Subject.size());
}

// The fields hold 35, 35 and 71 characters and their NUL; a longer text is
// cut to fit, never spilled into the next field.
void SquishBase::PutFromName(const Str& name) {
  PutNulField(currentHeader_.Sender.data(), currentHeader_.Sender.size(), name.view());
}

void SquishBase::PutToName(const Str& name) {
  PutNulField(currentHeader_.Recipient.data(), currentHeader_.Recipient.size(), name.view());
}

void SquishBase::PutSubject(const Str& text) {
  PutNulField(currentHeader_.Subject.data(), currentHeader_.Subject.size(), text.view());
}

// Addresses come from the control lines only; the header's address fields
// are written from them but never read back.
void SquishBase::ReadOrigAddress(FidoAddress& orig) {
  ClearAddress(orig);
  if (TextBuffer()) MessageBase::ReadOrigAddress(orig);
}

void SquishBase::ReadDestAddress(FidoAddress& dest) {
  ClearAddress(dest);
  if (TextBuffer()) MessageBase::ReadDestAddress(dest);
}

void SquishBase::ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) {
  ClearAddress(orig);
  ClearAddress(dest);
  if (TextBuffer()) MessageBase::ReadBothAddresses(orig, dest);
}

bool SquishBase::HasAttribute(std::int32_t value) {
  const std::uint32_t bit = SquishAttributeBit(value);
  return bit != 0 && (currentHeader_.Attributes & bit) != 0;
}

void SquishBase::ChangeAttribute(bool on, std::int32_t value) {
  const std::uint32_t bit = SquishAttributeBit(value);
  if (bit == 0) return;
  if (on) {
    currentHeader_.Attributes |= bit;
  } else {
    currentHeader_.Attributes &= ~bit;
  }
}

void SquishBase::ReadWrittenDate(DateTimeRec& d) { UnpackDateFirstStamp(currentHeader_.WrittenStamp, d); }

void SquishBase::ReadArrivedDate(DateTimeRec& d) { UnpackDateFirstStamp(currentHeader_.ArrivedStamp, d); }

// The stamps keep seconds in steps of two: an odd second is rounded down.
void SquishBase::PutWrittenDate(const DateTimeRec& d) { PackDateFirstStamp(d, currentHeader_.WrittenStamp); }

void SquishBase::PutArrivedDate(const DateTimeRec& d) { PackDateFirstStamp(d, currentHeader_.ArrivedStamp); }

}  // namespace mvx
