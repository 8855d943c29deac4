#include "msgdir/number_set.h"

namespace mvx {

namespace {

std::uint8_t BitOf(std::int32_t n) { return static_cast<std::uint8_t>(1u << (n % 8)); }

}  // namespace

void NumberSet::Clear() {
  bits_.fill(0);
  count_ = 0;
}

bool NumberSet::Test(std::int32_t n) const {
  return InRange(n) && (bits_[static_cast<std::size_t>(n / 8)] & BitOf(n)) != 0;
}

void NumberSet::Mark(std::int32_t n) {
  if (!InRange(n) || Test(n)) return;
  bits_[static_cast<std::size_t>(n / 8)] |= BitOf(n);
  ++count_;
}

void NumberSet::Unmark(std::int32_t n) {
  if (!Test(n)) return;
  bits_[static_cast<std::size_t>(n / 8)] &= static_cast<std::uint8_t>(~BitOf(n));
  --count_;
}

}  // namespace mvx
