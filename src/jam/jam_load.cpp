// JamBase: finding, loading and deleting messages by number.
//
// Everything read here comes from files other programs write, so every
// offset and length is checked against the file before it is used: a damaged
// area fails to load with its error code and never makes us read outside a
// buffer or the file.
#include <algorithm>
#include <limits>
#include <vector>

#include "jam/jam_base.h"
#include "msgbase/env.h"
#include "support/le_bytes.h"

namespace mvx {

std::int64_t JamBase::PositionOfNumber(std::int32_t number) const {
  const std::int64_t k = std::int64_t{number} - base_.BaseNumber;
  if (k < 0 || k >= std::int64_t{base_.ActiveCount}) return -1;
  return k * kJamIndexRecordSize;
}

bool JamBase::ReadIndexRecord(std::int64_t position, JamIndexRecord& record) {
  std::uint8_t raw[kJamIndexRecordSize];
  indexFile_->SeekTo(static_cast<std::int32_t>(position));
  indexFile_->ReadBytes(raw, sizeof raw);
  if (!indexFile_->Status().ok()) return false;
  record = DecodeJamIndexRecord(raw);
  return true;
}

bool JamBase::HasMessage(std::int32_t number) {
  if (!FilesOpen()) return false;
  const std::int64_t position = PositionOfNumber(number);
  if (position < 0) return false;
  ClearStatuses();
  JamIndexRecord record;
  if (!ReadIndexRecord(position, record) || record.HeaderOffset == kJamDeletedRecord) {
    ClearStatuses();
    return false;
  }
  // Some programs delete by setting the header's deleted bit. A header that
  // cannot be read is reported by loading, not hidden here.
  bool deleted = false;
  const std::int32_t size = headerFile_->Size();
  if (record.HeaderOffset >= kJamBaseHeaderSize &&
      std::int64_t{record.HeaderOffset} + kJamMessageHeaderSize <= size) {
    std::uint8_t raw[4];
    headerFile_->SeekTo(static_cast<std::int32_t>(record.HeaderOffset + kJamAttributesOffset));
    headerFile_->ReadBytes(raw, sizeof raw);
    deleted = headerFile_->Status().ok() && (GetU32(raw) & kJamAttrDeleted) != 0;
  }
  ClearStatuses();
  return !deleted;
}

void JamBase::StepForward() {
  const std::int64_t beforeFirst = std::int64_t{base_.BaseNumber} - 1;
  if (beforeFirst >= std::numeric_limits<std::int32_t>::max()) {
    SetCurrentNumber(0);
    return;
  }
  if (CurrentNumber() < beforeFirst) SetCurrentNumber(static_cast<std::int32_t>(beforeFirst));
  MessageBase::StepForward();
}

// No message lies below the base number, so the walk stops there: going on
// down to 1 would ask for up to 2^31 numbers no index record can hold when
// another writer's base number is high and the lowest message is deleted.
void JamBase::StepBack() {
  std::int64_t number = std::min<std::int64_t>(CurrentNumber(), std::int64_t{HighestNumber()} + 1);
  while (--number >= std::max<std::int64_t>(base_.BaseNumber, 1)) {
    if (HasMessage(static_cast<std::int32_t>(number))) {
      SetCurrentNumber(static_cast<std::int32_t>(number));
      return;
    }
  }
  SetCurrentNumber(0);
}

bool JamBase::DoLoadMessage() { return LoadCurrent(true); }

bool JamBase::DoLoadHeaderAndKludges() { return LoadCurrent(false); }

// Reads the fixed header and its subfields (as many as the buffer holds);
// loaded receives the subfield bytes kept. False with the error code set.
bool JamBase::ReadMessageHeader(const JamIndexRecord& record, std::uint32_t& loaded) {
  const std::int32_t size = headerFile_->Size();
  if (size < 0) {
    SetErrorCode(Errc::kJamReadError);
    return false;
  }
  // Offsets below 1024 would take the base header for a message.
  const std::int64_t offset = record.HeaderOffset;
  if (record.HeaderOffset == kJamDeletedRecord || offset < kJamBaseHeaderSize ||
      offset + kJamMessageHeaderSize > size) {
    SetErrorCode(Errc::kJamBadHeaderOffset);
    return false;
  }
  const std::int64_t rest = size - offset;
  const auto want = static_cast<std::uint32_t>(
      std::min<std::int64_t>(rest, kJamMessageHeaderSize + kJamSubfieldBufferSize));
  std::vector<std::uint8_t> raw(want);
  headerFile_->SeekTo(static_cast<std::int32_t>(offset));
  headerFile_->ReadAll(raw.data(), want);
  if (!headerFile_->Status().ok()) {
    SetErrorCode(Errc::kJamReadError);
    return false;
  }
  header_ = DecodeJamMessageHeader(raw.data());
  if ((header_.Attributes & kJamAttrDeleted) != 0) {
    SetErrorCode(Errc::kJamBadHeaderOffset);
    return false;
  }
  // A header that claims more subfield bytes than the file holds was cut
  // off: its subfields cannot be trusted.
  if (std::int64_t{header_.SubfieldLength} > rest - kJamMessageHeaderSize) {
    SetErrorCode(Errc::kJamReadError);
    return false;
  }
  // Subfields beyond the buffer are cut off; the walk stops at the cut.
  loaded = std::min<std::uint32_t>(header_.SubfieldLength, want - kJamMessageHeaderSize);
  subfields_.Assign(raw.data() + kJamMessageHeaderSize, loaded);
  return true;
}

void JamBase::TakeHeaderSubfields() {
  SubfieldWalker walk(subfields_.Data(), subfields_.Length());
  Subfield f;
  while (walk.Next(f)) {
    switch (f.Id) {
      case kJamOriginAddressField:
        ParseAddress(f.Data, orig_);
        break;
      case kJamDestinationAddressField:
        ParseAddress(f.Data, dest_);
        break;
      case kJamSenderNameField:
        fromName_ = f.Data;
        break;
      case kJamReceiverNameField:
        toName_ = f.Data;
        break;
      case kJamSubjectField:
        subject_ = f.Data;
        break;
      case kJamAttachedFileField:
        if (HasAttribute(kAttrFileAttached)) subject_ = f.Data;
        break;
      case kJamRequestedFileField:
        if (HasAttribute(kAttrFileRequest)) subject_ = f.Data;
        break;
      default:
        break;
    }
  }
}

void JamBase::AppendControlSubfieldLines() {
  SubfieldWalker walk(subfields_.Data(), subfields_.Length());
  Subfield f;
  while (walk.Next(f)) {
    switch (f.Id) {
      case kJamMsgIdField:
        AppendTextLine("\x01MSGID: " + f.Data);
        break;
      case kJamReplyIdField:
        AppendTextLine("\x01REPLY: " + f.Data);
        break;
      case kJamProgramIdField:
        AppendTextLine("\x01PID: " + f.Data);
        break;
      case kJamControlLineField:
        AppendTextLine("\x01" + f.Data);
        break;
      case kJamFlagsField:
        AppendTextLine("\x01" "FLAGS: " + f.Data);
        break;
      default:
        break;
    }
  }
}

// Via lines, then SEEN-BY lines, then PATH lines, each group in subfield
// order, after the body.
void JamBase::AppendTrailingSubfieldLines() {
  static const struct {
    std::uint16_t id;
    const char* prefix;
  } kGroups[] = {{kJamTraceField, "\x01Via "}, {kJamSeenByField, "SEEN-BY: "}, {kJamPathField, "\x01PATH: "}};
  bool first = true;
  for (const auto& group : kGroups) {
    SubfieldWalker walk(subfields_.Data(), subfields_.Length());
    Subfield f;
    while (walk.Next(f)) {
      if (f.Id != group.id) continue;
      // Another writer's text may lack its final line end; the trailing
      // lines must not be glued onto its last line.
      if (first && TextLength() > 0) {
        std::uint8_t last = 0;
        MoveTextTo(TextLength() - 1);
        ReadTextBytes(1, &last);
        if (last != 0x0D && last != 0x0A && last != 0) {
          const std::uint8_t cr = 0x0D;
          WriteTextBytes(1, &cr);
        }
      }
      first = false;
      AppendTextLine(group.prefix + f.Data);
    }
  }
}

bool JamBase::LoadCurrent(bool withText) {
  DoReleaseMessage();
  ClearMessage();
  if (!FilesOpen()) {
    SetErrorCode(Errc::kJamReadError);
    return false;
  }
  ClearStatuses();
  const std::int64_t position = PositionOfNumber(CurrentNumber());
  JamIndexRecord record;
  if (position < 0 || !ReadIndexRecord(position, record)) {
    SetErrorCode(Errc::kJamReadError);
    return false;
  }
  std::uint32_t loaded = 0;
  if (!ReadMessageHeader(record, loaded)) {
    ClearMessage();
    return false;
  }
  const std::int32_t textSize = textFile_->Size();
  if (textSize < 0 || std::int64_t{header_.TextStart} + header_.TextSize > textSize) {
    ClearMessage();
    SetErrorCode(Errc::kJamBadTextOffset);
    return false;
  }

  TakeHeaderSubfields();
  AttachTextBuffer(env().NewMemoryStream(65536));
  MoveTextTo(0);
  AppendControlSubfieldLines();
  if (withText) {
    textFile_->SeekTo(static_cast<std::int32_t>(header_.TextStart));
    TextBuffer()->CopyFrom(*textFile_, static_cast<std::int32_t>(header_.TextSize));
    if (!textFile_->Status().ok()) {
      DoReleaseMessage();
      ClearMessage();
      SetErrorCode(Errc::kJamBadTextOffset);
      return false;
    }
    AppendTrailingSubfieldLines();
  }
  // The INTL, FMPT and TOPT lines dropped when storing come back from the
  // address subfields.
  if (orig_.Zone != 0) RestoreOrigKludges(orig_);
  if (dest_.Zone != 0) EmitDestKludges(dest_);
  MoveTextTo(0);

  indexRecord_ = record;
  indexRecordPosition_ = position;
  currentHeaderOffset_ = record.HeaderOffset;
  bodyMissing_ = !withText;
  return true;
}

bool JamBase::DoDeleteMessage() {
  if (!FilesOpen()) return false;
  const std::int64_t position = PositionOfNumber(CurrentNumber());
  if (position < 0) return false;
  ClearStatuses();
  JamIndexRecord record;
  if (!ReadIndexRecord(position, record) || record.HeaderOffset == kJamDeletedRecord) return false;
  // Header and text stay in their files, unreferenced.
  std::uint8_t raw[kJamIndexRecordSize];
  EncodeJamIndexRecord(JamIndexRecord{kJamDeletedRecord, kJamDeletedRecord}, raw);
  indexFile_->SeekTo(static_cast<std::int32_t>(position));
  indexFile_->WriteBytes(raw, sizeof raw);
  if (!indexFile_->Status().ok()) return false;
  // The lower count reaches the file before the index is rewritten: should
  // the rewrite stop half way, the next open sees an index longer than the
  // count and finishes it.
  if (base_.ActiveCount > 0) --base_.ActiveCount;
  if (!WriteBaseHeader()) return false;
  headerFile_->Flush();
  const bool compacted = CompactIndex();
  // The next StepForward reaches the message that moved into this number.
  SetCurrentNumber(CurrentNumber() - 1);
  return compacted;
}

}  // namespace mvx
