// DataStream: the byte stream through which every message base reaches its
// files and its in-memory message text.
//
// Errors are sticky: the first failure is kept in Status() and from then on
// the stream does nothing (reads give zeros) until ClearError(). Callers test
// Status() after a run of operations instead of after each one.
#pragma once

#include <cstdint>
#include <utility>

#include "error/error.h"
#include "support/str.h"

namespace mvx {

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

  // The first failure since the open or the last ClearError: kShortRead
  // and kShortWrite when fewer bytes came or went than were asked for, the
  // platform's code (with the system's number) when a call failed.
  const Error& Status() const { return status_; }
  // The system's number behind Status(), when it has one; 0 otherwise.
  int OsError() const { return status_.osError(); }
  std::int32_t Mode() const { return mode_; }
  const Str& Name() const { return name_; }

  // Helpers over ReadBytes/WriteBytes for counts above 65535 (they loop).
  void ReadAll(void* buffer, std::uint32_t count);
  void WriteAll(const void* buffer, std::uint32_t count);

 protected:
  DataStream(std::int32_t mode, const Str& name) : mode_(mode), name_(name) {}
  // Keeps a failure (a success changes nothing).
  void Fail(Error error) {
    if (!error.ok()) status_ = std::move(error);
  }
  Error status_;
  std::int32_t mode_ = 0;
  Str name_;
};

}  // namespace mvx
