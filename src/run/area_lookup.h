// Finding an echo area's message base in the tosser's own configuration: a
// fidoconfig-style file (HPTPATH), a Squish-style file (SQUISH) or a file of a
// third kind (TERMINATE, scanned but with no line rules).
#pragma once

#include "run/run_context.h"

namespace mvx {

// Fills the job's Area (and possibly FromAddr and AreaDescription) from the
// first tosser configuration named. Its path is left empty, with an error logged, when the configuration cannot be read,
// does not define the area, makes it passthrough or defines it in a way
// the tosser would refuse: nothing is then posted, and no base is made
// where the tosser would not look. A fidoconfig-style read also fills
// ctx.Tosser. With no tosser configuration named nothing changes.
void LookupArea(RunContext& ctx);

}  // namespace mvx
