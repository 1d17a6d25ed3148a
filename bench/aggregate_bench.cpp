// The balance aggregation's cost per row: Aggregate over a company of 1,000, 10,000 and 40,000 accounts
// (each with a brought-forward balance and twelve months of totals), year-end conditions, a progress
// window object that is not shown. The host database is a copy of the demo database in the program
// folder with the demo company's accounts replaced. "per_row" is the time per row; it stays flat when the
// cost grows linearly.
//
//   build/bench/aggregate_bench
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "aggregation/balance_aggregator.h"
#include "aggregation/period.h"
#include "app/progress_dlg.h"
#include "host/host_db.h"

namespace {

bool Exec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "aggregate_bench: %s\n", err != nullptr ? err : "SQL failed");
    sqlite3_free(err);
    return false;
  }
  return true;
}

// A host database whose selected company has `rows` accounts; empty on failure.
std::string MakeHost(long rows) {
  const std::filesystem::path demo = UW_BIN_DIR "/demo-host.sqlite";  // the build's demo database
  char tmpl[] = "/tmp/uw-aggregate-bench-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return "";
  const std::filesystem::path path = std::filesystem::path(tmpl) / "host.sqlite";
  std::error_code ec;
  if (!std::filesystem::copy_file(demo, path, ec)) {
    std::fprintf(stderr, "aggregate_bench: cannot copy %s: %s\n", demo.c_str(), ec.message().c_str());
    return "";
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return "";
  const std::string n = std::to_string(rows);
  const bool ok =
      Exec(db, "BEGIN; DELETE FROM accounts WHERE data_no = 1; DELETE FROM totals WHERE data_no = 1;") &&
      Exec(db,
           "INSERT INTO accounts (data_no, account_id, name, balance_side) WITH RECURSIVE k(i) AS (SELECT 1 "
           "UNION ALL SELECT i + 1 FROM k WHERE i < " +
               n + ") SELECT 1, i * 10000, '勘定科目' || i, 1 + i % 2 FROM k;") &&
      Exec(
          db,
          "INSERT INTO totals WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " + n +
              "), s(slot) AS (SELECT 0 UNION ALL SELECT slot + 1 FROM s WHERE slot < 12) "
              "SELECT 1, i * 10000, slot, i * 100 + slot, i * 110 + slot, slot * 50, slot * 55 FROM k, s;") &&
      Exec(db, "COMMIT;");
  sqlite3_close(db);
  return ok ? path.string() : "";
}

void BM_Aggregate(benchmark::State& state) {
  const long rows = state.range(0);
  const std::string path = MakeHost(rows);
  host::HostDb::SetPath(path);
  std::string error;
  if (path.empty() || !host::Connect(&error)) {
    state.SkipWithError(("no host database: " + error).c_str());
    return;
  }
  StDATAINFO data = *static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1))->GetSelectedInfo();
  StFINDINFO conds[4];
  std::memset(conds, 0, sizeof conds);
  std::int16_t c = 0, last = 0;
  GetPeriodMonths(data.PeriodStart, data.PeriodEnd, &c, &last);
  MakeSumConditions(conds, &data, c, static_cast<std::int16_t>(last % 100));
  ClProgressDlg progress;
  progress.ResetOverall();
  for (auto _ : state) {
    ClZandakaList list;
    ClBalanceAggregator agg;
    agg.m_pProgress = &progress;
    agg.m_pRows = &list;
    const int result = agg.Aggregate(0, conds, &data);
    state.PauseTiming();
    if (result != 1 || static_cast<long>(list.size()) != rows) state.SkipWithError("aggregation failed");
    for (auto* r : list) delete r;
    progress.ResetOverall();
    state.ResumeTiming();
  }
  state.counters["per_row"] = benchmark::Counter(
      static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  host::Disconnect();
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_Aggregate)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace
