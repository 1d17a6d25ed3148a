// What a run shows its progress on: the operations the aggregation and the report writer drive
// (ClProgress), and the life of what shows them, which the run sequence drives. Two implementations: the
// progress window (ClProgressDlg) and the console progress of batch runs (ClConsoleProgress); the
// application chooses one at start (ClLinkApp::SetConsoleProgress).
#pragma once

#include <cstdio>
#include <string>

#include "aggregation/progress.h"
#include "res/texts.h"
#include "win32/wintypes.h"

// The caption of the overall progress at `per_mille` (a multiple of 10): the percentage in the program's
// progress format (code page 932).
inline std::string ProgressCaption(int per_mille) {
  char caption[64];
  std::snprintf(caption, sizeof caption, res::Text(res::TextId::kProgressFormat).c_str(), per_mille / 10);
  return caption;
}

class ClRunProgress : public ClProgress {
 public:
  // Shows the progress before the aggregation starts; `starter` is the starting window (0: none), which
  // then owns what is shown.
  virtual void Open(win32::HWND starter) = 0;
  // Ends the showing (the window is hidden; the console line is ended). What owns message boxes stays.
  virtual void Close() = 0;
  // The window that owns the run's last message box: the progress window, or 0 when there is none.
  virtual win32::HWND MessageOwner() const = 0;
};
