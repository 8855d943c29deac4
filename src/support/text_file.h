// Reading a text file line by line (configuration, tosser configuration,
// posted file). A line ends at LF, CR LF or a lone CR; only its first 255
// characters are kept, the rest of that line is skipped.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "support/str.h"

namespace mvx {

class TextFileReader {
 public:
  TextFileReader() = default;
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool Open(const Str& name);
  void Close();
  bool IsOpen() const { return file_ != platform::kNoFile; }
  // True when no line is left.
  bool AtEnd();
  // Reads the next line into line; false on a read error (line is then what
  // could be read, possibly empty) and when no line is left (line empty).
  bool ReadLine(Str& line);
  // True once a read has failed; AtEnd() is then true as well, so a reading
  // loop always ends.
  bool ReadError() const { return error_; }
  // Moves back to the start of the file (for a counting pass).
  bool Rewind();

 private:
  bool Fill();
  platform::FileHandle file_ = platform::kNoFile;
  std::vector<std::uint8_t> buf_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool eof_ = false;
  bool error_ = false;
};

}  // namespace mvx
