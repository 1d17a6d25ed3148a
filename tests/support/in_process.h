// The process-wide state of an in-process run, set for a test and restored after it: the program's own
// path in drive C:'s "bin" folder with a passing VornelDef.ini, the host database of the builder, the
// scripted modal port (the host connection, drive table and port torn down by the guard), and a console
// progress stream that goes nowhere unless the progress window was asked for.
#pragma once

#include <cstdio>
#include <string>

#include "tests/support/host_fixture.h"
#include "tests/support/scripted_ui.h"

class InProcessRun {
 public:
  InProcessRun(const TempDir& dir, const HostBuilder& host, bool progress_window = false);
  ~InProcessRun();
  InProcessRun(const InProcessRun&) = delete;
  InProcessRun& operator=(const InProcessRun&) = delete;

  win32::ScriptedUi ui;
  HostGuard guard;
  // For ClLinkApp::SetConsoleProgress: /dev/null, or null (the progress window) when it was asked for.
  std::FILE* ConsoleProgress() const { return quiet_; }

 private:
  std::FILE* quiet_ = nullptr;
  std::string cwd_;
};
