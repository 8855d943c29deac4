// The file hooks: the three constructors through which the message bases get
// their streams and directory scanners. The run control installs the real
// ones once (InstallFileHooks); until then each hook stops the program with
// run-time error 217. Tests may install their own (failing streams, say).
#pragma once

#include <cstdint>
#include <memory>

#include "msgbase/data_stream.h"
#include "msgbase/dir_scanner.h"
#include "support/str.h"

namespace mvx {

using OpenFileStreamHook = std::unique_ptr<DataStream> (*)(const Str& name, std::uint16_t mode);
using NewMemoryStreamHook = std::unique_ptr<DataStream> (*)(std::int32_t sizeHint);
using NewDirScannerHook = std::unique_ptr<DirScanner> (*)();

struct FileHooks {
  OpenFileStreamHook openFileStream;
  NewMemoryStreamHook newMemoryStream;
  NewDirScannerHook newDirScanner;
};

// Point the hooks at the real FileStream, MemoryStream and DirScanner.
void InstallFileHooks();
// Replace the hooks (tests); returns the previous set.
FileHooks SetFileHooks(const FileHooks& hooks);
// The hooks as they are now (the real ones after InstallFileHooks).
FileHooks CurrentFileHooks();
// The real constructors, for hooks that wrap them.
FileHooks RealFileHooks();

// Open or create a file; none (nullptr) for an unknown mode. The caller tests
// Status() of the result at once.
std::unique_ptr<DataStream> OpenFileStream(const Str& name, std::uint16_t mode);
// An empty memory stream (the size hint is not used).
std::unique_ptr<DataStream> NewMemoryStream(std::int32_t sizeHint = 65536);
// An idle directory scanner.
std::unique_ptr<DirScanner> NewDirScanner();

}  // namespace mvx
