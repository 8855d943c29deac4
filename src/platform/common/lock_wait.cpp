// How long an open waits for another program to let go of a file. Both
// layers poll for it: record locks on POSIX, share modes on Windows.
#include "platform/platform.h"

namespace mvx::platform {

namespace {
int gLockWaitMs = 3000;
}  // namespace

int LockWaitMilliseconds() { return gLockWaitMs; }
void SetLockWaitMilliseconds(int ms) { gLockWaitMs = ms < 0 ? 0 : ms; }

}  // namespace mvx::platform
