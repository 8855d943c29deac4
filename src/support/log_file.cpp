// The run's log file.
#include "support/log_file.h"

#include <iostream>
#include <string>

#include "support/datetime.h"
#include "support/text.h"

namespace mvx {

namespace {

Str TwoDigits(std::int32_t v) {
  Str s = IntToStr(v);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

Str LogDateStamp(Clock& clock) {
  DateTimeRec d;
  GetNow(clock, d);
  return TwoDigits(d.Day) + "." + TwoDigits(d.Month) + "." + IntToStr(d.Year).sub(2, 2);
}

Str LogTimeStamp(Clock& clock) {
  DateTimeRec d;
  GetNow(clock, d);
  return TwoDigits(d.Hour) + ":" + TwoDigits(d.Minute) + ":" + TwoDigits(d.Second);
}

LogFile::LogFile(Clock& clock, std::ostream* console) : clock_(clock), console_(console ? console : &std::cout) {}

LogFile::~LogFile() {
  if (file_ != platform::kNoFile) platform::CloseFile(file_);
}

void LogFile::Console(const Str& text) { *console_ << text.view() << '\n' << std::flush; }

void LogFile::Open(const Str& fileName, const Str& title, int lockWaitMs) {
  if (file_ != platform::kNoFile) {
    platform::CloseFile(file_);
    file_ = platform::kNoFile;
  }
  open_ = true;
  // An existing log is only ever appended to. A log that exists but cannot be
  // opened for appending (read-only, a directory of that name) is never
  // created over: the run goes on with the console alone.
  if (platform::OpenAppend(fileName.str(), &file_).ok()) {
    unusable_ = false;
  } else if (FileExists(fileName)) {
    unusable_ = true;
    Console("I can't make log file!!!..");
  } else {
    if (!platform::CreateAlways(fileName.str(), lockWaitMs, &file_).ok()) {
      unusable_ = true;
      Console("I can't make log file!!!..");
    } else {
      unusable_ = false;
      Console("Made new log file");
    }
  }
  if (!unusable_) Write(title + ": started..");
}

void LogFile::OpenConsoleOnly(const Str& title) {
  if (file_ != platform::kNoFile) {
    platform::CloseFile(file_);
    file_ = platform::kNoFile;
  }
  open_ = true;
  unusable_ = false;
  Write(title + ": started..");
}

void LogFile::Emit(const Str& line) {
  if (!unusable_ && file_ != platform::kNoFile) {
    // One write per entry, straight to the file: nothing waits in a buffer,
    // so a run that dies keeps every line it logged. A failed write is not
    // reported; the entry is lost only from the file.
    std::string out = line.str();
    out += platform::kLineEnd;  // LF here, CR LF on Windows, as the system's text files
    std::size_t put = 0;
    platform::WriteFile(file_, out.data(), out.size(), &put).Ignore();
  }
  Console(line);
}

void LogFile::Write(const Str& text) {
  Emit(" " + LogDateStamp(clock_) + " " + LogTimeStamp(clock_) + " " + text);
}

void LogFile::WriteError(const Str& text) {
  Emit(" " + LogDateStamp(clock_) + " " + LogTimeStamp(clock_) + " [err] " + text);
}

void LogFile::Close() {
  if (!open_) return;
  open_ = false;
  if (unusable_) return;
  Write("End..");
  if (file_ != platform::kNoFile) {
    std::size_t put = 0;
    const std::string_view end = platform::kLineEnd;
    platform::WriteFile(file_, end.data(), end.size(), &put).Ignore();
    platform::CloseFile(file_);
    file_ = platform::kNoFile;
  }
  *console_ << '\n' << std::flush;
}

}  // namespace mvx
