// Reading a text file line by line (configuration, tosser configuration,
// posted file), or text held in memory (standard input) by the same rules.
// A line ends at LF, CR LF or a lone CR; only its first 255 characters are
// kept, the rest of that line is skipped.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "support/str.h"

namespace mvx {

class TextFileReader {
 public:
  TextFileReader() = default;
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  // A file another program holds without sharing is waited for at most
  // lockWaitMs.
  bool Open(const Str& name, int lockWaitMs);
  // Reads the lines of text instead of a file's.
  void OpenText(std::string text);
  void Close();
  bool IsOpen() const { return file_ != platform::kNoFile || inMemory_; }
  // True when no line is left.
  bool AtEnd();
  // Reads the next line into line; false on a read error (line is then what
  // could be read, possibly empty) and when no line is left (line empty).
  bool ReadLine(Str& line);
  // The same, keeping the whole line however long: for text that is recoded
  // before it is cut, so that the cut counts the recoded bytes.
  bool ReadWholeLine(std::string& line);
  // True once a read has failed; AtEnd() is then true as well, so a reading
  // loop always ends.
  bool ReadError() const { return error_; }
  // The operating system's reason for a failed Open or read; 0 when none.
  int OsError() const { return osError_; }
  // Moves back to the start of the file (for a counting pass).
  bool Rewind();

 private:
  bool Fill();
  bool ReadLineUpTo(std::string& line, std::size_t keep);
  platform::FileHandle file_ = platform::kNoFile;
  bool inMemory_ = false;  // buf_ holds the whole text; there is no file
  std::string buf_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool eof_ = false;
  bool error_ = false;
  int osError_ = 0;
  std::string scratch_;
};

}  // namespace mvx
