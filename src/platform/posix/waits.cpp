// Sleeping while another program finishes, and the clock that bounds it.
#include <time.h>

#include <cerrno>

#include "platform/platform.h"

namespace mvx::platform {

void SleepMilliseconds(int ms) {
  if (ms <= 0) return;
  struct timespec left {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

std::int64_t MonotonicMilliseconds() {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace mvx::platform
