// MsgDirBase: opening, creating and closing the area, and the numbers in use.
#include "msgdir/msgdir_base.h"

#include <string_view>
#include <vector>

#include "msgbase/env.h"
#include "msgdir/ascii_case.h"
#include "msgdir/msg_file_names.h"
#include "support/datetime.h"
#include "support/text.h"

namespace mvx {

namespace {

// Search attributes of the number scan: plain files, read-only or archive or
// neither; no directories, hidden or system entries.
constexpr std::uint32_t kScanAttributes = 0x21;
// A temporary message file this old is left from a run that stopped while
// writing (a message takes milliseconds to write): it is removed.
constexpr std::int64_t kStaleTempSeconds = 3600;

std::int64_t LocalSeconds(const DateTimeRec& d) {
  std::int32_t secs = 0;
  DateTimeToUnix(d, secs);
  return secs;
}

// True when a file with this DOS time stamp is older than kStaleTempSeconds.
bool IsStale(Clock& clock, std::uint32_t dosTime) {
  DateTimeRec then, now;
  UnpackDosDateTime(dosTime, then);
  GetNow(clock, now);
  return LocalSeconds(now) - LocalSeconds(then) > kStaleTempSeconds;
}

bool IsMsgName(std::string_view name) {
  return name.size() >= 4 && SameIgnoringAsciiCase(name.substr(name.size() - 4), ".MSG");
}

}  // namespace

MsgDirBase::~MsgDirBase() {
  DoReleaseMessage();
  DoCloseArea();
}

void MsgDirBase::SetAreaFromPath(const Str& path) {
  SetOpenState(false);
  numbersKnown_ = false;
  keepsHint_ = false;
  numbered_ = false;
  strayTemps_ = false;
  // "\" and "/" both end a directory; the one appended becomes the native
  // separator when a name is handed to the file system.
  Str area = path;
  if (!EndsWithSeparator(area.view())) area += '\\';
  SetAreaPath(area);
}

bool MsgDirBase::DoOpenArea(const Str& path) {
  SetAreaFromPath(path);
  if (!DirHasEntries(path)) {
    SetErrorCode(Errc::kMsgNoArea);
    return false;
  }
  if (!UseTopHint()) ScanNumbers();
  SetOpenState(true);
  return true;
}

bool MsgDirBase::DoCreateArea(const Str& path) {
  SetAreaFromPath(path);
  MakeDirectoryPath(AreaPath());
  // Making a directory reports no failure; a directory that could not be made
  // is caught here rather than by the first message that cannot be written.
  if (!DirHasEntries(AreaPath())) {
    SetErrorCode(Errc::kMsgNoArea);
    return false;
  }
  ScanNumbers();
  SetOpenState(true);
  return true;
}

bool MsgDirBase::AreaExists(const Str& path) { return DirHasEntries(path); }

bool MsgDirBase::DoCloseArea() {
  if (IsOpen()) WriteTopHint();
  SetAreaPath("");
  SetOpenState(false);
  return true;
}

void MsgDirBase::ScanNumbers() {
  used_.Clear();
  topNumber_ = 0;
  foundNames_.clear();
  numbersKnown_ = true;

  Str mask;
  // An area path too long for the mask cannot hold message files we could
  // name either: the area stays empty.
  if (!JoinAreaPath(AreaPath(), "*", mask)) return;
  std::unique_ptr<DirScanner> scanner = env().NewDirScanner();
  if (!scanner) return;
  // Only the numbers in the names matter: no question to the file system
  // per file, so that an area of thousands of messages opens quickly.
  scanner->SetNamesOnly(true);
  std::vector<Str> stale;
  for (bool found = scanner->ScanFirst(mask, kScanAttributes); found; found = scanner->ScanNext()) {
    const Str name = scanner->Name;
    if (IsTempMsgFileName(name.view())) stale.push_back(name);
    if (!IsMsgName(name.view())) continue;
    const std::int32_t n = MsgNumberFromName(name.view());
    if (n == 0) continue;
    const bool usual = IsUsualMsgName(name.view(), n);
    if (usual) {
      foundNames_.erase(n);
    } else if (!used_.Test(n)) {
      // Only until the usual name turns up: that one is preferred.
      foundNames_[n] = name;
    }
    used_.Mark(n);
    if (n > topNumber_) topNumber_ = n;
  }
  scanner->ScanEnd();
  NoteAreaSize();
  // Only a name: a temporary file that already has its number as well is a
  // second name of that message, which stays.
  // The listing gave names only; a temporary file's age is asked of it
  // alone (there are none but after a crash).
  for (const Str& name : stale) {
    Str path;
    if (!JoinAreaPath(AreaPath(), name, path)) continue;
    std::unique_ptr<DirScanner> one = env().NewDirScanner();
    const bool old = one && one->ScanFirst(path, kScanAttributes) && IsStale(env().Time(), one->Time);
    if (one) one->ScanEnd();
    if (old) {
      DeleteFileKeepingError(path);
    } else {
      strayTemps_ = true;
    }
  }
}

bool MsgDirBase::MessagePath(std::int32_t n, Str& path) {
  EnsureNumbers();
  const auto found = foundNames_.find(n);
  return JoinAreaPath(AreaPath(), found != foundNames_.end() ? found->second : MsgFileName(n), path);
}

bool MsgDirBase::HasMessage(std::int32_t number) {
  EnsureNumbers();
  return number >= 1 && used_.Test(number);
}

std::int32_t MsgDirBase::CurrentUid() { return CurrentNumber(); }

void MsgDirBase::PositionByUid(std::int32_t uid) { SetCurrentNumber(uid); }

std::int32_t MsgDirBase::HighestNumber() {
  EnsureNumbers();
  return topNumber_;
}

std::int32_t MsgDirBase::MessageCount() {
  EnsureNumbers();
  return used_.Count();
}

}  // namespace mvx
