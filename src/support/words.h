// Words, values and upper-casing: the rules every reader of configuration
// text, command lines and tosser configurations shares. Words are separated
// by blanks: the space character and the tab.
#pragma once

#include <cstdint>
#include <string_view>

#include "support/str.h"

namespace mvx {

// a-z to A-Z; the lower-case Cyrillic letters of code page 866 (0xA0-0xAF,
// 0xE0-0xEF) to their capitals; every other byte unchanged.
Str UpperCaseCyr(const Str& text);
void StripLeadingBlanks(Str& text);
// True when the text holds a blank (space or tab).
bool HasBlank(const Str& text);
// The first word (leading blanks skipped), upper-cased.
Str FirstWord(const Str& text);
// The first word as written: for words that name files, which keep their case.
Str FirstWordAsIs(const Str& text);
// Everything after the first word, leading blanks removed; a text without a
// blank is its own rest.
Str RestWords(const Str& text);
// The quoted value of a line, or everything after its first blank.
Str ValueOf(const Str& line);
// Everything after the second double quote; the text itself when it has
// fewer than two.
Str TextAfterQuotes(const Str& text);
// Decimal or "$" hexadecimal with optional sign; anything else gives 0.
std::int32_t ParseNumber(std::string_view text);
// True when one of the blank-separated words of list reads as n.
bool NumberInList(const Str& list, std::int32_t n);
// The keyword matches when the line (leading blanks skipped) holds a blank
// and its first word, upper-cased, equals the keyword. On a match the setting
// takes the line's value; otherwise it is not touched.
void ReadStringKey(const char* keyword, Str& setting, const Str& line);
void ReadBoolKey(const char* keyword, bool& setting, const Str& line);
void ReadNumberKey(const char* keyword, std::int32_t& setting, const Str& line);
// False for a comment: first character ";" or "#", or first two "\\".
bool IsConfigLine(const Str& line);

}  // namespace mvx
