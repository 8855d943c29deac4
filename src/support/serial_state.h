// The node's last MSGID serial, kept in a small state file so that no run
// ever hands out a serial an earlier one did.
//
// The file holds eight lower-case hex digits and a line end. It is read and
// rewritten under an exclusive lock, so runs that post at the same moment
// take distinct serials, and the new value overwrites the old in one write
// within the file's first sector, so a crash leaves the old value or the
// new, never a mixture.
#pragma once

#include <cstdint>
#include <string>

#include "error/error.h"

namespace mvx {

struct SerialReservation {
  std::uint32_t first = 0;      // the first serial reserved
  bool replacedDamaged = false; // the file held no serial and was rewritten
  Error error;                  // why it failed
  std::string failedStep;       // what failed: "open", "lock", "read", "write"
};

// Reserves count (at least 1) serials: the first is NextSerial(clock, last),
// the file then keeps the last of them. A missing or empty file counts as no
// serial yet. Waits at most lockWaitMs for the lock of another run. False
// when the file could not be locked, read or rewritten (out says why); the
// file is then unchanged.
bool ReserveSerials(const std::string& path, std::uint32_t count, std::uint32_t clock,
                    int lockWaitMs, SerialReservation& out);

// The serial a state file's text names, or false for text that is not one.
bool ParseSerialText(const std::string& text, std::uint32_t& serial);

}  // namespace mvx
