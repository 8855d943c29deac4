// FileStream: a DataStream over an operating-system file.
#pragma once

#include <memory>

#include "msgbase/data_stream.h"
#include "platform/platform.h"

namespace mvx {

// Open modes. The low byte chooses the action, the high byte what other
// programs may do while the file is open (0x00/0x10 nothing, 0x20 read,
// 0x30 write, 0x40 read and write).
constexpr std::uint16_t kModeCreate = 0x0001;     // create empty (replace), read/write
constexpr std::uint16_t kModeReadWrite = 0x0002;  // existing file
constexpr std::uint16_t kModeRead = 0x0004;       // existing file
constexpr std::uint16_t kModeWrite = 0x0008;      // existing file, content kept
// Our addition: create only when no file of that name exists (never replaces
// another program's file), read/write. Status() is kNameTaken when the name
// is taken.
constexpr std::uint16_t kModeCreateNew = 0x0010;
constexpr std::uint16_t kShareNone = 0x0000;
constexpr std::uint16_t kShareRead = 0x2000;
constexpr std::uint16_t kShareWrite = 0x3000;
constexpr std::uint16_t kShareReadWrite = 0x4000;

class FileStream final : public DataStream {
 public:
  // Opens or creates as the mode says, waiting at most lockWaitMs for a
  // file another program holds; on failure Status() says why (kNotFound,
  // kNameTaken, kHeldByOther, kOpenFailed, kBadMode, ...). Use an Env's
  // OpenFileStream (env.h), which also refuses unknown modes, rather than
  // this constructor.
  FileStream(const Str& name, std::uint16_t mode, int lockWaitMs = platform::kDefaultLockWaitMs);
  ~FileStream() override;

  void ReadBytes(void* buffer, std::uint16_t count) override;
  void WriteBytes(const void* buffer, std::uint16_t count) override;
  void SeekTo(std::int32_t offset) override;
  std::int32_t Position() override;
  std::int32_t Size() override;
  void Flush() override;
  void TruncateHere() override;
  void ClearError() override;

  // True for a known action byte (1, 2, 4, 8, 0x10) with a valid share byte.
  static bool ValidMode(std::uint16_t mode);

 private:
  // Keeps a failure of a call on the file, with the file's name.
  void Keep(const Error& error);

  platform::FileHandle handle_ = platform::kNoFile;
};

}  // namespace mvx
