// The local clock, sleeps, and file times.
//
// Local file times: FileTimeToLocalFileTime converts with the offset that
// holds today, so a file written in January reads an hour off all summer.
// The DOS times the program compares (the work flag's date, a *.MSG file's
// date) must be the wall-clock time at which the file was written, as on
// POSIX, so the conversions go through SystemTimeToTzSpecificLocalTime and
// back, which apply the summer-time rule of the date converted.
#include "platform/win32/windows_api.h"
#include "platform/common/name_check.h"
#include "platform/common/calendar.h"

namespace mvx::platform {

namespace win32 {

bool FileTimeToLocal(const FILETIME& utc, SYSTEMTIME* local) {
  SYSTEMTIME u{};
  return FileTimeToSystemTime(&utc, &u) && SystemTimeToTzSpecificLocalTime(nullptr, &u, local);
}

}  // namespace win32

namespace {

// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr std::int64_t kUnixEpoch = 116444736000000000LL;

LocalTime FromSystemTime(const SYSTEMTIME& s) {
  LocalTime t;
  t.year = s.wYear;
  t.month = s.wMonth;
  t.day = s.wDay;
  t.hour = s.wHour;
  t.minute = s.wMinute;
  t.second = s.wSecond;
  t.millisecond = s.wMilliseconds;
  t.dayOfWeek = s.wDayOfWeek;
  return t;
}

SYSTEMTIME ToSystemTime(const LocalTime& t) {
  SYSTEMTIME s{};
  s.wYear = static_cast<WORD>(t.year);
  s.wMonth = static_cast<WORD>(t.month);
  s.wDay = static_cast<WORD>(t.day);
  s.wHour = static_cast<WORD>(t.hour);
  s.wMinute = static_cast<WORD>(t.minute);
  s.wSecond = static_cast<WORD>(t.second);
  s.wMilliseconds = static_cast<WORD>(t.millisecond >= 0 && t.millisecond < 1000 ? t.millisecond : 0);
  return s;
}

// A local wall-clock moment as a UTC file time, by that date's summer-time rule.
bool LocalToFileTime(const LocalTime& t, FILETIME* utc) {
  const SYSTEMTIME local = ToSystemTime(t);
  SYSTEMTIME u{};
  return TzSpecificLocalTimeToSystemTime(nullptr, &local, &u) && SystemTimeToFileTime(&u, utc);
}

std::int64_t Ticks(const FILETIME& f) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

}  // namespace

LocalTime Now() {
  SYSTEMTIME s{};
  GetLocalTime(&s);
  return FromSystemTime(s);
}

// Sleep(1) sleeps a whole tick of the system timer, 15.6 ms unless some
// program has asked for a finer one, and the clock GetLocalTime reads moves
// in the same steps. So the wait yields the rest of its time slice and reads
// the clock again until the hundredth differs, bounded by the performance
// counter: a clock that does not move must not hang the program.
void WaitHundredth() {
  SYSTEMTIME start{};
  GetLocalTime(&start);
  LARGE_INTEGER frequency, began, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&began);
  for (;;) {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    if (t.wMilliseconds / 10 != start.wMilliseconds / 10 || t.wSecond != start.wSecond ||
        t.wMinute != start.wMinute || t.wHour != start.wHour || t.wDay != start.wDay) {
      return;
    }
    QueryPerformanceCounter(&now);
    if (now.QuadPart - began.QuadPart > frequency.QuadPart) return;  // a second
    if (!SwitchToThread()) Sleep(0);
  }
}

std::int64_t UnixTime() {
  FILETIME utc{};
  GetSystemTimeAsFileTime(&utc);
  return (Ticks(utc) - kUnixEpoch) / 10000000;
}

std::int64_t UnixTimeOf(const LocalTime& t) {
  FILETIME utc{};
  if (!LocalToFileTime(t, &utc)) return 0;
  return (Ticks(utc) - kUnixEpoch) / 10000000;
}

void SleepMilliseconds(int ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

std::int64_t MonotonicMilliseconds() { return static_cast<std::int64_t>(GetTickCount64()); }

std::optional<std::uint32_t> GetFileDosTime(const std::string& name) {
  if (!common::IsUsableName(name)) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(win32::Wide(name).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  SYSTEMTIME local{};
  if (!win32::FileTimeToLocal(data.ftLastWriteTime, &local)) return std::nullopt;
  return common::PackDosTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
}

std::optional<std::int64_t> GetChangeStamp(const std::string& name) {
  if (!common::IsUsableName(name)) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(win32::Wide(name).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  // In 100 ns steps; a directory's write time moves with its names.
  return static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                   data.ftLastWriteTime.dwLowDateTime);
}

Error SetFileTime(const std::string& name, const LocalTime& t) {
  if (!common::IsUsableName(name)) return OsFailure(Errc::kTimeFailed, ERROR_FILE_NOT_FOUND, name);
  FILETIME written{};
  if (!LocalToFileTime(t, &written)) return Error(Errc::kTimeFailed, ERROR_INVALID_PARAMETER, name);
  // Only the right to change attributes, and every sharing allowed: the
  // time can be set while the file is open elsewhere.
  const HANDLE h = CreateFileW(win32::Wide(name).c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return OsFailure(Errc::kTimeFailed, static_cast<int>(GetLastError()), name);
  const bool ok = ::SetFileTime(h, nullptr, nullptr, &written) != 0;
  const int error = ok ? 0 : static_cast<int>(GetLastError());
  CloseHandle(h);
  return ok ? Error() : Error(Errc::kTimeFailed, error, name);
}

}  // namespace mvx::platform
