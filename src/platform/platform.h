// The operating-system layer.
//
// Everything the program takes from the operating system goes through the
// functions declared here: files with sharing modes, directory search, file
// times, directories and full paths, the local clock, and the conversion of a
// program name into a name the file system understands. The rest of the
// program never includes an OS header. There are two implementations behind
// these declarations: posix/ (record locks, case resolved against the disk)
// and win32/ (the W calls with share modes, names through code page 866);
// common/ holds what both share (name matching, the calendar). Nothing here
// keeps settings: how long to wait for another program is a parameter, and
// the clock is the real one (a test clock stands in for it above this layer).
//
// A failing call returns an Error with the operation's code (or kNotFound,
// kNameTaken, kHeldByOther when that is the reason), the system's error
// number and the file's name; values come back through pointers.
//
// Names handed to these functions are program names: "\" or "/" separate
// directories, and the case of a name need not match the file system's. Each
// function converts the name with NativeName() itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "error/error.h"

namespace mvx::platform {

// ---------------------------------------------------------------- files

// The line end of the system's text files, which the log is written with.
#ifdef _WIN32
inline constexpr char kLineEnd[] = "\r\n";
#else
inline constexpr char kLineEnd[] = "\n";
#endif

using FileHandle = int;
constexpr FileHandle kNoFile = -1;

enum class Access { kRead, kWrite, kReadWrite };

// What other programs may do with a file while we hold it open.
enum class Share { kNone, kRead, kWrite, kReadWrite };

// Open an existing file. Sharing is enforced with locks that other programs on
// this system honour (record locks, see posix/file_locks.cpp; on Windows the
// share modes of the open itself, see win32/files.cpp); a conflicting holder
// is waited for at most waitMs, then the open fails with kHeldByOther.
// Directories are refused, and so are pipes unless opened only for reading.
// *handle is kNoFile after a failure.
Error OpenExisting(const std::string& name, Access access, Share share, int waitMs, FileHandle* handle);

// Create the file empty (replacing an existing one), open for reading and
// writing, no sharing restriction. A file another program holds is waited
// for at most waitMs before it is emptied, as OpenExisting waits.
Error CreateAlways(const std::string& name, int waitMs, FileHandle* handle);

// Create the file only if no file of that name (in any letter case) exists;
// open for reading and writing. Fails with kNameTaken when the name is taken.
Error CreateNew(const std::string& name, FileHandle* handle);

// Open for appending (text files: the log). Creates nothing; a pipe without
// a reader fails at once instead of waiting for one.
Error OpenAppend(const std::string& name, FileHandle* handle);

// Read up to count bytes; *got receives the number read (0 at end of file).
Error ReadFile(FileHandle h, void* buffer, std::size_t count, std::size_t* got);
// Write count bytes; *put receives the number written.
Error WriteFile(FileHandle h, const void* buffer, std::size_t count, std::size_t* put);
// Move to an absolute offset; beyond the end is allowed.
Error SeekFile(FileHandle h, std::int64_t offset);
// Current offset (-1 after a failure).
Error TellFile(FileHandle h, std::int64_t* offset);
// Size in bytes (-1 after a failure). Does not move the offset.
Error FileSize(FileHandle h, std::int64_t* size);
// Make the file end at the current offset.
Error TruncateFile(FileHandle h);
void CloseFile(FileHandle h);
Error DeleteFile(const std::string& name);
// Give the file `existing` the name `newName` instead, only when no file of
// that name exists in any letter case (like CreateNew): a file that another
// program made under that name is never replaced. Fails with kNameTaken
// when the name is taken. Afterwards `existing` is gone.
Error RenameNew(const std::string& existing, const std::string& newName);
// Put the file `from` in the place of the file `to` in one step: a reader
// finds the old file or the new one under that name, never a mix of them.
// Where the system refuses to replace a file another program holds open
// (Windows), that is waited for at most waitMs.
Error ReplaceFile(const std::string& from, const std::string& to, int waitMs);

// Read standard input to its end into all (replacing what it held), bytes
// as they come. After a failed read all holds what was read before it.
Error ReadStandardInput(std::string& all);

// ------------------------------------------ files shared with other programs

// Open the file for reading and writing, creating it empty when it is
// missing; an existing file is never emptied. No sharing lock is taken.
Error OpenOrCreate(const std::string& name, FileHandle* handle);
// Open for appending, creating the file when it is missing; as OpenAppend.
Error OpenAppendOrCreate(const std::string& name, FileHandle* handle);
// Lock count bytes from start (0 = to the end, however far the file grows)
// against other programs, for writing (exclusive) or reading, waiting at most
// waitMs for a conflicting lock to go. The lock goes with UnlockRange or when
// the handle is closed.
Error LockRange(FileHandle h, std::int64_t start, std::int64_t count, bool exclusive, int waitMs);
void UnlockRange(FileHandle h, std::int64_t start, std::int64_t count);
// Seconds since 1970 in UTC, from the real clock.
std::int64_t UnixTime();

// The system error number an Error of kHeldByOther carries, so that code
// that keeps only the number still says why; ErrorText says so in words.
constexpr int kErrorHeldByOther = 0x10001;

// How long the program waits for another program's conflicting lock unless
// it is told otherwise: a tosser holds a base only for moments.
constexpr int kDefaultLockWaitMs = 3000;

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

  // First entry matching the mask, or false. With namesOnly, an entry
  // carries its name and whether it is a directory, a file or something
  // else, but no time, size or read-only bit: the file system is not asked
  // about each entry, which is what makes a directory of thousands of files
  // quick to list.
  bool First(const std::string& mask, DirEntry* entry, bool namesOnly = false);
  bool Next(DirEntry* entry);
  void Close();

 private:
  struct State;
  State* state_;
};

// ------------------------------------------------- directories and paths

Error CreateDirectory(const std::string& path);
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

// While an object of this kind lives, a directory that NativeName must list
// to find a name in another letter case is listed once and the listing kept:
// a set of files (the files of one area) is resolved first and then created
// back to back, with no listing between two creates. A name that another
// program adds meanwhile in another letter case is not seen; one added in
// the same spelling still makes an exclusive create fail.
class NameResolutionScope {
 public:
  NameResolutionScope();
  ~NameResolutionScope();
  NameResolutionScope(const NameResolutionScope&) = delete;
  NameResolutionScope& operator=(const NameResolutionScope&) = delete;
};

// A name found by a directory search, as the program sees it (ANSI to OEM).
// On POSIX the bytes pass unchanged.
std::string ProgramName(const std::string& native);

// The extension a message base gives a file it creates. The formats name
// their extensions in capitals ("SQD", "JHR", "MSG"); on POSIX the tossers and
// editors look for lower-case ones, so this lower-cases them there.
std::string NewFileExtension(const std::string& upperExt);

// ---------------------------------------------------------------- clock

struct LocalTime {
  int year = 0, month = 0, day = 0;        // month 1-12, day 1-31
  int hour = 0, minute = 0, second = 0;    // 0-23, 0-59, 0-59
  int millisecond = 0;                     // 0-999
  int dayOfWeek = 0;                       // 0 = Sunday ... 6 = Saturday
};

// The local wall-clock time, read from the C library (so that tools that
// shift a process's clock work on the program).
LocalTime Now();
// Let the clock move on by at least a hundredth of a second (sleeps; gives
// up after about a second on a clock that stands still).
void WaitHundredth();
// 0 = Sunday ... 6 = Saturday, over the proleptic Gregorian calendar.
int DayOfWeek(int year, int month, int day);
// UnixTime of a local wall-clock moment (of a clock other than the real one).
std::int64_t UnixTimeOf(const LocalTime& t);

// Waits for other programs: a sleep of about ms milliseconds, and a clock
// in milliseconds that only moves forward (not the wall clock), to bound
// such waits.
void SleepMilliseconds(int ms);
std::int64_t MonotonicMilliseconds();

// ------------------------------------------------------------ file times

// Last-write time of a file as local DOS date (high 16 bits) and time (low).
std::optional<std::uint32_t> GetFileDosTime(const std::string& name);
// Set the last-write time from a local date and time.
Error SetFileTime(const std::string& name, const LocalTime& t);
// The last-write time of a file or directory at the finest step the system
// keeps, as a number that stays the same for as long as nothing changes it
// (a directory changes when a name in it is made, renamed or removed).
std::optional<std::int64_t> GetChangeStamp(const std::string& name);

// ----------------------------------------------------------- environment

// The value of an environment variable (the name's case counts); nullopt
// when it is not set.
std::optional<std::string> GetEnv(const std::string& name);
// The system's text for its error number ("No such file or directory");
// empty when it has none. The text of kErrorHeldByOther names the wait,
// lockWaitMs, that ran out.
std::string ErrorText(int error, int lockWaitMs = kDefaultLockWaitMs);
// The system's reason when the error has one, else the code's text: what a
// log line puts after the name it failed on.
std::string ErrorText(const Error& error, int lockWaitMs = kDefaultLockWaitMs);
// The Error of a failed call: kNotFound, kNameTaken or kHeldByOther when
// the system's number says so, else the operation's own code.
Error OsFailure(Errc operation, int error, const std::string& name);
// Whether the system's number means it refused the access.
bool IsDeniedError(int error);
// The name tosser configurations know this system by (their [OS]).
std::string SystemName();

}  // namespace mvx::platform
