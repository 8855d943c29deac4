// DirScanner: a directory search (first, next, end) with the attribute
// filtering the message bases expect.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/str.h"

namespace mvx {

class DirScanner {
 public:
  DirScanner() = default;
  virtual ~DirScanner() = default;
  DirScanner(const DirScanner&) = delete;
  DirScanner& operator=(const DirScanner&) = delete;

  // Start a search for mask (a path with wildcards). An entry is skipped when
  // it has one of the bits 0x02 hidden, 0x04 system, 0x08 volume, 0x10
  // directory or 0x20 archive that is not in attributes; 0x01 (read-only)
  // never excludes. True when an entry was found; its fields are filled.
  virtual bool ScanFirst(const Str& mask, std::uint32_t attributes);
  // From the next ScanFirst on, entries carry their names and kinds only:
  // Time and Size are 0, and the read-only bit is never set.
  void SetNamesOnly(bool namesOnly) { namesOnly_ = namesOnly; }
  virtual bool ScanNext();
  virtual void ScanEnd();

  Str Name;                 // name of the match, no directory part
  std::uint32_t Attr = 0;   // attribute bits
  std::uint32_t Time = 0;   // DOS time (low 16) and date (high 16), local
  std::uint32_t Size = 0;   // file size

 private:
  bool Fill(const platform::DirEntry& e);
  bool Accept(const platform::DirEntry& e) const;
  platform::DirSearch search_;
  std::uint32_t attributes_ = 0;
  bool namesOnly_ = false;
};

}  // namespace mvx
