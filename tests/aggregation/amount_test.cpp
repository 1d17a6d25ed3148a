// The sign-magnitude amount of the aggregation.
#include "aggregation/amount.h"

#include <gtest/gtest.h>

#include <limits>

TEST(AmountTest, SplitsSignWholeAndFractionAndJoinsThemBack) {
  struct Case {
    std::int64_t units;
    std::int64_t whole;
    std::uint32_t fraction;
    std::int16_t sign;
  };
  const Case cases[] = {
      {0, 0, 0, 1},
      {1, 0, 1, 1},
      {-1, 0, 1, -1},
      {9999, 0, 9999, 1},
      {10000, 1, 0, 1},
      {-10000, 1, 0, -1},
      {1234567, 123, 4567, 1},
      {-1234567, 123, 4567, -1},
      {std::numeric_limits<std::int64_t>::max(), 922337203685477, 5807, 1},
      {std::numeric_limits<std::int64_t>::min(), 922337203685477, 5808, -1},
  };
  for (const auto& c : cases) {
    const ClAmount a(c.units);
    EXPECT_EQ(a.Whole, c.whole) << c.units;
    EXPECT_EQ(a.Fraction, c.fraction) << c.units;
    EXPECT_EQ(a.Sign, c.sign) << c.units;
    EXPECT_EQ(a.ToUnits(), c.units);
    const ClAmount copy = a;
    EXPECT_EQ(copy.ToUnits(), c.units);
  }
  const ClAmount zero;
  EXPECT_EQ(zero.Sign, 1);
  EXPECT_EQ(zero.ToUnits(), 0);
}

TEST(AmountTest, AddAndSubtractEqualPlainArithmeticInRange) {
  const std::int64_t values[] = {0, 1, -1, 9999, -9999, 10001, -123456789, 987654321012345, -5000};
  for (std::int64_t x : values) {
    for (std::int64_t y : values) {
      ClAmount a(x);
      a += ClAmount(y);
      EXPECT_EQ(a.ToUnits(), x + y) << x << " + " << y;
      EXPECT_EQ((ClAmount(x) - ClAmount(y)).ToUnits(), x - y) << x << " - " << y;
      ClAmount sum;
      ASSERT_TRUE(ClAmount(x).GuardedSum(ClAmount(y), &sum));
      EXPECT_EQ(sum.ToUnits(), x + y);
    }
  }
}

TEST(AmountTest, GuardedSumRefusesTenToTheEighteenth) {
  ClAmount sum(42);
  EXPECT_TRUE(ClAmount(kAmountLimit - 2).GuardedSum(ClAmount(1), &sum));
  EXPECT_EQ(sum.ToUnits(), kAmountLimit - 1);
  EXPECT_TRUE(ClAmount(-kAmountLimit + 2).GuardedSum(ClAmount(-1), &sum));
  EXPECT_EQ(sum.ToUnits(), -kAmountLimit + 1);

  sum = ClAmount(42);
  EXPECT_FALSE(ClAmount(kAmountLimit - 1).GuardedSum(ClAmount(1), &sum));
  EXPECT_FALSE(ClAmount(-kAmountLimit + 1).GuardedSum(ClAmount(-1), &sum));
  EXPECT_FALSE(ClAmount(kAmountLimit).GuardedSum(ClAmount(0), &sum));
  // Sums beyond 64 bits are refused too, not wrapped into range.
  EXPECT_FALSE(ClAmount(std::numeric_limits<std::int64_t>::max())
                   .GuardedSum(ClAmount(std::numeric_limits<std::int64_t>::max()), &sum));
  EXPECT_EQ(sum.ToUnits(), 42);
}
