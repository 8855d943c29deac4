// MsgDirBase: new, stored, loaded, released and deleted messages.
#include <algorithm>
#include <string>
#include <vector>

#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "msgbase/line_reader.h"
#include "msgdir/msg_file_names.h"
#include "msgdir/msgdir_base.h"
#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

// Message 1 is the tossers' high-water mark: new messages start above it.
constexpr std::int32_t kFirstNewNumber = 2;
// Temporary names tried before a store gives up (see WriteTempFile).
constexpr std::int32_t kTempNameTries = 1000;
// LoadHeaderAndKludges keeps this much of each control line.
constexpr std::size_t kKludgeLineLimit = 16383;
constexpr std::int32_t kTextSizeHint = 65536;
// Taken numbers met above a hinted top before the area is listed.
constexpr std::int32_t kTakenBeforeListing = 64;

bool Good(const std::unique_ptr<DataStream>& s) { return s && s->Status().ok(); }

}  // namespace

void MsgDirBase::DropTempFile() {
  if (!tempFile_) return;
  tempFile_.reset();
  DeleteFileKeepingError(tempName_);
}

void MsgDirBase::DropMessage() {
  DropTempFile();
  messageFile_.reset();
  messageHeld_ = false;
  AttachTextBuffer(nullptr);
}

bool MsgDirBase::MakeTempFile() {
  for (std::int32_t k = 0;; ++k) {
    // Names left by runs that stopped are passed over; so many of them
    // means something else is wrong.
    if (k >= kTempNameTries || !JoinAreaPath(messageDir_, TempMsgFileName(k), tempName_)) return false;
    tempFile_ = env().OpenFileStream(tempName_, kModeCreateNew);
    tempEmpty_ = true;
    if (Good(tempFile_)) return true;
    if (tempFile_) NoteOsError(tempFile_->OsError());
    tempFile_.reset();
    if (!FileExists(tempName_)) return false;
  }
}

bool MsgDirBase::DoBeginNewMessage() {
  if (messageHeld_) DoReleaseMessage();
  // Without an open area the path is empty and the file would land in the
  // current directory.
  if (!IsOpen()) return false;
  const std::int32_t n = std::max(topNumber_ + 1, kFirstNewNumber);
  if (n > kMaxMsgNumber) return false;
  // The message's file is made now, under its temporary name, so that an
  // area that takes no file fails here; its number is only taken when the
  // message is stored, so one never stored (or not stored whole) spends none.
  messageDir_ = AreaPath();
  if (!MakeTempFile()) return false;
  std::unique_ptr<DataStream> text = env().NewMemoryStream(kTextSizeHint);
  if (!Good(text)) {
    DropTempFile();
    return false;
  }
  SetCurrentNumber(n);
  messageHeld_ = true;
  AttachTextBuffer(std::move(text));
  header_.Clear();
  StampNow();
  return true;
}

bool MsgDirBase::WriteTempFile() {
  // Header, text and NUL in one piece, in one write.
  DataStream* text = TextBuffer();
  std::vector<std::uint8_t> bytes(MsgHeader::kSize);
  std::copy(header_.data(), header_.data() + MsgHeader::kSize, bytes.begin());
  if (text != nullptr) {
    const std::int32_t size = std::max(text->Size(), 0);
    bytes.resize(MsgHeader::kSize + static_cast<std::size_t>(size));
    text->SeekTo(0);
    text->ReadAll(bytes.data() + MsgHeader::kSize, static_cast<std::uint32_t>(size));
    text->SeekTo(size);
    // A text that could not be held whole is no message to store.
    if (!text->Status().ok()) return false;
  }
  bytes.push_back(0);
  if (!tempFile_ && !MakeTempFile()) return false;
  tempFile_->ClearError();
  tempFile_->SeekTo(0);
  tempFile_->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  // Only a file written before can hold more than this message.
  if (!tempEmpty_) tempFile_->TruncateHere();
  tempEmpty_ = false;
  tempFile_->Flush();
  return tempFile_->Status().ok();
}

bool MsgDirBase::NumberTempFile() {
  std::int32_t takenInARow = 0;
  for (std::int32_t n = std::max(topNumber_ + 1, kFirstNewNumber); n <= kMaxMsgNumber; ++n) {
    // Opened from the hint and many numbers above it taken: the area changed
    // more than a stamp that stood still can hide, so it is listed after all.
    if (!numbersKnown_ && ++takenInARow > kTakenBeforeListing) {
      ScanNumbers();
      n = std::max(topNumber_ + 1, kFirstNewNumber);
    }
    Str name;
    if (!JoinAreaPath(messageDir_, MsgFileName(n), name)) return false;
    const Error e = platform::RenameNew(tempName_.str(), name.str());
    if (e.ok()) {
      used_.Mark(n);
      topNumber_ = std::max(topNumber_, n);
      numbered_ = true;
      SetCurrentNumber(n);
      messageName_ = name;
      return true;
    }
    if (e.code() != Errc::kNameTaken) {
      NoteOsError(e.osError());
      return false;
    }
    // Another program wrote this number since the scan: its message stays.
    used_.Mark(n);
    topNumber_ = std::max(topNumber_, n);
  }
  return false;
}

bool MsgDirBase::DoStoreMessage() {
  // A message that could only be opened for reading stays as it is.
  if (!messageHeld_ || (messageFile_ && (messageFile_->Mode() & 0xFF) == kModeRead)) return false;
  bool placed = WriteTempFile();
  if (placed && messageFile_) {
    // A message that is in the area already: the finished copy takes the
    // place of its file, so a reader finds the old message or the new one.
    const Error e = platform::ReplaceFile(tempName_.str(), messageName_.str(), env().LockWaitMs());
    NoteOsError(e.osError());
    placed = e.ok();
  } else if (placed) {
    placed = NumberTempFile();
  }
  // Nothing is left of a message that could not be stored whole.
  if (!placed) {
    DropTempFile();
    return false;
  }
  // The stream is the message's file now, under its number.
  messageFile_ = std::move(tempFile_);
  return true;
}

bool MsgDirBase::DoStoreHeaderOnly() {
  if (!messageFile_) return false;
  messageFile_->ClearError();
  messageFile_->SeekTo(0);
  messageFile_->WriteBytes(header_.data(), MsgHeader::kSize);
  messageFile_->Flush();
  return messageFile_->Status().ok();
}

bool MsgDirBase::DoReleaseMessage() {
  if (!messageHeld_) {
    // A text kept by LoadHeaderAndKludges goes too.
    AttachTextBuffer(nullptr);
    SetErrorCode(Errc::kMsgNotOpen);
    return false;
  }
  DropMessage();
  return true;
}

bool MsgDirBase::OpenForLoad() {
  if (!IsOpen() || !HasMessage(CurrentNumber())) {
    SetErrorCode(Errc::kMsgNoMessage);
    return false;
  }
  if (messageHeld_) DoReleaseMessage();

  Str name;
  if (!MessagePath(CurrentNumber(), name)) {
    SetErrorCode(Errc::kMsgOpenFailed);
    return false;
  }
  std::unique_ptr<DataStream> file = env().OpenFileStream(name, kModeReadWrite);
  // A read-only message can still be read; writing its header back will
  // then fail and say so.
  if (!Good(file)) file = env().OpenFileStream(name, kModeRead);
  std::unique_ptr<DataStream> text = Good(file) ? env().NewMemoryStream(kTextSizeHint) : nullptr;
  if (!Good(text)) {
    SetErrorCode(Errc::kMsgOpenFailed);
    return false;
  }

  // A file shorter than the header is damaged: it has no message to give.
  header_.Clear();
  if (file->Size() < static_cast<std::int32_t>(MsgHeader::kSize)) {
    SetErrorCode(Errc::kMsgOpenFailed);
    return false;
  }
  file->SeekTo(0);
  file->ReadBytes(header_.data(), MsgHeader::kSize);
  if (!file->Status().ok()) {
    header_.Clear();
    SetErrorCode(Errc::kMsgOpenFailed);
    return false;
  }
  messageFile_ = std::move(file);
  messageHeld_ = true;
  messageDir_ = AreaPath();
  messageName_ = name;
  AttachTextBuffer(std::move(text));
  return true;
}

bool MsgDirBase::DoLoadMessage() {
  if (!OpenForLoad()) return false;
  DataStream& file = *messageFile_;
  const std::int32_t size = file.Size();
  std::int32_t count = size - static_cast<std::int32_t>(MsgHeader::kSize);
  // The text ends with a NUL that is not part of it. A file whose writer left
  // the NUL out keeps its last character.
  if (count > 0) {
    std::uint8_t last = 0;
    file.SeekTo(size - 1);
    file.ReadBytes(&last, 1);
    if (last == 0) --count;
  }
  file.SeekTo(static_cast<std::int32_t>(MsgHeader::kSize));
  DataStream& text = *TextBuffer();
  if (count > 0) text.CopyFrom(file, count);
  text.SeekTo(0);
  // A text that could not be held whole (no memory for it) is no loaded
  // message: storing it back would cut the file.
  if (!file.Status().ok() || !text.Status().ok()) {
    DropMessage();
    SetErrorCode(Errc::kMsgOpenFailed);
    return false;
  }
  return true;
}

bool MsgDirBase::DoLoadHeaderAndKludges() {
  if (!OpenForLoad()) return false;
  // The reader takes the file over, reads the lines straight from it and
  // closes it when it goes: afterwards this object holds no file.
  LineReader reader(std::move(messageFile_));
  messageHeld_ = false;
  std::string line;
  for (;;) {
    reader.ReadLine(line, kKludgeLineLimit);
    if (!line.starts_with('\x01')) break;
    AppendTextLine(line);
  }
  if (!TextBuffer()->Status().ok()) {
    AttachTextBuffer(nullptr);
    SetErrorCode(Errc::kMsgOpenFailed);
    return false;
  }
  MoveTextTo(0);
  return true;
}

bool MsgDirBase::DoDeleteMessage() {
  const std::int32_t n = CurrentNumber();
  if (!IsOpen() || !HasMessage(n)) return false;
  Str name;
  if (!MessagePath(n, name) || !DeleteFileKeepingError(name)) return false;
  used_.Unmark(n);
  foundNames_.erase(n);
  return true;
}

}  // namespace mvx
