// The account master set over the host database's `accounts` table.
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "host/account_reads.h"
#include "host/master_stmt_pool.h"
#include "platform/rule.h"

namespace {
host::HostDb& Db() { return host::HostDb::Inst(); }
}  // namespace

using host::Prepare;
using host::ReadFailed;
using host::ReadRowInt;
using host::ValidCondition;

struct ClSetKamoku::Cursor {
  sqlite3_stmt* stmt = nullptr;  // prepared for `op`
  std::int16_t op = 0;
  std::int64_t last_id = std::numeric_limits<std::int64_t>::min();  // the last entry delivered
  ~Cursor() { host::MasterStmts().Give(op, stmt); }
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

long ClSetKamoku::WalkFind(const StFINDINFO* cond, StKAMOKUINFO* info, long cursor, std::string* why) {
  long result = 0;
  if (Db().Fault("WalkFind", &result)) return result;
  if (cursor < 1 || static_cast<std::size_t>(cursor) > m_cursors.size() || !m_cursors[cursor - 1])
    return kPlatformBadCursor;
  if (cond == nullptr || info == nullptr || !ValidCondition(*cond, kFindFieldAccountId))
    return kPlatformNotReady;
  Cursor& c = *m_cursors[cursor - 1];
  if (c.stmt == nullptr || c.op != cond->Operator) {
    host::MasterStmts().Give(c.op, c.stmt);
    c.op = cond->Operator;
    c.stmt = host::MasterStmts().Take(c.op);
    if (c.stmt == nullptr) {
      std::string columns, error;
      if (!Db().SelectList("accounts", {"account_id", "list_flag"}, &columns, &error))
        return host::FailWith(kPlatformDbError, host::HostDb::Refusal(error), why);
      const char* compare = cond->Operator == kFindOpEqual     ? "="
                            : cond->Operator == kFindOpAtLeast ? ">="
                                                               : "<=";
      // From a subquery, so that a missing list_flag reads as its default here too.
      c.stmt = Prepare(("SELECT account_id, list_flag FROM (SELECT data_no, " + columns +
                        " FROM accounts) WHERE data_no = ?1 AND list_flag IS NOT NULL AND account_id " +
                        compare + " ?2 AND account_id > ?3 ORDER BY account_id LIMIT 1")
                           .c_str());
    }
    if (c.stmt == nullptr) return ReadFailed("reading the account master", why);
  }
  sqlite3_reset(c.stmt);
  sqlite3_bind_int(c.stmt, 1, CurDataNo());
  sqlite3_bind_int64(c.stmt, 2, FindValue(*cond));
  sqlite3_bind_int64(c.stmt, 3, c.last_id);
  const int rc = sqlite3_step(c.stmt);
  if (rc == SQLITE_DONE) return kPlatformEnd;
  if (rc != SQLITE_ROW) return ReadFailed("reading the account master", why);
  const auto row = [&] { return "account_id " + host::HostDb::RowKey(c.stmt, 0); };
  std::int64_t id = 0, flag = 0;
  if (!ReadRowInt(c.stmt, 0, "accounts", row, "account_id", INT32_MIN, INT32_MAX, &id, why) ||
      !ReadRowInt(c.stmt, 1, "accounts", row, "list_flag", INT8_MIN, INT8_MAX, &flag, why)) {
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
