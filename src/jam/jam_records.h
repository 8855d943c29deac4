// The fixed records of a JAM area: the base header at the start of the .JHR,
// the fixed part of every message header, the .JDX index record and the .JLR
// last-read record. Each is encoded and decoded field by field at its offset,
// little-endian, so the layout is the one on disk whatever the compiler does.
#pragma once

#include <array>
#include <cstdint>

namespace mvx {

constexpr std::uint32_t kJamBaseHeaderSize = 1024;
constexpr std::uint32_t kJamMessageHeaderSize = 76;
constexpr std::uint32_t kJamIndexRecordSize = 8;
constexpr std::uint32_t kJamLastReadRecordSize = 16;
constexpr std::uint32_t kJamReservedSize = 1000;

// "JAM" and a NUL open both the base header and every message header.
constexpr std::array<std::uint8_t, 4> kJamSignature{0x4A, 0x41, 0x4D, 0x00};

// HeaderOffset (and ToCrc) of an index record whose message was deleted.
constexpr std::uint32_t kJamDeletedRecord = 0xFFFFFFFFu;
// Attribute bit other programs set in a header to delete its message.
constexpr std::uint32_t kJamAttrDeleted = 0x80000000u;
// Where fields sit inside a message header, for the in-place rewrites.
constexpr std::uint32_t kJamMessageNumberOffset = 48;
constexpr std::uint32_t kJamAttributesOffset = 52;

struct JamBaseHeader {
  std::array<std::uint8_t, 4> Signature{};
  std::uint32_t CreatedDate = 0;
  std::uint32_t ModifyCount = 0;
  std::uint32_t ActiveCount = 0;
  std::uint32_t PasswordCrc = 0;
  std::uint32_t BaseNumber = 0;
  // Other programs keep their own marks here (a high-water mark at offset
  // 24, for one): kept exactly as read and written back whole.
  std::array<std::uint8_t, kJamReservedSize> Reserved{};
};

struct JamMessageHeader {
  std::array<std::uint8_t, 4> Signature{};
  std::uint16_t Revision = 0;
  std::uint16_t ReservedWord = 0;
  std::uint32_t SubfieldLength = 0;
  std::uint32_t TimesRead = 0;
  std::uint32_t MsgIdCrc = 0;
  std::uint32_t ReplyCrc = 0;
  std::uint32_t ReplyTo = 0;
  std::uint32_t FirstReply = 0;
  std::uint32_t NextReply = 0;
  std::uint32_t WrittenDate = 0;
  std::uint32_t ReceivedDate = 0;
  std::uint32_t ProcessedDate = 0;
  std::uint32_t MessageNumber = 0;
  std::uint32_t Attributes = 0;
  std::uint32_t Attributes2 = 0;
  std::uint32_t TextStart = 0;
  std::uint32_t TextSize = 0;
  std::uint32_t PasswordCrc = 0;
  std::uint32_t Cost = 0;
};

struct JamIndexRecord {
  std::uint32_t ToCrc = 0;
  std::uint32_t HeaderOffset = 0;
};

struct JamLastReadRecord {
  std::uint32_t UserCrc = 0;
  std::uint32_t UserId = 0;
  std::uint32_t LastReadNumber = 0;
  std::uint32_t HighReadNumber = 0;
};

// Each Encode writes exactly the record's size at out; each Decode reads
// exactly that many bytes from in.
void EncodeJamBaseHeader(const JamBaseHeader& h, std::uint8_t* out);
JamBaseHeader DecodeJamBaseHeader(const std::uint8_t* in);
// The header a new area starts with: signature, the creation time, no
// messages, no password, numbers from 1, reserved bytes zero.
JamBaseHeader NewJamBaseHeader(std::uint32_t createdDate);

void EncodeJamMessageHeader(const JamMessageHeader& h, std::uint8_t* out);
JamMessageHeader DecodeJamMessageHeader(const std::uint8_t* in);

void EncodeJamIndexRecord(const JamIndexRecord& r, std::uint8_t* out);
JamIndexRecord DecodeJamIndexRecord(const std::uint8_t* in);

void EncodeJamLastReadRecord(const JamLastReadRecord& r, std::uint8_t* out);
JamLastReadRecord DecodeJamLastReadRecord(const std::uint8_t* in);

}  // namespace mvx
