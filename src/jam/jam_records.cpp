#include "jam/jam_records.h"

#include <algorithm>

#include "support/le_bytes.h"

namespace mvx {

void EncodeJamBaseHeader(const JamBaseHeader& h, std::uint8_t* out) {
  std::copy(h.Signature.begin(), h.Signature.end(), out + 0);
  PutU32(out + 4, h.CreatedDate);
  PutU32(out + 8, h.ModifyCount);
  PutU32(out + 12, h.ActiveCount);
  PutU32(out + 16, h.PasswordCrc);
  PutU32(out + 20, h.BaseNumber);
  std::copy(h.Reserved.begin(), h.Reserved.end(), out + 24);
}

JamBaseHeader DecodeJamBaseHeader(const std::uint8_t* in) {
  JamBaseHeader h;
  std::copy(in + 0, in + 4, h.Signature.begin());
  h.CreatedDate = GetU32(in + 4);
  h.ModifyCount = GetU32(in + 8);
  h.ActiveCount = GetU32(in + 12);
  h.PasswordCrc = GetU32(in + 16);
  h.BaseNumber = GetU32(in + 20);
  std::copy(in + 24, in + 24 + kJamReservedSize, h.Reserved.begin());
  return h;
}

JamBaseHeader NewJamBaseHeader(std::uint32_t createdDate) {
  JamBaseHeader h;
  h.Signature = kJamSignature;
  h.CreatedDate = createdDate;
  h.ModifyCount = 0;
  h.ActiveCount = 0;
  h.PasswordCrc = 0xFFFFFFFFu;
  h.BaseNumber = 1;
  return h;
}

void EncodeJamMessageHeader(const JamMessageHeader& h, std::uint8_t* out) {
  std::copy(h.Signature.begin(), h.Signature.end(), out + 0);
  PutU16(out + 4, h.Revision);
  PutU16(out + 6, h.ReservedWord);
  PutU32(out + 8, h.SubfieldLength);
  PutU32(out + 12, h.TimesRead);
  PutU32(out + 16, h.MsgIdCrc);
  PutU32(out + 20, h.ReplyCrc);
  PutU32(out + 24, h.ReplyTo);
  PutU32(out + 28, h.FirstReply);
  PutU32(out + 32, h.NextReply);
  PutU32(out + 36, h.WrittenDate);
  PutU32(out + 40, h.ReceivedDate);
  PutU32(out + 44, h.ProcessedDate);
  PutU32(out + 48, h.MessageNumber);
  PutU32(out + 52, h.Attributes);
  PutU32(out + 56, h.Attributes2);
  PutU32(out + 60, h.TextStart);
  PutU32(out + 64, h.TextSize);
  PutU32(out + 68, h.PasswordCrc);
  PutU32(out + 72, h.Cost);
}

JamMessageHeader DecodeJamMessageHeader(const std::uint8_t* in) {
  JamMessageHeader h;
  std::copy(in + 0, in + 4, h.Signature.begin());
  h.Revision = GetU16(in + 4);
  h.ReservedWord = GetU16(in + 6);
  h.SubfieldLength = GetU32(in + 8);
  h.TimesRead = GetU32(in + 12);
  h.MsgIdCrc = GetU32(in + 16);
  h.ReplyCrc = GetU32(in + 20);
  h.ReplyTo = GetU32(in + 24);
  h.FirstReply = GetU32(in + 28);
  h.NextReply = GetU32(in + 32);
  h.WrittenDate = GetU32(in + 36);
  h.ReceivedDate = GetU32(in + 40);
  h.ProcessedDate = GetU32(in + 44);
  h.MessageNumber = GetU32(in + 48);
  h.Attributes = GetU32(in + 52);
  h.Attributes2 = GetU32(in + 56);
  h.TextStart = GetU32(in + 60);
  h.TextSize = GetU32(in + 64);
  h.PasswordCrc = GetU32(in + 68);
  h.Cost = GetU32(in + 72);
  return h;
}

void EncodeJamIndexRecord(const JamIndexRecord& r, std::uint8_t* out) {
  PutU32(out + 0, r.ToCrc);
  PutU32(out + 4, r.HeaderOffset);
}

JamIndexRecord DecodeJamIndexRecord(const std::uint8_t* in) {
  JamIndexRecord r;
  r.ToCrc = GetU32(in + 0);
  r.HeaderOffset = GetU32(in + 4);
  return r;
}

void EncodeJamLastReadRecord(const JamLastReadRecord& r, std::uint8_t* out) {
  PutU32(out + 0, r.UserCrc);
  PutU32(out + 4, r.UserId);
  PutU32(out + 8, r.LastReadNumber);
  PutU32(out + 12, r.HighReadNumber);
}

JamLastReadRecord DecodeJamLastReadRecord(const std::uint8_t* in) {
  JamLastReadRecord r;
  r.UserCrc = GetU32(in + 0);
  r.UserId = GetU32(in + 4);
  r.LastReadNumber = GetU32(in + 8);
  r.HighReadNumber = GetU32(in + 12);
  return r;
}

}  // namespace mvx
