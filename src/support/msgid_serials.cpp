// MSGID serials: the clock's value and the rule for the next one.
#include "support/msgid_serials.h"

#include "support/datetime.h"

namespace mvx {

std::uint32_t ClockSerial(const platform::LocalTime& t) {
  std::uint32_t v = (static_cast<std::uint32_t>(t.year) + 10u) * 355u * 86400u +
                    static_cast<std::uint32_t>(t.month) * 30u * 86400u +
                    static_cast<std::uint32_t>(t.day) * 86400u +
                    static_cast<std::uint32_t>(t.hour) * 3600u +
                    static_cast<std::uint32_t>(t.minute) * 60u + static_cast<std::uint32_t>(t.second);
  return (v << 7) | (static_cast<std::uint32_t>(t.millisecond / 10) & 127u);
}

std::uint32_t NextSerial(std::uint32_t clock, std::uint32_t last) {
  if (clock > last) return clock;
  const std::uint32_t next = last + 1;
  return next == 0 ? 1 : next;
}

std::uint32_t SerialAfter(std::uint32_t first, std::uint32_t count) {
  // Counting through the wrap passes 0 once, which is never handed out.
  const std::uint32_t plain = first + count;
  return plain < first || plain == 0 ? plain + 1 : plain;
}

std::uint32_t ClockSerials::Next() {
  std::uint32_t clock = ClockSerial(clock_.Now());
  if (clock == lastClock_) {
    clock_.WaitHundredth();
    clock = ClockSerial(clock_.Now());
  }
  // A clock that stands still (a frozen shifted clock, which sysops use to
  // try a schedule) would keep the wait from ever ending and then repeat a
  // serial. So while the clock has not moved past what was handed out, the
  // serials count on from the last one instead.
  std::uint32_t v = clock;
  if (clock == lastClock_ || (clock > lastClock_ && clock <= lastSerial_)) v = NextSerial(0, lastSerial_);
  lastClock_ = clock;
  lastSerial_ = v;
  return v;
}

}  // namespace mvx
