// Recoding text into CP866, the code page the Russian-speaking echoes carry.
//
// A sysop's files may be UTF-8, KOI8-R, CP1251 or Latin-1; what goes into the
// message base must be CP866. The conversion is done with tables in the code
// rather than with the system's converters, so that a file gives the same
// bytes on every platform. A character CP866 has no form for becomes '?' and
// is counted, so the posting can say how many were lost; nothing is
// transliterated. ASCII (00-7F) passes unchanged from every set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mvx {

enum class Charset : std::uint8_t { Cp866, Utf8, Koi8r, Cp1251, Latin1 };

// The character set a name stands for, without regard to case and to blanks
// around it: CP866 (IBM866, 866), UTF-8 (UTF8), KOI8-R (KOI8R, KOI8), CP1251
// (WINDOWS-1251, WIN1251), LATIN-1 (ISO-8859-1, LATIN1). Any other name gives
// nullopt: an unknown name is the caller's to report, never guessed at.
std::optional<Charset> ParseCharset(std::string_view name);
// The usual spelling of the set's name ("UTF-8"), for logs.
std::string_view CharsetName(Charset set);

// Converts one text, fed in pieces of any size, into CP866.
//
// UTF-8 is decoded as a stream: a sequence that one Feed ends inside is
// completed by the next, so blocks read from a pipe may be fed as they come.
// A byte-order mark that is the first character of the text is dropped (it
// would otherwise become '?'); anywhere else it counts as a character without
// a form. Invalid UTF-8 (stray continuation bytes, overlong forms, surrogates,
// bytes C0, C1 and F5-FF, sequences cut short) gives one '?' per maximal
// invalid subpart, the way the Unicode standard recommends, and each counts.
//
// Flush ends the text: a sequence still incomplete becomes one '?'. A caller
// that feeds lines whose line ends it has removed calls Flush after each line;
// that gives the same bytes as feeding the text with its line ends, which
// would have ended the sequence there as well. Flush does not start a new
// text: a byte-order mark is dropped only before the first character.
//
// CP866 input passes unchanged. The 8-bit sets carry no state, so for them
// Flush does nothing.
class Cp866Converter {
 public:
  explicit Cp866Converter(Charset from) : from_(from) {}

  Charset from() const { return from_; }
  // Appends the CP866 form of chunk to out.
  void Feed(std::string_view chunk, std::string& out);
  // Appends '?' for an incomplete UTF-8 sequence held from the last Feed.
  void Flush(std::string& out);
  // Characters that became '?' so far.
  std::size_t unmapped() const { return unmapped_; }

 private:
  void FeedUtf8(std::string_view chunk, std::string& out);
  void Put(char32_t codePoint, std::string& out);
  void PutInvalid(std::string& out);
  void EndSequence() {
    needed_ = 0;
    lower_ = 0x80;
    upper_ = 0xBF;
  }

  Charset from_;
  std::size_t unmapped_ = 0;
  bool atStart_ = true;  // no character of the text seen yet
  // UTF-8 decoder: the code point built so far, continuation bytes still
  // needed, and the range the next one must fall in (narrower than 80-BF
  // right after a lead byte, which is how overlong forms, surrogates and
  // values above U+10FFFF are refused at their second byte).
  char32_t codePoint_ = 0;
  int needed_ = 0;
  std::uint8_t lower_ = 0x80;
  std::uint8_t upper_ = 0xBF;
};

struct Cp866Text {
  std::string text;
  std::size_t unmapped = 0;  // characters that became '?'
};

// Converts a whole short text (a configuration value, a name, a subject; a
// Str converts to the argument) in one call, flushed at its end. The result
// is never longer than the input, so a value that fitted into a Str still
// does.
Cp866Text ConvertToCp866(Charset from, std::string_view text);

}  // namespace mvx
