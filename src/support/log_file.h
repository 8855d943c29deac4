// The run's log: every entry goes, stamped, to the log file and to the
// console.
#pragma once

#include <ostream>

#include "platform/platform.h"
#include "support/clock.h"
#include "support/str.h"

namespace mvx {

class LogFile {
 public:
  // console receives every entry and the console-only messages; standard
  // output by default. The entries are stamped with clock's time.
  explicit LogFile(Clock& clock, std::ostream* console = nullptr);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Opens the file for appending or creates it ("Made new log file" /
  // "I can't make log file!!!.." on the console), then logs title +
  // ": started..". A file that exists but cannot be opened for appending makes
  // the log unusable (console only) instead of stopping the program.
  // lockWaitMs: how long a new log that another program holds is waited for.
  void Open(const Str& fileName, const Str& title, int lockWaitMs);
  // Logs to the console alone, as from Open on: for a run that must leave
  // nothing on disk. No file is opened, made or written.
  void OpenConsoleOnly(const Str& title);
  void Write(const Str& text);
  void WriteError(const Str& text);
  // "End..", an empty line in the file and on the console, close. Nothing
  // at all when the log is unusable.
  void Close();
  bool Unusable() const { return unusable_; }
  // Writes a line to the console only (no stamp).
  void Console(const Str& text);

 private:
  void Emit(const Str& line);
  Clock& clock_;
  std::ostream* console_;
  platform::FileHandle file_ = platform::kNoFile;
  bool unusable_ = true;
  bool open_ = false;
};

// "DD.MM.YY" and "HH:MM:SS" of the clock.
Str LogDateStamp(Clock& clock);
Str LogTimeStamp(Clock& clock);

}  // namespace mvx
