// The account master's statement pool.
#include "host/master_stmt_pool.h"

#include "host/host_db.h"

namespace host {

sqlite3_stmt* MasterStmtPool::Take(std::int16_t op) {
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
  if (open_rules > 0 && sqlite3_db_handle(stmt) == HostDb::Inst().Handle()) {
    sqlite3_reset(stmt);
    idle.emplace_back(op, stmt);
  } else {
    sqlite3_finalize(stmt);
  }
}

void MasterStmtPool::Flush() {
  for (auto& [op, stmt] : idle) sqlite3_finalize(stmt);
  idle.clear();
}

MasterStmtPool& MasterStmts() { return Current().master_stmts; }

}  // namespace host
