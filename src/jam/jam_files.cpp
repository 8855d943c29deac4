#include "jam/jam_files.h"

#include "msgbase/env.h"
#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

const char* Extension(JamFile which) {
  switch (which) {
    case JamFile::kHeader:
      return "JHR";
    case JamFile::kIndex:
      return "JDX";
    case JamFile::kText:
      return "JDT";
    case JamFile::kLastRead:
      break;
  }
  return "JLR";
}

}  // namespace

Str JamAreaBase(const Str& path) {
  if (!path.empty() && path[path.size() - 1] == '.') return path;
  return path + ".";
}

Str JamFileName(const Str& areaBase, JamFile which) {
  return areaBase + platform::NewFileExtension(Extension(which));
}

bool JamFileExists(const Str& areaBase, JamFile which) {
  return FileExists(JamFileName(areaBase, which));
}

std::int64_t JamFileSize(Env& env, const Str& areaBase, JamFile which) {
  std::unique_ptr<DirScanner> scan = env.NewDirScanner();
  constexpr std::uint32_t kEveryEntry = 0x3F;
  if (!scan->ScanFirst(JamFileName(areaBase, which), kEveryEntry)) return -1;
  const std::int64_t size = scan->Size;
  scan->ScanEnd();
  return size;
}

}  // namespace mvx
