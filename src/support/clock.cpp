#include "support/clock.h"

namespace mvx {

namespace {

class RealClock final : public Clock {
 public:
  platform::LocalTime Now() override { return platform::Now(); }
  void WaitHundredth() override { platform::WaitHundredth(); }
  std::int64_t UnixTime() override { return platform::UnixTime(); }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

}  // namespace mvx
