// The message base factory: areas to ready message base objects. This is the
// only place that names the format classes; adding a format means adding its
// type to AreaType, its letter to ParseAreaId and its object to MakeBase.
#pragma once

#include <memory>

#include "factory/area_id.h"
#include "msgbase/message_base.h"
#include "support/str.h"

namespace mvx {

// base := a new object of the format, or none (false). The object reaches
// its files, clock and serials through env, which must outlive it.
bool MakeBase(AreaType type, std::unique_ptr<MessageBase>& base, Env& env = DefaultEnv());
// Makes the object and opens the area, or creates it when its files are
// absent. On false the object (if one was made) stays in base, not open;
// its ErrorCode() tells why.
//
// Another program (a tosser) may be making the same area at this moment.
// Whenever an open has failed and AreaExists then reports the area there
// (after the first open, or after a CreateArea that found another program's
// files), the open is tried again every 10 ms until it succeeds or
// env.OpenRetryMs() have passed since the first try: the other program
// may not have made all its files, or written its header, when we looked.
// An area that is there is never created anew, and CreateArea never creates
// over a file that exists.
bool OpenOrCreateBase(const AreaId& area, std::unique_ptr<MessageBase>& base, Env& env = DefaultEnv());
// What an open that succeeded had to do first, in words for the log (a
// change another run left half done, settled); empty when nothing.
Str BaseOpenNote(MessageBase& base);
// Closes and releases; false for none, or when the close failed to bring the
// area's files up to date (the object is released either way).
bool CloseBase(std::unique_ptr<MessageBase>& base);
// Releases without closing first; true when there was an object.
bool DisposeBase(std::unique_ptr<MessageBase>& base);

}  // namespace mvx
