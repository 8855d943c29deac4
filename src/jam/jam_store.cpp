// JamBase: beginning and storing messages.
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "jam/jam_attributes.h"
#include "jam/jam_base.h"
#include "jam/jam_crc.h"
#include "msgbase/env.h"

namespace mvx {

namespace {

constexpr char kCr = 0x0D;

// Control lines that become subfields of their own, matched case-sensitively
// at the start of a line; the data is the rest of the line.
struct ControlKind {
  std::string_view prefix;
  std::uint16_t id;
};
constexpr ControlKind kControlKinds[] = {
    {"\x01MSGID: ", kJamMsgIdField}, {"\x01REPLY: ", kJamReplyIdField},
    {"\x01PID: ", kJamProgramIdField}, {"\x01" "FLAGS: ", kJamFlagsField},
    {"\x01Via ", kJamTraceField},      {"SEEN-BY: ", kJamSeenByField},
    {"\x01PATH: ", kJamPathField}};

// Address lines: the addresses are kept in subfields 0 and 1 instead.
constexpr std::string_view kAddressLines[] = {"\x01INTL", "\x01" "FMPT", "\x01TOPT"};

}  // namespace

bool JamBase::DoBeginNewMessage() {
  if (!FilesOpen()) return false;
  ClearStatuses();
  const std::int64_t records = IndexRecordCount();
  const std::int64_t number = std::int64_t{base_.BaseNumber} + std::max<std::int64_t>(records, 0);
  if (records < 0 || number > std::numeric_limits<std::int32_t>::max()) return false;

  ClearMessage();
  indexRecord_.ToCrc = 0xFFFFFFFFu;
  header_.Signature = kJamSignature;
  header_.Revision = 1;
  header_.MsgIdCrc = 0xFFFFFFFFu;
  header_.ReplyCrc = 0xFFFFFFFFu;
  header_.PasswordCrc = 0xFFFFFFFFu;
  // The record is appended; the number follows from its position.
  indexRecordPosition_ = records * kJamIndexRecordSize;
  header_.MessageNumber = static_cast<std::uint32_t>(number);
  SetCurrentNumber(static_cast<std::int32_t>(number));
  AttachTextBuffer(env().NewMemoryStream(65536));
  StampNow();
  return true;
}

void JamBase::AddSubfield(std::uint16_t id, std::string_view data) {
  // Names, addresses and subject come first and always fit; a control line
  // that no longer fits is left out, and so is every one after it, so that
  // the lines kept are the leading ones in their order.
  if (subfieldsFull_ || !subfields_.Add(id, data.substr(0, Str::kMax))) {
    subfieldsFull_ = true;
    ++droppedControlLines_;
  }
}

void JamBase::AddControlLine(std::string_view line, std::string& body) {
  for (const ControlKind& kind : kControlKinds) {
    if (!line.starts_with(kind.prefix)) continue;
    // Longer data is cut to 255 bytes before it becomes a subfield.
    const std::string_view data = line.substr(kind.prefix.size(), Str::kMax);
    if (kind.id == kJamMsgIdField) header_.MsgIdCrc = JamCrc(data);
    if (kind.id == kJamReplyIdField) header_.ReplyCrc = JamCrc(data);
    AddSubfield(kind.id, data);
    return;
  }
  for (std::string_view address : kAddressLines) {
    if (line.starts_with(address)) return;
  }
  if (!line.empty() && line[0] == 0x01) {
    AddSubfield(kJamControlLineField, line.substr(1, Str::kMax));
    return;
  }
  body.append(line);
  body.push_back(kCr);
}

bool JamBase::DoStoreMessage() {
  droppedControlLines_ = 0;
  subfieldsFull_ = false;
  DataStream* text = TextBuffer();
  // Stored whole, a message loaded without its body would lose the body.
  if (!FilesOpen() || text == nullptr || bodyMissing_) return false;
  ClearStatuses();

  ReadBothAddresses(orig_, dest_);
  // The subfields are rebuilt from scratch, and so are the hashes of the
  // MSGID and REPLY lines among them.
  subfields_.Clear();
  header_.MsgIdCrc = 0xFFFFFFFFu;
  header_.ReplyCrc = 0xFFFFFFFFu;
  const FidoAddress zero{};
  const FidoAddress& dest = CompareAddress(dest_, zero) == 0 ? orig_ : dest_;
  subfields_.Add(kJamSenderNameField, fromName_);
  subfields_.Add(kJamOriginAddressField, FormatAddress4D(orig_));
  subfields_.Add(kJamReceiverNameField, toName_);
  subfields_.Add(kJamDestinationAddressField, FormatAddress4D(dest));
  if (!subject_.empty()) subfields_.Add(kJamSubjectField, subject_);
  if (HasAttribute(kAttrFileAttached)) subfields_.Add(kJamAttachedFileField, subject_);
  if (HasAttribute(kAttrFileRequest)) subfields_.Add(kJamRequestedFileField, subject_);

  // The whole text, split into lines as ReadTextLine splits it (CR, CR LF or
  // a 0 byte ends a line), but without its line-length limit: a body line
  // goes into the .JDT whole, however long.
  const std::int32_t size = std::max(text->Size(), 0);
  std::vector<char> all(static_cast<std::size_t>(size));
  text->SeekTo(0);
  text->ReadAll(all.data(), static_cast<std::uint32_t>(size));
  std::string body;
  for (std::size_t at = 0; at < all.size();) {
    std::size_t end = at;
    while (end < all.size() && all[end] != kCr && all[end] != 0) ++end;
    AddControlLine(std::string_view(all.data() + at, end - at), body);
    at = end + 1;
    if (end < all.size() && all[end] == kCr && at < all.size() && all[at] == 0x0A) ++at;
  }
  text->SeekTo(size);

  // The message kind follows the area kind; with none set all three go.
  ChangeAttribute(HasAreaFlag(kAreaEchomail), static_cast<std::int32_t>(kJamKindEchomail));
  ChangeAttribute(HasAreaFlag(kAreaNetmail), static_cast<std::int32_t>(kJamKindNetmail));
  ChangeAttribute(HasAreaFlag(kAreaLocal), static_cast<std::int32_t>(kJamKindLocal));

  // A new message appends its record; one that is in the files (loaded, or
  // stored before) is pointed at its new header and text in place.
  const std::int64_t records = IndexRecordCount();
  if (records < 0) return false;
  std::int64_t position = std::min(indexRecordPosition_, records * kJamIndexRecordSize);
  if (currentHeaderOffset_ != 0) {
    // Only over its own record: after a deletion compacted the index, that
    // position may hold another message's record, which would be lost.
    JamIndexRecord now;
    if (indexRecordPosition_ >= records * kJamIndexRecordSize ||
        !ReadIndexRecord(indexRecordPosition_, now) || now.HeaderOffset != currentHeaderOffset_) {
      ClearStatuses();
      return false;
    }
    position = indexRecordPosition_;
  }
  if (!WriteNewParts(body, position)) return false;

  if (position == records * kJamIndexRecordSize) ++base_.ActiveCount;
  ++base_.ModifyCount;
  for (DataStream* s : {headerFile_.get(), indexFile_.get(), textFile_.get(), lastReadFile_.get()}) {
    if (s != nullptr) s->Flush();
  }
  return true;
}

// Text first, then header, then index record: the record is the last thing
// written, so no index record ever points at a header or text that did not
// make it to the file. On a failure what this call appended is cut off again.
bool JamBase::WriteNewParts(const std::string& body, std::int64_t position) {
  const std::int32_t headerSize = headerFile_->Size();
  const std::int32_t textSize = textFile_->Size();
  const std::int64_t limit = std::numeric_limits<std::int32_t>::max();
  const std::int64_t headerOffset = std::max<std::int64_t>(headerSize, kJamBaseHeaderSize);
  const std::uint32_t headerBytes = kJamMessageHeaderSize + subfields_.Length();
  if (headerSize < 0 || textSize < 0 || textSize + static_cast<std::int64_t>(body.size()) > limit ||
      headerOffset + headerBytes > limit) {
    return false;
  }

  auto cutBack = [&]() {
    ClearStatuses();
    textFile_->SeekTo(textSize);
    textFile_->TruncateHere();
    headerFile_->SeekTo(headerSize);
    headerFile_->TruncateHere();
    ClearStatuses();
    return false;
  };

  textFile_->SeekTo(textSize);
  textFile_->WriteAll(body.data(), static_cast<std::uint32_t>(body.size()));
  if (!textFile_->Status().ok()) return cutBack();

  header_.SubfieldLength = subfields_.Length();
  header_.TextStart = static_cast<std::uint32_t>(textSize);
  header_.TextSize = static_cast<std::uint32_t>(body.size());
  header_.MessageNumber = static_cast<std::uint32_t>(base_.BaseNumber + position / kJamIndexRecordSize);
  // Header and subfields in one write.
  std::vector<std::uint8_t> raw(headerBytes);
  EncodeJamMessageHeader(header_, raw.data());
  std::copy(subfields_.Data(), subfields_.Data() + subfields_.Length(),
            raw.begin() + kJamMessageHeaderSize);
  headerFile_->SeekTo(static_cast<std::int32_t>(headerOffset));
  headerFile_->WriteAll(raw.data(), headerBytes);
  if (!headerFile_->Status().ok()) return cutBack();

  JamIndexRecord record;
  record.ToCrc = JamCrc(toName_);
  record.HeaderOffset = static_cast<std::uint32_t>(headerOffset);
  std::uint8_t rawRecord[kJamIndexRecordSize];
  EncodeJamIndexRecord(record, rawRecord);
  const std::int32_t indexSize = indexFile_->Size();
  indexFile_->SeekTo(static_cast<std::int32_t>(position));
  indexFile_->WriteBytes(rawRecord, sizeof rawRecord);
  if (!indexFile_->Status().ok()) {
    // An appended record that went in part is cut off; a record rewritten in
    // place is a single small write that either happened or did not.
    if (indexSize >= 0 && position >= indexSize) {
      indexFile_->ClearError();
      indexFile_->SeekTo(indexSize);
      indexFile_->TruncateHere();
    }
    return cutBack();
  }

  indexRecord_ = record;
  indexRecordPosition_ = position;
  currentHeaderOffset_ = static_cast<std::uint32_t>(headerOffset);
  return true;
}

bool JamBase::DoStoreHeaderOnly() {
  // Only a header that is in the file can be written back in place.
  if (!FilesOpen() || currentHeaderOffset_ < kJamBaseHeaderSize) return false;
  ClearStatuses();
  std::uint8_t raw[kJamMessageHeaderSize];
  EncodeJamMessageHeader(header_, raw);
  headerFile_->SeekTo(static_cast<std::int32_t>(currentHeaderOffset_));
  headerFile_->WriteBytes(raw, sizeof raw);
  return headerFile_->Status().ok();
}

}  // namespace mvx
