// JAM subfields: the variable part of a message header, kept back to back
// after its fixed 76 bytes. Each is an 8-byte head (u16 id, u16 id high
// written 0, u32 data length) followed by the data, no terminator.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "support/str.h"

namespace mvx {

constexpr std::uint16_t kJamOriginAddressField = 0;
constexpr std::uint16_t kJamDestinationAddressField = 1;
constexpr std::uint16_t kJamSenderNameField = 2;
constexpr std::uint16_t kJamReceiverNameField = 3;
constexpr std::uint16_t kJamMsgIdField = 4;
constexpr std::uint16_t kJamReplyIdField = 5;
constexpr std::uint16_t kJamSubjectField = 6;
constexpr std::uint16_t kJamProgramIdField = 7;
constexpr std::uint16_t kJamTraceField = 8;
constexpr std::uint16_t kJamAttachedFileField = 9;
constexpr std::uint16_t kJamRequestedFileField = 11;
constexpr std::uint16_t kJamControlLineField = 2000;
constexpr std::uint16_t kJamSeenByField = 2001;
constexpr std::uint16_t kJamPathField = 2002;
constexpr std::uint16_t kJamFlagsField = 2003;

constexpr std::uint32_t kJamSubfieldHeadSize = 8;
// The subfields of one message that this program reads or writes.
constexpr std::uint32_t kJamSubfieldBufferSize = 12288;

// The subfields of the message being built, in a fixed buffer that is never
// written past: a subfield that does not fit is refused whole.
class SubfieldBuffer {
 public:
  void Clear() { used_ = 0; }
  // Takes subfields as loaded from a file; more than the buffer holds is cut
  // off (a subfield cut in two then ends the walk over them).
  void Assign(const std::uint8_t* bytes, std::uint32_t count);
  // Appends one subfield; false, with nothing written, when it would not fit.
  bool Add(std::uint16_t id, std::string_view data);
  std::uint32_t Length() const { return used_; }
  const std::uint8_t* Data() const { return bytes_.data(); }

 private:
  std::array<std::uint8_t, kJamSubfieldBufferSize> bytes_{};
  std::uint32_t used_ = 0;
};

struct Subfield {
  std::uint16_t Id = 0;
  // The data, cut to 255 bytes: other writers may store longer ones.
  Str Data;
};

// Walks subfields stored back to back in bytes[0, limit). The walk ends at
// the limit, and also at a subfield whose head or data would run past it:
// what follows a damaged length cannot be trusted.
class SubfieldWalker {
 public:
  SubfieldWalker(const std::uint8_t* bytes, std::uint32_t limit) : bytes_(bytes), limit_(limit) {}
  bool Next(Subfield& out);

 private:
  const std::uint8_t* bytes_;
  std::uint32_t limit_;
  std::uint32_t pos_ = 0;
};

}  // namespace mvx
