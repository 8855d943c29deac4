// Opening, creating and closing a Squish area, and its base header.

#include <cstdint>

#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "platform/platform.h"
#include "squish/squish_base.h"
#include "support/text.h"

namespace mvx {

namespace {

constexpr std::uint16_t kOpenMode = kShareRead | kModeReadWrite;  // 0x2002
// Never the replacing create: a file that is already there belongs to an
// area (ours or another program's) and must not be emptied.
constexpr std::uint16_t kCreateMode = kShareRead | kModeCreateNew;

// How long CreateArea waits, in hundredths of a second, for the rest of an
// area that another program is making.
constexpr int kCreateWaitRounds = 100;

Str WithDot(const Str& path) {
  if (!path.empty() && path[path.size() - 1] == '.') return path;
  return path + ".";
}

SquishBaseHeader NewAreaHeader(const Str& areaPath) {
  SquishBaseHeader h;
  h.HeaderSize = kSquishBaseHeaderSize;
  h.NextUid = 1;
  // The whole path as given, without the "." that ends it.
  const Str name = areaPath.sub(0, areaPath.size() - 1);
  PutNulField(h.BaseName.data(), h.BaseName.size(), name.view());
  h.EndFrame = kSquishBaseHeaderSize;
  h.MaxMessages = kSquishDefaultMaxMessages;
  h.KeepDays = kSquishDefaultKeepDays;
  h.MessageHeaderSize = kSquishNewAreaMessageHeaderOffset;
  return h;
}

bool Usable(const std::unique_ptr<DataStream>& s) { return s && s->Status().ok(); }

}  // namespace

SquishBase::SquishBase(Env& env) : MessageBase(env) {}

SquishBase::~SquishBase() { DoCloseArea(); }

Str SquishBase::FileName(const char* ext) const {
  // Existing files are found whatever the case of their extension: the
  // platform layer resolves each name against the directory.
  return AreaPath() + ext;
}

Str SquishBase::NewFileName(const char* ext) const {
  return AreaPath() + platform::NewFileExtension(ext);
}

bool SquishBase::AreaExists(const Str& path) {
  const Str area = WithDot(path);
  return FileExists(area + "SQD") && FileExists(area + "SQI");
}

bool SquishBase::DoOpenArea(const Str& path) {
  if (IsOpen()) DoCloseArea();
  SetAreaPath(WithDot(path));
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  ClearPosition();
  if (!FileExists(FileName("SQD"))) {
    SetErrorCode(Errc::kSquishNoDataFile);
    return false;
  }
  if (!FileExists(FileName("SQI"))) {
    SetErrorCode(Errc::kSquishNoIndexFile);
    return false;
  }
  return OpenFiles();
}

bool SquishBase::OpenFiles() {
  dataFile_ = env().OpenFileStream(FileName("SQD"), kOpenMode);
  if (!Usable(dataFile_)) {
    if (dataFile_) NoteOsError(dataFile_->OsError());
    SetErrorCode(Errc::kSquishDataOpenFailed);
    DropFiles();
    SetAreaPath("");
    return false;
  }
  indexFile_ = env().OpenFileStream(FileName("SQI"), kOpenMode);
  if (!Usable(indexFile_)) {
    if (indexFile_) NoteOsError(indexFile_->OsError());
    SetErrorCode(Errc::kSquishIndexOpenFailed);
    DropFiles();
    SetAreaPath("");
    return false;
  }
  // A data file too short for its header is not an area we can work in:
  // taking zeros for its header would let a later store write frames at
  // offset 0.
  if (!ReadBaseHeader()) {
    SetErrorCode(Errc::kSquishDamagedArea);
    DropFiles();
    SetAreaPath("");
    return false;
  }
  uidsTaken_ = 0;
  repairPending_ = false;
  SetOpenState(true);
  // An operation that a crash or a failed write interrupted is settled now,
  // before anyone reads or writes: the area opens as it was before a store
  // (or a move that had not reached the index), or after a delete (or the
  // rest of the move). When that cannot be done the area still opens for
  // reading, since every state an operation leaves keeps every message
  // whole, but takes no writes; the code tells why.
  const Intent in = ReadIntent();
  if (in.kind != Intent::Kind::kNone) {
    if (Recover(in)) {
      SetErrorCode(Errc::kSquishRepaired);
    } else {
      repairPending_ = true;
      pendingIntent_ = in;
    }
  }
  return true;
}

void SquishBase::DropFiles() {
  dataFile_.reset();
  indexFile_.reset();
}

bool SquishBase::DoCreateArea(const Str& path) {
  if (IsOpen()) DoCloseArea();
  SetOpenState(false);
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  ClearPosition();
  SetAreaPath(WithDot(path));
  const Str dir = DirectoryOf(AreaPath());
  if (!dir.empty()) MakeDirectoryPath(dir);

  // Every name of the area is resolved (its directory listed once) before
  // the first file is made, so that the two creates follow each other with
  // nothing in between but the header write. A .SQL already there
  // (pointers of an area that was removed) is kept as it is: creating never
  // empties a file.
  const Str dataName = NewFileName("SQD");
  const Str indexName = NewFileName("SQI");
  for (int round = 0;; ++round) {
    const bool haveData = FileExists(FileName("SQD"));
    const bool haveIndex = FileExists(FileName("SQI"));
    if (haveData && haveIndex) {
      // Another run (or another program) made the area between our
      // caller's failed open and now: post into it rather than start it
      // afresh.
      ForgetFailure();
      return OpenFiles();
    }
    if (!haveData && !haveIndex) {
      bool made = false;
      {
        // The listing is kept only for the creates: the open afterwards
        // must see the files they made.
        const platform::NameResolutionScope resolved;
        for (const char* ext : {"SQD", "SQI", "SQL"}) platform::NativeName(NewFileName(ext).str());
        made = CreateFiles(dataName, indexName);
      }
      if (made) return OpenFiles();
      // Our own failure (a directory or disk we cannot write) ends it; a
      // name that another program took meanwhile means it is making the
      // area: look again.
      if (!FileExists(FileName("SQD")) && !FileExists(FileName("SQI"))) {
        SetAreaPath("");
        return false;  // CreateFiles set the code
      }
    }
    // Part of an area: another program is making it right now (in its own
    // order of files), or the rest is lost. Its files are not ours to
    // touch: wait a little for the rest, then refuse.
    if (round >= kCreateWaitRounds) {
      SetErrorCode(FileExists(FileName("SQD")) ? Errc::kSquishDataCreateFailed
                                               : Errc::kSquishIndexCreateFailed);
      SetAreaPath("");
      return false;
    }
    env().Time().WaitHundredth();
  }
}

bool SquishBase::CreateFiles(const Str& dataName, const Str& indexName) {
  // Each create fails when the name is taken (in any case): a file that
  // another program made since we looked is never emptied.
  std::unique_ptr<DataStream> data = env().OpenFileStream(dataName, kCreateMode);
  if (!Usable(data)) {
    if (data) NoteOsError(data->OsError());
    SetErrorCode(Errc::kSquishDataCreateFailed);
    return false;
  }
  // The header goes in before the index exists, so that whoever sees both
  // files also sees a complete header.
  std::uint8_t buf[kSquishBaseHeaderSize];
  EncodeBaseHeader(NewAreaHeader(AreaPath()), buf);
  data->WriteBytes(buf, sizeof buf);
  const bool written = data->Status().ok();
  if (!written) NoteOsError(data->OsError());
  std::unique_ptr<DataStream> index;
  if (written) index = env().OpenFileStream(indexName, kCreateMode);
  if (written && index && !index->Status().ok()) NoteOsError(index->OsError());
  if (!written || !Usable(index)) {
    // Only the data file is ours: take it away again so that no half area
    // is left behind. An index that someone else made stays.
    index.reset();
    data.reset();
    DeleteFileKeepingError(dataName);
    SetErrorCode(written ? Errc::kSquishIndexCreateFailed : Errc::kSquishDataCreateFailed);
    return false;
  }
  // Both are closed here and reopened by OpenFiles with the sharing an open
  // area keeps: others may read it, nobody else may write it.
  return true;
}

bool SquishBase::DoCloseArea() {
  if (!IsOpen()) return true;
  // An interrupted operation that still cannot be settled keeps the header
  // as it is on disk: the next open finds the operation by its intent.
  bool ok = ReadyToWrite();
  if (ok && uidsTaken_ > header_.NextUid) {
    SquishBaseHeader h = header_;
    h.NextUid = uidsTaken_;
    ok = CommitHeader(h);
  }
  SetOpenState(false);
  DropFiles();
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  repairPending_ = false;
  ClearPosition();
  return ok;
}

bool SquishBase::ReadBaseHeader() {
  std::uint8_t buf[kSquishBaseHeaderSize];
  dataFile_->ClearError();
  dataFile_->SeekTo(0);
  dataFile_->ReadBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    dataFile_->ClearError();
    return false;
  }
  header_ = DecodeBaseHeader(buf);
  return true;
}

bool SquishBase::CommitHeader(const SquishBaseHeader& h) {
  if (!dataFile_) return false;
  std::uint8_t buf[kSquishBaseHeaderSize];
  EncodeBaseHeader(h, buf);
  dataFile_->ClearError();
  dataFile_->SeekTo(0);
  dataFile_->WriteBytes(buf, sizeof buf);
  if (!dataFile_->Status().ok()) {
    return Failed(*dataFile_, Errc::kSquishFrameIoError);
  }
  header_ = h;
  return true;
}

bool SquishBase::Failed(DataStream& s, Errc code) {
  NoteOsError(s.OsError());
  s.ClearError();
  SetErrorCode(code);
  return false;
}

bool SquishBase::Damaged() {
  SetErrorCode(Errc::kSquishDamagedArea);
  return false;
}

}  // namespace mvx
