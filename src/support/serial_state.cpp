// The serial state file: a locked read, then the new value in place.
#include "support/serial_state.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "support/datetime.h"
#include "support/msgid_serials.h"
#include "support/text.h"

namespace mvx {

namespace {

constexpr std::size_t kMaxStateBytes = 64;  // more than this is not ours

bool Fail(SerialReservation& out, const char* step, Error error) {
  out.failedStep = step;
  out.error = std::move(error);
  return false;
}

// Opens the state file, making it when it is missing, and locks it against
// every other run. The file is never replaced, only rewritten in place, so
// the lock always sits on the file the next run opens.
platform::FileHandle OpenLocked(const std::string& path, int lockWaitMs, SerialReservation& out) {
  platform::FileHandle h = platform::kNoFile;
  if (Error e = platform::OpenOrCreate(path, &h); !e.ok()) {
    Fail(out, "open", std::move(e));
    return platform::kNoFile;
  }
  if (Error e = platform::LockRange(h, 0, 0, true, lockWaitMs); !e.ok()) {
    platform::CloseFile(h);
    Fail(out, "lock", std::move(e));
    return platform::kNoFile;
  }
  return h;
}

Error ReadState(platform::FileHandle h, std::string& text) {
  std::array<char, kMaxStateBytes + 1> buf{};
  std::size_t got = 0;
  Error e = platform::ReadFile(h, buf.data(), buf.size(), &got);
  text.assign(buf.data(), e.ok() ? got : 0);
  return e;
}

// The new value goes over the old one at the start of the file in a single
// write of nine bytes: they lie in the file's first sector, which a stopped
// run or a power cut leaves old or new, never mixed, and which overwriting
// never needs new room for. Only a longer, damaged file is cut after them.
bool WriteState(platform::FileHandle h, std::uint32_t serial, std::size_t oldSize, SerialReservation& out) {
  const std::string text = Hex8(serial).str() + "\n";
  std::size_t put = 0;
  Error e = platform::SeekFile(h, 0);
  if (e.ok()) e = platform::WriteFile(h, text.data(), text.size(), &put);
  if (e.ok() && put != text.size()) e = Error(Errc::kShortWrite);
  if (e.ok() && oldSize > text.size()) e = platform::TruncateFile(h);
  return e.ok() || Fail(out, "write", std::move(e));
}

}  // namespace

bool ParseSerialText(const std::string& text, std::uint32_t& serial) {
  std::string_view t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.remove_suffix(1);
  if (t.size() != 8) return false;
  std::int32_t errorPos = 0;
  const std::int32_t v = ParseInteger("$" + std::string(t), errorPos);
  if (errorPos != 0) return false;
  serial = static_cast<std::uint32_t>(v);
  return true;
}

bool ReserveSerials(const std::string& path, std::uint32_t count, std::uint32_t clock,
                    int lockWaitMs, SerialReservation& out) {
  out = SerialReservation{};
  if (count == 0) count = 1;
  const platform::FileHandle h = OpenLocked(path, lockWaitMs, out);
  if (h == platform::kNoFile) return false;
  std::string text;
  if (Error e = ReadState(h, text); !e.ok()) {
    platform::CloseFile(h);
    return Fail(out, "read", std::move(e));
  }
  std::uint32_t last = 0;
  if (!text.empty() && !ParseSerialText(text, last)) {
    out.replacedDamaged = true;
    last = 0;
  }
  out.first = NextSerial(clock, last);
  const std::uint32_t newLast = SerialAfter(out.first, count - 1);
  const bool ok = WriteState(h, newLast, text.size(), out);
  // Closing drops the lock.
  platform::CloseFile(h);
  return ok;
}

}  // namespace mvx
