// The progress window's state. (The window itself comes with the window toolkit.)
#include "report/progress_dlg.h"

#include <algorithm>
#include <cstdio>

#include "res/texts.h"

ClProgressDlg::ClProgressDlg() : m_strCaption(res::Text(res::TextId::kProgressCaption)) {}

ClProgressDlg::~ClProgressDlg() = default;

void ClProgressDlg::ResetOverall() {
  m_nOverallMin = 0;
  m_nOverallMax = 1000;
  m_nOverallPos = 0;
}

void ClProgressDlg::Advance(std::int16_t from, std::int16_t to) {
  for (int v = from; v <= to; ++v) {
    if (v % 10 == 0) {
      char caption[64];
      std::snprintf(caption, sizeof caption, res::Text(res::TextId::kProgressFormat).c_str(), v / 10);
      m_strCaption = caption;
    }
    m_nOverallPos = std::clamp(m_nOverallPos + 1, m_nOverallMin, m_nOverallMax);
    Pulse();
  }
}

void ClProgressDlg::Pulse() {
  m_nActivityMin = 0;
  m_nActivityMax = 5;
  m_nActivityPos = 0;
  for (int i = 0; i < 6; ++i) m_nActivityPos = std::min(m_nActivityPos + 1, m_nActivityMax);
}
