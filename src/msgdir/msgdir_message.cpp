// MsgDirBase: new, stored, loaded, released and deleted messages.
#include <algorithm>
#include <vector>

#include "msgbase/file_hooks.h"
#include "msgbase/file_stream.h"
#include "msgdir/msg_file_names.h"
#include "msgdir/msgdir_base.h"
#include "support/text.h"

namespace mvx {

namespace {

// Message 1 is the tossers' high-water mark: new messages start above it.
constexpr std::int32_t kFirstNewNumber = 2;
// The line buffer of LoadHeaderAndKludges.
constexpr std::uint16_t kKludgeLineBuffer = 16384;
constexpr std::int32_t kTextSizeHint = 65536;

bool Good(const std::unique_ptr<DataStream>& s) { return s && s->Status() == kStreamOk; }

}  // namespace

void MsgDirBase::DropMessage() {
  messageFile_.reset();
  AttachTextBuffer(nullptr);
}

bool MsgDirBase::BeginNewMessage() {
  if (messageFile_) ReleaseMessage();
  // Without an open area the path is empty and the file would land in the
  // current directory.
  if (!IsOpen()) return false;

  std::int32_t n = std::max(topNumber_ + 1, kFirstNewNumber);
  std::unique_ptr<DataStream> file;
  Str name;
  for (;; ++n) {
    if (n > kMaxMsgNumber) return false;
    // The number is spent from here on, whether or not its file can be made.
    topNumber_ = n;
    SetCurrentNumber(n);
    if (!JoinAreaPath(AreaPath(), MsgFileName(n), name)) return false;
    // Created only when no file of that name exists in any letter case: a
    // message another program wrote since the scan is never replaced.
    file = OpenFileStream(name, kModeCreateNew);
    if (Good(file)) break;
    file.reset();
    if (!FileExists(name)) return false;
    used_.Mark(n);
  }

  std::unique_ptr<DataStream> text = NewMemoryStream(kTextSizeHint);
  if (!Good(text)) {
    // The empty file is ours and nothing refers to it yet.
    file.reset();
    DeleteFileKeepingError(name);
    return false;
  }
  used_.Mark(n);
  messageFile_ = std::move(file);
  AttachTextBuffer(std::move(text));
  header_.Clear();
  StampNow();
  return true;
}

bool MsgDirBase::StoreMessage() {
  if (!messageFile_) return false;
  DataStream& file = *messageFile_;
  file.ClearError();
  file.SeekTo(0);
  file.WriteBytes(header_.data(), MsgHeader::kSize);
  DataStream* text = TextBuffer();
  if (text != nullptr) {
    text->SeekTo(0);
    file.CopyFrom(*text, text->Size());
  }
  const std::uint8_t nul = 0;
  file.WriteBytes(&nul, 1);
  file.TruncateHere();
  file.Flush();
  // The streams' errors are sticky, so one look covers every write above. A
  // message that did not reach the disk whole must not be reported as stored.
  return file.Status() == kStreamOk && (text == nullptr || text->Status() == kStreamOk);
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
  if (!messageFile_) {
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
  if (messageFile_) ReleaseMessage();

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
