#include "squish/squish_records.h"

#include <algorithm>

#include "support/le_bytes.h"

namespace mvx {

namespace {

template <std::size_t N>
void PutBytes(std::uint8_t* out, const std::array<std::uint8_t, N>& field) {
  std::copy(field.begin(), field.end(), out);
}

template <std::size_t N>
void GetBytes(const std::uint8_t* in, std::array<std::uint8_t, N>& field) {
  std::copy(in, in + N, field.begin());
}

}  // namespace

void EncodeBaseHeader(const SquishBaseHeader& h, std::uint8_t* out) {
  PutU16(out + 0, h.HeaderSize);
  PutU16(out + 2, h.Reserved1);
  PutU32(out + 4, h.MessageTotal);
  PutU32(out + 8, h.HighestMessage);
  PutU32(out + 12, h.SkipMessages);
  PutU32(out + 16, h.HighWater);
  PutU32(out + 20, h.NextUid);
  PutBytes(out + 24, h.BaseName);
  PutU32(out + 104, h.FirstFrame);
  PutU32(out + 108, h.LastFrame);
  PutU32(out + 112, h.FirstFreeFrame);
  PutU32(out + 116, h.LastFreeFrame);
  PutU32(out + 120, h.EndFrame);
  PutU32(out + 124, h.MaxMessages);
  PutU16(out + 128, h.KeepDays);
  PutU16(out + 130, h.MessageHeaderSize);
  PutBytes(out + 132, h.Reserved2);
}

SquishBaseHeader DecodeBaseHeader(const std::uint8_t* in) {
  SquishBaseHeader h;
  h.HeaderSize = GetU16(in + 0);
  h.Reserved1 = GetU16(in + 2);
  h.MessageTotal = GetU32(in + 4);
  h.HighestMessage = GetU32(in + 8);
  h.SkipMessages = GetU32(in + 12);
  h.HighWater = GetU32(in + 16);
  h.NextUid = GetU32(in + 20);
  GetBytes(in + 24, h.BaseName);
  h.FirstFrame = GetU32(in + 104);
  h.LastFrame = GetU32(in + 108);
  h.FirstFreeFrame = GetU32(in + 112);
  h.LastFreeFrame = GetU32(in + 116);
  h.EndFrame = GetU32(in + 120);
  h.MaxMessages = GetU32(in + 124);
  h.KeepDays = GetU16(in + 128);
  h.MessageHeaderSize = GetU16(in + 130);
  GetBytes(in + 132, h.Reserved2);
  return h;
}

void EncodeFrameHeader(const SquishFrameHeader& f, std::uint8_t* out) {
  PutU32(out + 0, f.FrameId);
  PutU32(out + 4, f.NextFrame);
  PutU32(out + 8, f.PrevFrame);
  PutU32(out + 12, f.FrameLength);
  PutU32(out + 16, f.MessageLength);
  PutU32(out + 20, f.ControlLength);
  PutU16(out + 24, f.FrameType);
  PutU16(out + 26, f.Reserved);
}

SquishFrameHeader DecodeFrameHeader(const std::uint8_t* in) {
  SquishFrameHeader f;
  f.FrameId = GetU32(in + 0);
  f.NextFrame = GetU32(in + 4);
  f.PrevFrame = GetU32(in + 8);
  f.FrameLength = GetU32(in + 12);
  f.MessageLength = GetU32(in + 16);
  f.ControlLength = GetU32(in + 20);
  f.FrameType = GetU16(in + 24);
  f.Reserved = GetU16(in + 26);
  return f;
}

void EncodeMessageHeader(const SquishMessageHeader& m, std::uint8_t* out) {
  PutU32(out + 0, m.Attributes);
  PutBytes(out + 4, m.Sender);
  PutBytes(out + 40, m.Recipient);
  PutBytes(out + 76, m.Subject);
  for (std::size_t i = 0; i < 4; ++i) {
    PutU16(out + 148 + 2 * i, m.OrigAddress[i]);
    PutU16(out + 156 + 2 * i, m.DestAddress[i]);
  }
  PutU32(out + 164, m.WrittenStamp);
  PutU32(out + 168, m.ArrivedStamp);
  PutU16(out + 172, static_cast<std::uint16_t>(m.UtcOffset));
  PutU32(out + 174, m.ReplyTo);
  for (std::size_t i = 0; i < kSquishReplyCount; ++i) PutU32(out + 178 + 4 * i, m.Replies[i]);
  PutU32(out + 214, m.Uid);
  PutBytes(out + 218, m.FtsDate);
}

SquishMessageHeader DecodeMessageHeader(const std::uint8_t* in) {
  SquishMessageHeader m;
  m.Attributes = GetU32(in + 0);
  GetBytes(in + 4, m.Sender);
  GetBytes(in + 40, m.Recipient);
  GetBytes(in + 76, m.Subject);
  for (std::size_t i = 0; i < 4; ++i) {
    m.OrigAddress[i] = GetU16(in + 148 + 2 * i);
    m.DestAddress[i] = GetU16(in + 156 + 2 * i);
  }
  m.WrittenStamp = GetU32(in + 164);
  m.ArrivedStamp = GetU32(in + 168);
  m.UtcOffset = GetS16(in + 172);
  m.ReplyTo = GetU32(in + 174);
  for (std::size_t i = 0; i < kSquishReplyCount; ++i) m.Replies[i] = GetU32(in + 178 + 4 * i);
  m.Uid = GetU32(in + 214);
  GetBytes(in + 218, m.FtsDate);
  return m;
}

void EncodeIndexRecord(const SquishIndexRecord& r, std::uint8_t* out) {
  PutU32(out + 0, r.FrameOffset);
  PutU32(out + 4, r.Uid);
  PutU32(out + 8, r.NameHash);
}

SquishIndexRecord DecodeIndexRecord(const std::uint8_t* in) {
  SquishIndexRecord r;
  r.FrameOffset = GetU32(in + 0);
  r.Uid = GetU32(in + 4);
  r.NameHash = GetU32(in + 8);
  return r;
}

}  // namespace mvx
