#include "error/error.h"

namespace mvx {

const char* ErrcText(Errc code) {
  switch (code) {
    case Errc::kNone: return "no error";
    case Errc::kNotFound: return "not found";
    case Errc::kNameTaken: return "the name is taken";
    case Errc::kHeldByOther: return "held by another program";
    case Errc::kOpenFailed: return "could not be opened";
    case Errc::kCreateFailed: return "could not be created";
    case Errc::kReadFailed: return "could not be read";
    case Errc::kShortRead: return "ended early";
    case Errc::kWriteFailed: return "could not be written";
    case Errc::kShortWrite: return "could not be written whole";
    case Errc::kSeekFailed: return "could not be positioned";
    case Errc::kSizeFailed: return "its size could not be read";
    case Errc::kTruncateFailed: return "could not be cut";
    case Errc::kDeleteFailed: return "could not be deleted";
    case Errc::kRenameFailed: return "could not be renamed";
    case Errc::kLockFailed: return "could not be locked";
    case Errc::kMakeDirectoryFailed: return "the directory could not be made";
    case Errc::kTimeFailed: return "its time could not be set";
    case Errc::kBadMode: return "no such open mode";

    case Errc::kMsgNoArea: return "the area directory does not exist";
    case Errc::kMsgNoMessage: return "there is no message of that number";
    case Errc::kMsgOpenFailed: return "the message file could not be read";
    case Errc::kMsgNotOpen: return "no message is open";

    case Errc::kJamNoHeaderFile: return "there is no .jhr file";
    case Errc::kJamNoIndexFile: return "there is no .jdx file";
    case Errc::kJamNoTextFile: return "there is no .jdt file";
    case Errc::kJamOpenHeader:
    case Errc::kJamOpenIndex:
    case Errc::kJamOpenText:
    case Errc::kSquishDataOpenFailed:
    case Errc::kSquishIndexOpenFailed:
      return "a file of the area could not be opened (held by another program?)";
    case Errc::kJamReadError: return "the .jdx or .jhr file could not be read";
    case Errc::kJamBadHeaderOffset: return "an index record points outside the .jhr file";
    case Errc::kJamBadTextOffset: return "a message's text lies outside the .jdt file";
    case Errc::kJamBadBaseHeader: return "the .jhr file has no valid base header";
    case Errc::kJamCreateHeader: return "the .jhr file could not be created";
    case Errc::kJamCreateIndex: return "the .jdx file could not be created";
    case Errc::kJamCreateText: return "the .jdt file could not be created";

    case Errc::kSquishNoDataFile: return "there is no .sqd file";
    case Errc::kSquishNoIndexFile: return "there is no .sqi file";
    case Errc::kSquishDamagedArea: return "the area is damaged";
    case Errc::kSquishLimitReached: return "the area is full";
    case Errc::kSquishIndexError: return "the .sqi file could not be read or written";
    case Errc::kSquishBadFrame: return "a message frame is damaged";
    case Errc::kSquishFrameIoError: return "the .sqd file could not be read or written";
    case Errc::kSquishDataCreateFailed: return "the .sqd file could not be created";
    case Errc::kSquishIndexCreateFailed: return "the .sqi file could not be created";
    case Errc::kSquishRepaired: return "an interrupted change was settled";
  }
  return "unknown error";
}

const char* ErrcText(std::int32_t number) { return ErrcText(static_cast<Errc>(number)); }

}  // namespace mvx
