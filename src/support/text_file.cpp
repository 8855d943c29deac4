// Reading text files line by line through a buffer.
#include "support/text_file.h"

namespace mvx {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

TextFileReader::~TextFileReader() { Close(); }

bool TextFileReader::Open(const Str& name) {
  Close();
  int error = 0;
  file_ = platform::OpenExisting(name.str(), platform::Access::kRead, platform::Share::kReadWrite, &error);
  if (file_ == platform::kNoFile) return false;
  buf_.resize(kBufferSize);
  pos_ = len_ = 0;
  eof_ = error_ = false;
  return true;
}

void TextFileReader::Close() {
  if (file_ != platform::kNoFile) platform::CloseFile(file_);
  file_ = platform::kNoFile;
  pos_ = len_ = 0;
  eof_ = error_ = false;
}

bool TextFileReader::Fill() {
  if (pos_ < len_) return true;
  if (file_ == platform::kNoFile || eof_ || error_) return false;
  std::size_t got = 0;
  int error = 0;
  if (!platform::ReadFile(file_, buf_.data(), buf_.size(), &got, &error)) {
    error_ = true;
    return false;
  }
  pos_ = 0;
  len_ = got;
  if (got == 0) eof_ = true;
  return got > 0;
}

bool TextFileReader::AtEnd() { return !Fill(); }

bool TextFileReader::ReadLine(Str& line) {
  line.clear();
  if (!Fill()) return false;
  while (Fill()) {
    std::uint8_t b = buf_[pos_++];
    if (b == '\n') return true;
    if (b == '\r') {
      // CR LF is one line end, a lone CR is one too.
      if (Fill() && buf_[pos_] == '\n') ++pos_;
      return true;
    }
    // Bytes past the first 255 of a line are read and dropped.
    if (line.size() < Str::kMax) line += static_cast<char>(b);
  }
  return !error_;
}

bool TextFileReader::Rewind() {
  if (file_ == platform::kNoFile) return false;
  int error = 0;
  pos_ = len_ = 0;
  eof_ = error_ = false;
  if (!platform::SeekFile(file_, 0, &error)) {
    error_ = true;
    return false;
  }
  return true;
}

}  // namespace mvx
