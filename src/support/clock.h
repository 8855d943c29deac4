// The clock the program reads, as an object handed to the code that needs
// it: the run, the log and the message bases read the time and wait for it
// to move on only through a Clock, so that a test can put its own in (a
// fixed moment, a clock that stands still) without touching the real one.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace mvx {

class Clock {
 public:
  virtual ~Clock() = default;
  // The local wall-clock time, day of the week filled in.
  virtual platform::LocalTime Now() = 0;
  // Lets the clock move on by at least a hundredth of a second.
  virtual void WaitHundredth() = 0;
  // Now() as seconds since 1970 in UTC.
  virtual std::int64_t UnixTime() = 0;
};

// The system's clock (platform::Now and its wait); one for the process, it
// keeps no state.
Clock& SystemClock();

}  // namespace mvx
