#include "aggregation/amount.h"

ClAmount::ClAmount(std::int64_t units) {
  const bool negative = units < 0;
  // The magnitude in unsigned arithmetic, so that the most negative amount has one too.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  Whole = static_cast<std::int64_t>(magnitude / 10000);
  Fraction = static_cast<std::uint32_t>(magnitude % 10000);
  Sign = negative ? -1 : 1;
}

ClAmount::~ClAmount() = default;

std::int64_t ClAmount::ToUnits() const {
  const std::uint64_t magnitude = static_cast<std::uint64_t>(Whole) * 10000u + Fraction;
  return static_cast<std::int64_t>(Sign < 0 ? std::uint64_t{0} - magnitude : magnitude);
}

ClAmount& ClAmount::operator+=(const ClAmount& y) {
  *this = ClAmount(static_cast<std::int64_t>(static_cast<std::uint64_t>(ToUnits()) +
                                             static_cast<std::uint64_t>(y.ToUnits())));
  return *this;
}

ClAmount ClAmount::operator-(const ClAmount& y) const {
  return ClAmount(static_cast<std::int64_t>(static_cast<std::uint64_t>(ToUnits()) -
                                            static_cast<std::uint64_t>(y.ToUnits())));
}

bool ClAmount::GuardedSum(const ClAmount& y, ClAmount* sum) const {
  std::int64_t s = 0;
  if (__builtin_add_overflow(ToUnits(), y.ToUnits(), &s)) return false;
  if (s >= kAmountLimit || s <= -kAmountLimit) return false;
  *sum = ClAmount(s);
  return true;
}
