#include "jam/jam_attributes.h"

namespace mvx {

std::uint32_t JamAttributeBit(std::int32_t generic) {
  switch (static_cast<std::uint32_t>(generic)) {
    case 0x0001: return 0x00000004u;  // private
    case 0x0002: return 0x00000100u;  // crash
    case 0x0004: return 0x00000008u;  // received
    case 0x0008: return 0x00000010u;  // sent
    case 0x0010: return 0x00002000u;  // file attached
    case 0x0020: return 0x00000002u;  // in transit
    case 0x0040: return 0x00040000u;  // orphan
    case 0x0080: return 0x00000020u;  // kill when sent
    case 0x0100: return 0x00000001u;  // local
    case 0x0200: return 0x00000080u;  // hold
    case 0x0400: return 0x00001000u;  // file request
    case 0x0800: return 0x00010000u;  // return-receipt request
    case 0x2000: return 0x00020000u;  // audit request
    case kJamKindLocal: return kJamKindLocal;
    case kJamKindEchomail: return kJamKindEchomail;
    case kJamKindNetmail: return kJamKindNetmail;
    default: return 0;
  }
}

}  // namespace mvx
