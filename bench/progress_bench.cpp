// The progress window's cost per step: Pulse (six activity-bar advances, each with raise, foreground
// and repaint) and one Advance value (caption, overall bar, Pulse, repaint), on a shown window.
//
//   QT_QPA_PLATFORM=offscreen build/bench/progress_bench
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/bench/progress_bench
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "app/progress_dlg.h"
#include "ui/dialog.h"

namespace {

void ShowProgress(ClProgressDlg& dlg) {
  dlg.Create();
  dlg.ShowWindow(ui::SW_SHOW);
  QApplication::processEvents();
  dlg.ResetOverall();
}

void BM_Pulse(benchmark::State& state) {
  ClProgressDlg dlg;
  ShowProgress(dlg);
  for (auto _ : state) dlg.Pulse();
  benchmark::DoNotOptimize(dlg.ActivityPos());
}
BENCHMARK(BM_Pulse)->Unit(benchmark::kMicrosecond);

void BM_AdvanceOneValue(benchmark::State& state) {
  ClProgressDlg dlg;
  ShowProgress(dlg);
  std::int16_t v = 0;
  for (auto _ : state) {
    dlg.Advance(v, v);
    v = static_cast<std::int16_t>(v == 1000 ? 0 : v + 1);
    if (v == 0) dlg.ResetOverall();
  }
  benchmark::DoNotOptimize(dlg.OverallPos());
}
BENCHMARK(BM_AdvanceOneValue)->Unit(benchmark::kMicrosecond);

// A whole run's progress calls without any other work: 1,007 advances and their pulses.
void BM_WholeRun(benchmark::State& state) {
  ClProgressDlg dlg;
  ShowProgress(dlg);
  for (auto _ : state) {
    dlg.ResetOverall();
    dlg.Advance(0, 100);
    dlg.Advance(100, 300);
    dlg.Advance(300, 400);
    dlg.Advance(400, 500);
    dlg.Advance(500, 600);
    dlg.Advance(600, 700);
    dlg.Advance(700, 1000);
  }
  benchmark::DoNotOptimize(dlg.OverallPos());
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

}  // namespace
