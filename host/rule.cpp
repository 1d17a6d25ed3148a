// The account master set, the account aggregation rule and the accounting-period calendar over the host
// database's `accounts` and `totals` tables.
#include "platform/rule.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_db.h"
#include "win32/signals.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }

constexpr std::size_t kMaxDataIdText = 34;
constexpr std::size_t kMaxAccountName = sizeof(StKAMOKUSUMINFO::Name) - 1;
constexpr int kSlots = 15;

// Prepares a statement on the host database; null when the database is not open or the SQL does not
// compile (a missing table).
sqlite3_stmt* Prepare(const char* sql) {
  sqlite3* db = Db().Handle();
  if (db == nullptr) return nullptr;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

// A failure to read the host database: recorded for the run's one-line error, answered as the platform's
// database error.
long ReadFailed(const char* what) {
  Db().NoteReadError(what);
  return kPlatformDbError;
}

// Sums that wrap instead of overflowing: the totals are the platform's and are not range-checked here.
std::int64_t WrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// An integer of the row the statement stands on, within [min, max]. The row's name (made by `row`) is
// built only for a refusal, which is kept for the program: a walk reads millions of these values.
template <typename RowName>
bool ReadRowInt(sqlite3_stmt* stmt, int col, const char* table, const RowName& row, const char* column,
                std::int64_t min, std::int64_t max, std::int64_t* out) {
  if (sqlite3_column_type(stmt, col) == SQLITE_INTEGER) {
    const std::int64_t value = sqlite3_column_int64(stmt, col);
    if (value >= min && value <= max) {
      *out = value;
      return true;
    }
  }
  std::string error;
  if (host::HostDb::ReadInt(stmt, col, table, row(), column, min, max, out, &error)) return true;
  Db().NoteRefusal(error);
  return false;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Splits a yyyymmdd date; false when it is no calendar date.
bool SplitDate(std::int32_t date, int* y, int* m, int* d) {
  if (date <= 0) return false;
  *y = date / 10000;
  *m = (date % 10000) / 100;
  *d = date % 100;
  return *y >= 1 && *m >= 1 && *m <= 12 && *d >= 1 && *d <= DaysInMonth(*y, *m);
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

bool ValidCondition(const StFINDINFO& cond, std::int32_t field) {
  return cond.FieldNo == field &&
         (cond.Operator == kFindOpEqual || cond.Operator == kFindOpAtLeast ||
          cond.Operator == kFindOpAtMost) &&
         (cond.ValueType == kFindValue16 || cond.ValueType == kFindValue32);
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// Conditions

std::int16_t FindValue16(const StFINDINFO& cond) {
  std::int16_t v;
  std::memcpy(&v, cond.Value, sizeof v);
  return v;
}

std::int32_t FindValue(const StFINDINFO& cond) {
  if (cond.ValueType == kFindValue32) {
    std::int32_t v;
    std::memcpy(&v, cond.Value, sizeof v);
    return v;
  }
  return FindValue16(cond);
}

void SetFindValue16(StFINDINFO* cond, std::int16_t value) {
  std::memset(cond->Value, 0, sizeof cond->Value);
  std::memcpy(cond->Value, &value, sizeof value);
  cond->ValueType = kFindValue16;
}

void SetFindValue32(StFINDINFO* cond, std::int32_t value) {
  std::memcpy(cond->Value, &value, sizeof value);
  cond->ValueType = kFindValue32;
}

// ---------------------------------------------------------------------------------------------------
// ClSetBase, ClRuleBase

ClSetBase::~ClSetBase() = default;

long ClSetBase::AttachSetMgr(ClSetMgr* mgr) {
  m_pSetMgr = mgr;
  return 0;
}

long ClSetBase::SetCurDataID(const char* data_id) {
  m_bDataIdSet = true;
  m_nDataNo = -1;
  if (data_id == nullptr) return kPlatformNoCompany;
  const host::Company* c = Db().FindCompanyById(std::string_view(data_id, strnlen(data_id, kMaxDataIdText)));
  if (c == nullptr) return kPlatformNoCompany;
  m_nDataNo = c->data_no;
  return 0;
}

std::int32_t ClSetBase::CurDataNo() const {
  if (m_bDataIdSet) return m_nDataNo;
  const host::Company* c = Db().FindCompanyByNo(Db().session().selected_no2);
  return c != nullptr ? c->data_no : -1;
}

long ClRuleBase::AttachOptLink(ClOptLink* link) {
  m_pOptLink = link;
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// ClSetKamoku

namespace {
// The account master's search statements, kept for reuse while an aggregation rule is open: the
// aggregation opens a cursor for every row it reads, and preparing a statement each time would cost more
// than the search. With no rule open a released cursor's statement is finalized at once, so nothing holds
// the database when it is closed outside an aggregation.
struct MasterStmtPool {
  int open_rules = 0;
  std::vector<std::pair<std::int16_t, sqlite3_stmt*>> idle;  // (operator, statement)

  sqlite3_stmt* Take(std::int16_t op) {
    for (auto it = idle.begin(); it != idle.end(); ++it) {
      if (it->first == op && sqlite3_db_handle(it->second) == Db().Handle()) {
        sqlite3_stmt* stmt = it->second;
        idle.erase(it);
        return stmt;
      }
    }
    return nullptr;
  }
  void Give(std::int16_t op, sqlite3_stmt* stmt) {
    if (stmt == nullptr) return;
    if (open_rules > 0 && sqlite3_db_handle(stmt) == Db().Handle()) {
      sqlite3_reset(stmt);
      idle.emplace_back(op, stmt);
    } else {
      sqlite3_finalize(stmt);
    }
  }
  void Flush() {
    for (auto& [op, stmt] : idle) sqlite3_finalize(stmt);
    idle.clear();
  }
};

MasterStmtPool& Pool() {
  static MasterStmtPool pool;
  return pool;
}
}  // namespace

struct ClSetKamoku::Cursor {
  sqlite3_stmt* stmt = nullptr;  // prepared for `op`
  std::int16_t op = 0;
  std::int64_t last_id = std::numeric_limits<std::int64_t>::min();  // the last entry delivered
  ~Cursor() { Pool().Give(op, stmt); }
};

ClSetKamoku::ClSetKamoku() = default;
ClSetKamoku::~ClSetKamoku() = default;

long ClSetKamoku::GetCursor(long* cursor) {
  for (std::size_t i = 0; i < m_cursors.size(); ++i) {
    if (!m_cursors[i]) {
      m_cursors[i] = std::make_unique<Cursor>();
      *cursor = static_cast<long>(i) + 1;
      return 0;
    }
  }
  m_cursors.push_back(std::make_unique<Cursor>());
  *cursor = static_cast<long>(m_cursors.size());
  return 0;
}

long ClSetKamoku::ReadyCursor(long cursor) {
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size() || !m_cursors[cursor - 1])
    return kPlatformBadCursor;
  m_cursors[cursor - 1]->last_id = std::numeric_limits<std::int64_t>::min();
  return 0;
}

long ClSetKamoku::WalkFind(const StFINDINFO* cond, StKAMOKUINFO* info, long cursor) {
  long result = 0;
  if (Db().Fault("WalkFind", &result)) return result;
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size() || !m_cursors[cursor - 1])
    return kPlatformBadCursor;
  if (cond == nullptr || info == nullptr || !ValidCondition(*cond, kFindFieldAccountId))
    return kPlatformNotReady;
  Cursor& c = *m_cursors[cursor - 1];
  if (c.stmt == nullptr || c.op != cond->Operator) {
    Pool().Give(c.op, c.stmt);
    c.op = cond->Operator;
    c.stmt = Pool().Take(c.op);
    if (c.stmt == nullptr) {
      std::string columns, error;
      if (!Db().SelectList("accounts", {"account_id", "list_flag"}, &columns, &error)) {
        Db().NoteRefusal(error);
        return kPlatformDbError;
      }
      const char* compare = cond->Operator == kFindOpEqual     ? "="
                            : cond->Operator == kFindOpAtLeast ? ">="
                                                               : "<=";
      // From a subquery, so that a missing list_flag reads as its default here too.
      c.stmt = Prepare(("SELECT account_id, list_flag FROM (SELECT data_no, " + columns +
                        " FROM accounts) WHERE data_no = ?1 AND list_flag IS NOT NULL AND account_id " +
                        compare + " ?2 AND account_id > ?3 ORDER BY account_id LIMIT 1")
                           .c_str());
    }
    if (c.stmt == nullptr) return ReadFailed("reading the account master");
  }
  sqlite3_reset(c.stmt);
  sqlite3_bind_int(c.stmt, 1, CurDataNo());
  sqlite3_bind_int64(c.stmt, 2, FindValue(*cond));
  sqlite3_bind_int64(c.stmt, 3, c.last_id);
  const int rc = sqlite3_step(c.stmt);
  if (rc == SQLITE_DONE) return kPlatformEnd;
  if (rc != SQLITE_ROW) return ReadFailed("reading the account master");
  const auto row = [&] { return "account_id " + host::HostDb::RowKey(c.stmt, 0); };
  std::int64_t id = 0, flag = 0;
  if (!ReadRowInt(c.stmt, 0, "accounts", row, "account_id", INT32_MIN, INT32_MAX, &id) ||
      !ReadRowInt(c.stmt, 1, "accounts", row, "list_flag", INT8_MIN, INT8_MAX, &flag)) {
    sqlite3_reset(c.stmt);
    return kPlatformBadValue;
  }
  std::memset(info, 0, sizeof *info);
  info->AccountId = static_cast<std::int32_t>(id);
  info->ListFlag = static_cast<std::int8_t>(flag);
  c.last_id = info->AccountId;
  sqlite3_reset(c.stmt);
  return 0;
}

long ClSetKamoku::ReleaseCursor(long cursor) {
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size() || !m_cursors[cursor - 1])
    return kPlatformBadCursor;
  m_cursors[cursor - 1].reset();
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// ClRuleKamoku

namespace {
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
  std::int32_t data_no = -1;
  bool slot_wanted[kSlots] = {};

  std::optional<AccountEntry> peeked;  // read ahead while looking for sub-accounts
  bool accounts_done = false;
  bool totals_row = false;  // `totals` stands on a row not yet taken
  bool totals_done = false;
  std::deque<StKAMOKUSUMINFO> pending;
  long deferred = 0;  // a failure met while reading ahead

  ~Walk() {
    sqlite3_finalize(count);
    sqlite3_finalize(accounts);
    sqlite3_finalize(totals);
  }

  void Rewind() {
    sqlite3_reset(accounts);
    sqlite3_reset(totals);
    peeked.reset();
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
    if (rc != SQLITE_ROW) return ReadFailed("reading the accounts");
    *e = AccountEntry{};
    const auto row = [&] { return "account_id " + host::HostDb::RowKey(accounts, 0); };
    const char* const t = "accounts";
    std::int64_t id = 0, side = 0, ex1 = 0, ex2 = 0, attributes = 0, flag = 0;
    if (!ReadRowInt(accounts, 0, t, row, "account_id", INT32_MIN, INT32_MAX, &id)) return kPlatformBadValue;
    std::string error;
    if (!host::HostDb::ReadText(accounts, 1, t, row(), "name", kMaxAccountName, &e->name, &error)) {
      Db().NoteRefusal(error);
      return kPlatformBadText;
    }
    // The record's byte-sized fields and its 32-bit attributes; list_flag is the account master's (a
    // signed byte, NULL where the master does not know the account), checked here as the row enters.
    if (!ReadRowInt(accounts, 2, t, row, "balance_side", 0, UINT8_MAX, &side) ||
        !ReadRowInt(accounts, 3, t, row, "exclude1", 0, UINT8_MAX, &ex1) ||
        !ReadRowInt(accounts, 4, t, row, "exclude2", 0, UINT8_MAX, &ex2) ||
        !ReadRowInt(accounts, 5, t, row, "attributes", INT32_MIN, INT32_MAX, &attributes) ||
        (sqlite3_column_type(accounts, 6) != SQLITE_NULL &&
         !ReadRowInt(accounts, 6, t, row, "list_flag", INT8_MIN, INT8_MAX, &flag)))
      return kPlatformBadValue;
    e->id = static_cast<std::int32_t>(id);
    e->balance_side = static_cast<std::uint8_t>(side);
    e->exclude1 = static_cast<std::uint8_t>(ex1);
    e->exclude2 = static_cast<std::uint8_t>(ex2);
    e->attributes = static_cast<std::int32_t>(attributes);
    // Totals come in the same order: skip those of accounts that have no row, take this account's.
    while (!totals_done) {
      if (!totals_row) {
        const int trc = sqlite3_step(totals);
        if (trc == SQLITE_DONE) {
          totals_done = true;
          break;
        }
        if (trc != SQLITE_ROW) return ReadFailed("reading the totals");
        totals_row = true;
      }
      std::int64_t tid = 0;
      if (!ReadTotalsValue(0, "account_id", INT32_MIN, INT32_MAX, &tid)) return kPlatformBadValue;
      if (tid > e->id) break;
      totals_row = false;
      if (tid < e->id) continue;
      std::int64_t slot = 0;
      if (!ReadTotalsValue(1, "slot", 0, kSlots - 1, &slot)) return kPlatformBadValue;
      static const char* const kAmounts[4] = {"debit_ex", "debit_in", "credit_ex", "credit_in"};
      for (int k = 0; k < 4; ++k)
        if (!ReadTotalsValue(2 + k, kAmounts[k], INT64_MIN, INT64_MAX, &e->totals[k][slot]))
          return kPlatformBadValue;
    }
    return 0;
  }

  // A value of the totals row the statement stands on; a refusal is kept for the program.
  bool ReadTotalsValue(int col, const char* column, std::int64_t min, std::int64_t max, std::int64_t* out) {
    const auto row = [&] {
      return "account_id " + host::HostDb::RowKey(totals, 0) + " slot " + host::HostDb::RowKey(totals, 1);
    };
    return ReadRowInt(totals, col, "totals", row, column, min, max, out);
  }

  void Push(const AccountEntry& e, const std::int64_t (&totals)[4][kSlots], bool has_sub) {
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
      row.DebitExTax[s] = totals[0][s];
      row.DebitInTax[s] = totals[1][s];
      row.CreditExTax[s] = totals[2][s];
      row.CreditInTax[s] = totals[3][s];
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
        if (e.id > main.id && e.id < main.id + 10000) {
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

ClRuleKamoku::ClRuleKamoku() { ++Pool().open_rules; }

ClRuleKamoku::~ClRuleKamoku() {
  if (--Pool().open_rules == 0) Pool().Flush();
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
                       &totals, &error)) {
    Db().NoteRefusal(error);
    return m_nReadyResult = kPlatformDbError;
  }
  walk->accounts =
      Prepare(("SELECT " + accounts + " FROM accounts WHERE data_no = ?1 ORDER BY account_id").c_str());
  walk->totals =
      Prepare(("SELECT " + totals + " FROM totals WHERE data_no = ?1 ORDER BY account_id, slot").c_str());
  if (walk->count == nullptr || walk->accounts == nullptr || walk->totals == nullptr)
    return m_nReadyResult = ReadFailed("preparing the aggregation");
  for (sqlite3_stmt* s : {walk->count, walk->accounts, walk->totals}) sqlite3_bind_int(s, 1, walk->data_no);
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

long ClRuleKamoku::GetSumCount(std::uint32_t* count) {
  long result = 0;
  if (Db().Fault("GetSumCount", &result)) return result;
  if (m_nReadyResult != 0) return m_nReadyResult;
  if (count == nullptr) return kPlatformNotReady;
  sqlite3_reset(m_pWalk->count);
  if (sqlite3_step(m_pWalk->count) != SQLITE_ROW) return ReadFailed("counting the accounts");
  *count = static_cast<std::uint32_t>(sqlite3_column_int64(m_pWalk->count, 0));
  sqlite3_reset(m_pWalk->count);
  return 0;
}

long ClRuleKamoku::SetMovePos(std::uint32_t pos) {
  long result = 0;
  if (Db().Fault("SetMovePos", &result)) return result;
  if (m_nReadyResult != 0) return m_nReadyResult;
  m_pWalk->Rewind();
  StKAMOKUSUMINFO skipped;
  for (std::uint32_t i = 0; i < pos; ++i) {
    const long rc = Fill(&skipped);
    if (rc != 0) return rc;
  }
  return 0;
}

long ClRuleKamoku::Fill(StKAMOKUSUMINFO* row) {
  while (m_pWalk->pending.empty()) {
    const long rc = m_pWalk->NextGroup();
    if (rc != 0) return rc;
  }
  *row = m_pWalk->pending.front();
  m_pWalk->pending.pop_front();
  return 0;
}

long ClRuleKamoku::MoveNext(StKAMOKUSUMINFO* row) {
  win32::TestStop("aggregation");
  long result = 0;
  if (Db().Fault("MoveNext", &result)) return result;
  if (m_nReadyResult != 0) return m_nReadyResult;
  if (row == nullptr) return kPlatformNotReady;
  return Fill(row);
}

long ClRuleKamoku::MoveFinish() {
  m_pWalk.reset();
  m_nReadyResult = kPlatformNotReady;
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// ClAccPeriod

ClAccPeriod* ClAccPeriod::Create() {
  long result = 0;
  if (Db().Fault("NewPeriod", &result)) return nullptr;
  return new (std::nothrow) ClAccPeriod();
}

ClAccPeriod::~ClAccPeriod() = default;

long ClAccPeriod::SetPeriod(std::int32_t start, std::int32_t end) {
  m_lStart = start;
  m_lEnd = end;
  int y, m, d;
  return SplitDate(start, &y, &m, &d) && SplitDate(end, &y, &m, &d) && start <= end ? 0 : 1;
}

long ClAccPeriod::GetClosingDayByEndDate(std::int32_t end, int, std::int32_t* closing_day) {
  int y, m, d;
  if (closing_day == nullptr) return 1;
  if (!SplitDate(end, &y, &m, &d)) {
    *closing_day = 31;  // books that close at each month end
    return 1;
  }
  *closing_day = d == DaysInMonth(y, m) ? 31 : d;
  return 0;
}

long ClAccPeriod::SetClosingDay(std::int32_t closing_day) {
  if (closing_day < 1 || closing_day > 31) {
    m_nClosingDay = 31;
    return 1;
  }
  m_nClosingDay = closing_day;
  return 0;
}

long ClAccPeriod::GetAMonthByDate(std::int32_t date, std::int32_t* month, int) {
  int y, m, d;
  if (month == nullptr || !SplitDate(date, &y, &m, &d)) return 1;
  *month = d <= m_nClosingDay ? m : m % 12 + 1;
  return 0;
}
