// Serial numbers of MSGID lines.
//
// A tosser drops a message whose MSGID it has seen before as a dupe, so a
// serial must never repeat on a node: not within a run, not between runs,
// not between Marvex and the node's other programs. The run control reserves
// serials for each posting from state kept on disk (serial_state.h, seqdir.h)
// and hands them out through a SerialSource; without that, a ClockSerials
// gives them from the clock, distinct among the serials it hands out only.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/clock.h"
#include "support/str.h"

namespace mvx {

// The clock's serial of a moment: a count of 1/128 seconds over 355-day
// years and 30-day months, kept to 32 bits. It repeats across days (the 31st
// gives the 1st's values), which is why it is only ever a lower bound.
std::uint32_t ClockSerial(const platform::LocalTime& t);

// The serial to hand out after last: the clock's when it is above last,
// otherwise last + 1, wrapping and never 0. A last of 0 means none yet.
std::uint32_t NextSerial(std::uint32_t clock, std::uint32_t last);

// The serial count places after first, skipping 0 as NextSerial does.
std::uint32_t SerialAfter(std::uint32_t first, std::uint32_t count);

// Where a MSGID line takes its serial.
class SerialSource {
 public:
  virtual ~SerialSource() = default;
  virtual std::uint32_t Next() = 0;
};

// The clock rule: serials from the clock, waiting for it to move on, and
// counting on from the last serial handed out while it stands still. The
// memory of the last serial is this object's: two of them know nothing of
// each other's serials.
class ClockSerials final : public SerialSource {
 public:
  explicit ClockSerials(Clock& clock) : clock_(clock) {}
  std::uint32_t Next() override;

 private:
  Clock& clock_;
  std::uint32_t lastSerial_ = 0;  // the last serial handed out
  std::uint32_t lastClock_ = 0;   // the clock's value when it was made
};

}  // namespace mvx
