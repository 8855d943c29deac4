// JamBase: opening, creating and closing an area.
#include <cstdint>
#include <initializer_list>

#include "jam/jam_base.h"
#include "jam/jam_errors.h"
#include "jam/jam_files.h"
#include "msgbase/file_hooks.h"
#include "msgbase/file_stream.h"
#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

// How many hundredths of a second an opener waits for an area that another
// run is making at this moment (see OpenFiles) before taking it as it is.
constexpr int kSettleHundredths = 30;

// The area's files are opened with these modes: ours to write while others
// may read, and the last-read file ours alone.
constexpr std::uint16_t kDataFileMode = kModeReadWrite | kShareRead;
constexpr std::uint16_t kLastReadMode = kModeReadWrite | kShareNone;
// Made only where no file of the name exists, so nothing is ever emptied.
constexpr std::uint16_t kCreateMode = kModeCreateNew | kShareRead;

// Room for the extension after the base in a 255-character name.
bool NameFits(const Str& areaBase) { return areaBase.size() + 3 <= Str::kMax; }

std::unique_ptr<DataStream> Open(const Str& areaBase, JamFile which, std::uint16_t mode) {
  std::unique_ptr<DataStream> s = OpenFileStream(JamFileName(areaBase, which), mode);
  if (s && s->Status() != kStreamOk) s.reset();
  return s;
}

enum class Made { kMade, kTaken, kFailed };

// Exclusive create; the new stream is left in out when made.
Made CreateNew(const Str& areaBase, JamFile which, std::unique_ptr<DataStream>& out) {
  out = Open(areaBase, which, kCreateMode);
  if (out) return Made::kMade;
  return JamFileExists(areaBase, which) ? Made::kTaken : Made::kFailed;
}

std::uint32_t CreationDate() {
  DateTimeRec now;
  GetNow(now);
  std::int32_t secs = 0;
  DateTimeToUnix(now, secs);
  return static_cast<std::uint32_t>(secs);
}

// 0 when the .JHR, .JDX and .JDT are all there, else the code for the first
// one missing.
std::int32_t MissingFile(const Str& areaBase) {
  for (int wait = 0;; ++wait) {
    const std::int64_t header = JamFileSize(areaBase, JamFile::kHeader);
    const std::int64_t index = JamFileSize(areaBase, JamFile::kIndex);
    const std::int64_t text = JamFileSize(areaBase, JamFile::kText);
    if (header >= 0 && index >= 0 && text >= 0) return 0;
    if (header < 0 && index < 0 && text < 0) return kJamNoHeaderFile;
    // What an area looks like while another run is making it: the .JHR
    // first (with its header once written), then the empty .JDX and .JDT.
    // Worth a short wait; anything else that is incomplete is damage and
    // refused at once.
    const bool beingMade = header >= 0 && header <= kJamBaseHeaderSize && index <= 0 && text <= 0;
    if (!beingMade || wait >= kSettleHundredths) {
      return header < 0 ? kJamNoHeaderFile : index < 0 ? kJamNoIndexFile : kJamNoTextFile;
    }
    platform::WaitHundredth();
  }
}

}  // namespace

bool JamBase::AreaExists(const Str& path) {
  const Str areaBase = JamAreaBase(path);
  return JamFileExists(areaBase, JamFile::kHeader) && JamFileExists(areaBase, JamFile::kIndex) &&
         JamFileExists(areaBase, JamFile::kText);
}

bool JamBase::OpenArea(const Str& path) {
  if (FilesOpen()) CloseArea();
  SetAreaPath(JamAreaBase(path));
  if (!NameFits(AreaPath())) {
    SetErrorCode(kJamNoHeaderFile);
    return false;
  }
  return OpenFiles();
}

bool JamBase::OpenFiles() {
  const Str areaBase = AreaPath();
  if (const std::int32_t missing = MissingFile(areaBase); missing != 0) {
    SetErrorCode(missing);
    return false;
  }

  // The tossers that make JAM areas leave the .JLR to the first reader that
  // keeps a pointer, so its absence is normal. Made exclusively: if someone
  // else makes it first, theirs is used.
  if (!JamFileExists(areaBase, JamFile::kLastRead)) {
    std::unique_ptr<DataStream> made;
    CreateNew(areaBase, JamFile::kLastRead, made);
  }
  const struct {
    JamFile which;
    std::unique_ptr<DataStream>* stream;
    std::int32_t error;
  } files[] = {{JamFile::kHeader, &headerFile_, kJamOpenHeader},
               {JamFile::kIndex, &indexFile_, kJamOpenIndex},
               {JamFile::kText, &textFile_, kJamOpenText}};
  for (const auto& f : files) {
    *f.stream = Open(areaBase, f.which, kDataFileMode);
    if (!*f.stream) {
      DropStreams();
      SetErrorCode(f.error);
      SetAreaPath(Str());
      return false;
    }
  }
  // Held by another program: recreating it would lose every pointer in it,
  // and posting does not need it, so the area opens without it.
  lastReadFile_ = Open(areaBase, JamFile::kLastRead, kLastReadMode);

  if (headerFile_->Size() == 0 && indexFile_->Size() == 0) {
    // An empty .JHR and .JDX: an area whose maker stopped before writing its
    // header (our own creation writes it before the .JDX exists). There is
    // no message in it to lose, so it gets the header of a new area rather
    // than numbers from 0 and no signature.
    base_ = NewJamBaseHeader(CreationDate());
    WriteBaseHeader();
  } else {
    // Not validated: a .JHR shorter than the header reads as zeros (a short
    // read zero-fills), and new message headers are never put below 1024.
    std::uint8_t raw[kJamBaseHeaderSize];
    headerFile_->SeekTo(0);
    headerFile_->ReadBytes(raw, sizeof raw);
    base_ = DecodeJamBaseHeader(raw);
  }
  ClearStatuses();

  // An index longer than the count: deleted records, or a run that ended
  // without closing the area. CompactIndex recounts.
  if (IndexRecordCount() != std::int64_t{base_.ActiveCount} && !CompactIndex()) {
    DropStreams();
    SetErrorCode(kJamOpenIndex);
    SetAreaPath(Str());
    return false;
  }
  SetOpenState(true);
  return true;
}

bool JamBase::CreateArea(const Str& path) {
  if (FilesOpen()) CloseArea();
  SetAreaPath(JamAreaBase(path));
  if (!NameFits(AreaPath())) {
    SetErrorCode(kJamCreateHeader);
    return false;
  }
  MakeDirectoryPath(DirectoryOf(AreaPath()));
  return CreateFiles();
}

bool JamBase::CreateFiles() {
  const Str areaBase = AreaPath();
  // Someone else's area (or one being made right now): open it, never empty
  // it. If only part of it is there, OpenFiles refuses it.
  for (JamFile which : {JamFile::kHeader, JamFile::kIndex, JamFile::kText}) {
    if (JamFileExists(areaBase, which)) return OpenFiles();
  }

  // Files made by this call; they go again if the area cannot be completed,
  // so that no half area is left that every later run would refuse.
  std::unique_ptr<DataStream> stream;
  bool madeIndex = false;
  auto undo = [&](std::int32_t error) {
    stream.reset();
    DeleteFileKeepingError(JamFileName(areaBase, JamFile::kHeader));
    if (madeIndex) DeleteFileKeepingError(JamFileName(areaBase, JamFile::kIndex));
    SetErrorCode(error);
    return false;
  };

  // The .JHR comes first and gets its base header before the .JDX and .JDT
  // exist: an opener that finds the .JHR alone waits for them, and never
  // finds them beside a .JHR without its header.
  switch (CreateNew(areaBase, JamFile::kHeader, stream)) {
    case Made::kTaken:
      return OpenFiles();
    case Made::kFailed:
      SetErrorCode(kJamCreateHeader);
      return false;
    case Made::kMade:
      break;
  }
  std::uint8_t raw[kJamBaseHeaderSize];
  EncodeJamBaseHeader(NewJamBaseHeader(CreationDate()), raw);
  stream->WriteBytes(raw, sizeof raw);
  if (stream->Status() != kStreamOk) return undo(kJamCreateHeader);
  stream.reset();

  // A file taken by now belongs to whoever else is making this area.
  if (CreateNew(areaBase, JamFile::kIndex, stream) == Made::kFailed) return undo(kJamCreateIndex);
  madeIndex = stream != nullptr;
  stream.reset();
  if (CreateNew(areaBase, JamFile::kText, stream) == Made::kFailed) return undo(kJamCreateText);
  stream.reset();
  // Without a .JLR the area still works; OpenFiles tries once more.
  CreateNew(areaBase, JamFile::kLastRead, stream);
  stream.reset();

  // Opened like any existing area, with the sharing locks, so that two runs
  // that made it at the same moment take turns writing.
  return OpenFiles();
}

bool JamBase::WriteBaseHeader() {
  std::uint8_t raw[kJamBaseHeaderSize];
  EncodeJamBaseHeader(base_, raw);
  headerFile_->SeekTo(0);
  headerFile_->WriteBytes(raw, sizeof raw);
  return headerFile_->Status() == kStreamOk;
}

bool JamBase::CloseArea() {
  ReleaseMessage();
  if (!FilesOpen()) {
    DropStreams();
    SetOpenState(false);
    return true;
  }
  ClearStatuses();
  // The counters reach the file only here.
  const bool ok = WriteBaseHeader();
  for (DataStream* s : {headerFile_.get(), indexFile_.get(), textFile_.get(), lastReadFile_.get()}) {
    if (s != nullptr) s->Flush();
  }
  DropStreams();
  SetOpenState(false);
  return ok;
}

std::int64_t JamBase::IndexRecordCount() {
  const std::int32_t size = indexFile_->Size();
  if (size < 0) return -1;
  return size / kJamIndexRecordSize;
}

}  // namespace mvx
