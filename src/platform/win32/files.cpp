// Files: open with share modes, create, read, write, seek, size, truncate,
// delete, rename, and the files shared with other programs.
//
// Sharing is what CreateFile's share mode gives: the system itself refuses
// an open that conflicts with the handles already open, in any program and
// in this one alike. A refused open (ERROR_SHARING_VIOLATION) is tried again
// for as long as the caller says, as the POSIX layer waits for a record lock,
// because a tosser holds a base only for moments; after that the open fails
// with kErrorHeldByOther.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

namespace {

using win32::FromHandle;
using win32::SetError;
using win32::ToHandle;
using win32::Wide;

constexpr DWORD kPollMs = 10;
// The wait of an open that fails at once when another holder refuses it.
constexpr int kNoWait = -1;

// Standard output carries the usage screen and the console lines byte for
// byte as they are written; their line ends are written as CR LF already.
// In the C library's text mode every LF would get a CR put before it, and
// the usage lines that end in LF CR before their line end would come out
// with a CR doubled. Set once, before main, in a file every program links.
struct BinaryStandardOutput {
  BinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }
} gBinaryStandardOutput;

DWORD ShareBits(Share share) {
  switch (share) {
    case Share::kNone:
      return 0;
    case Share::kRead:
      return FILE_SHARE_READ;
    case Share::kWrite:
      return FILE_SHARE_WRITE;
    case Share::kReadWrite:
      break;
  }
  return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

DWORD AccessBits(Access access) {
  switch (access) {
    case Access::kRead:
      return GENERIC_READ;
    case Access::kWrite:
      return GENERIC_WRITE;
    case Access::kReadWrite:
      break;
  }
  return GENERIC_READ | GENERIC_WRITE;
}

bool HeldByAnother(DWORD e) { return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION; }

// CreateFileW of a program name. An open that another holder's share mode
// refuses is tried again until waitMs have gone (kNoWait: not at all, and
// the system's own error is kept).
HANDLE Open(const std::string& name, DWORD access, DWORD share, DWORD disposition, int waitMs, int* error) {
  if (!common::IsUsableName(name)) {
    SetError(error, ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const std::wstring wide = Wide(name);
  const bool wait = waitMs != kNoWait;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait && waitMs > 0 ? waitMs : 0);
  // FILE_SHARE_DELETE on every open, whatever the share mode: the program
  // gives a file its name while it still has it open (a finished message
  // file goes from its temporary name to its number, a rewritten one takes
  // the place of the file open for it), as POSIX allows. Without it the
  // rename or replace fails with a sharing violation on a handle of our
  // own. It opens nothing to other programs' reads or writes.
  share |= FILE_SHARE_DELETE;
  for (;;) {
    const HANDLE h = CreateFileW(wide.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      // Only disk files: a device name (CON, NUL, COM1) opens as well, and
      // a read from the console would wait for the keyboard.
      if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        SetError(error, ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
      }
      SetError(error, 0);
      return h;
    }
    const DWORD e = GetLastError();
    if (!wait || !HeldByAnother(e)) {
      SetError(error, e);
      return INVALID_HANDLE_VALUE;
    }
    if (GetTickCount64() >= deadline) {
      if (error) *error = kErrorHeldByOther;
      return INVALID_HANDLE_VALUE;
    }
    Sleep(kPollMs);
  }
}

// Open with the operation's code for a failure.
Error OpenAs(Errc operation, const std::string& name, DWORD access, DWORD share, DWORD disposition, int waitMs,
             FileHandle* handle) {
  int err = 0;
  *handle = FromHandle(Open(name, access, share, disposition, waitMs, &err));
  return *handle == kNoFile ? OsFailure(operation, err, name) : Error();
}

}  // namespace

Error OpenExisting(const std::string& name, Access access, Share share, int waitMs, FileHandle* handle) {
  // A directory fails here by itself (no FILE_FLAG_BACKUP_SEMANTICS).
  return OpenAs(Errc::kOpenFailed, name, AccessBits(access), ShareBits(share), OPEN_EXISTING, waitMs < 0 ? 0 : waitMs,
                handle);
}

Error CreateAlways(const std::string& name, int waitMs, FileHandle* handle) {
  // CREATE_ALWAYS on a file that another handle holds without sharing
  // writes fails with a sharing violation: the file is never emptied under
  // its holder. That is waited for like an open.
  return OpenAs(Errc::kCreateFailed, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                CREATE_ALWAYS, waitMs < 0 ? 0 : waitMs, handle);
}

Error CreateNew(const std::string& name, FileHandle* handle) {
  // The file system compares names without regard to case, so CREATE_NEW
  // refuses FOO.MSG when foo.msg is there.
  return OpenAs(Errc::kCreateFailed, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                CREATE_NEW, kNoWait, handle);
}

Error OpenAppend(const std::string& name, FileHandle* handle) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of
  // the file as it is then, also when another program appended meanwhile.
  return OpenAs(Errc::kOpenFailed, name, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                OPEN_EXISTING, kNoWait, handle);
}

Error OpenOrCreate(const std::string& name, FileHandle* handle) {
  return OpenAs(Errc::kOpenFailed, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                OPEN_ALWAYS, kNoWait, handle);
}

Error OpenAppendOrCreate(const std::string& name, FileHandle* handle) {
  return OpenAs(Errc::kOpenFailed, name, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                OPEN_ALWAYS, kNoWait, handle);
}

Error ReadFile(FileHandle h, void* buffer, std::size_t count, std::size_t* got) {
  std::size_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    const DWORD ask = count - done > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count - done);
    DWORD n = 0;
    if (!::ReadFile(ToHandle(h), p + done, ask, &n, nullptr)) {
      const DWORD e = GetLastError();
      if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF) break;  // the writer's end
      if (got) *got = done;
      return Error(Errc::kReadFailed, static_cast<int>(e));
    }
    if (n == 0) break;
    done += n;
  }
  if (got) *got = done;
  return Error();
}

Error WriteFile(FileHandle h, const void* buffer, std::size_t count, std::size_t* put) {
  std::size_t done = 0;
  const auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    const DWORD ask = count - done > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count - done);
    DWORD n = 0;
    if (!::WriteFile(ToHandle(h), p + done, ask, &n, nullptr)) {
      if (put) *put = done;
      return Error(Errc::kWriteFailed, static_cast<int>(GetLastError()));
    }
    if (n == 0) break;
    done += n;
  }
  if (put) *put = done;
  return Error();
}

Error SeekFile(FileHandle h, std::int64_t offset) {
  if (offset < 0) return Error(Errc::kSeekFailed, ERROR_NEGATIVE_SEEK);
  LARGE_INTEGER to;
  to.QuadPart = offset;
  if (!SetFilePointerEx(ToHandle(h), to, nullptr, FILE_BEGIN)) {
    return Error(Errc::kSeekFailed, static_cast<int>(GetLastError()));
  }
  return Error();
}

Error TellFile(FileHandle h, std::int64_t* offset) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  *offset = -1;
  if (!SetFilePointerEx(ToHandle(h), zero, &at, FILE_CURRENT)) {
    return Error(Errc::kSeekFailed, static_cast<int>(GetLastError()));
  }
  *offset = at.QuadPart;
  return Error();
}

Error FileSize(FileHandle h, std::int64_t* size) {
  LARGE_INTEGER got;
  *size = -1;
  if (!GetFileSizeEx(ToHandle(h), &got)) return Error(Errc::kSizeFailed, static_cast<int>(GetLastError()));
  *size = got.QuadPart;
  return Error();
}

Error TruncateFile(FileHandle h) {
  if (!SetEndOfFile(ToHandle(h))) return Error(Errc::kTruncateFailed, static_cast<int>(GetLastError()));
  return Error();
}

void CloseFile(FileHandle h) {
  if (h != kNoFile) CloseHandle(ToHandle(h));  // also ends its share mode and its locks
}

Error DeleteFile(const std::string& name) {
  if (!common::IsUsableName(name)) return OsFailure(Errc::kDeleteFailed, ERROR_FILE_NOT_FOUND, name);
  if (!DeleteFileW(Wide(name).c_str())) return OsFailure(Errc::kDeleteFailed, static_cast<int>(GetLastError()), name);
  return Error();
}

Error RenameNew(const std::string& existing, const std::string& newName) {
  if (!common::IsUsableName(existing) || !common::IsUsableName(newName)) {
    return OsFailure(Errc::kRenameFailed, ERROR_FILE_NOT_FOUND, newName);
  }
  // Without MOVEFILE_REPLACE_EXISTING the move refuses a taken name, in any
  // letter case, in the same step that would take it: no window in which
  // another program's new file could be replaced.
  if (MoveFileExW(Wide(existing).c_str(), Wide(newName).c_str(), 0)) return Error();
  return OsFailure(Errc::kRenameFailed, static_cast<int>(GetLastError()), newName);
}

namespace {

// FILE_RENAME_INFO as the FileRenameInfoEx class takes it, spelled out here
// because the headers offer the Flags member only to programs built for
// newer systems than this one must run on.
struct RenameInfoEx {
  DWORD Flags;
  HANDLE RootDirectory;
  DWORD FileNameLength;
  WCHAR FileName[1];
};
constexpr int kFileRenameInfoEx = 22;  // FILE_INFO_BY_HANDLE_CLASS
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// The rename of Windows 10 and later that works like rename(2): the target
// may be open (with FILE_SHARE_DELETE, as every open here is); its holders
// keep reading the old file, and the name goes to the new one in one step.
// The classic MoveFileEx refuses a target that anyone has open, and the
// state files this replaces are held open, locked, by their updater.
// False with *unsupported when the system or the file system has no such
// rename, for the caller to fall back on MoveFileEx.
bool PosixReplace(const std::wstring& source, const std::wstring& target, DWORD* error, bool* unsupported) {
  *unsupported = false;
  std::vector<wchar_t> full(MAX_PATH + 1);
  DWORD n = GetFullPathNameW(target.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n >= full.size()) {
    full.resize(n + 1);
    n = GetFullPathNameW(target.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (n == 0 || n >= full.size()) {
    *unsupported = true;
    return false;
  }
  // The kernel wants its own form of the name: \??\C:\..., \??\UNC\server\...
  std::wstring nt(full.data(), n);
  nt = nt.rfind(L"\\\\", 0) == 0 ? L"\\??\\UNC\\" + nt.substr(2) : L"\\??\\" + nt;
  const HANDLE h = CreateFileW(source.c_str(), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  std::vector<unsigned char> buffer(sizeof(RenameInfoEx) + nt.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<RenameInfoEx*>(buffer.data());
  info->Flags = kRenameReplaceIfExists | kRenamePosixSemantics;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nt.size() * sizeof(wchar_t));
  std::copy(nt.begin(), nt.end(), info->FileName);
  const bool ok = SetFileInformationByHandle(h, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileRenameInfoEx), info,
                                             static_cast<DWORD>(buffer.size())) != 0;
  *error = ok ? 0 : GetLastError();
  CloseHandle(h);
  *unsupported = !ok && (*error == ERROR_INVALID_PARAMETER || *error == ERROR_NOT_SUPPORTED ||
                         *error == ERROR_INVALID_FUNCTION || *error == ERROR_CALL_NOT_IMPLEMENTED);
  return ok;
}

}  // namespace

Error ReplaceFile(const std::string& from, const std::string& to, int waitMs) {
  if (!common::IsUsableName(from) || !common::IsUsableName(to)) {
    return OsFailure(Errc::kRenameFailed, ERROR_FILE_NOT_FOUND, to);
  }
  const std::wstring source = Wide(from), target = Wide(to);
  DWORD e = 0;
  bool unsupported = false;
  if (PosixReplace(source, target, &e, &unsupported)) return Error();
  if (!unsupported && !HeldByAnother(e) && e != ERROR_ACCESS_DENIED) {
    return OsFailure(Errc::kRenameFailed, static_cast<int>(e), to);
  }
  // Older systems (and wine): MoveFileEx with MOVEFILE_REPLACE_EXISTING
  // swaps the directory entry in one step too. (The ReplaceFileW call is no
  // help: it carries attributes and ACLs over and goes through a backup
  // name.) But it refuses a target that anyone has open, and the state files
  // replaced here are held open, locked, by the very run that replaces them.
  // An open file may still be renamed, though, when its holders allow
  // FILE_SHARE_DELETE as every open here does: the old file is moved aside,
  // the new one takes its name, and the old one is deleted (its holders read
  // on until they close it). Between the two moves the name is missing for a
  // moment; a run that creates it then makes the second move fail, and the
  // old file is moved back, or kept under the aside name when that fails too.
  const std::wstring aside = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".old";
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitMs > 0 ? waitMs : 0);
  for (;;) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Error();
    }
    e = GetLastError();
    if (!HeldByAnother(e) && e != ERROR_ACCESS_DENIED) return OsFailure(Errc::kRenameFailed, static_cast<int>(e), to);
    if (MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
      if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(aside.c_str());
        return Error();
      }
      e = GetLastError();
      MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      return OsFailure(Errc::kRenameFailed, static_cast<int>(e), to);
    }
    // Held by a program that does not allow the rename: waited for.
    if (GetTickCount64() >= deadline) {
      return OsFailure(Errc::kRenameFailed, HeldByAnother(e) ? kErrorHeldByOther : static_cast<int>(e), to);
    }
    Sleep(kPollMs);
  }
}

Error ReadStandardInput(std::string& all) {
  all.clear();
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return Error();  // no standard input: nothing to read
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &got, nullptr)) {
      const DWORD e = GetLastError();
      if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF) return Error();  // the writer closed its end
      return Error(Errc::kReadFailed, static_cast<int>(e), "standard input");
    }
    if (got == 0) return Error();
    all.append(buffer, got);
  }
}

// LockFileEx locks are mandatory: while we hold a range, other handles (also
// our own other ones) cannot read or write in it, not just lock it. That is
// what the tossers on this system expect of the one-byte lock of a shared
// file, and the callers here read and write only through the locking handle.
Error LockRange(FileHandle h, std::int64_t start, std::int64_t count, bool exclusive, int waitMs) {
  // "To the end, however far the file grows": the whole positive range.
  const std::uint64_t length = count > 0 ? static_cast<std::uint64_t>(count)
                                         : static_cast<std::uint64_t>(INT64_MAX - start);
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitMs < 0 ? 0 : waitMs);
  for (;;) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(start));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(start) >> 32);
    if (LockFileEx(ToHandle(h), flags, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &at)) {
      return Error();
    }
    const DWORD e = GetLastError();
    if (e != ERROR_LOCK_VIOLATION && e != ERROR_IO_PENDING) return Error(Errc::kLockFailed, static_cast<int>(e));
    if (GetTickCount64() >= deadline) return Error(Errc::kHeldByOther, kErrorHeldByOther);
    Sleep(kPollMs);
  }
}

void UnlockRange(FileHandle h, std::int64_t start, std::int64_t count) {
  // The range must be the one locked, to the byte.
  const std::uint64_t length = count > 0 ? static_cast<std::uint64_t>(count)
                                         : static_cast<std::uint64_t>(INT64_MAX - start);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(start));
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(start) >> 32);
  UnlockFileEx(ToHandle(h), 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &at);
}

}  // namespace mvx::platform
