// Numbers to text and back, and the word splitter the address and date
// parsers share.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "support/text.h"

namespace mvx {

Str IntToStr(std::int32_t v) {
  // Work on the magnitude as unsigned so that the most negative value has a
  // representable magnitude too.
  std::uint32_t mag = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag != 0);
  Str out;
  if (v < 0) out += '-';
  while (n > 0) out += digits[--n];
  return out;
}

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::int32_t ParseInteger(std::string_view text, std::int32_t& errorPos, bool hexWidthByValue) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  auto fail = [&errorPos](std::size_t at) {
    errorPos = static_cast<std::int32_t>(at + 1);
    return 0;
  };
  std::uint64_t value = 0;
  std::size_t digits = 0;
  if (i < text.size() && text[i] == '$') {
    ++i;
    for (; i < text.size(); ++i) {
      int d = HexDigitValue(text[i]);
      if (d < 0) return fail(i);
      if (++digits > 8 && !hexWidthByValue) return fail(i);
      value = (value << 4) | static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFull) return fail(i);
    }
  } else {
    for (; i < text.size(); ++i) {
      char c = text[i];
      if (c < '0' || c > '9') return fail(i);
      ++digits;
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
      if (value >= 0x80000000u) return fail(i);
    }
  }
  // No digit at all (empty text, a lone sign or "$"): the error is where the
  // first digit should have been.
  if (digits == 0) return fail(i);
  errorPos = 0;
  // Hexadecimal digits give a 32-bit pattern ($FFFFFFFF is -1); negation is
  // done on the pattern so that no value can overflow.
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);
}

void ParseSmallInt(std::string_view text, std::int16_t& field) {
  std::int32_t errorPos = 0;
  std::int32_t v = ParseInteger(text, errorPos);
  field = errorPos != 0 ? 0 : static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

void ParseSmallInt(std::string_view text, std::uint16_t& field) {
  std::int32_t errorPos = 0;
  std::int32_t v = ParseInteger(text, errorPos);
  field = errorPos != 0 ? 0 : static_cast<std::uint16_t>(v & 0xFFFF);
}

std::size_t FindEither(std::string_view text, char a, char b) {
  constexpr std::size_t kWindow = 256;
  for (std::size_t at = 0; at < text.size(); at += kWindow) {
    const std::size_t n = std::min(kWindow, text.size() - at);
    const void* pa = std::memchr(text.data() + at, a, n);
    const void* pb = std::memchr(text.data() + at, b, n);
    if (pa == nullptr && pb == nullptr) continue;
    const char* hit = pa == nullptr ? static_cast<const char*>(pb)
                      : pb == nullptr ? static_cast<const char*>(pa)
                                      : std::min(static_cast<const char*>(pa), static_cast<const char*>(pb));
    return static_cast<std::size_t>(hit - text.data());
  }
  return text.size();
}

Str SplitWord(std::int32_t n, std::string_view text, std::string_view separators) {
  auto isSep = [separators](char c) { return separators.find(c) != std::string_view::npos; };
  std::int32_t count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSep(text[i])) ++i;
    if (i >= text.size()) break;
    std::size_t start = i;
    while (i < text.size() && !isSep(text[i])) ++i;
    if (++count == n) return Str(text.substr(start, i - start));
  }
  return Str();
}

}  // namespace mvx
