// A status line of a batch run on a stream (standard error): each text shown replaces the one before.
// On a terminal the line is rewritten in place ("\r", the text, then "\x1b[K" to clear what a longer
// text left); elsewhere (a file, a pipe, or a terminal that TERM=dumb says takes no escape codes) each
// text is a line of its own. Texts are code page 932 and are
// written in UTF-8 (bytes that do not convert as '?'). Every text reaches the stream at once (flushed).
// A line left open on a terminal is ended by the signal handler when a signal ends the run.
#pragma once

#include <cstdio>
#include <string_view>

namespace win32 {

class StatusLine {
 public:
  explicit StatusLine(std::FILE* stream);  // not owned
  // Ends a line left open (End).
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  void Show(std::string_view cp932);
  // True when texts rewrite one line in place; false when each is a line of its own.
  bool Rewrites() const { return rewrites_; }
  // Ends the line left open on a terminal with a line feed; nothing when none is open.
  void End();

 private:
  std::FILE* stream_;
  bool rewrites_;
  bool open_ = false;  // a text was written on the terminal's line and not ended yet
};

}  // namespace win32
