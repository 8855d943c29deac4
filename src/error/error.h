// Error: how every layer reports a failure, from the file calls up to the
// run control. It carries one code from the single list below, the
// operating system's own error number where the system gave one, and the
// name of the file it concerns; an Error with code kNone is success.
//
// The message-base codes keep the numbers the formats have always reported
// (an area's ErrorCode(), mvxdump's "(0x2000)"), so each format owns a block
// of numbers: *.MSG 0x10xx, JAM 0x20xx, Squish 0x30xx.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace mvx {

enum class Errc : std::int32_t {
  kNone = 0,

  // Files and directories, as the platform layer and the streams see them.
  kNotFound = 1,        // the name, or a directory on its way, does not exist
  kNameTaken,           // a file or directory of that name exists
  kHeldByOther,         // another program held it locked for longer than we waited
  kOpenFailed,
  kCreateFailed,
  kReadFailed,
  kShortRead,           // the file ended before the bytes asked for
  kWriteFailed,
  kShortWrite,          // fewer bytes went than were given (a full disk)
  kSeekFailed,
  kSizeFailed,
  kTruncateFailed,
  kDeleteFailed,
  kRenameFailed,
  kLockFailed,
  kMakeDirectoryFailed,
  kTimeFailed,
  kBadMode,             // a stream asked for with an open mode that does not exist
  kNotHeld,             // no message is held to release
  kTooLarge,            // larger than the reader takes (a configuration that is no configuration)

  // *.MSG areas.
  kMsgNoArea = 0x1000,  // the area directory is missing
  kMsgNoMessage,        // no message of that number
  kMsgOpenFailed,       // the message file could not be read
  kMsgNotOpen,          // no message is open

  // JAM areas. 0x200d (no .jlr) and 0x200f (.jlr neither opened nor
  // created) are never given: a missing .jlr is created, and an area whose
  // .jlr cannot be opened opens without it.
  kJamNoHeaderFile = 0x2000,
  kJamNoIndexFile,
  kJamNoTextFile,
  kJamOpenHeader,
  kJamOpenIndex,        // also: the index could not be compacted
  kJamOpenText,
  kJamReadError,        // seek or read error on the index or the headers
  kJamBadHeaderOffset,  // an index record outside the headers, or deleted
  kJamBadTextOffset,    // text outside the text file, or unreadable
  kJamBadBaseHeader,    // headers file too short for its base header, or no signature
  kJamCreateHeader,
  kJamCreateIndex,
  kJamCreateText,

  // Squish areas.
  kSquishNoDataFile = 0x3000,
  kSquishNoIndexFile,
  kSquishDataOpenFailed,
  kSquishIndexOpenFailed,
  // The header or the chains are inconsistent (a data file shorter than its
  // header, a chain's last frame past the end of frames, an interrupted
  // change whose files no longer look the way it left them): nothing is
  // written into such an area.
  kSquishDamagedArea,
  // Beyond what the format or its readers allow: a million messages, the
  // 32-bit file size, uids used up.
  kSquishLimitReached,
  // An index record could not be read or written, or no longer names the
  // message it was read for.
  kSquishIndexError,
  // Wrong frame id, not a message frame, lengths outside the frame or the
  // file, control information too long (also when storing).
  kSquishBadFrame,
  // A read or write of the data file failed, or a frame write aimed at the
  // base header.
  kSquishFrameIoError,
  kSquishDataCreateFailed,
  kSquishIndexCreateFailed,
  // Not a failure: the open found a store, delete or move that a crash or a
  // failed write had interrupted, settled it and opened the area.
  kSquishRepaired,
};

// The code's number as stored and printed.
constexpr std::int32_t ErrcNumber(Errc code) { return static_cast<std::int32_t>(code); }

// What the code means, in words a sysop can act on; "unknown error" for a
// number that is no code.
const char* ErrcText(Errc code);

class [[nodiscard]] Error {
 public:
  Error() = default;
  Error(Errc code, int osError = 0, std::string file = {})
      : code_(code), osError_(osError), file_(std::move(file)) {}

  bool ok() const { return code_ == Errc::kNone; }
  Errc code() const { return code_; }
  // The operating system's error number (errno, GetLastError); 0 when the
  // failure is not the system's.
  int osError() const { return osError_; }
  const std::string& file() const { return file_; }

  // Marks a failure as seen on purpose where the caller has nothing to do
  // with it (a cleanup on a path that already failed).
  void Ignore() const {}

 private:
  Errc code_ = Errc::kNone;
  int osError_ = 0;
  std::string file_;
};

}  // namespace mvx
