#include "msgbase/file_stream.h"

#include <cstring>
#include <limits>

namespace mvx {

namespace {

bool KnownShare(std::uint16_t mode) {
  const std::uint16_t high = mode >> 8;
  return (high & 0x0F) == 0 && (high >> 4) <= 4;
}

platform::Share ShareOf(std::uint16_t mode) {
  switch (mode >> 12) {
    case 2:
      return platform::Share::kRead;
    case 3:
      return platform::Share::kWrite;
    case 4:
      return platform::Share::kReadWrite;
    default:
      return platform::Share::kNone;  // 0x00 and 0x10
  }
}

}  // namespace

bool FileStream::ValidMode(std::uint16_t mode) {
  switch (mode & 0xFF) {
    case kModeCreate:
    case kModeReadWrite:
    case kModeRead:
    case kModeWrite:
    case kModeCreateNew:
      return KnownShare(mode);
    default:
      return false;
  }
}

FileStream::FileStream(const Str& name, std::uint16_t mode, int lockWaitMs) : DataStream(mode, name) {
  if (!ValidMode(mode)) {
    status_ = kStreamOpenError;
    return;
  }
  const std::string& n = name.str();
  switch (mode & 0xFF) {
    case kModeCreate:
      handle_ = platform::CreateAlways(n, lockWaitMs, &osError_);
      break;
    case kModeCreateNew:
      handle_ = platform::CreateNew(n, &osError_, &nameTaken_);
      break;
    case kModeReadWrite:
      handle_ = platform::OpenExisting(n, platform::Access::kReadWrite, ShareOf(mode), lockWaitMs, &osError_);
      break;
    case kModeRead:
      handle_ = platform::OpenExisting(n, platform::Access::kRead, ShareOf(mode), lockWaitMs, &osError_);
      break;
    case kModeWrite:
      handle_ = platform::OpenExisting(n, platform::Access::kWrite, ShareOf(mode), lockWaitMs, &osError_);
      break;
  }
  if (handle_ == platform::kNoFile) status_ = kStreamOpenError;
}

FileStream::~FileStream() { platform::CloseFile(handle_); }

void FileStream::ReadBytes(void* buffer, std::uint16_t count) {
  if (status_ != kStreamOk) {
    std::memset(buffer, 0, count);
    return;
  }
  std::size_t got = 0;
  if (!platform::ReadFile(handle_, buffer, count, &got, &osError_)) {
    status_ = kStreamOsError;
  } else if (got < count) {
    status_ = kStreamShortRead;
  } else {
    return;
  }
  // A record read only in part is no record: the caller gets zeros throughout.
  std::memset(buffer, 0, count);
}

void FileStream::WriteBytes(const void* buffer, std::uint16_t count) {
  if (status_ != kStreamOk) return;
  std::size_t put = 0;
  if (!platform::WriteFile(handle_, buffer, count, &put, &osError_)) {
    status_ = kStreamOsError;
  } else if (put < count) {
    status_ = kStreamShortWrite;
  }
}

void FileStream::SeekTo(std::int32_t offset) {
  if (status_ != kStreamOk) return;
  if (!platform::SeekFile(handle_, offset < 0 ? 0 : offset, &osError_)) status_ = kStreamOsError;
}

std::int32_t FileStream::Position() {
  if (status_ != kStreamOk) return -1;
  const std::int64_t at = platform::TellFile(handle_, &osError_);
  if (at < 0 || at > std::numeric_limits<std::int32_t>::max()) {
    status_ = kStreamOsError;
    return -1;
  }
  return static_cast<std::int32_t>(at);
}

std::int32_t FileStream::Size() {
  if (status_ != kStreamOk) return -1;
  const std::int64_t size = platform::FileSize(handle_, &osError_);
  if (size < 0 || size > std::numeric_limits<std::int32_t>::max()) {
    status_ = kStreamOsError;
    return -1;
  }
  return static_cast<std::int32_t>(size);
}

void FileStream::Flush() {}

void FileStream::TruncateHere() {
  if (status_ != kStreamOk) return;
  if (!platform::TruncateFile(handle_, &osError_)) status_ = kStreamOsError;
}

void FileStream::ClearError() {
  status_ = kStreamOk;
  osError_ = 0;
}

}  // namespace mvx
