// The account master's statement pool.
#include "host/master_stmt_pool.h"

#include <algorithm>
#include <cassert>

#include "host/host_db.h"

namespace host {

// The pool's rules: rules open and close in pairs, and statements wait idle only while one is open.
#define ASSERT_POOL_STATE() assert(open_rules >= 0 && (open_rules > 0 || idle.empty()))

sqlite3_stmt* MasterStmtPool::Take(std::int16_t op) {
  ASSERT_POOL_STATE();
  for (auto it = idle.begin(); it != idle.end(); ++it) {
    if (it->first == op && sqlite3_db_handle(it->second) == HostDb::Inst().Handle()) {
      sqlite3_stmt* stmt = it->second;
      idle.erase(it);
      return stmt;
    }
  }
  return nullptr;
}

void MasterStmtPool::Give(std::int16_t op, sqlite3_stmt* stmt) {
  if (stmt == nullptr) return;
  ASSERT_POOL_STATE();
  assert(std::none_of(idle.begin(), idle.end(), [stmt](const auto& kept) { return kept.second == stmt; }) &&
         "a statement is given back once");
  if (open_rules > 0 && sqlite3_db_handle(stmt) == HostDb::Inst().Handle()) {
    sqlite3_reset(stmt);
    idle.emplace_back(op, stmt);
  } else {
    sqlite3_finalize(stmt);
  }
}

void MasterStmtPool::Flush() {
  assert(open_rules == 0 && "the statements are finalized when the last rule closes");
  for (auto& [op, stmt] : idle) sqlite3_finalize(stmt);
  idle.clear();
}

MasterStmtPool& MasterStmts() { return Current().master_stmts; }

}  // namespace host
