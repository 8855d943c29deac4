// JamBase: opening, creating and closing an area.
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "jam/jam_base.h"
#include "jam/jam_files.h"
#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

// How many hundredths of a second an opener waits for an area that another
// program is making at this moment (see MissingFile) before taking it as it
// is.
constexpr int kSettleHundredths = 100;

// The area's files are opened with these modes: ours to write while others
// may read, and the last-read file ours alone.
constexpr std::uint16_t kDataFileMode = kModeReadWrite | kShareRead;
constexpr std::uint16_t kLastReadMode = kModeReadWrite | kShareNone;
// Made only where no file of the name exists, so nothing is ever emptied.
constexpr std::uint16_t kCreateMode = kModeCreateNew | kShareRead;

// Room for the extension after the base in a 255-character name.
bool NameFits(const Str& areaBase) { return areaBase.size() + 3 <= Str::kMax; }

// A failed open leaves its OS reason in *osError when asked for.
std::unique_ptr<DataStream> Open(Env& env, const Str& areaBase, JamFile which, std::uint16_t mode,
                                 int* osError = nullptr) {
  std::unique_ptr<DataStream> s = env.OpenFileStream(JamFileName(areaBase, which), mode);
  if (s && !s->Status().ok()) {
    if (osError != nullptr) *osError = s->OsError();
    s.reset();
  }
  return s;
}

enum class Made { kMade, kTaken, kFailed };

// Exclusive create; the new stream is left in out when made.
Made CreateNew(Env& env, const Str& areaBase, JamFile which, std::unique_ptr<DataStream>& out,
               int* osError = nullptr) {
  out = Open(env, areaBase, which, kCreateMode, osError);
  if (out) return Made::kMade;
  return JamFileExists(areaBase, which) ? Made::kTaken : Made::kFailed;
}

std::uint32_t CreationDate(Clock& clock) {
  DateTimeRec now;
  GetNow(clock, now);
  std::int32_t secs = 0;
  DateTimeToUnix(now, secs);
  return static_cast<std::uint32_t>(secs);
}

// kNone when the .JHR, .JDX and .JDT are all there, else the code for the
// first one missing.
Errc MissingFile(Env& env, const Str& areaBase) {
  for (int wait = 0;; ++wait) {
    const std::int64_t header = JamFileSize(env, areaBase, JamFile::kHeader);
    const std::int64_t index = JamFileSize(env, areaBase, JamFile::kIndex);
    const std::int64_t text = JamFileSize(env, areaBase, JamFile::kText);
    if (header >= 0 && index >= 0 && text >= 0) return Errc::kNone;
    if (header < 0 && index < 0 && text < 0) return Errc::kJamNoHeaderFile;
    // What an area looks like while another program is making it: a .JHR
    // with at most its base header, the .JDX and .JDT missing or empty, in
    // whatever order that program makes them. Worth a short wait; anything
    // else that is incomplete is damage and refused at once.
    const bool beingMade = header >= 0 && header <= kJamBaseHeaderSize && index <= 0 && text <= 0;
    if (!beingMade || wait >= kSettleHundredths) {
      return header < 0 ? Errc::kJamNoHeaderFile : index < 0 ? Errc::kJamNoIndexFile : Errc::kJamNoTextFile;
    }
    env.Time().WaitHundredth();
  }
}

// Makes the files of a new area back to back: the .JHR with its base header,
// then the .JDT, the .JDX and the .JLR. Other programs take an area with a
// .JHR and a .JDX for a whole one, so by the time the .JDX is there the rest
// is. Every name is resolved (the directory listed once) before the first
// file is made, so no directory listing stands between two creates.
// kTaken when another program's area, whole or in the making, is there:
// nothing is made over it. kFailed, with the error code, when a file could
// not be made; the files this call made are gone again.
Made MakeAreaFiles(Env& env, const Str& areaBase, Errc& error, int& osError) {
  platform::NameResolutionScope resolved;
  for (JamFile which : {JamFile::kHeader, JamFile::kText, JamFile::kIndex, JamFile::kLastRead}) {
    if (JamFileExists(areaBase, which) && which != JamFile::kLastRead) return Made::kTaken;
  }
  std::vector<Str> made;  // exactly what this call made, to take back
  auto fail = [&](Errc code) {
    for (const Str& name : made) DeleteFileKeepingError(name);
    error = code;
    return Made::kFailed;
  };
  std::unique_ptr<DataStream> stream;
  switch (CreateNew(env, areaBase, JamFile::kHeader, stream, &osError)) {
    case Made::kTaken:
      return Made::kTaken;  // another program's area in the making
    case Made::kFailed:
      return fail(Errc::kJamCreateHeader);
    case Made::kMade:
      break;
  }
  made.push_back(JamFileName(areaBase, JamFile::kHeader));
  // The header goes in before any other file exists: no opener ever finds
  // the .JDX beside a .JHR without it.
  std::uint8_t raw[kJamBaseHeaderSize];
  EncodeJamBaseHeader(NewJamBaseHeader(CreationDate(env.Time())), raw);
  stream->WriteBytes(raw, sizeof raw);
  const bool written = stream->Status().ok();
  stream.reset();
  if (!written) return fail(Errc::kJamCreateHeader);
  for (const auto& [which, code] : {std::pair{JamFile::kText, Errc::kJamCreateText}, {JamFile::kIndex, Errc::kJamCreateIndex}}) {
    // A file taken by now belongs to whoever else is making this area at
    // this moment: theirs and ours make one area.
    const Made result = CreateNew(env, areaBase, which, stream, &osError);
    stream.reset();
    if (result == Made::kFailed) return fail(code);
    if (result == Made::kMade) made.push_back(JamFileName(areaBase, which));
  }
  // Without a .JLR the area is still whole; the first opener makes it.
  CreateNew(env, areaBase, JamFile::kLastRead, stream);
  return Made::kMade;
}

}  // namespace

bool JamBase::AreaExists(const Str& path) {
  const Str areaBase = JamAreaBase(path);
  return JamFileExists(areaBase, JamFile::kHeader) && JamFileExists(areaBase, JamFile::kIndex) &&
         JamFileExists(areaBase, JamFile::kText);
}

bool JamBase::DoOpenArea(const Str& path) {
  if (FilesOpen()) DoCloseArea();
  SetAreaPath(JamAreaBase(path));
  if (!NameFits(AreaPath())) {
    SetErrorCode(Errc::kJamNoHeaderFile);
    return false;
  }
  return OpenFiles();
}

bool JamBase::OpenFiles() {
  const Str areaBase = AreaPath();
  if (const Errc missing = MissingFile(env(), areaBase); missing != Errc::kNone) {
    SetErrorCode(missing);
    return false;
  }
  auto refuse = [&](Errc error) {
    DropStreams();
    SetErrorCode(error);
    SetAreaPath(Str());
    return false;
  };
  const struct {
    JamFile which;
    std::unique_ptr<DataStream>* stream;
    Errc error;
  } files[] = {{JamFile::kHeader, &headerFile_, Errc::kJamOpenHeader},
               {JamFile::kIndex, &indexFile_, Errc::kJamOpenIndex},
               {JamFile::kText, &textFile_, Errc::kJamOpenText}};
  for (const auto& f : files) {
    int osError = 0;
    *f.stream = Open(env(), areaBase, f.which, kDataFileMode, &osError);
    if (!*f.stream) {
      NoteOsError(osError);
      return refuse(f.error);
    }
  }

  // The base header is checked before anything is written: an area whose
  // header is cut short or lacks its signature is damaged, and every other
  // program that shares it depends on that header (its numbers, password
  // and reserved marks). It is refused and left exactly as it is.
  const std::int32_t headerSize = headerFile_->Size();
  const std::int32_t indexSize = indexFile_->Size();
  if (headerSize < 0 || indexSize < 0) return refuse(Errc::kJamReadError);
  if (headerSize == 0 && indexSize == 0) {
    // An empty .JHR and .JDX: a new area whose maker stopped before writing
    // its header (our own creation writes it before the .JDX exists). There
    // is no message in it to lose, so it gets the header of a new area.
    base_ = NewJamBaseHeader(CreationDate(env().Time()));
    if (!WriteBaseHeader()) return refuse(Errc::kJamOpenHeader);
  } else {
    if (headerSize < static_cast<std::int32_t>(kJamBaseHeaderSize)) return refuse(Errc::kJamBadBaseHeader);
    std::uint8_t raw[kJamBaseHeaderSize];
    headerFile_->SeekTo(0);
    headerFile_->ReadBytes(raw, sizeof raw);
    if (!headerFile_->Status().ok()) return refuse(Errc::kJamReadError);
    base_ = DecodeJamBaseHeader(raw);
    if (base_.Signature != kJamSignature) return refuse(Errc::kJamBadBaseHeader);
  }

  // The tossers that make JAM areas leave the .JLR to the first reader that
  // keeps a pointer, so its absence is normal. Made exclusively: if someone
  // else makes it first, theirs is used.
  if (!JamFileExists(areaBase, JamFile::kLastRead)) {
    std::unique_ptr<DataStream> made;
    CreateNew(env(), areaBase, JamFile::kLastRead, made);
  }
  // Held by another program: recreating it would lose every pointer in it,
  // and posting does not need it, so the area opens without it.
  lastReadFile_ = Open(env(), areaBase, JamFile::kLastRead, kLastReadMode);
  ClearStatuses();

  // An index longer than the count: deleted records, or a run that ended
  // without closing the area. CompactIndex recounts.
  if (IndexRecordCount() != std::int64_t{base_.ActiveCount} && !CompactIndex()) return refuse(Errc::kJamOpenIndex);
  SetOpenState(true);
  return true;
}

bool JamBase::DoCreateArea(const Str& path) {
  if (FilesOpen()) DoCloseArea();
  SetAreaPath(JamAreaBase(path));
  if (!NameFits(AreaPath())) {
    SetErrorCode(Errc::kJamCreateHeader);
    return false;
  }
  MakeDirectoryPath(DirectoryOf(AreaPath()));
  return CreateFiles();
}

bool JamBase::CreateFiles() {
  Errc error = Errc::kNone;
  int osError = 0;
  if (MakeAreaFiles(env(), AreaPath(), error, osError) == Made::kFailed) {
    NoteOsError(osError);
    SetErrorCode(error);
    return false;
  }
  // Ours, someone else's or both: opened like any existing area, with the
  // sharing locks, so that two programs that made it at the same moment
  // take turns writing. An area another program is still making is waited
  // for; one with only some of its files is refused.
  return OpenFiles();
}

bool JamBase::WriteBaseHeader() {
  std::uint8_t raw[kJamBaseHeaderSize];
  EncodeJamBaseHeader(base_, raw);
  headerFile_->SeekTo(0);
  headerFile_->WriteBytes(raw, sizeof raw);
  return headerFile_->Status().ok();
}

bool JamBase::DoCloseArea() {
  DoReleaseMessage();
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
