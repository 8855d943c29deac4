// The operating-system layer.
//
// Everything the program takes from the operating system goes through the
// functions declared here: files with sharing modes, directory search, file
// times, directories and full paths, the local clock, and the conversion of a
// program name into a name the file system understands. The rest of the
// program never includes an OS header. Today there is one implementation, in
// posix/; a Win32 implementation (CreateFileA with share modes, FindFirstFileA,
// GetLocalTime, OemToCharA ...) can sit beside it in win32/ behind the same
// declarations.
//
// Names handed to these functions are program names: "\" or "/" separate
// directories, and the case of a name need not match the file system's. Each
// function converts the name with NativeName() itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mvx::platform {

// ---------------------------------------------------------------- files

using FileHandle = int;
constexpr FileHandle kNoFile = -1;

enum class Access { kRead, kWrite, kReadWrite };

// What other programs may do with a file while we hold it open.
enum class Share { kNone, kRead, kWrite, kReadWrite };

// Open an existing file. Sharing is enforced with locks that other programs on
// this system honour (see posix/files.cpp); a conflicting lock held elsewhere
// is waited for at most LockWaitMilliseconds(), then the open fails.
// Directories are refused, and so are pipes unless opened only for reading.
// Returns kNoFile on failure and puts the OS error code into *error.
FileHandle OpenExisting(const std::string& name, Access access, Share share, int* error);

// Create the file empty (replacing an existing one), open for reading and
// writing, no sharing restriction.
FileHandle CreateAlways(const std::string& name, int* error);

// Create the file only if no file of that name (in any letter case) exists;
// open for reading and writing. Fails with *error = EEXIST-like code and
// *exists = true when the name is taken.
FileHandle CreateNew(const std::string& name, int* error, bool* exists);

// Open for appending (text files: the log). Creates nothing; a pipe without
// a reader fails at once instead of waiting for one.
FileHandle OpenAppend(const std::string& name, int* error);

// Read up to count bytes; *got receives the number read (0 at end of file).
bool ReadFile(FileHandle h, void* buffer, std::size_t count, std::size_t* got, int* error);
// Write count bytes; *put receives the number written.
bool WriteFile(FileHandle h, const void* buffer, std::size_t count, std::size_t* put, int* error);
// Move to an absolute offset; beyond the end is allowed.
bool SeekFile(FileHandle h, std::int64_t offset, int* error);
// Current offset, or -1.
std::int64_t TellFile(FileHandle h, int* error);
// Size in bytes, or -1. Does not move the offset.
std::int64_t FileSize(FileHandle h, int* error);
// Make the file end at the current offset.
bool TruncateFile(FileHandle h, int* error);
void CloseFile(FileHandle h);
bool DeleteFile(const std::string& name, int* error);

// ------------------------------------------ files shared with other programs

// Open the file for reading and writing, creating it empty when it is
// missing; an existing file is never emptied. No sharing lock is taken.
FileHandle OpenOrCreate(const std::string& name, int* error);
// Open for appending, creating the file when it is missing; as OpenAppend.
FileHandle OpenAppendOrCreate(const std::string& name, int* error);
// Lock count bytes from start (0 = to the end, however far the file grows)
// against other programs, for writing (exclusive) or reading, waiting at most
// waitMs for a conflicting lock to go. The lock goes with UnlockRange or when
// the handle is closed.
bool LockRange(FileHandle h, std::int64_t start, std::int64_t count, bool exclusive, int waitMs,
               int* error);
void UnlockRange(FileHandle h, std::int64_t start, std::int64_t count);
// Make the file's data durable before, say, a rename publishes it.
bool SyncFile(FileHandle h, int* error);
// Give the file "from" the name "to" in one step, replacing a file of that
// name: a reader sees the old file or the new one, never a mixture.
bool ReplaceFile(const std::string& from, const std::string& to, int* error);
// True while name still names the file open on h (not replaced or deleted).
bool IsSameFile(FileHandle h, const std::string& name);
// A short pause (retrying a busy file, say).
void SleepMilliseconds(int ms);
// Seconds since 1970 in UTC, from the real clock or the test clock.
std::int64_t UnixTime();

// How long an open waits for another program's conflicting lock.
int LockWaitMilliseconds();
void SetLockWaitMilliseconds(int ms);

// ------------------------------------------------------ directory search

// Attribute bits of a directory entry, as the program's world knows them.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrVolume = 0x08;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;

struct DirEntry {
  std::string name;       // file name only, as stored on disk
  std::uint32_t attr = 0; // kAttr... bits
  std::uint32_t dosTime = 0;  // local last-write time: DOS time low 16 bits, DOS date high 16
  std::uint32_t size = 0;     // file size (cut to 32 bits)
};

// A directory search over a mask "dir/pattern": the pattern may hold "*" and
// "?" and matches names without regard to ASCII case. The directory part is
// resolved like any other name.
class DirSearch {
 public:
  DirSearch();
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // First entry matching the mask, or false.
  bool First(const std::string& mask, DirEntry* entry);
  bool Next(DirEntry* entry);
  void Close();

 private:
  struct State;
  State* state_;
};

// ------------------------------------------------- directories and paths

bool CreateDirectory(const std::string& path, int* error);
// The name made absolute against the current directory (program separators
// kept as "\" is not assumed: the result uses the native separator).
std::string FullPath(const std::string& name);
// The native directory separator character ('/' on POSIX, '\\' on Win32).
char NativeSeparator();
// True for a character that separates directories in a program name.
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// ----------------------------------------------------------- file names

// The name as the file system must see it (the OEM to ANSI conversion of the
// original program). On POSIX: every "\" becomes "/", then each component is
// resolved: the exact name when it exists, else an existing entry of that
// directory equal to it without regard to ASCII case, else the name as written.
std::string NativeName(const std::string& name);

// A name found by a directory search, as the program sees it (ANSI to OEM).
// On POSIX the bytes pass unchanged.
std::string ProgramName(const std::string& native);

// The extension a message base gives a file it creates. The formats name
// their extensions in capitals ("SQD", "JHR", "MSG"); on POSIX the tossers and
// editors look for lower-case ones, so this lower-cases them there.
std::string NewFileExtension(const std::string& upperExt);

// --------------------------------------------------------------- process

// The system's text for an OS error code of these functions
// ("Permission denied"); empty for 0.
std::string ErrorText(int error);
// The value of an environment variable (the name's case counts), or none.
std::optional<std::string> GetEnv(const std::string& name);

// ---------------------------------------------------------------- clock

struct LocalTime {
  int year = 0, month = 0, day = 0;        // month 1-12, day 1-31
  int hour = 0, minute = 0, second = 0;    // 0-23, 0-59, 0-59
  int millisecond = 0;                     // 0-999
  int dayOfWeek = 0;                       // 0 = Sunday ... 6 = Saturday
};

// The local wall-clock time, read from the C library (so that tools that
// shift a process's clock work on the program), or the test clock.
LocalTime Now();
// Let the clock move on by at least a hundredth of a second: sleeps on the
// real clock, advances a test clock by 10 ms.
void WaitHundredth();

// Test clock: while set, Now() returns it (plus whatever WaitHundredth added)
// instead of the system clock. The day of the week is computed.
void SetTestClock(const LocalTime& t);
void ClearTestClock();
// While true, WaitHundredth leaves the test clock where it is: a clock that
// stands still, as a frozen shifted clock does. ClearTestClock resets it.
void HoldTestClock(bool still);

// ------------------------------------------------------------ file times

// Last-write time of a file as local DOS date (high 16 bits) and time (low).
std::optional<std::uint32_t> GetFileDosTime(const std::string& name);
// Set the last-write time from a local date and time.
bool SetFileTime(const std::string& name, const LocalTime& t);

}  // namespace mvx::platform
