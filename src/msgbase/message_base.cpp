// MessageBase: navigation by number, area flags and StampNow. The text,
// control-line and address-kludge operations live in text_lines.cpp,
// control_lines.cpp and address_kludges.cpp.
#include "msgbase/message_base.h"

#include <limits>

namespace mvx {

// The base only has its text buffer to give up; the unique_ptr member does
// that. The formats close their area in their own destructors.
MessageBase::~MessageBase() = default;

// ---------------------------------------------------------------------------
// Navigation by number.

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

// ---------------------------------------------------------------------------
// Area flags.

void MessageBase::ChangeAreaFlag(bool on, std::uint32_t mask) {
  if (on) {
    areaFlags_ |= mask;
  } else {
    areaFlags_ &= ~mask;
  }
}

void MessageBase::SetAreaKind(std::int32_t kind) {
  ChangeAreaFlag(kind == 0, kAreaNetmail);
  ChangeAreaFlag(kind == 1, kAreaEchomail);
  ChangeAreaFlag(kind == 2, kAreaLocal);
}

void MessageBase::StampNow() {
  DateTimeRec now;
  GetNow(env_.Time(), now);
  PutWrittenDate(now);
  PutArrivedDate(now);
}

}  // namespace mvx
