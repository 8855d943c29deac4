// MsgHeader: the fixed 190-byte header at the start of every *.MSG file.
//
// The header is kept as the bytes that are on disk, and each field is read
// and written at its offset with the little-endian helpers. A header loaded
// from another program's file therefore goes back unchanged by
// StoreHeaderOnly except for the fields that were set.
//
//   offset size field
//        0   36 from name, NUL-terminated (at most 35 characters)
//       36   36 to name, NUL-terminated (at most 35)
//       72   72 subject, NUL-terminated (at most 71)
//      144   20 date written as text, NUL-terminated
//      164    2 times read
//      166    2 destination node
//      168    2 origin node
//      170    2 cost
//      172    2 origin net
//      174    2 destination net
//      176    4 date written: date word, then time word
//      180    4 date arrived: same encoding
//      184    2 reply to
//      186    2 attribute bits
//      188    2 next reply
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/str.h"

namespace mvx {

class MsgHeader {
 public:
  static constexpr std::size_t kSize = 190;

  MsgHeader() { Clear(); }

  // All 190 bytes zero.
  void Clear();

  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }

  // Text fields: the text is cut so that its NUL always fits in the field;
  // the rest of the field is zero-filled. Reading stops at the first NUL or
  // at the end of the field.
  Str From() const;
  void SetFrom(std::string_view name);
  Str To() const;
  void SetTo(std::string_view name);
  Str Subject() const;
  void SetSubject(std::string_view text);
  Str DateText() const;
  void SetDateText(std::string_view text);

  std::uint16_t TimesRead() const;
  std::uint16_t DestNode() const;
  void SetDestNode(std::uint16_t v);
  std::uint16_t OrigNode() const;
  void SetOrigNode(std::uint16_t v);
  std::uint16_t Cost() const;
  std::uint16_t OrigNet() const;
  void SetOrigNet(std::uint16_t v);
  std::uint16_t DestNet() const;
  void SetDestNet(std::uint16_t v);
  std::uint32_t WrittenStamp() const;
  void SetWrittenStamp(std::uint32_t v);
  std::uint32_t ArrivedStamp() const;
  void SetArrivedStamp(std::uint32_t v);
  std::uint16_t ReplyTo() const;
  std::uint16_t Attributes() const;
  void SetAttributes(std::uint16_t v);
  std::uint16_t NextReply() const;

 private:
  std::array<std::uint8_t, kSize> bytes_;
};

}  // namespace mvx
