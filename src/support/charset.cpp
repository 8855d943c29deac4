// The tables behind the CP866 conversion: for each 8-bit set, the Unicode
// code points of its bytes 80-FF, and the reverse of the CP866 table, built
// and checked at compile time.
#include "support/charset.h"

#include <algorithm>
#include <array>
#include <utility>

#include "support/text.h"

namespace mvx {

namespace {

using HighHalf = std::array<char16_t, 128>;  // code points of bytes 80-FF

// A byte the set leaves undefined; CP866 has no form for it either.
constexpr char16_t kUndefined = 0xFFFD;

constexpr HighHalf kCp866 = {
    // 80-9F: А-Я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // A0-AF: а-п
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    // B0-DF: shades, box drawing and blocks
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // E0-EF: р-я
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    // F0-FF: Ё ё Є є Ї ї Ў ў ° ∙ · √ № ¤ ■ NBSP
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

constexpr HighHalf kKoi8r = {
    // 80-9F: box drawing, blocks, shades, mathematical signs
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524,
    0x252C, 0x2534, 0x253C, 0x2580, 0x2584, 0x2588, 0x258C, 0x2590,
    0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248,
    0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7,
    // A0-BF: double-line box drawing, ё at A3, Ё at B3, © at BF
    0x2550, 0x2551, 0x2552, 0x0451, 0x2553, 0x2554, 0x2555, 0x2556,
    0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x255C, 0x255D, 0x255E,
    0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564, 0x2565,
    0x2566, 0x2567, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x00A9,
    // C0-DF: юабцдефгхийклмнопярстужвьызшэщчъ
    0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433,
    0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E,
    0x043F, 0x044F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0436, 0x0432,
    0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A,
    // E0-FF: the same letters in upper case
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413,
    0x0425, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E,
    0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412,
    0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,
};

constexpr HighHalf kCp1251 = {
    // 80-9F: other Cyrillic letters and typographic signs; 98 is undefined
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    kUndefined, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    // A0-BF: NBSP, Ё at A8, ё at B8, « at AB, » at BB, № at B9
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // C0-FF: А-я in alphabet order (without Ё and ё)
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Code point -> CP866 byte for the 128 characters of CP866's upper half,
// sorted by code point for a binary search.
struct Reverse {
  char16_t codePoint;
  std::uint8_t byte;
};
using ReverseMap = std::array<Reverse, 128>;

constexpr ReverseMap BuildReverse() {
  ReverseMap map{};
  for (std::size_t i = 0; i < 128; ++i) map[i] = {kCp866[i], static_cast<std::uint8_t>(0x80 + i)};
  std::sort(map.begin(), map.end(),
            [](const Reverse& a, const Reverse& b) { return a.codePoint < b.codePoint; });
  return map;
}

constexpr ReverseMap kToCp866 = BuildReverse();

// Each byte of the upper half must stand for its own character, and none for
// an ASCII one, or the reverse map would give one character two bytes.
constexpr bool ReverseIsOneToOne() {
  if (kToCp866[0].codePoint < 0x80) return false;
  for (std::size_t i = 1; i < kToCp866.size(); ++i)
    if (kToCp866[i - 1].codePoint == kToCp866[i].codePoint) return false;
  return true;
}
static_assert(ReverseIsOneToOne(), "CP866 table maps two bytes to one character");

// The CP866 byte of a code point above 7F; nullopt when CP866 has none.
std::optional<char> Cp866Byte(char32_t codePoint) {
  auto it = std::lower_bound(
      kToCp866.begin(), kToCp866.end(), codePoint,
      [](const Reverse& r, char32_t cp) { return static_cast<char32_t>(r.codePoint) < cp; });
  if (it == kToCp866.end() || it->codePoint != codePoint) return std::nullopt;
  return static_cast<char>(it->byte);
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace

std::optional<Charset> ParseCharset(std::string_view name) {
  static constexpr std::pair<std::string_view, Charset> kNames[] = {
      {"cp866", Charset::Cp866},         {"ibm866", Charset::Cp866},
      {"866", Charset::Cp866},           {"utf-8", Charset::Utf8},
      {"utf8", Charset::Utf8},           {"koi8-r", Charset::Koi8r},
      {"koi8r", Charset::Koi8r},         {"koi8", Charset::Koi8r},
      {"cp1251", Charset::Cp1251},       {"windows-1251", Charset::Cp1251},
      {"win1251", Charset::Cp1251},      {"latin-1", Charset::Latin1},
      {"iso-8859-1", Charset::Latin1},   {"latin1", Charset::Latin1},
  };
  name = TrimBlanks(name);
  for (const auto& [spelling, set] : kNames)
    if (SameIgnoringAsciiCase(name, spelling)) return set;
  return std::nullopt;
}

std::string_view CharsetName(Charset set) {
  switch (set) {
    case Charset::Cp866: return "CP866";
    case Charset::Utf8: return "UTF-8";
    case Charset::Koi8r: return "KOI8-R";
    case Charset::Cp1251: return "CP1251";
    case Charset::Latin1: return "LATIN-1";
  }
  return "CP866";
}

void Cp866Converter::Put(char32_t codePoint, std::string& out) {
  atStart_ = false;
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
    return;
  }
  if (auto b = Cp866Byte(codePoint)) {
    out.push_back(*b);
    return;
  }
  out.push_back('?');
  ++unmapped_;
}

void Cp866Converter::PutInvalid(std::string& out) {
  atStart_ = false;
  out.push_back('?');
  ++unmapped_;
}

void Cp866Converter::Feed(std::string_view chunk, std::string& out) {
  if (from_ == Charset::Cp866) {
    out.append(chunk);
    return;
  }
  if (from_ == Charset::Utf8) {
    FeedUtf8(chunk, out);
    return;
  }
  const HighHalf* high = from_ == Charset::Koi8r ? &kKoi8r : from_ == Charset::Cp1251 ? &kCp1251 : nullptr;
  out.reserve(out.size() + chunk.size());
  for (char c : chunk) {
    auto b = static_cast<std::uint8_t>(c);
    // Latin-1's bytes are the code points U+0000-U+00FF themselves.
    Put(b < 0x80 || high == nullptr ? b : (*high)[b - 0x80], out);
  }
}

void Cp866Converter::FeedUtf8(std::string_view chunk, std::string& out) {
  out.reserve(out.size() + chunk.size());
  std::size_t i = 0;
  while (i < chunk.size()) {
    auto b = static_cast<std::uint8_t>(chunk[i]);
    if (needed_ > 0) {
      if (b < lower_ || b > upper_) {
        // The sequence so far is one maximal invalid subpart; this byte is
        // not part of it and is read again as the start of what follows.
        EndSequence();
        PutInvalid(out);
        continue;
      }
      lower_ = 0x80;
      upper_ = 0xBF;
      codePoint_ = (codePoint_ << 6) | (b & 0x3F);
      ++i;
      if (--needed_ == 0) {
        if (codePoint_ == 0xFEFF && atStart_)
          atStart_ = false;  // byte-order mark: not part of the text
        else
          Put(codePoint_, out);
      }
      continue;
    }
    ++i;
    if (b < 0x80) {
      Put(b, out);
    } else if (b >= 0xC2 && b <= 0xDF) {
      needed_ = 1;
      codePoint_ = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      needed_ = 2;
      codePoint_ = b & 0x0F;
      if (b == 0xE0) lower_ = 0xA0;  // below: overlong
      if (b == 0xED) upper_ = 0x9F;  // above: surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      needed_ = 3;
      codePoint_ = b & 0x07;
      if (b == 0xF0) lower_ = 0x90;  // below: overlong
      if (b == 0xF4) upper_ = 0x8F;  // above: beyond U+10FFFF
    } else {
      PutInvalid(out);  // continuation byte without a lead, C0, C1, F5-FF
    }
  }
}

void Cp866Converter::Flush(std::string& out) {
  if (needed_ == 0) return;
  EndSequence();
  PutInvalid(out);
}

Cp866Text ConvertToCp866(Charset from, std::string_view text) {
  Cp866Converter conv(from);
  Cp866Text result;
  conv.Feed(text, result.text);
  conv.Flush(result.text);
  result.unmapped = conv.unmapped();
  return result;
}

}  // namespace mvx
