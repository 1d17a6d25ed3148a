// The account aggregation rule over the host database's `accounts` and `totals` tables.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/account_reads.h"
#include "host/master_stmt_pool.h"
#include "platform/rule.h"
#include "win32/signals.h"

using host::Prepare;
using host::ReadFailed;
using host::ReadRowInt;
using host::ReadRowText;
using host::ValidCondition;

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }

constexpr std::size_t kMaxAccountName = sizeof(StKAMOKUSUMINFO::Name) - 1;
constexpr int kSlots = 15;

// Sums that wrap instead of overflowing: the totals are the platform's and are not range-checked here.
std::int64_t WrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// The month code of a slot of the total arrays.
int MonthCodeOfSlot(int slot) { return slot <= 12 ? slot : slot == 13 ? 18 : 15; }

bool Matches(const StFINDINFO& cond, std::int64_t value) {
  const std::int32_t v = FindValue(cond);
  switch (cond.Operator) {
    case kFindOpEqual:
      return value == v;
    case kFindOpAtLeast:
      return value >= v;
    case kFindOpAtMost:
      return value <= v;
    default:
      return false;
  }
}

// One `accounts` row with its totals.
struct AccountEntry {
  std::int32_t id = 0;
  std::string name;
  std::uint8_t balance_side = 0;
  std::uint8_t exclude1 = 0;
  std::uint8_t exclude2 = 0;
  std::int32_t attributes = 0;
  std::int64_t totals[4][kSlots] = {};  // debit ex, debit in, credit ex, credit in
};

void AddTotals(std::int64_t (&to)[4][kSlots], const std::int64_t (&from)[4][kSlots]) {
  for (int k = 0; k < 4; ++k)
    for (int s = 0; s < kSlots; ++s) to[k][s] = WrapAdd(to[k][s], from[k][s]);
}
}  // namespace

// The walk: the accounts in ascending order merged with their totals (both read by statements prepared
// once in MoveReady), and the rows of the current group that are built and not yet delivered.
struct ClRuleKamoku::Walk {
  sqlite3_stmt* count = nullptr;
  sqlite3_stmt* accounts = nullptr;
  sqlite3_stmt* totals = nullptr;
  sqlite3_stmt* stray_accounts = nullptr;  // a row whose data_no is no number
  sqlite3_stmt* stray_totals = nullptr;
  bool own_snapshot = false;  // the walk began the read transaction that it ends
  std::int32_t data_no = -1;
  bool slot_wanted[kSlots] = {};

  std::optional<AccountEntry> peeked;   // read ahead while looking for sub-accounts
  std::optional<std::int32_t> last_id;  // of the account read last
  bool accounts_done = false;
  bool totals_row = false;  // `totals` stands on a row not yet taken
  bool totals_done = false;
  std::deque<StKAMOKUSUMINFO> pending;
  long deferred = 0;    // a failure met while reading ahead
  std::string failure;  // the line of the walk's failure on the host database, if any

  ~Walk() {
    for (sqlite3_stmt* s : {count, accounts, totals, stray_accounts, stray_totals}) sqlite3_finalize(s);
    if (own_snapshot && Db().Handle() != nullptr)
      sqlite3_exec(Db().Handle(), "COMMIT", nullptr, nullptr, nullptr);
  }

  void Rewind() {
    sqlite3_reset(accounts);
    sqlite3_reset(totals);
    peeked.reset();
    last_id.reset();
    accounts_done = totals_row = totals_done = false;
    pending.clear();
    deferred = 0;
  }

  // Reads the next account with its totals: 0, kPlatformEnd at the end, or a failure.
  long ReadAccount(AccountEntry* e) {
    if (peeked) {
      *e = std::move(*peeked);
      peeked.reset();
      return 0;
    }
    if (accounts_done) return kPlatformEnd;
    const int rc = sqlite3_step(accounts);
    if (rc == SQLITE_DONE) {
      accounts_done = true;
      return kPlatformEnd;
    }
    if (rc != SQLITE_ROW) return ReadFailed("reading the accounts", &failure);
    *e = AccountEntry{};
    const auto row = [&] { return "account_id " + host::HostDb::RowKey(accounts, 0); };
    const char* const t = "accounts";
    std::int64_t id = 0, side = 0, ex1 = 0, ex2 = 0, attributes = 0, flag = 0;
    if (!ReadRowInt(accounts, 0, t, row, "account_id", INT32_MIN, INT32_MAX, &id, &failure))
      return kPlatformBadValue;
    // The key (data_no, account_id): a second row of an account would be listed twice.
    if (last_id == id)
      return host::FailWith(
          kPlatformBadValue,
          host::HostDb::Refusal("accounts row " + row() + " column account_id: a second row of this account"),
          &failure);
    last_id = static_cast<std::int32_t>(id);
    if (!ReadRowText(accounts, 1, t, row, "name", kMaxAccountName, &e->name, &failure))
      return kPlatformBadText;
    // The record's byte-sized fields and its 32-bit attributes (signed, or the unsigned pattern); list_flag
    // is the account master's (a signed byte, NULL where the master does not know the account), checked here
    // as the row enters.
    if (!ReadRowInt(accounts, 2, t, row, "balance_side", 0, UINT8_MAX, &side, &failure) ||
        !ReadRowInt(accounts, 3, t, row, "exclude1", 0, UINT8_MAX, &ex1, &failure) ||
        !ReadRowInt(accounts, 4, t, row, "exclude2", 0, UINT8_MAX, &ex2, &failure) ||
        !ReadRowInt(accounts, 5, t, row, "attributes", INT32_MIN, UINT32_MAX, &attributes, &failure) ||
        (sqlite3_column_type(accounts, 6) != SQLITE_NULL &&
         !ReadRowInt(accounts, 6, t, row, "list_flag", INT8_MIN, INT8_MAX, &flag, &failure)))
      return kPlatformBadValue;
    e->id = static_cast<std::int32_t>(id);
    e->balance_side = static_cast<std::uint8_t>(side);
    e->exclude1 = static_cast<std::uint8_t>(ex1);
    e->exclude2 = static_cast<std::uint8_t>(ex2);
    // The attribute word is a set of 32 bits, stored signed or as the unsigned pattern: the same bits.
    e->attributes = static_cast<std::int32_t>(static_cast<std::uint32_t>(attributes));
    return ReadTotalsOf(e);
  }

  // Reads the totals of the account just read into e->totals: 0, or a failure.
  long ReadTotalsOf(AccountEntry* e) {
    // Totals come in the same order: skip those of accounts that have no row, take this account's, one
    // row per slot (the key is data_no, account_id and slot: a second row would replace the first).
    std::uint32_t slots_read = 0;
    while (!totals_done) {
      if (!totals_row) {
        const int trc = sqlite3_step(totals);
        if (trc == SQLITE_DONE) {
          totals_done = true;
          break;
        }
        if (trc != SQLITE_ROW) return ReadFailed("reading the totals", &failure);
        totals_row = true;
      }
      std::int64_t tid = 0;
      if (!ReadTotalsValue(0, "account_id", INT32_MIN, INT32_MAX, &tid)) return kPlatformBadValue;
      if (tid > e->id) break;
      totals_row = false;
      if (tid < e->id) continue;
      std::int64_t slot = 0;
      if (!ReadTotalsValue(1, "slot", 0, kSlots - 1, &slot)) return kPlatformBadValue;
      if ((slots_read >> slot & 1) != 0)
        return host::FailWith(
            kPlatformBadValue,
            host::HostDb::Refusal("totals row account_id " + host::HostDb::RowKey(totals, 0) + " slot " +
                                  std::to_string(slot) +
                                  " column slot: a second row of this account and slot"),
            &failure);
      slots_read |= 1u << slot;
      static const char* const kAmounts[4] = {"debit_ex", "debit_in", "credit_ex", "credit_in"};
      for (int k = 0; k < 4; ++k)
        if (!ReadTotalsValue(2 + k, kAmounts[k], INT64_MIN, INT64_MAX, &e->totals[k][slot]))
          return kPlatformBadValue;
    }
    return 0;
  }

  // A value of the totals row the statement stands on; a refusal's line goes to `failure`.
  bool ReadTotalsValue(int col, const char* column, std::int64_t min, std::int64_t max, std::int64_t* out) {
    const auto row = [&] {
      return "account_id " + host::HostDb::RowKey(totals, 0) + " slot " + host::HostDb::RowKey(totals, 1);
    };
    return ReadRowInt(totals, col, "totals", row, column, min, max, out, &failure);
  }

  void Push(const AccountEntry& e, const std::int64_t (&amounts)[4][kSlots], bool has_sub) {
    StKAMOKUSUMINFO& row = pending.emplace_back();
    std::memset(&row, 0, sizeof row);
    row.AccountId = e.id;
    std::memcpy(row.Name, e.name.data(), std::min(e.name.size(), kMaxAccountName));
    row.ExcludeFlag1 = e.exclude1;
    row.ExcludeFlag2 = e.exclude2;
    row.HasSubAccounts = has_sub ? 1 : 0;
    row.BalanceSide = e.balance_side;
    row.Attributes = e.attributes;
    for (int s = 0; s < kSlots; ++s) {
      if (s != 0 && !slot_wanted[s]) continue;
      row.DebitExTax[s] = amounts[0][s];
      row.DebitInTax[s] = amounts[1][s];
      row.CreditExTax[s] = amounts[2][s];
      row.CreditInTax[s] = amounts[3][s];
    }
  }

  // Builds the rows of the next account group into `pending`: 0, kPlatformEnd, or a failure.
  long NextGroup() {
    if (deferred != 0) return deferred;
    AccountEntry main;
    long rc = ReadAccount(&main);
    if (rc != 0) return rc;
    std::vector<AccountEntry> subs;
    if (main.id % 10000 == 0) {
      for (;;) {
        AccountEntry e;
        rc = ReadAccount(&e);
        if (rc == kPlatformEnd) break;
        if (rc != 0) {
          // The rows read so far come first; the failure is the next move's answer.
          deferred = rc;
          break;
        }
        // In 64 bits: the main account's range may end beyond the largest 32-bit id.
        if (e.id > main.id && std::int64_t{e.id} < std::int64_t{main.id} + 10000) {
          subs.push_back(std::move(e));
        } else {
          peeked = std::move(e);
          break;
        }
      }
    }
    if (subs.empty()) {
      Push(main, main.totals, false);
      return 0;
    }
    std::int64_t group[4][kSlots];
    std::memcpy(group, main.totals, sizeof group);
    for (const auto& s : subs) AddTotals(group, s.totals);
    Push(main, group, true);
    for (const auto& s : subs) Push(s, s.totals, false);
    Push(main, group, false);
    return 0;
  }
};

ClRuleKamoku::ClRuleKamoku() { ++host::MasterStmts().open_rules; }

ClRuleKamoku::~ClRuleKamoku() {
  if (--host::MasterStmts().open_rules == 0) host::MasterStmts().Flush();
}

ClRuleKamoku* ClRuleKamoku::Create() {
  long result = 0;
  if (Db().Fault("NewRule", &result)) return nullptr;
  return new (std::nothrow) ClRuleKamoku();
}

long ClRuleKamoku::MoveReady(_RuleKamokuSumType_Base, _RuleKamokuSumType_Bmn, _RuleKamokuSumType_Disptype,
                             const StFINDINFO* conditions, const StBUMONINFO* bumon,
                             _RuleKamokuSumType_Past) {
  m_pWalk.reset();
  m_conditions.clear();
  m_strReadyFailure.clear();
  m_nReadyResult = kPlatformNotReady;
  // The host database keeps no department breakdown.
  if (conditions == nullptr || bumon != nullptr) return m_nReadyResult;
  for (int i = 0;; ++i) {
    if (i == kMaxConditions) return m_nReadyResult;  // no end within the list
    if (!ValidCondition(conditions[i], kFindFieldMonthCode)) return m_nReadyResult;
    m_conditions.push_back(conditions[i]);
    if (conditions[i].Link == kFindLinkEnd) break;
    if (conditions[i].Link != kFindLinkAnd && conditions[i].Link != kFindLinkOr) return m_nReadyResult;
  }
  auto walk = std::make_unique<Walk>();
  walk->data_no = CurDataNo();
  if (walk->data_no < 0) return m_nReadyResult = kPlatformNoCompany;
  walk->count = Prepare(
      "SELECT (SELECT COUNT(*) FROM accounts WHERE data_no = ?1) + "
      "(SELECT COUNT(*) FROM accounts m WHERE m.data_no = ?1 AND m.account_id % 10000 = 0 AND EXISTS "
      "(SELECT 1 FROM accounts s WHERE s.data_no = ?1 AND s.account_id > m.account_id "
      "AND s.account_id < m.account_id + 10000))");
  std::string accounts, totals, error;
  if (!Db().SelectList(
          "accounts",
          {"account_id", "name", "balance_side", "exclude1", "exclude2", "attributes", "list_flag"},
          &accounts, &error) ||
      !Db().SelectList("totals", {"account_id", "slot", "debit_ex", "debit_in", "credit_ex", "credit_in"},
                       &totals, &error))
    return m_nReadyResult =
               host::FailWith(kPlatformDbError, host::HostDb::Refusal(error), &m_strReadyFailure);
  walk->accounts =
      Prepare(("SELECT " + accounts + " FROM accounts WHERE data_no = ?1 ORDER BY account_id").c_str());
  walk->totals =
      Prepare(("SELECT " + totals + " FROM totals WHERE data_no = ?1 ORDER BY account_id, slot").c_str());
  // A data_no that is no number (NULL, a text such as '1', a blob) belongs to no company the walk can
  // name: such a row would be left out unseen. NULL sorts before the numbers and texts and blobs after
  // them, so the first and the last row by data_no show one (two steps of the table's key index).
  walk->stray_accounts = Prepare(
      "SELECT * FROM (SELECT account_id, data_no FROM accounts ORDER BY data_no LIMIT 1) UNION ALL "
      "SELECT * FROM (SELECT account_id, data_no FROM accounts ORDER BY data_no DESC LIMIT 1)");
  walk->stray_totals = Prepare(
      "SELECT * FROM (SELECT account_id, slot, data_no FROM totals ORDER BY data_no LIMIT 1) UNION ALL "
      "SELECT * FROM (SELECT account_id, slot, data_no FROM totals ORDER BY data_no DESC LIMIT 1)");
  if (walk->count == nullptr || walk->accounts == nullptr || walk->totals == nullptr ||
      walk->stray_accounts == nullptr || walk->stray_totals == nullptr)
    return m_nReadyResult = ReadFailed("preparing the aggregation", &m_strReadyFailure);
  for (sqlite3_stmt* s : {walk->count, walk->accounts, walk->totals}) sqlite3_bind_int(s, 1, walk->data_no);
  // The count and the walk read one snapshot of the file: rows that the accounting product adds or
  // removes meanwhile change neither, so the walk delivers exactly the rows counted.
  if (sqlite3_get_autocommit(Db().Handle()) != 0) {
    if (sqlite3_exec(Db().Handle(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
      return m_nReadyResult = ReadFailed("starting the aggregation's read", &m_strReadyFailure);
    walk->own_snapshot = true;
  }
  for (int s = 1; s < kSlots; ++s) walk->slot_wanted[s] = SlotWanted(s);
  m_pWalk = std::move(walk);
  return m_nReadyResult = 0;
}

bool ClRuleKamoku::SlotWanted(int slot) const {
  // An "or" of "and" groups.
  const int code = MonthCodeOfSlot(slot);
  bool group = true;
  for (const auto& cond : m_conditions) {
    group = group && Matches(cond, code);
    if (cond.Link != kFindLinkAnd) {
      if (group) return true;
      group = true;
    }
  }
  return false;
}

long ClRuleKamoku::GetSumCount(std::uint32_t* count, std::string* why) {
  long result = 0;
  if (Db().Fault("GetSumCount", &result)) return result;
  if (m_nReadyResult != 0) {
    if (!m_strReadyFailure.empty()) host::HandBack(m_strReadyFailure, why);
    return m_nReadyResult;
  }
  if (count == nullptr) return kPlatformNotReady;
  sqlite3_reset(m_pWalk->count);
  if (sqlite3_step(m_pWalk->count) != SQLITE_ROW) return ReadFailed("counting the accounts", why);
  *count = static_cast<std::uint32_t>(sqlite3_column_int64(m_pWalk->count, 0));
  sqlite3_reset(m_pWalk->count);
  for (auto [stmt, table] :
       {std::pair{m_pWalk->stray_accounts, "accounts"}, std::pair{m_pWalk->stray_totals, "totals"}}) {
    const bool totals = stmt == m_pWalk->stray_totals;
    const int col = totals ? 2 : 1;
    sqlite3_reset(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      const int type = sqlite3_column_type(stmt, col);
      if (type != SQLITE_NULL && type != SQLITE_TEXT && type != SQLITE_BLOB) continue;
      std::string row = "account_id " + host::HostDb::RowKey(stmt, 0);
      if (totals) row += " slot " + host::HostDb::RowKey(stmt, 1);
      std::string error;
      std::int64_t value = 0;
      host::HostDb::ReadInt(stmt, col, table, row, "data_no", INT32_MIN, INT32_MAX, &value, &error);
      sqlite3_reset(stmt);
      return host::FailWith(kPlatformBadValue, host::HostDb::Refusal(error), why);
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) return ReadFailed("reading the accounts", why);
  }
  return 0;
}

long ClRuleKamoku::SetMovePos(std::uint32_t pos, std::string* why) {
  long result = 0;
  if (Db().Fault("SetMovePos", &result)) return result;
  if (m_nReadyResult != 0) return m_nReadyResult;
  m_pWalk->Rewind();
  StKAMOKUSUMINFO skipped;
  for (std::uint32_t i = 0; i < pos; ++i) {
    const long rc = Fill(&skipped, why);
    if (rc != 0) return rc;
  }
  return 0;
}

long ClRuleKamoku::Fill(StKAMOKUSUMINFO* row, std::string* why) {
  while (m_pWalk->pending.empty()) {
    const long rc = m_pWalk->NextGroup();
    if (rc == 0) continue;
    if (rc != kPlatformEnd && !m_pWalk->failure.empty()) host::HandBack(m_pWalk->failure, why);
    return rc;
  }
  *row = m_pWalk->pending.front();
  m_pWalk->pending.pop_front();
  return 0;
}

long ClRuleKamoku::MoveNext(StKAMOKUSUMINFO* row, std::string* why) {
  win32::TestStop("aggregation");
  long result = 0;
  if (Db().Fault("MoveNext", &result)) return result;
  if (m_nReadyResult != 0) return m_nReadyResult;
  if (row == nullptr) return kPlatformNotReady;
  return Fill(row, why);
}

long ClRuleKamoku::MoveFinish() {
  m_pWalk.reset();
  m_nReadyResult = kPlatformNotReady;
  return 0;
}
