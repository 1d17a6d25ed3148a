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
// The run sequence drives it as a ClRunProgress: Open creates and shows it, Close hides it, and it owns
// the run's last message box. Batch runs show their progress on the console instead (ClConsoleProgress).
#pragma once

#include <cstdint>
#include <string>

#include "app/run_progress.h"
#include "ui/dialog.h"
#include "win32/wintypes.h"

class ClProgressDlg : public ui::Dialog, public ClRunProgress {
 public:
  ClProgressDlg();

  // The window from template 131, modeless and without a parent. False when the window cannot be made.
  bool Create();

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

  // Create, SetParent(starter) when there is one, ShowWindow(SW_SHOW).
  void Open(win32::HWND starter) override;
  // EndDialog(1): hidden, and still a window to own message boxes.
  void Close() override { EndDialog(1); }
  win32::HWND MessageOwner() const override { return GetSafeHwnd(); }

  static constexpr int kIdOverall = 1016;
  static constexpr int kIdActivity = 1017;

 protected:
  void DoDataExchange(ui::DataExchange* dx) override;

  ui::ProgressCtrl m_ctlActivity;
  ui::ProgressCtrl m_ctlOverall;
  std::string m_strCaption;

 private:
  void SetCaption(const std::string& caption);
};
