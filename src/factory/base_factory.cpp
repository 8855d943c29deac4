// The message base factory. The run control names an area by its format and
// path; this file turns it into an open MessageBase and is the only place
// that knows the format classes.
#include "factory/base_factory.h"

#include "jam/jam_base.h"
#include "platform/platform.h"
#include "msgdir/msgdir_base.h"
#include "squish/squish_base.h"
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
  if (base->OpenArea(path).ok()) return true;
  // Files that are there but cannot be opened are never replaced by a new
  // empty area: only an absent area is created.
  if (!base->AreaExists(path)) {
    if (base->CreateArea(path).ok()) return true;
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
    if (base->OpenArea(path).ok()) return true;
  }
  return false;
}

Str BaseOpenNote(MessageBase& base) {
  if (base.ErrorCode() == Errc::kSquishRepaired) {
    return "a change that a stopped run left half done was settled when the area was opened";
  }
  return Str();
}

bool CloseBase(std::unique_ptr<MessageBase>& base) {
  if (!base) return false;
  const bool closed = base->CloseArea().ok();
  DisposeBase(base);
  return closed;
}

bool DisposeBase(std::unique_ptr<MessageBase>& base) {
  const bool had = base != nullptr;
  base.reset();
  return had;
}

}  // namespace mvx
