// The console progress of batch runs: no window; the caption the progress window would show ("集計中",
// then "集計中 N％") is shown on a status line (win32::StatusLine): at every percent where the line is
// rewritten in place, at every tenth where each text is a line of its own (a file, a pipe). Pulses and
// the overall bar show nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/run_progress.h"
#include "win32/status_line.h"

class ClConsoleProgress : public ClRunProgress {
 public:
  // The status line on `stream` (not owned; standard error for a batch run).
  explicit ClConsoleProgress(std::FILE* stream);

  void ResetOverall() override {}
  // The caption at every multiple of 10 (100 where each text is a line) from `from` up to `to`. Nothing
  // when from > to.
  void Advance(std::int16_t from, std::int16_t to) override;
  void Pulse() override {}

  void Open(win32::HWND) override {}
  void Close() override { m_line.End(); }
  win32::HWND MessageOwner() const override { return 0; }

 private:
  win32::StatusLine m_line;
  std::string m_strCaption;  // code page 932; "集計中" until the first Advance
};
