// The report writer's cost for a large company: Write of 40,000 balance rows (4,000 groups of a plain
// account, an account with seven sub-accounts, and that account's closing row), to a file in a
// temporary folder. Once with a progress window whose calls cost nothing (the writer and the file
// alone), once with a progress window that keeps its state but was never shown.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench report_bench
//   build-bench/bench/report_bench
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/progress_dlg.h"
#include "report/report_writer.h"
#include "res/edition.h"
#include "win32/codepage.h"
#include "win32/drives.h"

namespace {

class SilentProgress : public ClProgressDlg {
 public:
  void Advance(std::int16_t, std::int16_t) override {}
  void Pulse() override {}
};

struct Rows {
  Rows() {
    const std::string main_name = win32::Sjis("普通預金");
    const std::string sub_name = win32::Sjis("第一口座＆支店");
    for (int group = 0; group < 4000; ++group) {
      const std::int32_t plain = (2 * group + 100) * 10000;
      const std::int32_t parent = (2 * group + 101) * 10000;
      Add(plain, main_name, 0, 152300LL * 10000 * (group + 1));
      Add(parent, main_name, 1, -2000000LL * 10000);
      for (int sub = 1; sub <= 7; ++sub) Add(parent + sub, sub_name, 0, 1500000LL * 10000 + sub);
      Add(parent, main_name, 0, 0);
    }
  }
  void Add(std::int32_t id, const std::string& name, int has_subs, std::int64_t balance) {
    auto row = std::make_unique<StZANDAKAINFO>();
    row->AccountId = id;
    std::memcpy(row->Name, name.data(), std::min(name.size(), sizeof row->Name - 1));
    row->HasSubAccounts = static_cast<std::uint8_t>(has_subs);
    row->Balance = balance;
    list.push_back(row.get());
    storage.push_back(std::move(row));
  }
  ClZandakaList list;
  std::vector<std::unique_ptr<StZANDAKAINFO>> storage;
};

std::string g_folder;  // the temporary folder, removed at the end

// A Windows path on drive Z: (the whole Linux tree) in a fresh temporary folder.
std::string OutputPath() {
  static std::string path = [] {
    char folder[] = "/tmp/uwbench-report-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    g_folder = folder;
    std::string win;
    if (!win32::Drives().ToWindows(g_folder + "/out.xml", &win)) std::abort();
    return win;
  }();
  return path;
}

void RunWrite(benchmark::State& state, ClProgressDlg& progress) {
  static const Rows rows;
  StDATAINFO data{};
  std::strcpy(data.CompanyName, win32::Sjis("ABC商事").c_str());
  data.PeriodStart = 20230401;
  data.PeriodEnd = 20240331;
  const std::string path = OutputPath();
  for (auto _ : state) {
    ClReportWriter writer(progress, rows.list, res::Edition(res::EditionId::kHalvorack));
    writer.SetProgressBase(500);
    if (writer.Write(path.c_str(), 1, data) != 1) state.SkipWithError("Write failed");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.list.size()));
}

void BM_Write40000Rows(benchmark::State& state) {
  SilentProgress progress;
  RunWrite(state, progress);
}
BENCHMARK(BM_Write40000Rows)->Unit(benchmark::kMillisecond);

void BM_Write40000RowsProgressState(benchmark::State& state) {
  ClProgressDlg progress;
  progress.ResetOverall();
  RunWrite(state, progress);
}
BENCHMARK(BM_Write40000RowsProgressState)->Unit(benchmark::kMillisecond);

}  // namespace
