// The serial state file: locked read, then write-and-rename.
#include "support/serial_state.h"

#include <array>

#include "platform/platform.h"
#include "support/datetime.h"
#include "support/msgid_serials.h"

namespace mvx {

namespace {

constexpr std::size_t kMaxStateBytes = 64;  // more than this is not ours
constexpr int kReopenTries = 50;

bool Fail(SerialReservation& out, const char* step, int error) {
  out.failedStep = step;
  out.error = error;
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Opens the state file and locks it. The lock sits on the file itself, and
// every update replaces the file by a rename, so a run that waited for the
// lock may hold it on a file that is no longer the state file: it then opens
// the new one and locks again.
platform::FileHandle OpenLocked(const std::string& path, int lockWaitMs, SerialReservation& out) {
  for (int i = 0; i < kReopenTries; ++i) {
    int error = 0;
    const platform::FileHandle h = platform::OpenOrCreate(path, &error);
    if (h == platform::kNoFile) {
      Fail(out, "open", error);
      return platform::kNoFile;
    }
    if (!platform::LockRange(h, 0, 0, true, lockWaitMs, &error)) {
      platform::CloseFile(h);
      Fail(out, "lock", error);
      return platform::kNoFile;
    }
    if (platform::IsSameFile(h, path)) return h;
    platform::CloseFile(h);
  }
  Fail(out, "lock", 0);
  return platform::kNoFile;
}

bool ReadState(platform::FileHandle h, std::string& text, int* error) {
  std::array<char, kMaxStateBytes + 1> buf{};
  std::size_t got = 0;
  if (!platform::ReadFile(h, buf.data(), buf.size(), &got, error)) return false;
  text.assign(buf.data(), got);
  return true;
}

bool WriteState(const std::string& path, std::uint32_t serial, SerialReservation& out) {
  // The temporary name is only ever used by the holder of the lock.
  const std::string temp = path + ".new";
  int error = 0;
  const platform::FileHandle h = platform::CreateAlways(temp, &error);
  if (h == platform::kNoFile) return Fail(out, "write", error);
  const std::string text = Hex8(serial).str() + "\n";
  std::size_t put = 0;
  // No sync before the rename: the rename alone keeps a stopped run from
  // leaving a mixture, and the messages these serials go into are not synced
  // either, so after a power cut both come back from the same moment.
  const bool written = platform::WriteFile(h, text.data(), text.size(), &put, &error) && put == text.size();
  platform::CloseFile(h);
  if (!written) {
    (void)platform::DeleteFile(temp, nullptr);
    return Fail(out, "write", error);
  }
  if (!platform::ReplaceFile(temp, path, &error)) {
    (void)platform::DeleteFile(temp, nullptr);
    return Fail(out, "rename", error);
  }
  return true;
}

}  // namespace

bool ParseSerialText(const std::string& text, std::uint32_t& serial) {
  std::string_view t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.remove_suffix(1);
  if (t.size() != 8) return false;
  std::uint32_t v = 0;
  for (char c : t) {
    const int d = HexValue(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<std::uint32_t>(d);
  }
  serial = v;
  return true;
}

bool ReserveSerials(const std::string& path, std::uint32_t count, std::uint32_t clock,
                    int lockWaitMs, SerialReservation& out) {
  out = SerialReservation{};
  if (count == 0) count = 1;
  const platform::FileHandle h = OpenLocked(path, lockWaitMs, out);
  if (h == platform::kNoFile) return false;
  std::string text;
  int error = 0;
  if (!ReadState(h, text, &error)) {
    platform::CloseFile(h);
    return Fail(out, "read", error);
  }
  std::uint32_t last = 0;
  if (!text.empty() && !ParseSerialText(text, last)) {
    out.replacedDamaged = true;
    last = 0;
  }
  out.first = NextSerial(clock, last);
  const std::uint32_t newLast = SerialAfter(out.first, count - 1);
  const bool ok = WriteState(path, newLast, out);
  // Closing drops the lock; the next run finds the new file.
  platform::CloseFile(h);
  return ok;
}

}  // namespace mvx
