// The console progress of batch runs.
#include "app/console_progress.h"

#include <utility>

#include "res/texts.h"

ClConsoleProgress::ClConsoleProgress(std::FILE* stream)
    : m_line(stream), m_strCaption(res::Text(res::TextId::kProgressCaption)) {}

void ClConsoleProgress::Advance(std::int16_t from, std::int16_t to) {
  const int step = m_line.Rewrites() ? 10 : 100;
  for (int v = from; v <= to; ++v) {
    if (v % step != 0) continue;
    std::string caption = ProgressCaption(v);
    // The same text again (an Advance ending where the next one starts) is not shown twice.
    if (caption == m_strCaption) continue;
    m_strCaption = std::move(caption);
    m_line.Show(m_strCaption);
  }
}
