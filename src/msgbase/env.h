// Env: everything the message bases and the run take from the world around
// them, handed to them as one object instead of reached through globals:
// the clock, how long to wait for a file another program holds, the files
// themselves (streams on disk, memory streams, directory scanners), the
// source of MSGID serials, the directory the run's relative names are taken
// from and how long a base that is being made is waited for. The program
// runs on the default env, the real one; a test makes its own (a test clock,
// streams that fail, short waits, its scratch directory) and gives it to the
// objects it tests, leaving the process alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "msgbase/data_stream.h"
#include "msgbase/dir_scanner.h"
#include "support/clock.h"
#include "support/msgid_serials.h"
#include "support/str.h"

namespace mvx {

class Env {
 public:
  virtual ~Env() = default;

  virtual Clock& Time() = 0;
  // How long an open waits for another program to let go of a file.
  virtual int LockWaitMs() = 0;
  // Opens or creates a file; none (nullptr) for an unknown mode. The caller
  // tests Status() of the result at once.
  virtual std::unique_ptr<DataStream> OpenFileStream(const Str& name, std::uint16_t mode) = 0;
  // An empty memory stream (the size hint is not used by the real one).
  virtual std::unique_ptr<DataStream> NewMemoryStream(std::int32_t sizeHint) = 0;
  // An idle directory scanner.
  virtual std::unique_ptr<DirScanner> NewDirScanner() = 0;
  virtual SerialSource& Serials() = 0;
  // The directory the run takes its relative names from (its configuration,
  // log, work flag and everything they name); empty: the process's current
  // directory.
  virtual std::string WorkingDirectory() { return std::string(); }
  // How long an area that is there but does not open yet (another program
  // is making it) is tried again.
  virtual int OpenRetryMs() { return 1000; }
};

// The real env: the system clock, files on disk through the platform layer,
// serials by the clock rule (remembered by this object), and a lock wait of
// lockWaitMs.
class SystemEnv : public Env {
 public:
  explicit SystemEnv(int lockWaitMs = platform::kDefaultLockWaitMs);
  Clock& Time() override { return SystemClock(); }
  int LockWaitMs() override { return lockWaitMs_; }
  std::unique_ptr<DataStream> OpenFileStream(const Str& name, std::uint16_t mode) override;
  std::unique_ptr<DataStream> NewMemoryStream(std::int32_t sizeHint) override;
  std::unique_ptr<DirScanner> NewDirScanner() override;
  SerialSource& Serials() override { return serials_; }

 private:
  int lockWaitMs_;
  ClockSerials serials_;
};

// The env the program runs on: one SystemEnv for the process, with the usual
// lock wait. Nothing changes it.
Env& DefaultEnv();

// An env that passes every call on to another: the base of an env that
// changes one part of one it is given.
class ForwardingEnv : public Env {
 public:
  explicit ForwardingEnv(Env& target) : target_(target) {}
  Clock& Time() override { return target_.Time(); }
  int LockWaitMs() override { return target_.LockWaitMs(); }
  std::unique_ptr<DataStream> OpenFileStream(const Str& name, std::uint16_t mode) override {
    return target_.OpenFileStream(name, mode);
  }
  std::unique_ptr<DataStream> NewMemoryStream(std::int32_t sizeHint) override {
    return target_.NewMemoryStream(sizeHint);
  }
  std::unique_ptr<DirScanner> NewDirScanner() override { return target_.NewDirScanner(); }
  SerialSource& Serials() override { return target_.Serials(); }
  std::string WorkingDirectory() override { return target_.WorkingDirectory(); }
  int OpenRetryMs() override { return target_.OpenRetryMs(); }
  Env& Target() { return target_; }

 private:
  Env& target_;
};

}  // namespace mvx
