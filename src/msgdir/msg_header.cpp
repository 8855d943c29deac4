#include "msgdir/msg_header.h"

#include "support/le_bytes.h"
#include "support/text.h"

namespace mvx {

namespace {

// Offsets and widths of the header fields, in their order on disk.
constexpr std::size_t kFromAt = 0, kFromSize = 36;
constexpr std::size_t kToAt = 36, kToSize = 36;
constexpr std::size_t kSubjectAt = 72, kSubjectSize = 72;
constexpr std::size_t kDateTextAt = 144, kDateTextSize = 20;
constexpr std::size_t kTimesReadAt = 164;
constexpr std::size_t kDestNodeAt = 166;
constexpr std::size_t kOrigNodeAt = 168;
constexpr std::size_t kCostAt = 170;
constexpr std::size_t kOrigNetAt = 172;
constexpr std::size_t kDestNetAt = 174;
constexpr std::size_t kWrittenAt = 176;
constexpr std::size_t kArrivedAt = 180;
constexpr std::size_t kReplyToAt = 184;
constexpr std::size_t kAttributesAt = 186;
constexpr std::size_t kNextReplyAt = 188;
static_assert(kNextReplyAt + 2 == MsgHeader::kSize, "the header fields fill 190 bytes");

}  // namespace

void MsgHeader::Clear() { bytes_.fill(0); }

Str MsgHeader::From() const { return GetNulField(&bytes_[kFromAt], kFromSize); }
void MsgHeader::SetFrom(std::string_view name) { PutNulField(&bytes_[kFromAt], kFromSize, name); }
Str MsgHeader::To() const { return GetNulField(&bytes_[kToAt], kToSize); }
void MsgHeader::SetTo(std::string_view name) { PutNulField(&bytes_[kToAt], kToSize, name); }
Str MsgHeader::Subject() const { return GetNulField(&bytes_[kSubjectAt], kSubjectSize); }
void MsgHeader::SetSubject(std::string_view text) {
  PutNulField(&bytes_[kSubjectAt], kSubjectSize, text);
}
Str MsgHeader::DateText() const { return GetNulField(&bytes_[kDateTextAt], kDateTextSize); }
void MsgHeader::SetDateText(std::string_view text) {
  PutNulField(&bytes_[kDateTextAt], kDateTextSize, text);
}

std::uint16_t MsgHeader::TimesRead() const { return GetU16(&bytes_[kTimesReadAt]); }
std::uint16_t MsgHeader::DestNode() const { return GetU16(&bytes_[kDestNodeAt]); }
void MsgHeader::SetDestNode(std::uint16_t v) { PutU16(&bytes_[kDestNodeAt], v); }
std::uint16_t MsgHeader::OrigNode() const { return GetU16(&bytes_[kOrigNodeAt]); }
void MsgHeader::SetOrigNode(std::uint16_t v) { PutU16(&bytes_[kOrigNodeAt], v); }
std::uint16_t MsgHeader::Cost() const { return GetU16(&bytes_[kCostAt]); }
std::uint16_t MsgHeader::OrigNet() const { return GetU16(&bytes_[kOrigNetAt]); }
void MsgHeader::SetOrigNet(std::uint16_t v) { PutU16(&bytes_[kOrigNetAt], v); }
std::uint16_t MsgHeader::DestNet() const { return GetU16(&bytes_[kDestNetAt]); }
void MsgHeader::SetDestNet(std::uint16_t v) { PutU16(&bytes_[kDestNetAt], v); }
std::uint32_t MsgHeader::WrittenStamp() const { return GetU32(&bytes_[kWrittenAt]); }
void MsgHeader::SetWrittenStamp(std::uint32_t v) { PutU32(&bytes_[kWrittenAt], v); }
std::uint32_t MsgHeader::ArrivedStamp() const { return GetU32(&bytes_[kArrivedAt]); }
void MsgHeader::SetArrivedStamp(std::uint32_t v) { PutU32(&bytes_[kArrivedAt], v); }
std::uint16_t MsgHeader::ReplyTo() const { return GetU16(&bytes_[kReplyToAt]); }
std::uint16_t MsgHeader::Attributes() const { return GetU16(&bytes_[kAttributesAt]); }
void MsgHeader::SetAttributes(std::uint16_t v) { PutU16(&bytes_[kAttributesAt], v); }
std::uint16_t MsgHeader::NextReply() const { return GetU16(&bytes_[kNextReplyAt]); }

}  // namespace mvx
