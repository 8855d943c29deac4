// Posting and reading messages through the MessageBase interface, the same
// way for every format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "msgbase/message_base.h"

namespace mvx::testkit {

// Begins a message from `from` to `to`, appends the lines (each with a CR)
// and stores it.
bool Post(MessageBase& base, const std::string& to, const std::vector<std::string>& lines,
          const std::string& from = "Marvex", const std::string& subject = "Rules");
// The whole text buffer ("" without one); the text position is left as it was.
std::string TextOf(MessageBase& base);
// Loads message n (header and leading control lines only if asked): false
// when there is none of that number.
bool Load(MessageBase& base, std::int32_t n, bool headerOnly = false);
// Every line from the start, read with ReadTextLine (255 characters at most) until the end.
std::vector<std::string> LinesOf(MessageBase& base);
// The numbers met stepping forward (or back) from PositionFrom(from).
std::vector<std::int32_t> Walk(MessageBase& base, std::int32_t from, bool back = false);
// "YYYY-MM-DD HH:MM:SS"
std::string DateText(const DateTimeRec& d);
// Loads message n (its uid: the number in JAM and *.MSG areas) and gives its
// whole text (a failed load is a test failure).
std::string LoadText(MessageBase& base, std::int32_t n);

}  // namespace mvx::testkit
