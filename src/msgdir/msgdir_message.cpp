// MsgDirBase: new, stored, loaded, released and deleted messages.
#include <algorithm>
#include <vector>

#include "msgbase/file_hooks.h"
#include "msgbase/file_stream.h"
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
// The line buffer of LoadHeaderAndKludges.
constexpr std::uint16_t kKludgeLineBuffer = 16384;
constexpr std::int32_t kTextSizeHint = 65536;

bool Good(const std::unique_ptr<DataStream>& s) { return s && s->Status() == kStreamOk; }

}  // namespace

void MsgDirBase::DropMessage() {
  messageFile_.reset();
  messageHeld_ = false;
  AttachTextBuffer(nullptr);
}

bool MsgDirBase::BeginNewMessage() {
  if (messageHeld_) ReleaseMessage();
  // Without an open area the path is empty and the file would land in the
  // current directory.
  if (!IsOpen()) return false;
  const std::int32_t n = std::max(topNumber_ + 1, kFirstNewNumber);
  if (n > kMaxMsgNumber) return false;
  std::unique_ptr<DataStream> text = NewMemoryStream(kTextSizeHint);
  if (!Good(text)) return false;
  // The number is only taken when the message is stored: a message begun
  // and never stored (or one that could not be written) spends none.
  SetCurrentNumber(n);
  messageDir_ = AreaPath();
  messageHeld_ = true;
  AttachTextBuffer(std::move(text));
  header_.Clear();
  StampNow();
  return true;
}

std::unique_ptr<DataStream> MsgDirBase::WriteTempFile(Str& tempName) {
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
    if (text->Status() != kStreamOk) return nullptr;
  }
  bytes.push_back(0);

  std::unique_ptr<DataStream> file;
  for (std::int32_t k = 0;; ++k) {
    // Names left by runs that stopped are passed over; so many of them
    // means something else is wrong.
    if (k >= kTempNameTries || !JoinAreaPath(messageDir_, TempMsgFileName(k), tempName)) return nullptr;
    file = OpenFileStream(tempName, kModeCreateNew);
    if (Good(file)) break;
    if (!FileExists(tempName)) return nullptr;
  }
  file->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  file->Flush();
  if (file->Status() != kStreamOk) {
    file.reset();
    DeleteFileKeepingError(tempName);
    return nullptr;
  }
  return file;
}

bool MsgDirBase::NumberTempFile(const Str& tempName) {
  for (std::int32_t n = std::max(topNumber_ + 1, kFirstNewNumber); n <= kMaxMsgNumber; ++n) {
    Str name;
    if (!JoinAreaPath(messageDir_, MsgFileName(n), name)) return false;
    int error = 0;
    bool taken = false;
    if (platform::RenameNew(tempName.str(), name.str(), &error, &taken)) {
      used_.Mark(n);
      topNumber_ = std::max(topNumber_, n);
      SetCurrentNumber(n);
      return true;
    }
    if (!taken) return false;
    // Another program wrote this number since the scan: its message stays.
    used_.Mark(n);
    topNumber_ = std::max(topNumber_, n);
  }
  return false;
}

bool MsgDirBase::StoreMessage() {
  // A message that could only be opened for reading stays as it is.
  if (!messageHeld_ || (messageFile_ && (messageFile_->Mode() & 0xFF) == kModeRead)) return false;
  Str tempName;
  std::unique_ptr<DataStream> file = WriteTempFile(tempName);
  if (!file) return false;
  bool placed = false;
  if (messageFile_) {
    // A message that is in the area already: the finished copy takes the
    // place of its file, so a reader finds the old message or the new one.
    int error = 0;
    placed = platform::ReplaceFile(tempName.str(), messageName_.str(), &error);
  } else {
    placed = NumberTempFile(tempName);
  }
  if (!placed) {
    file.reset();
    DeleteFileKeepingError(tempName);
    return false;
  }
  // The stream is the message's file now, under its number.
  messageFile_ = std::move(file);
  return true;
}

bool MsgDirBase::StoreHeaderOnly() {
  if (!messageFile_) return false;
  messageFile_->ClearError();
  messageFile_->SeekTo(0);
  messageFile_->WriteBytes(header_.data(), MsgHeader::kSize);
  messageFile_->Flush();
  return messageFile_->Status() == kStreamOk;
}

bool MsgDirBase::ReleaseMessage() {
  if (!messageHeld_) {
    // A text kept by LoadHeaderAndKludges goes too.
    AttachTextBuffer(nullptr);
    SetErrorCode(kMsgErrNotOpen);
    return false;
  }
  DropMessage();
  return true;
}

bool MsgDirBase::OpenForLoad() {
  if (!IsOpen() || !HasMessage(CurrentNumber())) {
    SetErrorCode(kMsgErrNoMessage);
    return false;
  }
  if (messageHeld_) ReleaseMessage();

  Str name;
  if (!MessagePath(CurrentNumber(), name)) {
    SetErrorCode(kMsgErrOpenFailed);
    return false;
  }
  std::unique_ptr<DataStream> file = OpenFileStream(name, kModeReadWrite);
  // A read-only message can still be read; writing its header back will
  // then fail and say so.
  if (!Good(file)) file = OpenFileStream(name, kModeRead);
  std::unique_ptr<DataStream> text = Good(file) ? NewMemoryStream(kTextSizeHint) : nullptr;
  if (!Good(text)) {
    SetErrorCode(kMsgErrOpenFailed);
    return false;
  }

  // A file shorter than the header is damaged: it has no message to give.
  header_.Clear();
  if (file->Size() < static_cast<std::int32_t>(MsgHeader::kSize)) {
    SetErrorCode(kMsgErrOpenFailed);
    return false;
  }
  file->SeekTo(0);
  file->ReadBytes(header_.data(), MsgHeader::kSize);
  if (file->Status() != kStreamOk) {
    header_.Clear();
    SetErrorCode(kMsgErrOpenFailed);
    return false;
  }
  messageFile_ = std::move(file);
  messageHeld_ = true;
  messageDir_ = AreaPath();
  messageName_ = name;
  AttachTextBuffer(std::move(text));
  return true;
}

bool MsgDirBase::LoadMessage() {
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
  if (file.Status() != kStreamOk || text.Status() != kStreamOk) {
    DropMessage();
    SetErrorCode(kMsgErrOpenFailed);
    return false;
  }
  return true;
}

bool MsgDirBase::LoadHeaderAndKludges() {
  if (!OpenForLoad()) return false;
  // A plain base reads the lines straight from the file, which it takes over
  // and closes when it goes: afterwards this object holds no file.
  MessageBase reader(std::move(messageFile_));
  messageHeld_ = false;
  std::vector<char> line(kKludgeLineBuffer);
  for (;;) {
    reader.ReadTextLine(kKludgeLineBuffer, line.data());
    if (line[0] != '\x01') break;
    AppendTextLine(line.data());
  }
  if (TextBuffer()->Status() != kStreamOk) {
    AttachTextBuffer(nullptr);
    SetErrorCode(kMsgErrOpenFailed);
    return false;
  }
  MoveTextTo(0);
  return true;
}

bool MsgDirBase::DeleteMessage() {
  const std::int32_t n = CurrentNumber();
  if (!IsOpen() || !HasMessage(n)) return false;
  Str name;
  if (!MessagePath(n, name) || !DeleteFileKeepingError(name)) return false;
  used_.Unmark(n);
  foundNames_.erase(n);
  return true;
}

}  // namespace mvx
