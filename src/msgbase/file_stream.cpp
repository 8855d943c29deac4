#include "msgbase/file_stream.h"

#include <cstring>
#include <limits>
#include <utility>

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
    Fail(Error(Errc::kBadMode, 0, name.str()));
    return;
  }
  const std::string& n = name.str();
  Error e;
  switch (mode & 0xFF) {
    case kModeCreate:
      e = platform::CreateAlways(n, lockWaitMs, &handle_);
      break;
    case kModeCreateNew:
      e = platform::CreateNew(n, &handle_);
      break;
    case kModeReadWrite:
      e = platform::OpenExisting(n, platform::Access::kReadWrite, ShareOf(mode), lockWaitMs, &handle_);
      break;
    case kModeRead:
      e = platform::OpenExisting(n, platform::Access::kRead, ShareOf(mode), lockWaitMs, &handle_);
      break;
    case kModeWrite:
      e = platform::OpenExisting(n, platform::Access::kWrite, ShareOf(mode), lockWaitMs, &handle_);
      break;
  }
  Fail(std::move(e));
}

FileStream::~FileStream() { platform::CloseFile(handle_); }

void FileStream::Keep(const Error& error) {
  if (!error.ok()) Fail(Error(error.code(), error.osError(), Name().str()));
}

void FileStream::ReadBytes(void* buffer, std::uint16_t count) {
  if (!status_.ok()) {
    std::memset(buffer, 0, count);
    return;
  }
  std::size_t got = 0;
  if (const Error e = platform::ReadFile(handle_, buffer, count, &got); !e.ok()) {
    Keep(e);
  } else if (got < count) {
    Keep(Error(Errc::kShortRead));
  } else {
    return;
  }
  // A record read only in part is no record: the caller gets zeros throughout.
  std::memset(buffer, 0, count);
}

void FileStream::WriteBytes(const void* buffer, std::uint16_t count) {
  if (!status_.ok()) return;
  std::size_t put = 0;
  if (const Error e = platform::WriteFile(handle_, buffer, count, &put); !e.ok()) {
    Keep(e);
  } else if (put < count) {
    Keep(Error(Errc::kShortWrite));
  }
}

void FileStream::SeekTo(std::int32_t offset) {
  if (!status_.ok()) return;
  Keep(platform::SeekFile(handle_, offset < 0 ? 0 : offset));
}

std::int32_t FileStream::Position() {
  if (!status_.ok()) return -1;
  std::int64_t at = -1;
  Keep(platform::TellFile(handle_, &at));
  if (at < 0 || at > std::numeric_limits<std::int32_t>::max()) {
    Keep(Error(Errc::kSeekFailed));
    return -1;
  }
  return static_cast<std::int32_t>(at);
}

std::int32_t FileStream::Size() {
  if (!status_.ok()) return -1;
  std::int64_t size = -1;
  Keep(platform::FileSize(handle_, &size));
  if (size < 0 || size > std::numeric_limits<std::int32_t>::max()) {
    Keep(Error(Errc::kSizeFailed));
    return -1;
  }
  return static_cast<std::int32_t>(size);
}

void FileStream::Flush() {}

void FileStream::TruncateHere() {
  if (!status_.ok()) return;
  Keep(platform::TruncateFile(handle_));
}

void FileStream::ClearError() { status_ = Error(); }

}  // namespace mvx
