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
    case Errc::kNotHeld: return "no message is held";
    case Errc::kTooLarge: return "too large";

    case Errc::kMsgNoArea: return "the area directory is missing";
    case Errc::kMsgNoMessage: return "there is no message of that number";
    case Errc::kMsgOpenFailed: return "a message file cannot be read";
    case Errc::kMsgNotOpen: return "no message is open";

    case Errc::kJamNoHeaderFile: return "no .jhr file";
    case Errc::kJamNoIndexFile: return "no .jdx file beside the .jhr";
    case Errc::kJamNoTextFile: return "no .jdt file beside the .jhr";
    case Errc::kJamOpenHeader: return "the .jhr cannot be opened";
    case Errc::kJamOpenIndex: return "the .jdx cannot be opened or tidied";
    case Errc::kJamOpenText: return "the .jdt cannot be opened";
    case Errc::kJamReadError: return "a read failed";
    case Errc::kJamBadHeaderOffset: return "an index record points outside the .jhr";
    case Errc::kJamBadTextOffset: return "a message's text lies outside the .jdt";
    case Errc::kJamBadBaseHeader: return "the .jhr header is damaged";
    case Errc::kJamCreateHeader: return "the .jhr cannot be made";
    case Errc::kJamCreateIndex: return "the .jdx cannot be made";
    case Errc::kJamCreateText: return "the .jdt cannot be made";

    case Errc::kSquishNoDataFile: return "no .sqd file";
    case Errc::kSquishNoIndexFile: return "no .sqi file beside the .sqd";
    case Errc::kSquishDataOpenFailed: return "the .sqd cannot be opened";
    case Errc::kSquishIndexOpenFailed: return "the .sqi cannot be opened";
    case Errc::kSquishDamagedArea: return "the area is damaged";
    case Errc::kSquishLimitReached: return "the area is full";
    case Errc::kSquishIndexError: return "the index is damaged";
    case Errc::kSquishBadFrame: return "a message frame is damaged";
    case Errc::kSquishFrameIoError: return "a read or write failed";
    case Errc::kSquishDataCreateFailed: return "the .sqd cannot be made";
    case Errc::kSquishIndexCreateFailed: return "the .sqi cannot be made";
    case Errc::kSquishRepaired: return "a change that a stopped run left half done was settled";
  }
  return "unknown error";
}

}  // namespace mvx
