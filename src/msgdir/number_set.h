// NumberSet: which message numbers of a *.MSG area are in use.
//
// A bit set of 61440 bits (bit n is bit n mod 8 of byte n div 8) with the
// count of set bits. Numbers outside the set are never stored: marking one
// does nothing and testing one answers false, so no number read from a file
// name can reach memory outside the set.
#pragma once

#include <array>
#include <cstdint>

namespace mvx {

class NumberSet {
 public:
  static constexpr std::int32_t kBits = 61440;

  // No number in use.
  void Clear();
  // False for numbers outside 0 .. kBits - 1.
  bool Test(std::int32_t n) const;
  // Sets or clears bit n. The count changes only when the bit does, so a
  // number found twice (7.MSG and 7.msg side by side) is one message.
  void Mark(std::int32_t n);
  void Unmark(std::int32_t n);
  std::int32_t Count() const { return count_; }

 private:
  static bool InRange(std::int32_t n) { return n >= 0 && n < kBits; }
  std::array<std::uint8_t, kBits / 8> bits_{};
  std::int32_t count_ = 0;
};

}  // namespace mvx
