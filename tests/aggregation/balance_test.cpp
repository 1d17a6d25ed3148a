// The balance of one aggregation row and the name cut of a balance row.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "aggregation/amount.h"
#include "aggregation/balance_aggregator.h"
#include "aggregation/period.h"
#include "win32/codepage.h"

namespace {
constexpr std::int64_t kYen = 10000;

StKAMOKUSUMINFO Row(std::uint8_t side) {
  StKAMOKUSUMINFO row;
  std::memset(&row, 0, sizeof row);
  row.BalanceSide = side;
  return row;
}

struct Conditions {
  StFINDINFO list[4];
  Conditions(std::int16_t c, std::int16_t last_code, std::int32_t option, std::int16_t to) {
    std::memset(list, 0, sizeof list);
    MakeSumConditionsOf(list, c, last_code, option, c, to);
  }
};

StDATAINFO Data(std::int32_t option) {
  StDATAINFO data;
  std::memset(&data, 0, sizeof data);
  data.PeriodOption = option;
  return data;
}

std::int64_t Balance(const StKAMOKUSUMINFO& row, std::int32_t tax, const Conditions& conds,
                     std::int32_t option = 0) {
  std::int64_t balance = -123;
  EXPECT_TRUE(ClBalanceAggregator::ComputeBalance(row, tax, conds.list, Data(option), &balance));
  return balance;
}
}  // namespace

TEST(BalanceTest, DebitAndCreditBalanceAccounts) {
  // 100 yen brought forward, month 2 with a debit of 30 and a credit of 50; range months 1 to 2.
  for (std::uint8_t side : {1, 2, 0}) {
    StKAMOKUSUMINFO row = Row(side);
    row.DebitExTax[0] = 100 * kYen;
    row.DebitExTax[2] = 30 * kYen;
    row.CreditExTax[2] = 50 * kYen;
    const Conditions months_1_2(4, 103, 0, 5);
    EXPECT_EQ(Balance(row, 0, months_1_2), side == 1 ? 80 * kYen : -80 * kYen) << int(side);
  }
}

TEST(BalanceTest, TaxModesNeverMix) {
  StKAMOKUSUMINFO row = Row(1);
  row.DebitExTax[0] = 1000;
  row.CreditExTax[1] = 300;
  row.DebitInTax[0] = 1100;
  row.CreditInTax[1] = 330;
  const Conditions month_1(4, 103, 0, 4);
  EXPECT_EQ(Balance(row, 1, month_1), 770);
  EXPECT_EQ(Balance(row, 0, month_1), 700);
  EXPECT_EQ(Balance(row, 2, month_1), 700);
}

TEST(BalanceTest, MonthsAndAdjustmentSlotsTakenIn) {
  // Debit slot s holds 2^s units, so the balance tells which slots were added.
  StKAMOKUSUMINFO row = Row(1);
  for (int s = 0; s < 15; ++s) row.DebitExTax[s] = std::int64_t{1} << s;
  auto slots = [](std::initializer_list<int> list) {
    std::int64_t v = 0;
    for (int s : list) v |= std::int64_t{1} << s;
    return v;
  };
  // April-March: March is the last month (year-end adjustments), February is not.
  EXPECT_EQ(Balance(row, 0, Conditions(4, 103, 0, 3)), slots({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(Balance(row, 0, Conditions(4, 103, 0, 2)), slots({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  // September is the sixth month: the interim adjustments only with PeriodOption 1.
  EXPECT_EQ(Balance(row, 0, Conditions(4, 103, 1, 9), 1), slots({0, 1, 2, 3, 4, 5, 6, 14}));
  EXPECT_EQ(Balance(row, 0, Conditions(4, 103, 0, 9), 0), slots({0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Balance(row, 0, Conditions(4, 103, 1, 8), 1), slots({0, 1, 2, 3, 4, 5}));
  // A six-month period ending with its sixth month: both adjustments.
  EXPECT_EQ(Balance(row, 0, Conditions(4, 9, 1, 9), 1), slots({0, 1, 2, 3, 4, 5, 6, 13, 14}));
  EXPECT_EQ(Balance(row, 0, Conditions(10, 103, 1, 3), 1), slots({0, 1, 2, 3, 4, 5, 6, 13, 14}));
}

TEST(BalanceTest, OpeningSlotsBeforeTheFirstMonth) {
  // A list whose first month is 3: slots 0 to 2 are brought forward, on the account's side.
  StKAMOKUSUMINFO row = Row(2);
  row.CreditExTax[0] = 1000;
  row.CreditExTax[2] = 200;
  row.DebitExTax[1] = 50;
  row.DebitExTax[3] = 7;
  Conditions conds(4, 103, 0, 7);
  SetFindValue16(&conds.list[0], 3);
  EXPECT_EQ(Balance(row, 0, conds), 1000 + 200 - 50 - 7);
  // Values outside the slots are skipped, not read past the arrays.
  SetFindValue16(&conds.list[0], 40);
  SetFindValue16(&conds.list[1], 99);
  EXPECT_EQ(Balance(row, 0, conds), 1000 + 200 - 50 - 7);
}

TEST(BalanceTest, GuardedSumOverflowFails) {
  StKAMOKUSUMINFO row = Row(1);
  row.DebitExTax[0] = kAmountLimit - 1;
  row.DebitExTax[1] = 1;
  std::int64_t balance = 5;
  const Conditions month_1(4, 103, 0, 4);
  EXPECT_FALSE(ClBalanceAggregator::ComputeBalance(row, 0, month_1.list, Data(0), &balance));
  EXPECT_EQ(balance, 5);
  // Just below the limit is a balance.
  row.DebitExTax[1] = 0;
  EXPECT_TRUE(ClBalanceAggregator::ComputeBalance(row, 0, month_1.list, Data(0), &balance));
  EXPECT_EQ(balance, kAmountLimit - 1);
}

TEST(BalanceTest, NameCutNeverSplitsACharacter) {
  char out[17];
  ClBalanceAggregator::CutName("ABCDEFGHIJKLMNOPQR", out);
  EXPECT_EQ(std::string(out), "ABCDEFGHIJKLMNOP");
  // The sixteenth byte would start a double-byte character: 15 bytes.
  const std::string fifteen_and_kanji = "ABCDEFGHIJKLMNO" + win32::Sjis("預");
  ClBalanceAggregator::CutName(fifteen_and_kanji.c_str(), out);
  EXPECT_EQ(std::string(out), "ABCDEFGHIJKLMNO");
  // Eight double-byte characters fill 16 bytes; trail bytes 0x5C stay.
  const std::string eight = win32::Sjis("ソソソソ表表表表");
  ClBalanceAggregator::CutName((eight + "X").c_str(), out);
  EXPECT_EQ(std::string(out), eight);
  ClBalanceAggregator::CutName("", out);
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(out[16], '\0');
}
