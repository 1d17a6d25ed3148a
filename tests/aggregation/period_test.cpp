// The period's month numbering, the month range rule and the month conditions, for the usual periods.
#include "aggregation/period.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_db.h"
#include "tests/support/host_fixture.h"

namespace {
struct Period {
  const char* what;
  std::int32_t start, end, option;
  std::int16_t c, last_code;
  // The period month l of each month-to 0..13; 0 where the range rule refuses the month.
  std::vector<int> l;
};

const Period kPeriods[] = {
    {"April-March", 20230401, 20240331, 0, 4, 103, {0, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}},
    {"April-March, interim", 20230401, 20240331, 1, 4, 103, {0, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}},
    {"January-December", 20230101, 20231231, 1, 1, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0}},
    {"15 June-31 March", 20230615, 20240331, 0, 6, 103, {0, 8, 9, 10, 0, 0, 1, 2, 3, 4, 5, 6, 7, 0}},
    // The books close on the 20th, so 21 April lies in the accounting month of May.
    {"21 April-20 April", 20230421, 20240420, 0, 5, 104, {0, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 0}},
    {"April-September, interim", 20230401, 20230930, 1, 4, 9, {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0}},
    {"October-March, interim", 20231001, 20240331, 1, 10, 103, {0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0}},
};

struct Cond {
  std::int16_t op, value, link;
  bool operator==(const Cond&) const = default;
};

std::vector<Cond> Read(const StFINDINFO (&list)[4]) {
  std::vector<Cond> out;
  for (const auto& c : list) {
    if (c.FieldNo == 0) break;
    EXPECT_EQ(+c.FieldNo, kFindFieldMonthCode);
    EXPECT_EQ(+c.ValueType, kFindValue16);
    out.push_back({c.Operator, FindValue16(c), c.Link});
  }
  return out;
}

class PeriodTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenHost(host_); }
  TempDir dir_;
  HostBuilder host_{dir_};
  HostGuard guard_;
};
}  // namespace

TEST_F(PeriodTest, EveryMonthOfTheUsualPeriods) {
  for (const auto& p : kPeriods) {
    std::int16_t c = 0, last = 0;
    GetPeriodMonths(p.start, p.end, &c, &last);
    EXPECT_EQ(c, p.c) << p.what;
    EXPECT_EQ(last, p.last_code) << p.what;
    StDATAINFO data;
    std::memset(&data, 0, sizeof data);
    data.PeriodStart = p.start;
    data.PeriodEnd = p.end;
    data.PeriodOption = p.option;
    for (int to = 0; to <= 13; ++to) {
      const std::string where = std::string(p.what) + ", month-to " + std::to_string(to);
      const int l = p.l[static_cast<std::size_t>(to)];
      EXPECT_EQ(CheckMonthRange(p.c, to, p.start, p.end), l != 0) << where;
      if (l == 0) continue;
      StFINDINFO list[4];
      std::memset(list, 0, sizeof list);
      MakeSumConditions(list, &data, p.c, static_cast<std::int16_t>(to));
      std::vector<Cond> expected = {{kFindOpAtLeast, 1, kFindLinkAnd},
                                    {kFindOpAtMost, static_cast<std::int16_t>(l), 0}};
      if (p.option == 1 && l == 6) {
        expected.back().link = kFindLinkOr;
        expected.push_back({kFindOpEqual, 15, 0});
      }
      if (to == p.last_code % 100) {
        expected.back().link = kFindLinkOr;
        expected.push_back({kFindOpEqual, 18, 0});
      }
      EXPECT_EQ(Read(list), expected) << where;
    }
  }
}

TEST_F(PeriodTest, ConditionListsOfTheFourKinds) {
  // April-September with the interim option: the range of all six months takes 15 and 18.
  StDATAINFO data;
  std::memset(&data, 0, sizeof data);
  data.PeriodStart = 20230401;
  data.PeriodEnd = 20230930;
  data.PeriodOption = 1;
  StFINDINFO list[4];
  std::memset(list, 0, sizeof list);
  MakeSumConditions(list, &data, 4, 9);
  EXPECT_EQ(Read(list), (std::vector<Cond>{{4, 1, 1}, {6, 6, 2}, {1, 15, 2}, {1, 18, 0}}));
  // Without the option the same range takes only 18.
  data.PeriodOption = 0;
  std::memset(list, 0, sizeof list);
  MakeSumConditions(list, &data, 4, 9);
  EXPECT_EQ(Read(list), (std::vector<Cond>{{4, 1, 1}, {6, 6, 2}, {1, 18, 0}}));
  // An ordinary month: nothing but the range; the unused conditions stay zero.
  std::memset(list, 0, sizeof list);
  MakeSumConditions(list, &data, 4, 7);
  EXPECT_EQ(Read(list), (std::vector<Cond>{{4, 1, 1}, {6, 4, 0}}));
  const StFINDINFO zero{};
  EXPECT_EQ(std::memcmp(&list[2], &zero, sizeof zero), 0);
  EXPECT_EQ(std::memcmp(&list[3], &zero, sizeof zero), 0);
}

TEST_F(PeriodTest, APeriodEndingInItsFirstCalendarMonthLiesInOneYear) {
  // A calendar answering April for 21 April: L = 4, so only month 4 is valid, the period's first.
  for (int to = 0; to <= 13; ++to) EXPECT_EQ(CheckMonthRangeOf(4, to, 4, 4), to == 4) << to;
  StFINDINFO list[4];
  std::memset(list, 0, sizeof list);
  MakeSumConditionsOf(list, 4, 4, 0, 4, 4);
  EXPECT_EQ(Read(list), (std::vector<Cond>{{4, 1, 1}, {6, 1, 2}, {1, 18, 0}}));
}

TEST_F(PeriodTest, RangeRuleForOtherMonthsFrom) {
  // April-March (c 4, L 103): a month-from in the next year's part needs a month-to after it and
  // before the end; a month-from or month-to between g and c does not exist in the period.
  EXPECT_TRUE(CheckMonthRangeOf(1, 3, 4, 103));
  EXPECT_FALSE(CheckMonthRangeOf(2, 1, 4, 103));
  // April-September (c 4, L 9): month-from after month-to, or before c.
  EXPECT_FALSE(CheckMonthRangeOf(6, 5, 4, 9));
  EXPECT_FALSE(CheckMonthRangeOf(3, 5, 4, 9));
  EXPECT_TRUE(CheckMonthRangeOf(5, 5, 4, 9));
  // 15 June-31 March (c 6, L 103): month-from 4 or 5 lies between the period's end and start.
  EXPECT_FALSE(CheckMonthRangeOf(5, 7, 6, 103));
  EXPECT_FALSE(CheckMonthRangeOf(6, 4, 6, 103));
}

TEST_F(PeriodTest, WithoutAPeriodObjectTheCalendarMonthStands) {
  host_.Exec("INSERT INTO faults VALUES ('NewPeriod', 0, 1);");
  OpenHost(host_);
  std::int16_t c = 0, last = 0;
  GetPeriodMonths(20230421, 20240420, &c, &last);
  EXPECT_EQ(c, 4);
  EXPECT_EQ(last, 4);
  GetPeriodMonths(20230615, 20240331, &c, &last);
  EXPECT_EQ(c, 6);
  EXPECT_EQ(last, 103);
  // One output only: the other is left alone.
  std::int16_t untouched = -7;
  GetPeriodMonths(20230401, 20240331, nullptr, &untouched);
  EXPECT_EQ(untouched, 103);
  untouched = -7;
  GetPeriodMonths(20230401, 20240331, &untouched, nullptr);
  EXPECT_EQ(untouched, 4);
  // The dialog's rule then works on the calendar months: 21 April-20 April accepts only April.
  EXPECT_TRUE(CheckMonthRange(4, 4, 20230421, 20240420));
  EXPECT_FALSE(CheckMonthRange(4, 5, 20230421, 20240420));
}
