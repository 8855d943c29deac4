#include "msgbase/env.h"

#include "msgbase/file_stream.h"
#include "msgbase/memory_stream.h"

namespace mvx {

SystemEnv::SystemEnv(int lockWaitMs) : lockWaitMs_(lockWaitMs < 0 ? 0 : lockWaitMs), serials_(SystemClock()) {}

std::unique_ptr<DataStream> SystemEnv::OpenFileStream(const Str& name, std::uint16_t mode) {
  if (!FileStream::ValidMode(mode)) return nullptr;
  return std::make_unique<FileStream>(name, mode, LockWaitMs());
}

std::unique_ptr<DataStream> SystemEnv::NewMemoryStream(std::int32_t) { return std::make_unique<MemoryStream>(); }

std::unique_ptr<DirScanner> SystemEnv::NewDirScanner() { return std::make_unique<DirScanner>(); }

Env& DefaultEnv() {
  static SystemEnv env;
  return env;
}

}  // namespace mvx
