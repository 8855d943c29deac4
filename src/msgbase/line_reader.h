// Reading lines as message texts end them: a CR or a 0 byte ends a line, and
// the LF of a CR LF pair (or of a 0 LF pair) belongs to that line end. A
// lone LF is part of the line.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "msgbase/data_stream.h"

namespace mvx {

// Reads the next line of stream, from its position up to its logical end,
// into line without the line end, keeping its first maxLen bytes; the rest
// of a longer line is skipped. A failed stream counts as ended. The position
// is left after the line end.
void ReadStreamLine(DataStream& stream, std::string& line, std::size_t maxLen);

// The lines of a stream that is not a message's text (the start of a *.MSG
// file, say). The reader holds the stream and closes it when it goes.
class LineReader {
 public:
  explicit LineReader(std::unique_ptr<DataStream> stream) : stream_(std::move(stream)) {}

  // As ReadStreamLine; an empty line once the stream has ended.
  void ReadLine(std::string& line, std::size_t maxLen) {
    if (stream_) {
      ReadStreamLine(*stream_, line, maxLen);
    } else {
      line.clear();
    }
  }

 private:
  std::unique_ptr<DataStream> stream_;
};

}  // namespace mvx
