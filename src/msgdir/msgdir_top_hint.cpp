// MsgDirBase: the top-number hint, so that posting into a big area does not
// list it.
//
// Listing a directory of 20,000 messages costs several times a whole posting,
// and all a new message needs is the highest number. So an area big enough
// for that to matter keeps a small file, kTopHintName: the highest number a
// run gave out and the directory's change stamp just after. While the stamp
// is unchanged no name in the directory was made, renamed or removed since,
// and that number is still the highest. Any other program's change moves the
// stamp and the next open lists the area as usual.
//
// The hint can only be behind, never ahead in a harmful way: a file another
// program made in the same instant as our last one (a stamp that did not
// move) takes a number above ours, and the rename that numbers a message
// never replaces a taken name, it tries the next. Any question about the
// numbers beyond the highest (navigation, counts, loading) lists the area.
#include <charconv>
#include <string>

#include "msgdir/msg_file_names.h"
#include "msgdir/msgdir_base.h"
#include "platform/platform.h"

namespace mvx {

namespace {

constexpr const char* kTopHintName = "marvex.top";
// An area with fewer messages lists quickly enough: it gets no hint file.
constexpr std::int32_t kHintFromMessages = 1000;
constexpr std::size_t kMaxHintBytes = 64;

struct TopHint {
  std::int32_t top = 0;
  std::int64_t stamp = 0;
};

// "<top> <stamp>\n"; false for anything else.
bool ParseTopHint(std::string_view text, TopHint& hint) {
  const char* p = text.data();
  const char* end = p + text.size();
  auto r = std::from_chars(p, end, hint.top);
  if (r.ec != std::errc() || r.ptr == end || *r.ptr != ' ') return false;
  r = std::from_chars(r.ptr + 1, end, hint.stamp);
  if (r.ec != std::errc() || r.ptr == end || *r.ptr != '\n' || r.ptr + 1 != end) return false;
  return hint.top > 0 && hint.top <= kMaxMsgNumber;
}

}  // namespace

bool MsgDirBase::TopHintPath(Str& path) { return JoinAreaPath(AreaPath(), kTopHintName, path); }

bool MsgDirBase::UseTopHint() {
  Str path;
  if (!TopHintPath(path)) return false;
  platform::FileHandle h = platform::kNoFile;
  if (!platform::OpenExisting(path.str(), platform::Access::kRead, platform::Share::kReadWrite, env().LockWaitMs(), &h)
           .ok()) {
    return false;
  }
  keepsHint_ = true;
  char buf[kMaxHintBytes];
  std::size_t got = 0;
  const bool read = platform::ReadFile(h, buf, sizeof buf, &got).ok();
  platform::CloseFile(h);
  TopHint hint;
  if (!read || !ParseTopHint(std::string_view(buf, got), hint)) return false;
  const std::optional<std::int64_t> stamp = platform::GetChangeStamp(AreaPath().str());
  if (!stamp || *stamp != hint.stamp) return false;
  used_.Clear();
  foundNames_.clear();
  topNumber_ = hint.top;
  numbersKnown_ = false;
  return true;
}

void MsgDirBase::NoteAreaSize() {
  if (used_.Count() >= kHintFromMessages) keepsHint_ = true;
}

void MsgDirBase::WriteTopHint() {
  if (!keepsHint_ || !numbered_ || strayTemps_ || topNumber_ <= 0) return;
  Str path;
  if (!TopHintPath(path)) return;
  // Made (if it is new) before the stamp is taken: making it moves the stamp.
  platform::FileHandle h = platform::kNoFile;
  if (!platform::OpenOrCreate(path.str(), &h).ok()) return;
  const std::optional<std::int64_t> stamp = platform::GetChangeStamp(AreaPath().str());
  // Written in place in one short write: a reader finds the old hint or the
  // new one, and a torn or damaged one is only a reason to list the area.
  const std::string text =
      stamp ? std::to_string(topNumber_) + " " + std::to_string(*stamp) + "\n" : std::string("0 0\n");
  std::size_t put = 0;
  // A hint that could not be written is only a reason to list the area.
  if (platform::SeekFile(h, 0).ok() && platform::WriteFile(h, text.data(), text.size(), &put).ok()) {
    platform::TruncateFile(h).Ignore();
  }
  platform::CloseFile(h);
}

void MsgDirBase::EnsureNumbers() {
  if (!numbersKnown_) ScanNumbers();
}

}  // namespace mvx
