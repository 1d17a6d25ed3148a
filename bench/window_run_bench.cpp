// A whole run with its windows: the application object's start-up, the conditions dialog (created
// hidden and given last month 3 and an output path, as a batch run does), the shown progress window with
// its repaint after every step, the aggregation, the report on drive C:, the messages (answered at once)
// and the shutdown. The host database comes from the build's gen_host with 2,250 rows
// (2,000 accounts: gen_host makes eight accounts for every nine rows) and 40,000 rows; drive C: is its
// folder; VornelDef.ini and SUPPORT.INF are those of the build's program folder (bin/). The arguments are the
// number of rows and whether the progress window is shown (window:1) or the progress goes to the console as
// in a --batch run (window:0), so that both stand side by side in one process on one display. The counters
// "report_crc_hi" and "_lo" are the CRC-32 of the report written: the same for both.
//
//   QT_QPA_PLATFORM=offscreen build-perf/bench/window_run_bench
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build-perf/bench/window_run_bench --benchmark_filter=rows:2250
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/link_app.h"
#include "host/host_db.h"
#include "res/edition.h"
#include "tests/support/scripted_ui.h"
#include "win32/executable.h"
#include "win32/ui_port.h"

namespace {

// Counts the paint events of all widgets: the repaints that really reached the window.
class PaintCounter : public QObject {
 public:
  long m_nPaints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++m_nPaints;
    return QObject::eventFilter(watched, event);
  }
};

// CRC-32 (IEEE) of a file's bytes; 0 when it cannot be read.
std::uint32_t FileCrc(const std::filesystem::path& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  std::uint32_t crc = 0xFFFFFFFFu;
  int c;
  while ((c = std::fgetc(f)) != EOF) {
    crc ^= static_cast<std::uint32_t>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  std::fclose(f);
  return ~crc;
}

// A folder with host.sqlite of `rows` rows whose drive C: is the folder; empty on failure.
std::filesystem::path MakeHost(long rows) {
  const std::filesystem::path gen = UW_GEN_HOST;
  char tmpl[] = "/tmp/uw-window-bench-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return {};
  const std::filesystem::path dir(tmpl);
  // (Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on a literal + string chain.)
  std::string command;
  for (const std::string& piece :
       {gen.string(), (dir / "host.sqlite").string(), std::to_string(rows), dir.string()})
    command.append("'").append(piece).append("' ");
  command.append(">/dev/null");
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "window_run_bench: %s failed\n", command.c_str());
    std::filesystem::remove_all(dir);
    return {};
  }
  return dir;
}

void BM_WindowRun(benchmark::State& state) {
  const long rows = state.range(0);
  const bool window = state.range(1) != 0;
  const std::filesystem::path dir = MakeHost(rows);
  if (dir.empty()) {
    state.SkipWithError("no host database");
    return;
  }
  host::HostDb::SetPath((dir / "host.sqlite").string());
  // The run checks its environment beside the executable (VornelDef.ini, SUPPORT.INF): the program
  // folder of the build, not this benchmark's folder.
  win32::SetModulePathForTesting(UW_BIN_DIR "/halvorack");
  win32::ScriptedUi boxes;  // every message answered at once (OK, or Yes to the overwrite question)
  win32::UiPort* old = win32::SetUi(&boxes);
  std::FILE* nowhere = std::fopen("/dev/null", "w");
  StBatchInput input;
  input.m_bBatch = true;
  input.m_bHasMonthTo = true;
  input.m_strMonthTo = "3";
  input.m_bHasOutput = true;
  input.m_strOutput = "C:\\Data\\window.xml";
  PaintCounter watcher;
  qApp->installEventFilter(&watcher);
  for (auto _ : state) {
    ClLinkApp app(res::Edition(res::EditionId::kHalvorack));
    app.SetCommandLine("");
    app.SetBatchInput(input);
    if (!window) app.SetConsoleProgress(nowhere);
    app.InitInstance();
    app.ExitInstance();
    if (app.m_nResult != kResultWritten) {
      state.SkipWithError("the run did not write the report");
      break;
    }
  }
  qApp->removeEventFilter(&watcher);
  win32::SetUi(old);
  win32::SetModulePathForTesting("");
  if (nowhere != nullptr) std::fclose(nowhere);
  state.counters["paints"] =
      benchmark::Counter(static_cast<double>(watcher.m_nPaints), benchmark::Counter::kAvgIterations);
  std::error_code ec;
  state.counters["report_bytes"] =
      static_cast<double>(std::filesystem::file_size(dir / "Data" / "window.xml", ec));
  // In two halves: the counters are printed with six digits.
  const std::uint32_t crc = FileCrc(dir / "Data" / "window.xml");
  state.counters["report_crc_hi"] = static_cast<double>(crc >> 16);
  state.counters["report_crc_lo"] = static_cast<double>(crc & 0xFFFFu);
  state.counters["per_row"] = benchmark::Counter(
      static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  std::filesystem::remove_all(dir);
}
// rows: 2,250 (2,000 accounts) or 40,000; window: 1 shown, 0 as --batch.
BENCHMARK(BM_WindowRun)
    ->ArgNames({"rows", "window"})
    ->Args({2250, 1})
    ->Args({2250, 0})
    ->Args({40000, 1})
    ->Args({40000, 0})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
