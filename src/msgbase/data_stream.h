// DataStream: the byte stream through which every message base reaches its
// files and its in-memory message text.
//
// Errors are sticky: the first failure puts a negative code into Status() and
// from then on the stream does nothing (reads give zeros) until ClearError().
// Callers test Status() after a run of operations instead of after each one.
#pragma once

#include <cstdint>

#include "support/str.h"

namespace mvx {

// Stream status codes.
constexpr std::int32_t kStreamOk = 0;
constexpr std::int32_t kStreamOsError = -1;     // an operating-system call failed
constexpr std::int32_t kStreamOpenError = -2;   // could not be opened or created
constexpr std::int32_t kStreamShortRead = -3;   // fewer bytes read than asked
constexpr std::int32_t kStreamShortWrite = -4;  // fewer bytes written than asked

class DataStream {
 public:
  virtual ~DataStream() = default;
  DataStream(const DataStream&) = delete;
  DataStream& operator=(const DataStream&) = delete;

  // Copy count bytes from source's position to this stream's position,
  // through a 1024-byte buffer. A failing source yields zeros, which are
  // written: check both statuses afterwards.
  virtual void CopyFrom(DataStream& source, std::int32_t count);
  virtual void ReadBytes(void* buffer, std::uint16_t count) = 0;
  virtual void WriteBytes(const void* buffer, std::uint16_t count) = 0;
  virtual void SeekTo(std::int32_t offset) = 0;
  virtual std::int32_t Position() = 0;
  virtual std::int32_t Size() = 0;
  virtual void Flush() = 0;
  virtual void TruncateHere() = 0;
  virtual void ClearError() = 0;
  // The count bytes from the position on when the stream holds them in one
  // piece of memory and is in order, else none: CopyFrom then takes them in
  // one write. The position does not move.
  virtual const std::uint8_t* BytesInMemory(std::int32_t count) {
    (void)count;
    return nullptr;
  }

  std::int32_t Status() const { return status_; }
  // The operating system's error code of the failure behind Status(), when
  // the stream is a file and one is known; 0 otherwise.
  virtual int OsError() const { return 0; }
  std::int32_t Mode() const { return mode_; }
  const Str& Name() const { return name_; }

  // Helpers over ReadBytes/WriteBytes for counts above 65535 (they loop).
  void ReadAll(void* buffer, std::uint32_t count);
  void WriteAll(const void* buffer, std::uint32_t count);

 protected:
  DataStream(std::int32_t mode, const Str& name) : mode_(mode), name_(name) {}
  std::int32_t status_ = kStreamOk;
  std::int32_t mode_ = 0;
  Str name_;
};

}  // namespace mvx
