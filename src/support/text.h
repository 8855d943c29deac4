// Small text, number and path helpers used everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/str.h"

namespace mvx {

// True when the directory (given with or without a trailing separator) has
// any entry; serves as the test for an existing directory.
bool DirHasEntries(const Str& path);
// True when a directory search for the name finds an entry of any kind.
bool FileExists(const Str& name);
// Deletes the file; true when that worked.
bool DeleteFileKeepingError(const Str& name);
// Creates one directory (one trailing separator removed unless the path is a
// 3-character drive root); ignores errors; always true.
bool MakeDirectory(const Str& path);
// Creates the directory and each missing parent; always true.
bool MakeDirectoryPath(const Str& path);
// The full path of path, cut before its last separator; empty when none.
Str DirectoryOf(const Str& path);

Str IntToStr(std::int32_t v);
// Decimal with optional sign, or "$" hexadecimal (at most 8 digits); leading
// blanks skipped. errorPos: 0 on success, else the 1-based position of the
// offending character (1 for empty text); the result is then 0.
// hexWidthByValue: a hexadecimal number is refused only when its value is
// wider than 32 bits ("$000000001" is 1), as the configuration's numbers are
// read; otherwise more than 8 hexadecimal digits are an error.
std::int32_t ParseInteger(std::string_view text, std::int32_t& errorPos,
                          bool hexWidthByValue = false);
// field := low 16 bits of ParseInteger(text); any error gives 0.
void ParseSmallInt(std::string_view text, std::int16_t& field);
void ParseSmallInt(std::string_view text, std::uint16_t& field);
// The n-th (from 1) word of text split at any of the separators; empty when
// there are fewer words.
Str SplitWord(std::int32_t n, std::string_view text, std::string_view separators);

// Copies text and a NUL into a fixed field of fieldSize bytes, cutting the
// text to fieldSize - 1 so the NUL always fits; the rest of the field is
// zero-filled. Never writes outside the field.
void PutNulField(std::uint8_t* field, std::size_t fieldSize, std::string_view text);
// The bytes of a fixed field up to its first NUL (or the whole field), cut
// to 255.
Str GetNulField(const std::uint8_t* field, std::size_t fieldSize);

// One step of the reflected CRC-32 (polynomial 0xEDB88320), no inversion.
std::uint32_t Crc32Step(std::uint8_t byte, std::uint32_t crc);
// "A"-"Z" to "a"-"z"; every other byte unchanged.
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Path helpers that accept both "\" and "/" as separators.
bool EndsWithSeparator(std::string_view path);
// The part of a path after its last separator.
Str FileNamePart(const Str& path);
// A name as taken from the directory dir: unchanged when dir is empty (the
// current directory) or the name is absolute (a leading separator or a drive
// letter), else dir, a separator and the name.
std::string InDirectory(const std::string& dir, const std::string& name);

// Where the first of the bytes a or b stands in text, or text.size(). Runs
// at memchr's speed and never looks further than a little past the find, so
// a caller that finds line ends one after another stays linear.
std::size_t FindEither(std::string_view text, char a, char b);

}  // namespace mvx
