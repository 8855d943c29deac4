// MessageBase: construction, the operations left to the formats, navigation
// by number, area flags and the plain state. The text, control-line and
// address-kludge operations live in text_lines.cpp, control_lines.cpp and
// address_kludges.cpp.
#include "msgbase/message_base.h"

#include <limits>
#include <utility>

#include "support/fatal.h"

namespace mvx {

MessageBase::MessageBase(Env& env) : env_(env) {}

MessageBase::MessageBase(std::unique_ptr<DataStream> stream, Env& env) : MessageBase(env) {
  AttachTextBuffer(std::move(stream));
}

// The plain base only has its text buffer to give up; the unique_ptr member
// does that. The formats close their area in their own destructors.
MessageBase::~MessageBase() = default;

// ---------------------------------------------------------------------------
// Operations whose work depends on the storage format. Reaching one of these
// means an object was asked for something it does not supply: a programming
// error, so the program stops with run-time error 217 instead of guessing.

bool MessageBase::OpenArea(const Str&) { RunTimeError217("MessageBase::OpenArea"); }
bool MessageBase::CreateArea(const Str&) { RunTimeError217("MessageBase::CreateArea"); }
bool MessageBase::AreaExists(const Str&) { RunTimeError217("MessageBase::AreaExists"); }
bool MessageBase::CloseArea() { RunTimeError217("MessageBase::CloseArea"); }
bool MessageBase::HasMessage(std::int32_t) { RunTimeError217("MessageBase::HasMessage"); }
std::int32_t MessageBase::CurrentUid() { RunTimeError217("MessageBase::CurrentUid"); }
void MessageBase::PositionByUid(std::int32_t) { RunTimeError217("MessageBase::PositionByUid"); }
bool MessageBase::LoadMessage() { RunTimeError217("MessageBase::LoadMessage"); }
bool MessageBase::LoadHeaderAndKludges() {
  RunTimeError217("MessageBase::LoadHeaderAndKludges");
}
bool MessageBase::ReleaseMessage() { RunTimeError217("MessageBase::ReleaseMessage"); }
std::int32_t MessageBase::HighestNumber() { RunTimeError217("MessageBase::HighestNumber"); }
std::int32_t MessageBase::MessageCount() { RunTimeError217("MessageBase::MessageCount"); }
Str MessageBase::FromName() { RunTimeError217("MessageBase::FromName"); }
Str MessageBase::ToName() { RunTimeError217("MessageBase::ToName"); }
Str MessageBase::SubjectText() { RunTimeError217("MessageBase::SubjectText"); }
void MessageBase::PutFromName(const Str&) { RunTimeError217("MessageBase::PutFromName"); }
void MessageBase::PutToName(const Str&) { RunTimeError217("MessageBase::PutToName"); }
void MessageBase::PutSubject(const Str&) { RunTimeError217("MessageBase::PutSubject"); }
bool MessageBase::HasAttribute(std::int32_t) { RunTimeError217("MessageBase::HasAttribute"); }
void MessageBase::ChangeAttribute(bool, std::int32_t) {
  RunTimeError217("MessageBase::ChangeAttribute");
}
void MessageBase::ReadWrittenDate(DateTimeRec&) {
  RunTimeError217("MessageBase::ReadWrittenDate");
}
void MessageBase::ReadArrivedDate(DateTimeRec&) {
  RunTimeError217("MessageBase::ReadArrivedDate");
}
void MessageBase::PutWrittenDate(const DateTimeRec&) {
  RunTimeError217("MessageBase::PutWrittenDate");
}
void MessageBase::PutArrivedDate(const DateTimeRec&) {
  RunTimeError217("MessageBase::PutArrivedDate");
}
bool MessageBase::StoreMessage() { RunTimeError217("MessageBase::StoreMessage"); }
bool MessageBase::StoreHeaderOnly() { RunTimeError217("MessageBase::StoreHeaderOnly"); }
bool MessageBase::BeginNewMessage() { RunTimeError217("MessageBase::BeginNewMessage"); }
bool MessageBase::DeleteMessage() { RunTimeError217("MessageBase::DeleteMessage"); }
std::int32_t MessageBase::ReadLastRead(std::int32_t) {
  RunTimeError217("MessageBase::ReadLastRead");
}
void MessageBase::WriteLastRead(std::int32_t, std::int32_t) {
  RunTimeError217("MessageBase::WriteLastRead");
}

// ---------------------------------------------------------------------------
// Navigation by number. HighestNumber and HasMessage are asked afresh on every
// step, so messages that appear while a caller walks the area are reached.

std::int32_t MessageBase::CurrentNumber() { return currentNumber_; }

void MessageBase::PositionFrom(std::int32_t number) {
  // Numbers start at 1; starting below that only costs HasMessage calls for
  // numbers no area can hold, and number - 1 must not overflow.
  currentNumber_ = number > 1 ? number - 1 : 0;
  StepForward();
}

void MessageBase::StepForward() {
  for (;;) {
    if (currentNumber_ == std::numeric_limits<std::int32_t>::max()) {
      currentNumber_ = 0;
      return;
    }
    ++currentNumber_;
    if (HighestNumber() < currentNumber_) {
      currentNumber_ = 0;
      return;
    }
    if (HasMessage(currentNumber_)) return;
  }
}

void MessageBase::StepBack() {
  for (;;) {
    if (currentNumber_ <= 1) {
      currentNumber_ = 0;
      return;
    }
    --currentNumber_;
    if (HasMessage(currentNumber_)) return;
  }
}

bool MessageBase::IsPositioned() { return currentNumber_ != 0; }

// ---------------------------------------------------------------------------
// Area flags.

void MessageBase::ChangeAreaFlag(bool on, std::uint32_t mask) {
  if (on) {
    areaFlags_ |= mask;
  } else {
    areaFlags_ &= ~mask;
  }
}

bool MessageBase::HasAreaFlag(std::uint32_t mask) { return (areaFlags_ & mask) == mask; }

void MessageBase::SetAreaKind(std::int32_t kind) {
  ChangeAreaFlag(kind == 0, kAreaNetmail);
  ChangeAreaFlag(kind == 1, kAreaEchomail);
  ChangeAreaFlag(kind == 2, kAreaLocal);
}

// ---------------------------------------------------------------------------
// Plain state.

DataStream* MessageBase::TextBuffer() { return textBuffer_.get(); }

void MessageBase::AttachTextBuffer(std::unique_ptr<DataStream> stream) {
  textBuffer_ = std::move(stream);
}

void MessageBase::SetErrorCode(std::int32_t code) { errorCode_ = code; }
std::int32_t MessageBase::ErrorCode() { return errorCode_; }
void MessageBase::SetOpenState(bool open) { openState_ = open; }
bool MessageBase::IsOpen() { return openState_; }
void MessageBase::SetCurrentNumber(std::int32_t number) { currentNumber_ = number; }
void MessageBase::SetAreaPath(const Str& path) { areaPath_ = path; }
Str MessageBase::AreaPath() { return areaPath_; }

void MessageBase::StampNow() {
  DateTimeRec now;
  GetNow(env_.Time(), now);
  PutWrittenDate(now);
  PutArrivedDate(now);
}

}  // namespace mvx
