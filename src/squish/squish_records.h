// The fixed records of a Squish area: the .SQD base header, the frame header
// in front of every frame, the message header at the start of a message
// frame's body, and the .SQI index record.
//
// Every other program that opens the same area reads these bytes, so each
// codec puts and gets its fields one by one at their offsets (little-endian);
// nothing is reordered, widened or padded.
#pragma once

#include <array>
#include <cstdint>

namespace mvx {

constexpr std::uint32_t kSquishBaseHeaderSize = 256;
constexpr std::uint32_t kSquishFrameHeaderSize = 28;
constexpr std::uint32_t kSquishMessageHeaderSize = 238;
constexpr std::uint32_t kSquishIndexRecordSize = 12;

constexpr std::uint32_t kSquishFrameId = 0xAFAE4453;
constexpr std::uint16_t kSquishMessageFrame = 0;
constexpr std::uint16_t kSquishFreeFrame = 1;

constexpr std::size_t kSquishBaseNameSize = 80;
constexpr std::size_t kSquishNameSize = 36;     // Sender, Recipient
constexpr std::size_t kSquishSubjectSize = 72;
constexpr std::size_t kSquishFtsDateSize = 20;
constexpr std::size_t kSquishReplyCount = 9;

// Values a new area's header starts with.
constexpr std::uint32_t kSquishDefaultMaxMessages = 65535;
constexpr std::uint16_t kSquishDefaultKeepDays = 32767;
// Offset 130 holds where a message header starts inside its frame. Every
// other Squish program takes it that way and finds the message header at the
// frame offset plus this value, so a new area gets 28 (the frame header's
// size); the 238 one might expect from the field's name would make them read
// every message of the area 210 bytes too far. The value of an existing area
// is kept as read and never used: the message header always follows the
// 28-byte frame header.
constexpr std::uint16_t kSquishNewAreaMessageHeaderOffset = 28;

struct SquishBaseHeader {
  std::uint16_t HeaderSize = 0;
  std::uint16_t Reserved1 = 0;
  std::uint32_t MessageTotal = 0;
  std::uint32_t HighestMessage = 0;
  std::uint32_t SkipMessages = 0;
  std::uint32_t HighWater = 0;
  std::uint32_t NextUid = 0;
  std::array<std::uint8_t, kSquishBaseNameSize> BaseName{};
  std::uint32_t FirstFrame = 0;
  std::uint32_t LastFrame = 0;
  std::uint32_t FirstFreeFrame = 0;
  std::uint32_t LastFreeFrame = 0;
  std::uint32_t EndFrame = 0;
  std::uint32_t MaxMessages = 0;
  std::uint16_t KeepDays = 0;
  std::uint16_t MessageHeaderSize = 0;  // offset 130, see above
  std::array<std::uint8_t, 124> Reserved2{};
};

struct SquishFrameHeader {
  std::uint32_t FrameId = 0;
  std::uint32_t NextFrame = 0;
  std::uint32_t PrevFrame = 0;
  std::uint32_t FrameLength = 0;    // capacity of the body after this header
  std::uint32_t MessageLength = 0;  // body bytes in use
  std::uint32_t ControlLength = 0;  // control area, its NUL included
  std::uint16_t FrameType = 0;
  std::uint16_t Reserved = 0;
};

struct SquishMessageHeader {
  std::uint32_t Attributes = 0;
  std::array<std::uint8_t, kSquishNameSize> Sender{};
  std::array<std::uint8_t, kSquishNameSize> Recipient{};
  std::array<std::uint8_t, kSquishSubjectSize> Subject{};
  std::array<std::uint16_t, 4> OrigAddress{};  // zone, net, node, point
  std::array<std::uint16_t, 4> DestAddress{};
  std::uint32_t WrittenStamp = 0;  // date word in bytes 0-1, time word in 2-3
  std::uint32_t ArrivedStamp = 0;
  std::int16_t UtcOffset = 0;
  std::uint32_t ReplyTo = 0;
  std::array<std::uint32_t, kSquishReplyCount> Replies{};
  std::uint32_t Uid = 0;
  std::array<std::uint8_t, kSquishFtsDateSize> FtsDate{};
};

struct SquishIndexRecord {
  std::uint32_t FrameOffset = 0;
  std::uint32_t Uid = 0;
  std::uint32_t NameHash = 0;
};

void EncodeBaseHeader(const SquishBaseHeader& h, std::uint8_t* out);  // 256 bytes
SquishBaseHeader DecodeBaseHeader(const std::uint8_t* in);
void EncodeFrameHeader(const SquishFrameHeader& f, std::uint8_t* out);  // 28 bytes
SquishFrameHeader DecodeFrameHeader(const std::uint8_t* in);
void EncodeMessageHeader(const SquishMessageHeader& m, std::uint8_t* out);  // 238 bytes
SquishMessageHeader DecodeMessageHeader(const std::uint8_t* in);
void EncodeIndexRecord(const SquishIndexRecord& r, std::uint8_t* out);  // 12 bytes
SquishIndexRecord DecodeIndexRecord(const std::uint8_t* in);

}  // namespace mvx
