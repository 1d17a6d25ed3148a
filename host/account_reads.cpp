// Statements and checked reads over the host database's account tables.
#include "host/account_reads.h"

namespace host {

sqlite3_stmt* Prepare(const char* sql) {
  sqlite3* db = HostDb::Inst().Handle();
  if (db == nullptr) return nullptr;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

long ReadFailed(const char* what, std::string* why) {
  return FailWith(kPlatformDbError, HostDb::Inst().ReadFailure(what), why);
}

bool ValidCondition(const StFINDINFO& cond, std::int32_t field) {
  return cond.FieldNo == field &&
         (cond.Operator == kFindOpEqual || cond.Operator == kFindOpAtLeast ||
          cond.Operator == kFindOpAtMost) &&
         (cond.ValueType == kFindValue16 || cond.ValueType == kFindValue32);
}

}  // namespace host
