// The progress window: template 131 with the overall bar (1016) and the activity bar (1017).
#include "app/progress_dlg.h"

#include "res/templates.h"
#include "res/texts.h"

ClProgressDlg::ClProgressDlg()
    : ui::Dialog(res::kIddProgress, 0), m_strCaption(res::Text(res::TextId::kProgressCaption)) {}

bool ClProgressDlg::Create() { return ui::Dialog::Create(0); }

void ClProgressDlg::Open(win32::HWND starter) {
  Create();
  if (starter != 0) SetParent(starter);
  ShowWindow(ui::SW_SHOW);
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
  m_strCaption = caption;
  SetWindowText(caption);
}

void ClProgressDlg::Advance(std::int16_t from, std::int16_t to) {
  for (int v = from; v <= to; ++v) {
    if (v % 10 == 0) SetCaption(ProgressCaption(v));
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
