// Ending a run on SIGTERM, SIGINT or SIGHUP as a cancel, whatever the run is doing at that moment.
//
// The handler does only async-signal-safe work over state prepared in advance, because it may interrupt
// anything (a file write, the allocator, the window toolkit): it removes the temporary files registered
// below (the report's and the settings file's), sends the starting window the datagrams prepared by
// PrepareCancelNotice ("FOREGROUND", "ENABLE 1", "POST <message> <wParam> 1") and ends the process with
// _exit(128 + the signal's number). Nothing else runs: no message box, no settings write, no shutdown of
// the connection (the host database is only read, and the process end closes it).
//
// - The three signals are blocked while the handler runs, so a second signal waits and never interrupts
//   the ending; the process is gone before it would be handled.
// - A signal that reaches another thread (the toolkit may start some) is passed on to the thread that
//   installed the handler, so that the blocking below protects the main thread's critical steps.
// - Once BeginNormalEnding is called the handler ignores the signals: the normal ending (its own
//   datagrams and exit status) is not doubled.
// - SignalsBlocked delays the signals over a critical step (creating and registering a temporary file,
//   renaming it into place and unregistering it), so that the handler never sees a half-done step.
#pragma once

#include <string>

#include "win32/wintypes.h"

namespace win32 {

// Installs the handler for the three signals (once per process; later calls do nothing).
void InstallCancelSignals();

// The datagrams the handler sends to the starting window; without this call it sends none. The result
// posted is 1 (cancelled) until SetSignalEndingResult changes it.
void PrepareCancelNotice(HWND window, UINT message, WPARAM wparam);
// The result the handler posts from now on: 0 once the report is written, so that a signal during the
// completion notice or the settings write does not tell the starting window that nothing was written.
void SetSignalEndingResult(LPARAM result);

// From here on the handler ignores the signals. False when a signal ending has already begun.
bool BeginNormalEnding();

// A temporary file the handler removes. Answers a slot for UnregisterTempFile, or -1 when none is free
// or the path is too long (the file is then left to the stale-file clean-up of the next writer).
int RegisterTempFile(const std::string& linux_path);
void UnregisterTempFile(int slot);

// Blocks SIGTERM, SIGINT and SIGHUP for the calling thread while it lives.
class SignalsBlocked {
 public:
  SignalsBlocked();
  ~SignalsBlocked();
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  unsigned long m_oldMask[16];  // the caller's signal mask (a sigset_t)
};

// Test stops: when the environment variable UCHIWAKE_TEST_STOP is "NAME" or "NAME:N", the process stops
// itself (SIGSTOP) the N-th time (first by default) it reaches the point NAME, so that a test can send it
// signals or kill it at a known moment. Without the variable this does nothing.
void TestStop(const char* name);

}  // namespace win32
