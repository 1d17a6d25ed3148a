// The progress window "集計中": an overall bar 0..1000 per mille with the percentage in the caption, and
// an activity bar that every Pulse sweeps from 0 to its maximum.
//
// The aggregation and the report writer drive it through ClProgress: ResetOverall once, then
// Advance(from, to) and Pulse as the work goes on. An object
// that was never created as a window keeps its state (bar positions, caption) all the same, so the
// aggregation and the report can run with it in tests.
//
// The window: template 131, created modeless without a parent (Create), re-parented to the starting
// window when there is one (SetParent only records that handle: the starting window is another
// process's), shown with ShowWindow(SW_SHOW), hidden by EndDialog(1). Each step repaints only what it
// changed, at once (no event loop runs while the work goes on).
//
// Batch runs (SetConsoleProgress(true)): Create makes no window and the caption is written to standard
// error in UTF-8 each time its text changes: rewritten in place on one line ("\r") when standard error
// is a terminal, one line per change otherwise. EndDialog ends that line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "aggregation/progress.h"
#include "ui/dialog.h"
#include "win32/wintypes.h"

class ClProgressDlg : public ui::Dialog, public ClProgress {
 public:
  ClProgressDlg();
  ~ClProgressDlg() override;

  // The window from template 131, modeless and without a parent; none in console mode (true all the
  // same). False when the window cannot be made.
  bool Create();
  void EndDialog(int result);

  void ResetOverall() override;
  // For each value v from `from` up to `to`: the caption at every multiple of 10, one advance of the
  // overall bar, a Pulse, a repaint. Nothing when from > to.
  void Advance(std::int16_t from, std::int16_t to) override;
  // The activity bar reset, then six advances of 1, each with bring-to-top, foreground and repaint.
  void Pulse() override;

  int OverallPos() const { return m_ctlOverall.GetPos(); }
  int ActivityPos() const { return m_ctlActivity.GetPos(); }
  // The caption in code page 932 ("集計中" until the first Advance).
  const std::string& CaptionText() const { return m_strCaption; }

  // Batch runs: progress on a stream (standard error unless given) instead of a window.
  static void SetConsoleProgress(bool on, std::FILE* stream = nullptr);
  static bool ConsoleProgress();

  static constexpr int kIdOverall = 1016;
  static constexpr int kIdActivity = 1017;

 protected:
  void DoDataExchange(ui::DataExchange* dx) override;

  ui::ProgressCtrl m_ctlActivity;
  ui::ProgressCtrl m_ctlOverall;
  std::string m_strCaption;

 private:
  void SetCaption(const std::string& caption);
  void ConsoleEnd();

  bool m_bConsoleLine = false;  // a caption was written on the terminal line and not ended yet
};
