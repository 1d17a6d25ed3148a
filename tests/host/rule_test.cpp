// The account aggregation rule, the account master set and the period calendar over the host database.
#include "platform/rule.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/host_db.h"
#include "tests/support/host_fixture.h"
#include "win32/codepage.h"

namespace {
StFINDINFO MonthCond(std::int16_t op, std::int16_t value, std::int16_t link) {
  StFINDINFO c;
  std::memset(&c, 0, sizeof c);
  c.FieldNo = kFindFieldMonthCode;
  c.Operator = op;
  SetFindValue16(&c, value);
  c.Link = link;
  return c;
}

class RuleTest : public ::testing::Test {
 protected:
  // Company 1 of the builder plus: a main account with two sub-accounts (the second without totals), a
  // plain account, a sub-account whose main account has no row, and company 2's own account.
  void AddAccounts() {
    host_.Exec(
        "INSERT INTO companies (data_no, data_id, name, period_start, period_end) "
        "VALUES (2, 'D0000002', 'Other', 20230101, 20231231);"
        "INSERT INTO accounts (data_no, account_id, name, balance_side, list_flag, exclude1, exclude2, "
        "attributes) "
        "VALUES (1, 11300000, '普通預金', 1, 0, 0, 1, 268435456), (1, 11300001, '北浜銀行', 1, 2, 0, 0, 0),"
        "(1, 11300002, '南町信用金庫', 1, NULL, 0, 0, 0), (1, 11100000, '現金', 1, 0, 0, 0, 0),"
        "(1, 52000003, '孤立補助', 2, 0, 1, 0, 0), (2, 11100000, 'Cash2', 1, 0, 0, 0, 0);"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex, debit_in, credit_ex, credit_in) VALUES "
        "(1, 11100000, 0, 100, 110, 1, 2), (1, 11100000, 3, 30, 33, 5, 6), (1, 11100000, 13, 7, 8, 9, 10),"
        "(1, 11100000, 14, 70, 80, 90, 100),"
        "(1, 11300000, 1, 1000, 1000, 0, 0), (1, 11300001, 1, 20, 20, 3, 3), (1, 11300001, 12, 4, 4, 0, 0),"
        "(1, 99990000, 1, 5, 5, 5, 5), (2, 11100000, 1, 999, 999, 999, 999);");
  }

  std::unique_ptr<ClRuleKamoku> Ready(const std::vector<StFINDINFO>& conds,
                                      const char* data_id = "D0000001") {
    std::unique_ptr<ClRuleKamoku> rule(ClRuleKamoku::Create());
    EXPECT_NE(rule, nullptr);
    if (!rule) return rule;
    rule->AttachSetMgr(ClDataMgr::Inst()->GetSetMgr());
    rule->SetCurDataID(data_id);
    rule->AttachOptLink(ClLinkMgr::Inst()->GetOptLink());
    rule->MoveReady(ClRuleKamoku::SumBase_Kamoku, ClRuleKamoku::SumBmn_None, ClRuleKamoku::SumDisp_Normal,
                    conds.data(), nullptr, ClRuleKamoku::SumPast_None);
    return rule;
  }

  static std::vector<StKAMOKUSUMINFO> ReadAll(ClRuleKamoku* rule, long* end) {
    std::vector<StKAMOKUSUMINFO> rows;
    StKAMOKUSUMINFO row;
    while ((*end = rule->MoveNext(&row)) == 0) rows.push_back(row);
    return rows;
  }

  TempDir dir_;
  HostBuilder host_{dir_};
  HostGuard guard_;
};

const std::vector<StFINDINFO> kMonths1To3 = {MonthCond(kFindOpAtLeast, 1, kFindLinkAnd),
                                             MonthCond(kFindOpAtMost, 3, kFindLinkEnd)};
}  // namespace

TEST_F(RuleTest, DeliversEveryAccountInOrderWithSubAccountGroups) {
  AddAccounts();
  OpenHost(host_);
  auto rule = Ready(kMonths1To3);
  std::uint32_t count = 0;
  ASSERT_EQ(rule->GetSumCount(&count), 0);
  ASSERT_EQ(rule->SetMovePos(0), 0);
  long end = 0;
  auto rows = ReadAll(rule.get(), &end);
  EXPECT_EQ(end, kPlatformEnd);
  EXPECT_EQ(rule->MoveNext(rows.data()), kPlatformEnd);
  ASSERT_EQ(rows.size(), count);
  std::vector<std::pair<std::int32_t, int>> seen;
  for (const auto& r : rows) seen.emplace_back(+r.AccountId, +r.HasSubAccounts);
  const std::vector<std::pair<std::int32_t, int>> expected = {{11100000, 0}, {11300000, 1}, {11300001, 0},
                                                              {11300002, 0}, {11300000, 0}, {52000003, 0}};
  EXPECT_EQ(seen, expected);

  // Columns of the accounts row.
  EXPECT_STREQ(rows[0].Name, win32::Sjis("現金").c_str());
  EXPECT_EQ(+rows[1].ExcludeFlag2, 1);
  EXPECT_EQ(+rows[1].Attributes, 268435456);
  EXPECT_EQ(+rows[5].ExcludeFlag1, 1);
  EXPECT_EQ(+rows[5].BalanceSide, 2);
  // Both main rows carry the group's totals; the sub-account rows their own; no totals are zeros.
  for (int i : {1, 4}) {
    EXPECT_STREQ(rows[i].Name, win32::Sjis("普通預金").c_str());
    EXPECT_EQ(+rows[i].DebitExTax[1], 1020);
    EXPECT_EQ(+rows[i].CreditInTax[1], 3);
  }
  EXPECT_EQ(+rows[2].DebitExTax[1], 20);
  for (int s = 0; s < 15; ++s) EXPECT_EQ(+rows[3].DebitExTax[s], 0);
  // Slot 0 always; months 1..3 asked for; slot 12 and the adjustments not.
  EXPECT_EQ(+rows[0].DebitExTax[0], 100);
  EXPECT_EQ(+rows[0].DebitInTax[0], 110);
  EXPECT_EQ(+rows[0].CreditExTax[3], 5);
  EXPECT_EQ(+rows[0].CreditInTax[3], 6);
  EXPECT_EQ(+rows[0].DebitExTax[13], 0);
  EXPECT_EQ(+rows[0].DebitExTax[14], 0);
  EXPECT_EQ(+rows[1].DebitExTax[12], 0);
}

TEST_F(RuleTest, FillsSlotsByTheConditionsWithAndBeforeOr) {
  AddAccounts();
  OpenHost(host_);
  struct Case {
    const char* what;
    std::vector<StFINDINFO> conds;
    std::vector<int> filled;  // slots of 現金 that carry totals (0, 3, 13, 14 have some)
  };
  const std::vector<Case> cases = {
      {"1..2", {MonthCond(4, 1, 1), MonthCond(6, 2, 0)}, {0}},
      {"1..6 or 15", {MonthCond(4, 1, 1), MonthCond(6, 6, 2), MonthCond(1, 15, 0)}, {0, 3, 14}},
      {"1..12 or 18", {MonthCond(4, 1, 1), MonthCond(6, 12, 2), MonthCond(1, 18, 0)}, {0, 3, 13}},
      {"1..6 or 15 or 18",
       {MonthCond(4, 1, 1), MonthCond(6, 6, 2), MonthCond(1, 15, 2), MonthCond(1, 18, 0)},
       {0, 3, 13, 14}},
      // "equal 3 and (at most 3 or equal 18)" would leave 13 out; "and" binding tighter takes it.
      {"3 and ..3 or 18", {MonthCond(1, 3, 1), MonthCond(6, 3, 2), MonthCond(1, 18, 0)}, {0, 3, 13}},
      {"3 or 18 and 15", {MonthCond(1, 3, 2), MonthCond(1, 18, 1), MonthCond(1, 15, 0)}, {0, 3}},
  };
  for (const auto& c : cases) {
    auto rule = Ready(c.conds);
    StKAMOKUSUMINFO row;
    ASSERT_EQ(rule->MoveNext(&row), 0) << c.what;
    ASSERT_EQ(+row.AccountId, 11100000);
    std::vector<int> filled;
    for (int s = 0; s < 15; ++s)
      if (row.DebitExTax[s] != 0) filled.push_back(s);
    EXPECT_EQ(filled, c.filled) << c.what;
  }
}

TEST_F(RuleTest, WorksOnTheCompanyOfTheDataId) {
  AddAccounts();
  OpenHost(host_);
  auto rule = Ready(kMonths1To3, "D0000002");
  std::uint32_t count = 0;
  ASSERT_EQ(rule->GetSumCount(&count), 0);
  EXPECT_EQ(count, 1u);
  StKAMOKUSUMINFO row;
  ASSERT_EQ(rule->MoveNext(&row), 0);
  EXPECT_EQ(+row.DebitExTax[1], 999);
  EXPECT_EQ(rule->MoveNext(&row), kPlatformEnd);
}

TEST_F(RuleTest, SetMovePosRewindsTheWalk) {
  AddAccounts();
  OpenHost(host_);
  auto rule = Ready(kMonths1To3);
  long end = 0;
  auto first = ReadAll(rule.get(), &end);
  ASSERT_EQ(rule->SetMovePos(2), 0);
  auto rest = ReadAll(rule.get(), &end);
  ASSERT_EQ(rest.size(), first.size() - 2);
  EXPECT_EQ(std::memcmp(&rest[0], &first[2], sizeof rest[0]), 0);
}

TEST_F(RuleTest, FailuresAnswerNonZeroWithoutCrashing) {
  AddAccounts();
  OpenHost(host_);
  std::uint32_t count = 77;
  // Unknown company.
  EXPECT_NE(Ready(kMonths1To3, "NOSUCH")->GetSumCount(&count), 0);
  // A list without an end, and a condition on another field.
  std::vector<StFINDINFO> endless(4, MonthCond(4, 1, 1));
  EXPECT_NE(Ready(endless)->GetSumCount(&count), 0);
  auto other_field = kMonths1To3;
  other_field[1].FieldNo = 2;
  EXPECT_NE(Ready(other_field)->GetSumCount(&count), 0);
  // Never made ready.
  std::unique_ptr<ClRuleKamoku> bare(ClRuleKamoku::Create());
  StKAMOKUSUMINFO row;
  EXPECT_NE(bare->GetSumCount(&count), 0);
  EXPECT_NE(bare->MoveNext(&row), 0);
  EXPECT_NE(bare->MoveNext(&row), kPlatformEnd);
  EXPECT_EQ(count, 77u);
}

TEST_F(RuleTest, MissingTablesFailGetSumCountWithALineNamingTheTable) {
  for (const char* table : {"totals", "accounts"}) {
    host_.Exec(std::string("DROP TABLE ") + table + ";");
    OpenHost(host_);
    std::uint32_t count = 0;
    std::string why;
    EXPECT_NE(Ready(kMonths1To3)->GetSumCount(&count, &why), 0);
    EXPECT_EQ(why.rfind("host database " + host_.path() + ": ", 0), 0u) << why;
    EXPECT_NE(why.find(table), std::string::npos) << why;
  }
}

TEST_F(RuleTest, AnAccountNameThatIsNoTextFailsMoveNext) {
  host_.Exec(
      "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 10000, 'ok'), (1, 20000, x'81'),"
      "(1, 30000, 'after');");
  OpenHost(host_);
  auto rule = Ready(kMonths1To3);
  std::uint32_t count = 0;
  ASSERT_EQ(rule->GetSumCount(&count), 0);
  EXPECT_EQ(count, 3u);
  StKAMOKUSUMINFO row;
  std::string why;
  EXPECT_EQ(rule->MoveNext(&row, &why), 0);
  EXPECT_EQ(why, "");
  const long rc = rule->MoveNext(&row, &why);
  EXPECT_NE(rc, 0);
  EXPECT_NE(rc, kPlatformEnd);
  EXPECT_NE(why.find("host database " + host_.path() + ": accounts row account_id 20000 column name: "),
            std::string::npos)
      << why;
  // The failure is the call's, not the connection's: the next rule counts without one.
  why.clear();
  EXPECT_EQ(Ready(kMonths1To3)->GetSumCount(&count, &why), 0);
  EXPECT_EQ(why, "");
}

TEST_F(RuleTest, FaultRowsMakeTheCallsFail) {
  AddAccounts();
  host_.Exec(
      "INSERT INTO faults VALUES ('NewRule', 1, 1), ('GetSumCount', 0, 33), ('SetMovePos', 1, 44),"
      "('MoveNext', 2, 55);");
  OpenHost(host_);
  auto rule = Ready(kMonths1To3);  // the first rule is made
  EXPECT_EQ(ClRuleKamoku::Create(), nullptr);
  std::uint32_t count = 0;
  EXPECT_EQ(rule->GetSumCount(&count), 33);
  EXPECT_EQ(rule->SetMovePos(0), 0);
  EXPECT_EQ(rule->SetMovePos(0), 44);
  StKAMOKUSUMINFO row;
  EXPECT_EQ(rule->MoveNext(&row), 0);
  EXPECT_EQ(rule->MoveNext(&row), 0);
  EXPECT_EQ(rule->MoveNext(&row), 55);
}

TEST_F(RuleTest, AccountMasterFindsListedAccountsOnly) {
  AddAccounts();
  OpenHost(host_);
  auto* master = static_cast<ClSetKamoku*>(ClDataMgr::Inst()->GetSetObject(1, 1));
  ASSERT_NE(master, nullptr);
  StFINDINFO cond;
  std::memset(&cond, 0, sizeof cond);
  cond.FieldNo = kFindFieldAccountId;
  cond.Operator = kFindOpEqual;
  SetFindValue32(&cond, 11300001);
  long cursor = 0;
  ASSERT_EQ(master->GetCursor(&cursor), 0);
  ASSERT_EQ(master->ReadyCursor(cursor), 0);
  StKAMOKUINFO info;
  std::memset(&info, 0x55, sizeof info);
  ASSERT_EQ(master->WalkFind(&cond, &info, cursor), 0);
  EXPECT_EQ(+info.AccountId, 11300001);
  EXPECT_EQ(+info.ListFlag, 2);
  EXPECT_EQ(master->WalkFind(&cond, &info, cursor), kPlatformEnd);  // the walk is over
  // list_flag NULL: not in the master; the buffer is left as it was.
  SetFindValue32(&cond, 11300002);
  ASSERT_EQ(master->ReadyCursor(cursor), 0);
  EXPECT_EQ(master->WalkFind(&cond, &info, cursor), kPlatformEnd);
  EXPECT_EQ(+info.AccountId, 11300001);
  // "At least" walks on in account order, skipping the unlisted one.
  cond.Operator = kFindOpAtLeast;
  SetFindValue32(&cond, 11300000);
  ASSERT_EQ(master->ReadyCursor(cursor), 0);
  std::vector<std::int32_t> ids;
  while (master->WalkFind(&cond, &info, cursor) == 0) ids.push_back(+info.AccountId);
  EXPECT_EQ(ids, (std::vector<std::int32_t>{11300000, 11300001, 52000003}));
  EXPECT_EQ(master->ReleaseCursor(cursor), 0);
  EXPECT_NE(master->WalkFind(&cond, &info, cursor), 0);
  EXPECT_NE(master->ReleaseCursor(cursor), 0);
}

TEST_F(RuleTest, PeriodCalendarFollowsTheClosingDay) {
  host_.Exec("INSERT INTO faults VALUES ('NewPeriod', 7, 1);");
  OpenHost(host_);
  struct Case {
    std::int32_t end, closing, date, month;
  };
  const Case cases[] = {
      {20240331, 31, 20230401, 4}, {20240229, 31, 20230331, 3}, {20230228, 31, 20220131, 1},
      {20240228, 28, 20230301, 3}, {20240420, 20, 20230421, 5}, {20240420, 20, 20230420, 4},
      {20241220, 20, 20231221, 1},
  };
  for (const auto& c : cases) {
    std::unique_ptr<ClAccPeriod> period(ClAccPeriod::Create());
    ASSERT_NE(period, nullptr);
    period->SetPeriod(c.date, c.end);
    std::int32_t closing = 0;
    EXPECT_EQ(period->GetClosingDayByEndDate(c.end, 0, &closing), 0);
    EXPECT_EQ(closing, c.closing) << c.end;
    period->SetClosingDay(closing);
    std::int32_t month = 0;
    EXPECT_EQ(period->GetAMonthByDate(c.date, &month, 0), 0);
    EXPECT_EQ(month, c.month) << c.date;
    std::int32_t untouched = 99;
    EXPECT_NE(period->GetAMonthByDate(20231301, &untouched, 0), 0);
    EXPECT_EQ(untouched, 99);
  }
  EXPECT_EQ(ClAccPeriod::Create(), nullptr);  // the eighth creation meets the fault row
}

TEST_F(RuleTest, NoStatementOutlivesItsCursorOrRule) {
  // A statement left prepared would keep the database from closing.
  AddAccounts();
  OpenHost(host_);
  sqlite3* db = host::HostDb::Inst().Handle();
  auto* master = static_cast<ClSetKamoku*>(ClDataMgr::Inst()->GetSetObject(1, 1));
  StFINDINFO cond;
  std::memset(&cond, 0, sizeof cond);
  cond.FieldNo = kFindFieldAccountId;
  cond.Operator = kFindOpEqual;
  SetFindValue32(&cond, 11100000);
  StKAMOKUINFO info;
  auto lookup = [&] {
    long cursor = 0;
    master->GetCursor(&cursor);
    master->ReadyCursor(cursor);
    EXPECT_EQ(master->WalkFind(&cond, &info, cursor), 0);
    master->ReleaseCursor(cursor);
  };
  lookup();
  EXPECT_EQ(sqlite3_next_stmt(db, nullptr), nullptr);
  {
    auto rule = Ready(kMonths1To3);
    EXPECT_NE(sqlite3_next_stmt(db, nullptr), nullptr);
    for (int i = 0; i < 3; ++i) lookup();  // searches during the aggregation reuse their statement
    rule->MoveFinish();
  }
  EXPECT_EQ(sqlite3_next_stmt(db, nullptr), nullptr);
}
