// The status line of batch runs.
#include "win32/status_line.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "win32/codepage.h"
#include "win32/signals.h"

namespace win32 {

namespace {
bool TerminalTakesEscapes(std::FILE* stream) {
  if (isatty(fileno(stream)) == 0) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::string_view(term) != "dumb";
}
}  // namespace

StatusLine::StatusLine(std::FILE* stream) : stream_(stream), rewrites_(TerminalTakesEscapes(stream)) {}

StatusLine::~StatusLine() { End(); }

void StatusLine::Show(std::string_view cp932) {
  const std::string text = ToUtf8Lossy(cp932);
  if (rewrites_) {
    std::fprintf(stream_, "\r%s\x1b[K", text.c_str());
    open_ = true;
    // A signal that ends the run ends the line too.
    SetOpenStatusLine(fileno(stream_));
  } else {
    std::fprintf(stream_, "%s\n", text.c_str());
  }
  std::fflush(stream_);
}

void StatusLine::End() {
  if (!open_) return;
  open_ = false;
  std::fputc('\n', stream_);
  std::fflush(stream_);
  SetOpenStatusLine(-1);
}

}  // namespace win32
