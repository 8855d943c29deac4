// The sharing modes of the program's world, as record locks other programs on
// this system honour. See file_locks.cpp for why these are OFD locks.
#pragma once

#include "platform/platform.h"

namespace mvx::platform::posix {

// Takes the lock that share and access call for on the open descriptor fd,
// waiting at most waitMs for a conflicting lock to go.
// True when the lock is held (or none is needed); false with *error set.
bool TakeShareLock(int fd, Access access, Share share, int waitMs, int* error);

// Empties the file the way a create replaces one: only once no other
// program holds a lock on it (waiting as above), so a file that a tosser is
// in the middle of using is never cut away under it. The file is left
// unlocked, open to others like any newly created file.
bool EmptyUnderLock(int fd, int waitMs, int* error);

}  // namespace mvx::platform::posix
