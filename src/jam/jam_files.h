// The names of a JAM area's four files.
#pragma once

#include <cstdint>

#include "msgbase/env.h"
#include "support/str.h"

namespace mvx {

enum class JamFile { kHeader, kIndex, kText, kLastRead };

// The area path as the files hang off it: "." appended unless it ends in
// one (MAIL\NET gives MAIL\NET.).
Str JamAreaBase(const Str& path);
// The name of one file of the area: the base followed by "JHR", "JDX",
// "JDT" or "JLR" in the case this platform gives new files. An existing
// file is found whatever the case of its name, so the same name serves for
// opening and for creating.
Str JamFileName(const Str& areaBase, JamFile which);
bool JamFileExists(const Str& areaBase, JamFile which);
// The size of the file as a directory search reports it; -1 when absent.
std::int64_t JamFileSize(Env& env, const Str& areaBase, JamFile which);

}  // namespace mvx
