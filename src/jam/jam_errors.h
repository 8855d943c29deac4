// Error codes of JamBase (ErrorCode of the message base).
//
// 0x200d (no .JLR) and 0x200f (.JLR neither opened nor created) never occur:
// a missing .JLR is created, and an area whose .JLR cannot be opened opens
// without it (JamBase::HasLastReadFile).
#pragma once

#include <cstdint>

namespace mvx {

constexpr std::int32_t kJamNoHeaderFile = 0x2000;    // no .JHR (OpenArea)
constexpr std::int32_t kJamNoIndexFile = 0x2001;     // no .JDX (OpenArea)
constexpr std::int32_t kJamNoTextFile = 0x2002;      // no .JDT (OpenArea)
constexpr std::int32_t kJamOpenHeader = 0x2003;      // .JHR could not be opened
constexpr std::int32_t kJamOpenIndex = 0x2004;       // .JDX could not be opened (or compacted)
constexpr std::int32_t kJamOpenText = 0x2005;        // .JDT could not be opened
constexpr std::int32_t kJamReadError = 0x2006;       // seek or read error on .JDX or .JHR
constexpr std::int32_t kJamBadHeaderOffset = 0x2007; // index record outside the .JHR, or deleted
constexpr std::int32_t kJamBadTextOffset = 0x2008;   // text outside the .JDT, or unreadable
constexpr std::int32_t kJamBadBaseHeader = 0x2009;   // .JHR too short for its base header, or no signature (OpenArea)
constexpr std::int32_t kJamCreateHeader = 0x200a;    // .JHR could not be created
constexpr std::int32_t kJamCreateIndex = 0x200b;     // .JDX could not be created
constexpr std::int32_t kJamCreateText = 0x200c;      // .JDT could not be created

}  // namespace mvx
