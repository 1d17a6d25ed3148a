// Generates a large host database for measurements:
//
//   gen_host OUT.sqlite ROWS [ROOT]
//
// One company (data_no 1, period 2023-04-01 to 2024-03-31) whose aggregation delivers ROWS rows: plain
// main accounts (one row each) and, every fifth account, a main account with three sub-accounts (five
// rows: the flagged main row, three sub-account rows and the closing main row). Every account has totals
// in all fifteen slots (opening balance, twelve months, the year-end and the interim adjustments). Drive
// C: is ROOT (default: the database's folder).
//
// Account ids are account code x 10000 + sub-account code and must fit a signed 32 bits: the codes run
// from 100 to 214748. Where three sub-accounts per group would need more codes than that (beyond about
// 386,000 rows), the groups get as many sub-accounts as the rows need, so that every id stays in range.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "res/schema_sql.h"

namespace {
bool Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "gen_host: %s\n", err != nullptr ? err : "error");
    sqlite3_free(err);
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_host OUT.sqlite ROWS [ROOT]\n");
    return 64;
  }
  const long rows = std::atol(argv[2]);
  const std::string root = argc > 3 ? argv[3] : ".";
  std::remove(argv[1]);
  sqlite3* db = nullptr;
  if (sqlite3_open(argv[1], &db) != SQLITE_OK) {
    std::fprintf(stderr, "gen_host: cannot create %s\n", argv[1]);
    return 1;
  }
  if (!Exec(db, kSchemaSql) || !Exec(db, "BEGIN")) return 1;
  Exec(db,
       "INSERT INTO session VALUES ('bench', 1, 1, 'C:\\Data', 'C:\\Settings', '');"
       "INSERT INTO companies (data_no, data_id, name, period_start, period_end) "
       "VALUES (1, 'BENCH0001', '株式会社計測', 20230401, 20240331);");
  sqlite3_stmt* drive = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO drives VALUES ('C', 3, ?)", -1, &drive, nullptr);
  sqlite3_bind_text(drive, 1, root.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(drive);
  sqlite3_finalize(drive);
  sqlite3_stmt* account = nullptr;
  sqlite3_stmt* total = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO accounts (data_no, account_id, name, balance_side) VALUES (1, ?, ?, ?)",
                     -1, &account, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO totals VALUES (1, ?, ?, ?, ?, ?, ?)", -1, &total, nullptr);
  auto add = [&](long id, const std::string& name, int side) {
    sqlite3_bind_int64(account, 1, id);
    sqlite3_bind_text(account, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(account, 3, side);
    sqlite3_step(account);
    sqlite3_reset(account);
    for (int slot = 0; slot <= 14; ++slot) {
      const long long base = (id % 9973 + 1) * 10000LL * (slot + 1);
      sqlite3_bind_int64(total, 1, id);
      sqlite3_bind_int(total, 2, slot);
      sqlite3_bind_int64(total, 3, base * 3);
      sqlite3_bind_int64(total, 4, base * 3 + base / 10);
      sqlite3_bind_int64(total, 5, base);
      sqlite3_bind_int64(total, 6, base + base / 10);
      sqlite3_step(total);
      sqlite3_reset(total);
    }
  };
  // Groups of five codes: four plain accounts (a row each) and one with `subs` sub-accounts (subs + 2
  // rows).
  constexpr long kFirstCode = 100;
  constexpr long kLastCode = 214748;             // 214748 x 10000 + 3647 is the largest 32-bit id
  constexpr long kMostSubs = INT32_MAX % 10000;  // 3647: what the last code's sub-accounts may reach
  constexpr long kGroups = (kLastCode - kFirstCode + 1) / 5;
  const long subs = std::max(3L, (rows + kGroups - 1) / kGroups - 6);
  if (subs > kMostSubs) {
    std::fprintf(stderr, "gen_host: %ld rows do not fit 32-bit account ids\n", rows);
    return 64;
  }
  long delivered = 0;
  for (long code = kFirstCode; delivered < rows; ++code) {
    if (code > kLastCode) {
      std::fprintf(stderr, "gen_host: the account codes ran out at %ld rows\n", delivered);
      return 1;
    }
    const int side = code % 3 == 0 ? 0 : 1;
    if (code % 5 == 0 && rows - delivered >= subs + 2) {
      add(code * 10000, "科目" + std::to_string(code), side);
      for (long sub = 1; sub <= subs; ++sub) add(code * 10000 + sub, "補助" + std::to_string(sub), side);
      delivered += subs + 2;
    } else {
      add(code * 10000, "科目" + std::to_string(code), side);
      delivered += 1;
    }
  }
  sqlite3_finalize(account);
  sqlite3_finalize(total);
  if (!Exec(db, "COMMIT")) return 1;
  sqlite3_close(db);
  std::printf("%s: %ld rows\n", argv[1], delivered);
  return 0;
}
