// Reading the host database's account tables, shared by the account master set and the aggregation rule:
// statements, read failures, checked integers of a row and the search conditions they accept.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/host_db.h"
#include "platform/rule.h"

namespace host {

// Prepares a statement on the host database; null when the database is not open or the SQL does not
// compile (a missing table).
sqlite3_stmt* Prepare(const char* sql);

// A failure to read the host database, answered as the platform's database error; *why (when not null)
// receives its line.
long ReadFailed(const char* what, std::string* why);

// An integer of the row the statement stands on, within [min, max]. The row's name (made by `row`) is
// built only for a refusal, whose line *why receives: a walk reads millions of these values.
template <typename RowName>
bool ReadRowInt(sqlite3_stmt* stmt, int col, const char* table, const RowName& row, const char* column,
                std::int64_t min, std::int64_t max, std::int64_t* out, std::string* why) {
  if (sqlite3_column_type(stmt, col) == SQLITE_INTEGER) {
    const std::int64_t value = sqlite3_column_int64(stmt, col);
    if (value >= min && value <= max) {
      *out = value;
      return true;
    }
  }
  std::string error;
  if (HostDb::ReadInt(stmt, col, table, row(), column, min, max, out, &error)) return true;
  HandBack(HostDb::Refusal(error), why);
  return false;
}

// A text of the row the statement stands on (HostDb::ReadText), with the same care for the row's name.
template <typename RowName>
bool ReadRowText(sqlite3_stmt* stmt, int col, const char* table, const RowName& row, const char* column,
                 std::size_t max_bytes, std::string* out, std::string* why) {
  std::string error;
  if (HostDb::ReadText(stmt, col, table, std::string(), column, max_bytes, out, &error)) return true;
  error.clear();
  HostDb::ReadText(stmt, col, table, row(), column, max_bytes, out, &error);
  HandBack(HostDb::Refusal(error), why);
  return false;
}

// True when the condition is one these tables can answer: on `field`, with a known operator and value type.
bool ValidCondition(const StFINDINFO& cond, std::int32_t field);

}  // namespace host
