// Opening, creating and closing a Squish area, and its base header.

#include <cstdint>

#include "msgbase/file_hooks.h"
#include "msgbase/file_stream.h"
#include "platform/platform.h"
#include "squish/squish_base.h"
#include "squish/squish_errors.h"
#include "support/text.h"

namespace mvx {

namespace {

constexpr std::uint16_t kOpenMode = kShareRead | kModeReadWrite;  // 0x2002
// Never the replacing create: a file that is already there belongs to an
// area (ours or another program's) and must not be emptied.
constexpr std::uint16_t kCreateMode = kShareRead | kModeCreateNew;

// How long CreateArea waits, in hundredths of a second, for the index of an
// area whose data file another run has just created.
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

bool Usable(const std::unique_ptr<DataStream>& s) { return s && s->Status() == kStreamOk; }

}  // namespace

SquishBase::SquishBase() = default;

SquishBase::~SquishBase() { CloseArea(); }

Str SquishBase::FileName(const char* ext) const {
  // Existing files are found whatever the case of their extension: the
  // platform layer resolves each name against the directory.
  return areaPath_ + ext;
}

Str SquishBase::NewFileName(const char* ext) const {
  return areaPath_ + platform::NewFileExtension(ext);
}

bool SquishBase::AreaExists(const Str& path) {
  const Str area = WithDot(path);
  return FileExists(area + "SQD") && FileExists(area + "SQI");
}

bool SquishBase::OpenArea(const Str& path) {
  if (IsOpen()) CloseArea();
  SetAreaPath(WithDot(path));
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  ClearPosition();
  if (!FileExists(FileName("SQD"))) {
    SetErrorCode(kSquishNoDataFile);
    return false;
  }
  if (!FileExists(FileName("SQI"))) {
    SetErrorCode(kSquishNoIndexFile);
    return false;
  }
  return OpenFiles();
}

bool SquishBase::OpenFiles() {
  dataFile_ = OpenFileStream(FileName("SQD"), kOpenMode);
  if (!Usable(dataFile_)) {
    SetErrorCode(kSquishDataOpenFailed);
    DropFiles();
    SetAreaPath("");
    return false;
  }
  indexFile_ = OpenFileStream(FileName("SQI"), kOpenMode);
  if (!Usable(indexFile_)) {
    SetErrorCode(kSquishIndexOpenFailed);
    DropFiles();
    SetAreaPath("");
    return false;
  }
  // A data file too short for its header is not an area we can work in:
  // taking zeros for its header would let a later store write frames at
  // offset 0.
  if (!ReadBaseHeader()) {
    SetErrorCode(kSquishDamagedArea);
    DropFiles();
    SetAreaPath("");
    return false;
  }
  headerDirty_ = false;
  SetOpenState(true);
  return true;
}

void SquishBase::DropFiles() {
  dataFile_.reset();
  indexFile_.reset();
}

bool SquishBase::CreateArea(const Str& path) {
  if (IsOpen()) CloseArea();
  SetOpenState(false);
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  ClearPosition();
  SetAreaPath(WithDot(path));
  const Str dir = DirectoryOf(areaPath_);
  if (!dir.empty()) MakeDirectoryPath(dir);

  for (int round = 0;; ++round) {
    const bool haveData = FileExists(FileName("SQD"));
    const bool haveIndex = FileExists(FileName("SQI"));
    if (haveData && haveIndex) {
      // Another run (or another program) made the area between our caller's
      // failed open and now: post into it rather than start it afresh.
      return OpenFiles();
    }
    if (haveIndex) {
      // An index without its data file: creating would mean replacing a
      // file we do not own. Refuse and leave it as it is.
      SetErrorCode(kSquishIndexCreateFailed);
      SetAreaPath("");
      return false;
    }
    if (haveData) {
      // Either another run is creating the area right now (it makes the
      // data file first, then the index), or the index is lost. Wait a
      // little for the first; refuse in the second case rather than empty
      // the data file.
      if (round >= kCreateWaitRounds) {
        SetErrorCode(kSquishDataCreateFailed);
        SetAreaPath("");
        return false;
      }
      platform::WaitHundredth();
      continue;
    }
    if (CreateFiles()) return OpenFiles();
    if (!FileExists(FileName("SQD")) || round >= kCreateWaitRounds) {
      SetAreaPath("");
      return false;  // CreateFiles set the code
    }
    // Someone else's create won the race for the data file: go round again
    // and open their area.
  }
}

bool SquishBase::CreateFiles() {
  const Str dataName = NewFileName("SQD");
  const Str indexName = NewFileName("SQI");
  std::unique_ptr<DataStream> data = OpenFileStream(dataName, kCreateMode);
  if (!Usable(data)) {
    SetErrorCode(kSquishDataCreateFailed);
    return false;
  }
  // The header goes in before the index exists, so that whoever sees both
  // files also sees a complete header.
  std::uint8_t buf[kSquishBaseHeaderSize];
  EncodeBaseHeader(NewAreaHeader(areaPath_), buf);
  data->WriteBytes(buf, sizeof buf);
  if (data->Status() != kStreamOk) {
    data.reset();
    DeleteFileKeepingError(dataName);
    SetErrorCode(kSquishDataCreateFailed);
    return false;
  }
  std::unique_ptr<DataStream> index = OpenFileStream(indexName, kCreateMode);
  if (!Usable(index)) {
    // The data file is ours and holds only a header: take it away again so
    // that no half area is left behind.
    index.reset();
    data.reset();
    DeleteFileKeepingError(dataName);
    SetErrorCode(kSquishIndexCreateFailed);
    return false;
  }
  // Both are closed here and reopened by OpenFiles with the sharing an open
  // area keeps: others may read it, nobody else may write it.
  return true;
}

bool SquishBase::CloseArea() {
  if (!IsOpen()) return true;
  SetOpenState(false);
  const bool ok = !headerDirty_ || WriteBaseHeader();
  DropFiles();
  state_ = MessageState::kNone;
  currentFrameOffset_ = 0;
  ClearPosition();
  return ok;
}

bool SquishBase::ReadBaseHeader() {
  std::uint8_t buf[kSquishBaseHeaderSize];
  dataFile_->ClearError();
  dataFile_->SeekTo(0);
  dataFile_->ReadBytes(buf, sizeof buf);
  if (dataFile_->Status() != kStreamOk) {
    dataFile_->ClearError();
    return false;
  }
  header_ = DecodeBaseHeader(buf);
  return true;
}

bool SquishBase::WriteBaseHeader() {
  if (!dataFile_) return false;
  std::uint8_t buf[kSquishBaseHeaderSize];
  EncodeBaseHeader(header_, buf);
  dataFile_->ClearError();
  dataFile_->SeekTo(0);
  dataFile_->WriteBytes(buf, sizeof buf);
  if (dataFile_->Status() != kStreamOk) {
    dataFile_->ClearError();
    SetErrorCode(kSquishFrameIoError);
    headerDirty_ = true;
    return false;
  }
  headerDirty_ = false;
  return true;
}

}  // namespace mvx
