#include "msgbase/dir_scanner.h"

namespace mvx {

namespace {
// The bits that exclude an entry unless the caller asked for them; the
// read-only bit never does.
constexpr std::uint32_t kFilterBits = platform::kAttrHidden | platform::kAttrSystem |
                                      platform::kAttrVolume | platform::kAttrDirectory |
                                      platform::kAttrArchive;
}  // namespace

bool DirScanner::Accept(const platform::DirEntry& e) const {
  return (e.attr & kFilterBits & ~attributes_) == 0;
}

bool DirScanner::Fill(const platform::DirEntry& e) {
  Name = Str(platform::ProgramName(e.name));
  Attr = e.attr;
  Time = e.dosTime;
  Size = e.size;
  return true;
}

bool DirScanner::ScanFirst(const Str& mask, std::uint32_t attributes) {
  attributes_ = attributes;
  platform::DirEntry e;
  bool found = search_.First(mask.str(), &e, namesOnly_);
  while (found && !Accept(e)) found = search_.Next(&e);
  return found && Fill(e);
}

bool DirScanner::ScanNext() {
  platform::DirEntry e;
  bool found = search_.Next(&e);
  while (found && !Accept(e)) found = search_.Next(&e);
  return found && Fill(e);
}

void DirScanner::ScanEnd() { search_.Close(); }

}  // namespace mvx
