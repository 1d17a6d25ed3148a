// The aggregation over the host database: the listing rule, the failure table, the progress calls and
// large row counts.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/balance_aggregator.h"
#include "aggregation/period.h"
#include "host/host_db.h"
#include "tests/support/host_fixture.h"
#include "win32/codepage.h"

namespace {
// Records the progress calls: "A<from>-<to>" for Advance, "P" for a Pulse.
class RecordingProgress : public ClProgress {
 public:
  void ResetOverall() override {}
  void Advance(std::int16_t from, std::int16_t to) override {
    std::string call = "A";  // (appended: "A" + std::string trips GCC 12's -Wrestrict at -O3)
    call += std::to_string(from);
    call += '-';
    call += std::to_string(to);
    calls.push_back(call);
  }
  void Pulse() override { calls.push_back("P"); }
  std::string LastAdvance() const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
      if ((*it)[0] == 'A') return *it;
    return "";
  }
  long Pulses() const { return std::count(calls.begin(), calls.end(), "P"); }
  std::vector<std::string> calls;
};

class AggregatorTest : public ::testing::Test {
 protected:
  void TearDown() override {
    agg_.reset();  // a rule left by a failure goes before the database closes
    for (auto* row : rows_) delete row;
  }

  // Adds main accounts 1..n (ids 10000 * i) with slot 0 debit i yen.
  void AddPlainAccounts(int n) {
    host_.Exec(
        "INSERT INTO accounts (data_no, account_id, name) WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL "
        "SELECT i + 1 FROM k WHERE i < " +
        std::to_string(n) +
        ") SELECT 1, i * 10000, 'A' || i FROM k;"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex) WITH RECURSIVE k(i) AS (SELECT 1 UNION "
        "ALL SELECT i + 1 FROM k WHERE i < " +
        std::to_string(n) + ") SELECT 1, i * 10000, 0, i * 10000 FROM k;");
  }

  // Opens the host and aggregates month-to `to` of the selected company (April-March).
  int Run(std::int16_t to = 3, std::int32_t tax = 0) {
    OpenHost(host_);
    auto* data_set = static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1));
    data_ = *data_set->GetSelectedInfo();
    std::memset(conds_, 0, sizeof conds_);
    std::int16_t c = 0;
    GetPeriodMonths(data_.PeriodStart, data_.PeriodEnd, &c, nullptr);
    MakeSumConditions(conds_, &data_, c, to);
    agg_->m_pProgress = &progress_;
    agg_->m_pRows = &rows_;
    return agg_->Aggregate(tax, conds_, &data_);
  }

  std::vector<std::int32_t> Ids() const {
    std::vector<std::int32_t> ids;
    for (const auto* r : rows_) ids.push_back(r->AccountId);
    return ids;
  }

  TempDir dir_;
  HostBuilder host_{dir_};
  HostGuard guard_;
  RecordingProgress progress_;
  ClZandakaList rows_;
  StDATAINFO data_{};
  StFINDINFO conds_[4];
  std::unique_ptr<ClBalanceAggregator> agg_ = std::make_unique<ClBalanceAggregator>();
};
}  // namespace

TEST_F(AggregatorTest, ListsOnlyTheAccountsTheReportMayShow) {
  host_.Exec(
      "INSERT INTO accounts (data_no, account_id, name, balance_side, list_flag, exclude1, exclude2, "
      "attributes) "
      "VALUES (1, 10000, '売上高', 2, 0, 0, 0, 0), (1, 20000, 'ex1', 1, 0, 1, 0, 0),"
      "(1, 30000, 'ex2', 1, 0, 0, 1, 0), (1, 40000, 'bit27', 1, 0, 0, 0, 134217728),"
      "(1, 50000, 'bit28', 1, 0, 0, 0, 268435456), (1, 60000, 'flag2', 1, 2, 0, 0, 0),"
      "(1, 70000, 'unknown', 1, NULL, 0, 0, 0), (1, 80000, 'flag1', 1, 1, 0, 0, 0),"
      "(1, 90000, 'flag-1', 1, -1, 0, 0, 0), (1, 100000, 'bit26', 1, 0, 0, 0, 67108864),"
      "(1, 11300000, '普通預金', 1, 0, 0, 1, 0), (1, 11300001, '北浜銀行', 1, 0, 0, 0, 0),"
      "(1, 11300002, '南町信用金庫', 1, 0, 0, 0, 0),"
      "(1, 21000000, '買掛金', 2, 0, 0, 0, 0), (1, 21000001, '東都商会', 2, 0, 0, 0, 0);"
      "INSERT INTO totals (data_no, account_id, slot, credit_ex) VALUES (1, 10000, 1, 500000),"
      "(1, 21000001, 0, 70000);");
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Ids(), (std::vector<std::int32_t>{10000, 80000, 100000, 11300001, 11300002, 21000000, 21000001,
                                              21000000}));
  auto it = rows_.begin();
  EXPECT_STREQ((*it)->Name, win32::Sjis("売上高").c_str());
  EXPECT_EQ((*it)->Balance, 500000);
  EXPECT_EQ((*std::next(it))->Balance, 0);  // a zero balance is listed all the same
  const auto* group_open = *std::next(it, 5);
  const auto* group_close = *std::next(it, 7);
  EXPECT_EQ(group_open->HasSubAccounts, 1);
  EXPECT_EQ(group_close->HasSubAccounts, 0);
  EXPECT_EQ(group_open->Balance, 70000);
  EXPECT_EQ(group_close->Balance, 70000);
  EXPECT_STREQ((*std::next(it, 4))->Name, win32::Sjis("南町信用金庫").c_str());
}

TEST_F(AggregatorTest, LookupListFlagSignExtendsAndAnswersMinusOneForUnknown) {
  host_.Exec(
      "INSERT INTO accounts (data_no, account_id, name, list_flag) VALUES (1, 10000, 'a', -3), (1, 20000, "
      "'b', 1),"
      "(1, 30000, 'c', NULL);");
  OpenHost(host_);
  EXPECT_EQ(agg_->LookupListFlag(10000), -3);
  EXPECT_EQ(agg_->LookupListFlag(20000), 1);
  EXPECT_EQ(agg_->LookupListFlag(30000), -1);
  EXPECT_EQ(agg_->LookupListFlag(40000), -1);
}

TEST_F(AggregatorTest, TaxModeChoosesTheArrays) {
  host_.Exec(
      "INSERT INTO accounts (data_no, account_id, name, balance_side) VALUES (1, 50000, '仕入高', 1);"
      "INSERT INTO totals VALUES (1, 50000, 1, 1000000, 1100000, 0, 0), (1, 50000, 2, 0, 0, 50000, 55000);");
  ASSERT_EQ(Run(5, 1), 1);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(rows_.front()->Balance, 1045000);
}

TEST_F(AggregatorTest, ProgressCallsInOrder) {
  AddPlainAccounts(3);
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(progress_.calls,
            (std::vector<std::string>{"A0-100", "A100-300", "A300-400", "P", "P", "P", "A400-500"}));
  EXPECT_EQ(agg_->m_pRule, nullptr);
  EXPECT_EQ(sqlite3_next_stmt(host::HostDb::Inst().Handle(), nullptr), nullptr);  // nothing left prepared
}

TEST_F(AggregatorTest, FailureTable) {
  struct Case {
    const char* fault;
    long rows;                 // rows listed afterwards
    const char* last_advance;  // where the bar stays
    bool rule_kept;
  };
  const Case cases[] = {
      {"('NewRule', 0, 1)", 0, "A0-100", false},
      {"('GetSumCount', 0, 7)", 0, "A100-300", true},
      {"('SetMovePos', 0, 7)", 0, "A300-400", true},
      {"('MoveNext', 4, 7)", 4, "A300-400", true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    HostBuilder host(dir);
    host.Exec("INSERT INTO faults VALUES " + std::string(c.fault) + ";");
    host.Exec(
        "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 10000, 'a'), (1, 20000, 'b'), "
        "(1, 30000, 'c'), (1, 40000, 'd'), (1, 50000, 'e'), (1, 60000, 'f'), (1, 70000, 'g');");
    OpenHost(host);
    RecordingProgress progress;
    ClZandakaList rows;
    {
      ClBalanceAggregator agg;
      agg.m_pProgress = &progress;
      agg.m_pRows = &rows;
      StDATAINFO data = *static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1))->GetSelectedInfo();
      StFINDINFO conds[4];
      std::memset(conds, 0, sizeof conds);
      MakeSumConditions(conds, &data, 4, 3);
      EXPECT_EQ(agg.Aggregate(0, conds, &data), 0) << c.fault;
      EXPECT_EQ(static_cast<long>(rows.size()), c.rows) << c.fault;
      EXPECT_EQ(progress.LastAdvance(), c.last_advance) << c.fault;
      EXPECT_EQ(agg.m_pRule != nullptr, c.rule_kept) << c.fault;
    }  // the destructor frees a rule that was kept
    for (auto* r : rows) delete r;
  }
}

TEST_F(AggregatorTest, ACountOfZeroSucceedsWithNoRows) {
  ASSERT_EQ(Run(), 1);
  EXPECT_TRUE(rows_.empty());
  EXPECT_EQ(progress_.calls, (std::vector<std::string>{"A0-100", "A100-300", "A300-400", "A400-500"}));
}

TEST_F(AggregatorTest, TheRulesEndBeforeTheCountedRowsIsANormalEnd) {
  AddPlainAccounts(6);
  host_.Exec("INSERT INTO faults VALUES ('MoveNext', 3, 5000);");
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Ids(), (std::vector<std::int32_t>{10000, 20000, 30000}));
  EXPECT_EQ(progress_.Pulses(), 4);
  EXPECT_EQ(progress_.LastAdvance(), "A400-500");
  EXPECT_EQ(agg_->m_pRule, nullptr);
}

TEST_F(AggregatorTest, AnOverflowFailsAndKeepsTheRowsBefore) {
  host_.Exec(
      "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 10000, 'a'), (1, 20000, 'big'), (1, "
      "30000, 'c');"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 20000, 0, 999999999999999999),"
      "(1, 20000, 1, 1);");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Ids(), (std::vector<std::int32_t>{10000}));
  EXPECT_EQ(progress_.LastAdvance(), "A300-400");
  EXPECT_NE(agg_->m_pRule, nullptr);
}

TEST_F(AggregatorTest, FortyThousandRowsAreAllRead) {
  AddPlainAccounts(40000);
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(rows_.size(), 40000u);
  EXPECT_EQ(progress_.Pulses(), 40000);
  EXPECT_EQ(rows_.back()->AccountId, 400000000);
  EXPECT_EQ(rows_.back()->Balance, 40000 * 10000);
  EXPECT_STREQ(rows_.back()->Name, "A40000");
}

TEST(DemoAggregationTest, TheDemoCompanysBooksBalanceInEveryMonth) {
  // Every entry of the demo books has equal debits and credits, so the listed balances of the accounts
  // (not the group rows) on the debit side equal those on the credit side, month by month and in both
  // tax modes. The bank's group rows carry the sum of its sub-accounts.
  HostGuard guard;
  host::HostDb::SetPath(std::string(UW_BIN_DIR) + "/demo-host.sqlite");
  std::string error;
  ASSERT_TRUE(host::Connect(&error)) << error;
  std::map<std::int32_t, int> side;
  {
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(host::HostDb::Inst().Handle(),
                                 "SELECT account_id, balance_side FROM accounts WHERE data_no = 1", -1, &st,
                                 nullptr),
              SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW) side[sqlite3_column_int(st, 0)] = sqlite3_column_int(st, 1);
    sqlite3_finalize(st);
  }
  StDATAINFO data = *static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1))->GetSelectedInfo();
  for (std::int32_t tax : {0, 1}) {
    for (std::int16_t to : {4, 9, 12, 3}) {
      StFINDINFO conds[4];
      std::memset(conds, 0, sizeof conds);
      MakeSumConditions(conds, &data, 4, to);
      ClZandakaList rows;
      ClBalanceAggregator agg;
      agg.m_pRows = &rows;
      ASSERT_EQ(agg.Aggregate(tax, conds, &data), 1);
      std::int64_t debit = 0, credit = 0, bank_subs = 0;
      std::vector<std::int64_t> bank_groups;
      std::int32_t open_group = 0;
      for (const auto* r : rows) {
        if (r->AccountId == 11300000) bank_groups.push_back(r->Balance);
        if (r->AccountId > 11300000 && r->AccountId < 11310000) bank_subs += r->Balance;
        if (r->HasSubAccounts != 0) {
          open_group = r->AccountId;
          continue;
        }
        if (r->AccountId == open_group) {
          open_group = 0;
          continue;
        }
        (side[r->AccountId] == 1 ? debit : credit) += r->Balance;
      }
      EXPECT_EQ(debit, credit) << "tax " << tax << ", month-to " << to;
      EXPECT_GT(debit, 0);
      EXPECT_EQ(bank_groups, (std::vector<std::int64_t>{bank_subs, bank_subs}));
      EXPECT_EQ(rows.size(), side.size());  // one excluded account, one closing group row
      for (auto* r : rows) delete r;
    }
  }
}
