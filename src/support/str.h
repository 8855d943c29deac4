// Str: the program's one string type.
//
// Every text the program handles (configuration values, names, log lines,
// control lines) is a single-byte string of at most 255 characters, and every
// operation that would make a longer one cuts it at 255. Keeping that rule in
// one type means no caller can forget it: constructing, appending and
// concatenating all cut. Bytes above 127 pass through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mvx {

class Str {
 public:
  static constexpr std::size_t kMax = 255;

  Str() = default;
  Str(const char* s) : Str(std::string_view(s ? s : "")) {}  // NOLINT: implicit by design
  Str(std::string_view s) : s_(s.substr(0, kMax)) {}         // NOLINT
  Str(const std::string& s) : Str(std::string_view(s)) {}   // NOLINT
  Str(std::size_t count, char c) : s_(count < kMax ? count : kMax, c) {}

  std::size_t size() const { return s_.size(); }
  bool empty() const { return s_.empty(); }
  char operator[](std::size_t i) const { return s_[i]; }
  // The byte at i as an unsigned value (bytes above 127 stay positive).
  std::uint8_t byte(std::size_t i) const { return static_cast<std::uint8_t>(s_[i]); }
  const char* data() const { return s_.data(); }
  const char* c_str() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  std::string_view view() const { return s_; }
  operator std::string_view() const { return s_; }  // NOLINT

  // Substring from pos (0-based) of at most n bytes; out-of-range gives empty.
  Str sub(std::size_t pos, std::size_t n = kMax) const {
    return pos >= s_.size() ? Str() : Str(std::string_view(s_).substr(pos, n));
  }
  std::size_t find(char c, std::size_t from = 0) const { return s_.find(c, from); }
  bool starts_with(std::string_view p) const { return std::string_view(s_).starts_with(p); }

  Str& operator+=(std::string_view more) {
    if (s_.size() < kMax) s_.append(more.substr(0, kMax - s_.size()));
    return *this;
  }
  Str& operator+=(char c) {
    if (s_.size() < kMax) s_.push_back(c);
    return *this;
  }
  void erase_front(std::size_t n) { s_.erase(0, n < s_.size() ? n : s_.size()); }
  void resize(std::size_t n) { s_.resize(n < kMax ? n : kMax); }
  void clear() { s_.clear(); }

  friend Str operator+(Str a, std::string_view b) { return a += b; }
  friend Str operator+(Str a, const Str& b) { return a += b.view(); }
  friend Str operator+(Str a, const char* b) { return a += std::string_view(b); }
  friend Str operator+(Str a, const std::string& b) { return a += std::string_view(b); }
  friend Str operator+(const std::string& a, const Str& b) { return Str(a) += b.view(); }
  friend Str operator+(Str a, char c) { return a += c; }
  friend Str operator+(std::string_view a, const Str& b) { return Str(a) += b.view(); }
  friend Str operator+(const char* a, const Str& b) { return Str(a) += b.view(); }
  friend bool operator==(const Str& a, const Str& b) { return a.s_ == b.s_; }
  friend bool operator==(const Str& a, std::string_view b) { return a.s_ == b; }
  friend bool operator==(const Str& a, const char* b) { return a.s_ == std::string_view(b); }
  friend bool operator==(const Str& a, const std::string& b) { return a.s_ == b; }

 private:
  std::string s_;
};

}  // namespace mvx
