// The floor of a run: the least work that reads the same rows and writes the same report bytes.
//
//   floor HOST.sqlite REPORT [REPEATS]
//
// The query: one statement over the selected company's accounts LEFT JOIN their totals, ordered by
// account and slot, every column of every row read. The write: the report file's bytes (read into
// memory beforehand, not timed) written to a new file beside it with one write call, then closed; the
// new file is removed afterwards. Each is timed REPEATS times (default 5) and the best time is kept.
//
// Prints key=value lines: query_s, query_rows, accounts, write_s, bytes, floor_s (query_s + write_s).
// Exit status 1 when the database or the report cannot be read.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// The company the run aggregates: the session's selected entry, else the first company.
int SelectedCompany(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  int data_no = -1;
  const char* sql =
      "SELECT COALESCE((SELECT c.data_no FROM companies c, session s WHERE c.data_no = s.selected_no2), "
      "(SELECT MIN(data_no) FROM companies))";
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
      sqlite3_column_type(st, 0) != SQLITE_NULL)
    data_no = sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  return data_no;
}

// One pass of the query; false on a database error. *rows: rows stepped, *accounts: distinct accounts.
bool Query(sqlite3* db, int data_no, long* rows, long* accounts, std::int64_t* checksum) {
  sqlite3_stmt* st = nullptr;
  const char* sql =
      "SELECT a.account_id, a.name, a.balance_side, a.list_flag, a.exclude1, a.exclude2, a.attributes, "
      "t.slot, t.debit_ex, t.debit_in, t.credit_ex, t.credit_in FROM accounts a LEFT JOIN totals t "
      "ON t.data_no = a.data_no AND t.account_id = a.account_id WHERE a.data_no = ?1 "
      "ORDER BY a.account_id, t.slot";
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "floor: %s\n", sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return false;
  }
  sqlite3_bind_int(st, 1, data_no);
  *rows = 0;
  *accounts = 0;
  std::int64_t last = -1, sum = 0;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    ++*rows;
    const std::int64_t id = sqlite3_column_int64(st, 0);
    if (id != last) {
      ++*accounts;
      last = id;
      const unsigned char* name = sqlite3_column_text(st, 1);
      sum += sqlite3_column_bytes(st, 1) + (name != nullptr ? name[0] : 0);
    }
    for (int k = 2; k < 12; ++k) sum += sqlite3_column_int64(st, k);
  }
  sqlite3_finalize(st);
  *checksum = sum;
  return rc == SQLITE_DONE;
}

// One write of the bytes to a new file; false on failure.
bool WriteOnce(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: floor HOST.sqlite REPORT [REPEATS]\n");
    return 64;
  }
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "floor: cannot open %s\n", argv[1]);
    sqlite3_close(db);
    return 1;
  }
  const int data_no = SelectedCompany(db);
  double best_query = 1e9;
  long rows = 0, accounts = 0;
  std::int64_t checksum = 0;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = Clock::now();
    if (!Query(db, data_no, &rows, &accounts, &checksum)) {
      sqlite3_close(db);
      return 1;
    }
    best_query = std::min(best_query, Seconds(t0));
  }
  sqlite3_close(db);

  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "floor: cannot read %s\n", argv[2]);
    return 1;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string out = std::string(argv[2]) + ".floor";
  double best_write = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = Clock::now();
    if (!WriteOnce(out, bytes)) {
      std::fprintf(stderr, "floor: cannot write %s\n", out.c_str());
      std::remove(out.c_str());
      return 1;
    }
    best_write = std::min(best_write, Seconds(t0));
  }
  std::remove(out.c_str());

  std::printf(
      "query_s=%.6f\nquery_rows=%ld\naccounts=%ld\nchecksum=%lld\nwrite_s=%.6f\nbytes=%zu\nfloor_s=%.6f\n",
      best_query, rows, accounts, static_cast<long long>(checksum), best_write, bytes.size(),
      best_query + best_write);
  return 0;
}
