// The progress window "集計中": an overall bar 0..1000 per mille with the percentage in the caption, and
// an activity bar that every Pulse sweeps from 0 to its maximum.
//
// Contract used by the aggregation and the report writer: ResetOverall once, then Advance(from, to) and
// Pulse as the work goes on. Advance and Pulse are virtual so that tests can record the calls. An object
// that was never created as a window keeps its state (bar positions, caption) all the same, so the
// aggregation and the report can run with it in tests.
#pragma once

#include <cstdint>
#include <string>

#include "win32/wintypes.h"

class ClProgressDlg {
 public:
  ClProgressDlg();
  virtual ~ClProgressDlg();
  ClProgressDlg(const ClProgressDlg&) = delete;
  ClProgressDlg& operator=(const ClProgressDlg&) = delete;

  void ResetOverall();
  // For each value v from `from` up to `to`: the caption at every multiple of 10, one advance of the
  // overall bar, a Pulse, a repaint. Nothing when from > to.
  virtual void Advance(std::int16_t from, std::int16_t to);
  // The activity bar reset, then six advances of 1, each with bring-to-top, foreground and repaint.
  virtual void Pulse();

  int OverallPos() const { return m_nOverallPos; }
  int ActivityPos() const { return m_nActivityPos; }
  // The caption in code page 932 ("集計中" until the first Advance).
  const std::string& CaptionText() const { return m_strCaption; }

 protected:
  int m_nOverallMin = 0;
  int m_nOverallMax = 100;
  int m_nOverallPos = 0;
  int m_nActivityMin = 0;
  int m_nActivityMax = 100;
  int m_nActivityPos = 0;
  std::string m_strCaption;
};
