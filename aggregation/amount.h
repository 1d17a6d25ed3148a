// The working amount of the aggregation: a sign-magnitude fixed-point number of 1/10000 yen.
//
// Whole is the magnitude divided by 10000 (whole yen), Fraction the magnitude modulo 10000, Sign +1 or -1
// (zero carries +1). Within range every operation equals plain signed 64-bit arithmetic on the same
// amounts; the unchecked operations wrap modulo 2^64 instead of overflowing.
#pragma once

#include <cstdint>

// A guarded sum whose magnitude reaches this many units (10^18) is an overflow.
inline constexpr std::int64_t kAmountLimit = 1000000000000000000LL;

class ClAmount {
 public:
  ClAmount() = default;
  explicit ClAmount(std::int64_t units);
  virtual ~ClAmount();
  ClAmount(const ClAmount&) = default;
  ClAmount& operator=(const ClAmount&) = default;

  // (Whole x 10000 + Fraction) x Sign.
  std::int64_t ToUnits() const;
  // x += y: no range check.
  ClAmount& operator+=(const ClAmount& y);
  // x - y: no range check.
  ClAmount operator-(const ClAmount& y) const;
  // x + y into *sum and true; false, with *sum untouched, when the sum's magnitude is kAmountLimit or
  // more (or does not fit 64 bits).
  bool GuardedSum(const ClAmount& y, ClAmount* sum) const;

  std::int64_t Whole = 0;
  std::uint32_t Fraction = 0;
  std::int16_t Sign = 1;
};
