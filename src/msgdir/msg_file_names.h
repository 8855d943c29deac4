// Names of the files of a *.MSG area.
#pragma once

#include <cstdint>
#include <string_view>

#include "support/str.h"

namespace mvx {

// Message numbers are 16-bit signed, so 32767 is the highest usable one.
constexpr std::int32_t kMaxMsgNumber = 32767;

// The number a file found by the "*.MSG" scan stands for: the text before
// its first "." read as an integer. 0 when that is no number, not above 0,
// or above kMaxMsgNumber.
//
// A file with a larger number (70000.MSG, 99999999999.MSG) is not a message
// this area can address with 16-bit numbers: it is left alone, does not count,
// and does not push the numbers of new messages up to the limit. Another
// program's numbering beyond ours is thereby never overwritten either, since
// new messages stay below 32768.
std::int32_t MsgNumberFromName(std::string_view fileName);

// The name by which message n is created and normally found: its number in
// decimal and the extension in the platform's case ("12.msg" on POSIX).
// Existing files are found whatever the case of their names.
Str MsgFileName(std::int32_t n);

// True when fileName is n's usual name in any letter case ("12.MSG" for 12,
// not "0012.MSG").
bool IsUsualMsgName(std::string_view fileName, std::int32_t n);

// areaPath + name into path; false when the result would not fit in a
// string, since a cut name would be some other file.
bool JoinAreaPath(const Str& areaPath, const Str& name, Str& path);

// The temporary name a message is written under before it gets its number
// ("~mvx<k>.$$$"): not *.MSG, so no tosser or editor takes it for a message.
// k tells apart the files of programs that write at the same moment. Few
// letters, so that finding the name in any case needs no directory listing.
Str TempMsgFileName(std::int32_t k);
// True for a name TempMsgFileName gives, in any letter case.
bool IsTempMsgFileName(std::string_view fileName);

// The name of the last-read pointer file.
constexpr std::string_view kLastReadName = "lastread";

}  // namespace mvx
