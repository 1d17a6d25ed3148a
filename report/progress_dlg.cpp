// The progress window: template 131 with the overall bar (1016) and the activity bar (1017).
#include "report/progress_dlg.h"

#include <unistd.h>

#include "res/templates.h"
#include "res/texts.h"
#include "win32/codepage.h"

namespace {
bool g_bConsole = false;
std::FILE* g_pStream = nullptr;

std::FILE* Stream() { return g_pStream != nullptr ? g_pStream : stderr; }
}  // namespace

void ClProgressDlg::SetConsoleProgress(bool on, std::FILE* stream) {
  g_bConsole = on;
  g_pStream = stream;
}

bool ClProgressDlg::ConsoleProgress() { return g_bConsole; }

ClProgressDlg::ClProgressDlg()
    : ui::Dialog(res::kIddProgress, 0), m_strCaption(res::Text(res::TextId::kProgressCaption)) {}

ClProgressDlg::~ClProgressDlg() { ConsoleEnd(); }

bool ClProgressDlg::Create() {
  if (g_bConsole) return true;
  return ui::Dialog::Create(0);
}

void ClProgressDlg::EndDialog(int result) {
  ConsoleEnd();
  ui::Dialog::EndDialog(result);
}

void ClProgressDlg::DoDataExchange(ui::DataExchange* dx) {
  dx->Control(kIdActivity, m_ctlActivity);
  dx->Control(kIdOverall, m_ctlOverall);
}

void ClProgressDlg::ResetOverall() {
  m_ctlOverall.SetRange(0, 1000);
  m_ctlOverall.SetStep(1);
  m_ctlOverall.SetPos(0);
}

void ClProgressDlg::SetCaption(const std::string& caption) {
  if (caption == m_strCaption) {
    // The same text again: the window keeps it; only a window's title is set (a no-op there).
    SetWindowText(caption);
    return;
  }
  m_strCaption = caption;
  SetWindowText(caption);
  if (!g_bConsole) return;
  std::FILE* out = Stream();
  const std::string text = win32::ToUtf8Lossy(caption);
  if (isatty(fileno(out))) {
    // "\x1b[K" clears what a longer earlier text left on the line.
    std::fprintf(out, "\r%s\x1b[K", text.c_str());
    m_bConsoleLine = true;
  } else {
    std::fprintf(out, "%s\n", text.c_str());
  }
  std::fflush(out);
}

void ClProgressDlg::ConsoleEnd() {
  if (!m_bConsoleLine) return;
  m_bConsoleLine = false;
  std::fputc('\n', Stream());
  std::fflush(Stream());
}

void ClProgressDlg::Advance(std::int16_t from, std::int16_t to) {
  for (int v = from; v <= to; ++v) {
    if (v % 10 == 0) {
      char caption[64];
      std::snprintf(caption, sizeof caption, res::Text(res::TextId::kProgressFormat).c_str(), v / 10);
      SetCaption(caption);
    }
    m_ctlOverall.OffsetPos(1);
    Pulse();
    UpdateWindow();
  }
}

void ClProgressDlg::Pulse() {
  m_ctlActivity.SetRange(0, 5);
  m_ctlActivity.SetStep(1);
  m_ctlActivity.SetPos(0);
  for (int i = 0; i < 6; ++i) {
    m_ctlActivity.OffsetPos(1);
    BringWindowToTop();
    SetForegroundWindow();
    UpdateWindow();
  }
}
