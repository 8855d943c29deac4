// JamBase: construction, the header fields of the current message, its
// attributes and dates.
#include "jam/jam_base.h"

#include <algorithm>
#include <limits>

#include "jam/jam_attributes.h"

namespace mvx {

namespace {

std::int32_t ClampToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(v, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

JamBase::JamBase(Env& env) : MessageBase(env) {}

JamBase::~JamBase() {
  DoReleaseMessage();
  DoCloseArea();
}

void JamBase::ClearStatuses() {
  for (DataStream* s : {headerFile_.get(), indexFile_.get(), textFile_.get(), lastReadFile_.get()}) {
    if (s != nullptr) s->ClearError();
  }
}

void JamBase::DropStreams() {
  headerFile_.reset();
  indexFile_.reset();
  textFile_.reset();
  lastReadFile_.reset();
}

void JamBase::ClearMessage() {
  header_ = JamMessageHeader{};
  subfields_.Clear();
  indexRecord_ = JamIndexRecord{};
  currentHeaderOffset_ = 0;
  bodyMissing_ = false;
  ClearAddress(orig_);
  ClearAddress(dest_);
  fromName_.clear();
  toName_.clear();
  subject_.clear();
}

std::int32_t JamBase::CurrentUid() { return CurrentNumber(); }

void JamBase::PositionByUid(std::int32_t uid) { SetCurrentNumber(uid); }

bool JamBase::DoReleaseMessage() {
  if (TextBuffer() == nullptr) return false;
  AttachTextBuffer(nullptr);
  return true;
}

std::int32_t JamBase::HighestNumber() {
  return ClampToInt32(std::int64_t{base_.BaseNumber} + base_.ActiveCount - 1);
}

std::int32_t JamBase::MessageCount() { return ClampToInt32(base_.ActiveCount); }

Str JamBase::FromName() { return fromName_; }
Str JamBase::ToName() { return toName_; }
Str JamBase::SubjectText() { return subject_; }
void JamBase::PutFromName(const Str& name) { fromName_ = name; }
void JamBase::PutToName(const Str& name) { toName_ = name; }
void JamBase::PutSubject(const Str& text) { subject_ = text; }

// The addresses live in the control lines of the text; a line that names no
// zone must not leave a previous message's zone behind.
void JamBase::ReadOrigAddress(FidoAddress& orig) {
  ClearAddress(orig);
  MessageBase::ReadOrigAddress(orig);
}

void JamBase::ReadDestAddress(FidoAddress& dest) {
  ClearAddress(dest);
  MessageBase::ReadDestAddress(dest);
}

void JamBase::ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) {
  ClearAddress(orig);
  ClearAddress(dest);
  MessageBase::ReadBothAddresses(orig, dest);
}

bool JamBase::HasAttribute(std::int32_t value) {
  const std::uint32_t bit = JamAttributeBit(value);
  return bit != 0 && (header_.Attributes & bit) != 0;
}

void JamBase::ChangeAttribute(bool on, std::int32_t value) {
  const std::uint32_t bit = JamAttributeBit(value);
  if (bit == 0) return;
  if (on) {
    header_.Attributes |= bit;
  } else {
    header_.Attributes &= ~bit;
  }
}

void JamBase::ReadWrittenDate(DateTimeRec& d) {
  UnixToDateTime(static_cast<std::int32_t>(header_.WrittenDate), d);
}

void JamBase::ReadArrivedDate(DateTimeRec& d) {
  UnixToDateTime(static_cast<std::int32_t>(header_.ProcessedDate), d);
}

void JamBase::PutWrittenDate(const DateTimeRec& d) {
  std::int32_t secs = 0;
  DateTimeToUnix(d, secs);
  header_.WrittenDate = static_cast<std::uint32_t>(secs);
}

void JamBase::PutArrivedDate(const DateTimeRec& d) {
  std::int32_t secs = 0;
  DateTimeToUnix(d, secs);
  header_.ProcessedDate = static_cast<std::uint32_t>(secs);
}

}  // namespace mvx
