#include "msgbase/file_hooks.h"

#include "msgbase/file_stream.h"
#include "msgbase/memory_stream.h"
#include "support/fatal.h"

namespace mvx {

namespace {

// Until InstallFileHooks runs, every hook is one of these: using the message
// bases before the run control has set them up is a programming error.
std::unique_ptr<DataStream> OpenBeforeInstall(const Str&, std::uint16_t) {
  RunTimeError217("the file hook OpenFileStream (before InstallFileHooks)");
}
std::unique_ptr<DataStream> MemoryBeforeInstall(std::int32_t) {
  RunTimeError217("the file hook NewMemoryStream (before InstallFileHooks)");
}
std::unique_ptr<DirScanner> ScannerBeforeInstall() {
  RunTimeError217("the file hook NewDirScanner (before InstallFileHooks)");
}

std::unique_ptr<DataStream> RealOpenFileStream(const Str& name, std::uint16_t mode) {
  if (!FileStream::ValidMode(mode)) return nullptr;
  return std::make_unique<FileStream>(name, mode);
}
std::unique_ptr<DataStream> RealNewMemoryStream(std::int32_t) { return std::make_unique<MemoryStream>(); }
std::unique_ptr<DirScanner> RealNewDirScanner() { return std::make_unique<DirScanner>(); }

FileHooks gHooks{OpenBeforeInstall, MemoryBeforeInstall, ScannerBeforeInstall};

}  // namespace

void InstallFileHooks() { gHooks = RealFileHooks(); }

// A hook left empty behaves like one never installed.
FileHooks SetFileHooks(const FileHooks& hooks) {
  const FileHooks old = gHooks;
  gHooks = hooks;
  if (gHooks.openFileStream == nullptr) gHooks.openFileStream = OpenBeforeInstall;
  if (gHooks.newMemoryStream == nullptr) gHooks.newMemoryStream = MemoryBeforeInstall;
  if (gHooks.newDirScanner == nullptr) gHooks.newDirScanner = ScannerBeforeInstall;
  return old;
}

FileHooks CurrentFileHooks() { return gHooks; }

FileHooks RealFileHooks() { return FileHooks{RealOpenFileStream, RealNewMemoryStream, RealNewDirScanner}; }

std::unique_ptr<DataStream> OpenFileStream(const Str& name, std::uint16_t mode) {
  return gHooks.openFileStream(name, mode);
}

std::unique_ptr<DataStream> NewMemoryStream(std::int32_t sizeHint) { return gHooks.newMemoryStream(sizeHint); }

std::unique_ptr<DirScanner> NewDirScanner() { return gHooks.newDirScanner(); }

}  // namespace mvx
