// The account master's search statements, shared by the account master set and the aggregation rule.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace host {

// The account master's search statements, kept for reuse while an aggregation rule is open: the
// aggregation opens a cursor for every row it reads, and preparing a statement each time would cost more
// than the search. With no rule open a released cursor's statement is finalized at once, so nothing holds
// the database when it is closed outside an aggregation.
struct MasterStmtPool {
  int open_rules = 0;
  std::vector<std::pair<std::int16_t, sqlite3_stmt*>> idle;  // (operator, statement)

  // An idle statement for the operator on the open database; null when there is none.
  sqlite3_stmt* Take(std::int16_t op);
  // Keeps the statement for reuse while a rule is open, else finalizes it.
  void Give(std::int16_t op, sqlite3_stmt* stmt);
  void Flush();
};

// The open connection's pool (host::Current()).
MasterStmtPool& MasterStmts();

}  // namespace host
