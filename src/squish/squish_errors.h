// ErrorCode values a SquishBase leaves behind when an operation fails.
#pragma once

#include <cstdint>

namespace mvx {

constexpr std::int32_t kSquishNoDataFile = 0x3000;       // OpenArea: no .SQD
constexpr std::int32_t kSquishNoIndexFile = 0x3001;      // OpenArea: no .SQI
constexpr std::int32_t kSquishDataOpenFailed = 0x3002;   // .SQD could not be opened
constexpr std::int32_t kSquishIndexOpenFailed = 0x3003;  // .SQI could not be opened
// The area's header or chains are inconsistent (a .SQD shorter than its
// header, an end-of-frames offset that a chain's last frame runs past, an
// interrupted operation whose files no longer look the way it left them,
// ...): nothing is written into such an area.
constexpr std::int32_t kSquishDamagedArea = 0x3004;
// A message or area beyond what the format or its readers allow: the
// 1,000,000-message limit, the 32-bit file size, uids used up.
constexpr std::int32_t kSquishLimitReached = 0x3005;
// An index record could not be read or written, or no longer names the
// message it was read for.
constexpr std::int32_t kSquishIndexError = 0x3006;
// Bad frame: wrong frame id, not a message frame, lengths outside the frame
// or the file, control information too long (also when storing).
constexpr std::int32_t kSquishBadFrame = 0x3007;
// A read or write of the .SQD failed (frame headers, message, base header),
// or a frame write aimed at the base header.
constexpr std::int32_t kSquishFrameIoError = 0x3008;
constexpr std::int32_t kSquishDataCreateFailed = 0x3009;   // CreateArea: .SQD
constexpr std::int32_t kSquishIndexCreateFailed = 0x300a;  // CreateArea: .SQI
// Not a failure: OpenArea found a store, delete or move that a crash or a
// failed write had interrupted, undid the store (or finished the delete)
// and opened the area, which is sound again. The run control may log it.
constexpr std::int32_t kSquishRepaired = 0x300b;

}  // namespace mvx
