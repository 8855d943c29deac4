// The message base factory. The run control names an area by its format and
// path; this file turns it into an open MessageBase and is the only place
// that knows the format classes.
#include "factory/base_factory.h"

#include "jam/jam_base.h"
#include "jam/jam_errors.h"
#include "platform/platform.h"
#include "msgdir/msgdir_base.h"
#include "squish/squish_base.h"
#include "squish/squish_errors.h"
#include "support/datetime.h"

namespace mvx {

bool MakeBase(AreaType type, std::unique_ptr<MessageBase>& base, Env& env) {
  base.reset();
  switch (type) {
    case AreaType::kJam:
      base = std::make_unique<JamBase>(env);
      return true;
    case AreaType::kMsgDir:
      base = std::make_unique<MsgDirBase>(env);
      return true;
    case AreaType::kSquish:
      base = std::make_unique<SquishBase>(env);
      return true;
    case AreaType::kUnknown:
      break;
  }
  return false;
}

namespace {

constexpr int kOpenRetryStepMs = 10;

}  // namespace

bool OpenOrCreateBase(const AreaId& area, std::unique_ptr<MessageBase>& base, Env& env) {
  if (!MakeBase(area.type, base, env)) return false;
  const Str& path = area.path;
  const std::int64_t start = platform::MonotonicMilliseconds();
  if (base->OpenArea(path)) return true;
  // Files that are there but cannot be opened are never replaced by a new
  // empty area: only an absent area is created.
  if (!base->AreaExists(path)) {
    if (base->CreateArea(path)) return true;
    // Failed on its own account (a directory or disk it cannot write): no
    // area is there to wait for.
    if (!base->AreaExists(path)) return false;
  }
  // The area is there, but the open failed: its maker (another program
  // creating it right now) may have had some files still to make, or its
  // header still to write, when we looked. An area held by another program
  // has had its lock wait already, which outlasts this window.
  while (platform::MonotonicMilliseconds() - start < env.OpenRetryMs()) {
    platform::SleepMilliseconds(kOpenRetryStepMs);
    if (base->OpenArea(path)) return true;
  }
  return false;
}

Str BaseErrorText(std::int32_t code) {
  struct Text {
    std::int32_t code;
    const char* text;
  };
  static constexpr Text kTexts[] = {
      {kMsgErrNoArea, "the directory is missing and cannot be made"},
      {kMsgErrOpenFailed, "a message file cannot be read"},
      {kJamNoHeaderFile, "no .jhr file"},
      {kJamNoIndexFile, "no .jdx file beside the .jhr"},
      {kJamNoTextFile, "no .jdt file beside the .jhr"},
      {kJamOpenHeader, "the .jhr cannot be opened"},
      {kJamOpenIndex, "the .jdx cannot be opened or tidied"},
      {kJamOpenText, "the .jdt cannot be opened"},
      {kJamReadError, "a read failed"},
      {kJamBadBaseHeader, "the .jhr header is damaged"},
      {kJamCreateHeader, "the .jhr cannot be made"},
      {kJamCreateIndex, "the .jdx cannot be made"},
      {kJamCreateText, "the .jdt cannot be made"},
      {kSquishNoDataFile, "no .sqd file"},
      {kSquishNoIndexFile, "no .sqi file beside the .sqd"},
      {kSquishDataOpenFailed, "the .sqd cannot be opened"},
      {kSquishIndexOpenFailed, "the .sqi cannot be opened"},
      {kSquishDamagedArea, "the area is damaged"},
      {kSquishLimitReached, "the area is full"},
      {kSquishIndexError, "the index is damaged"},
      {kSquishBadFrame, "a message frame is damaged"},
      {kSquishFrameIoError, "a read or write failed"},
      {kSquishDataCreateFailed, "the .sqd cannot be made"},
      {kSquishIndexCreateFailed, "the .sqi cannot be made"},
  };
  for (const Text& t : kTexts) {
    if (t.code == code) return t.text;
  }
  return "error " + Hex8(static_cast<std::uint32_t>(code)).sub(4);
}

Str BaseOpenNote(MessageBase& base) {
  if (base.ErrorCode() == kSquishRepaired) {
    return "a change that a stopped run left half done was settled when the area was opened";
  }
  return Str();
}

bool CloseBase(std::unique_ptr<MessageBase>& base) {
  if (!base) return false;
  const bool closed = base->CloseArea();
  DisposeBase(base);
  return closed;
}

bool DisposeBase(std::unique_ptr<MessageBase>& base) {
  const bool had = base != nullptr;
  base.reset();
  return had;
}

}  // namespace mvx
