// Reading text files line by line through a buffer.
#include "support/text_file.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "support/text.h"

namespace mvx {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

TextFileReader::~TextFileReader() { Close(); }

bool TextFileReader::Open(const Str& name, int lockWaitMs) {
  Close();
  const Error e =
      platform::OpenExisting(name.str(), platform::Access::kRead, platform::Share::kReadWrite, lockWaitMs, &file_);
  osError_ = e.osError();
  if (!e.ok()) return false;
  buf_.resize(kBufferSize);
  pos_ = len_ = 0;
  eof_ = error_ = false;
  return true;
}

void TextFileReader::OpenText(std::string text) {
  Close();
  buf_ = std::move(text);
  inMemory_ = true;
  len_ = buf_.size();
}

void TextFileReader::Close() {
  if (file_ != platform::kNoFile) platform::CloseFile(file_);
  file_ = platform::kNoFile;
  if (inMemory_) buf_.clear();
  inMemory_ = false;
  pos_ = len_ = 0;
  eof_ = error_ = false;
}

bool TextFileReader::Fill() {
  if (pos_ < len_) return true;
  if (file_ == platform::kNoFile || eof_ || error_) return false;
  std::size_t got = 0;
  if (const Error e = platform::ReadFile(file_, buf_.data(), buf_.size(), &got); !e.ok()) {
    error_ = true;
    osError_ = e.osError();
    return false;
  }
  pos_ = 0;
  len_ = got;
  if (got == 0) eof_ = true;
  return got > 0;
}

bool TextFileReader::AtEnd() { return !Fill(); }

bool TextFileReader::ReadLine(Str& line) {
  // The line is gathered in a buffer kept from line to line.
  const bool ok = ReadLineUpTo(scratch_, Str::kMax);
  line = Str(scratch_);
  return ok;
}

bool TextFileReader::ReadWholeLine(std::string& line) { return ReadLineUpTo(line, std::string::npos); }

bool TextFileReader::ReadLineUpTo(std::string& line, std::size_t keep) {
  line.clear();
  if (!Fill()) return false;
  while (Fill()) {
    // The rest of the line within the buffer, taken in one piece.
    const char* start = &buf_[pos_];
    const std::size_t avail = len_ - pos_;
    const std::size_t n = FindEither(std::string_view(start, avail), '\n', '\r');
    // Bytes past the ones kept are read and dropped.
    if (line.size() < keep) line.append(start, std::min(n, keep - line.size()));
    pos_ += n;
    if (n == avail) continue;  // the line goes on in the next buffer
    const char end = buf_[pos_++];
    // CR LF is one line end, a lone CR is one too.
    if (end == '\r' && Fill() && buf_[pos_] == '\n') ++pos_;
    return true;
  }
  return !error_;
}

bool TextFileReader::Rewind() {
  if (inMemory_) {
    pos_ = 0;
    return true;
  }
  if (file_ == platform::kNoFile) return false;
  pos_ = len_ = 0;
  eof_ = error_ = false;
  if (!platform::SeekFile(file_, 0).ok()) {
    error_ = true;
    return false;
  }
  return true;
}

}  // namespace mvx
