// Ending a run on a signal from outside as a cancel, whatever the run is doing at that moment.
//
// The signals handled are every one that a process may catch and whose default action ends it (SIGTERM,
// SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGXCPU, SIGPWR,
// SIGSTKFLT and the real-time signals), except:
// - SIGPIPE and SIGXFSZ, which InitFileSignals ignores so that a write to a closed pipe or past a
//   file-size limit fails with an error and the run goes on to its own ending;
// - the signals of a fault of the program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS,
//   SIGABRT): its state cannot be trusted then, and their default action keeps the core for diagnosis;
// - a signal that was ignored when the process started (a run under nohup, or started in the
//   background by a shell): it stays ignored.
//
// The handler does only async-signal-safe work over state prepared in advance, because it may interrupt
// anything (a file write, the allocator, the window toolkit): it removes the temporary files registered
// below (the report's and the settings file's), ends an open status line with a line feed, sends the
// starting window the datagrams prepared by PrepareCancelNotice ("FOREGROUND", "ENABLE 1",
// "POST <message> <wParam> <result>"), and then ends the process by the same signal (its default action
// restored, the signal raised again), so that a shell loop or a supervisor sees what ended it. Nothing
// else runs: no message box, no settings write, no shutdown of the connection (the host database is only
// read, and the process end closes it).
//
// - The handled signals are blocked while the handler runs, so a second signal waits and never
//   interrupts the ending; the process is gone before it would be handled.
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

// Installs the handler (once per process; later calls do nothing).
void InstallCancelSignals();

// The datagrams the handler sends to the starting window; without this call it sends none. The result
// posted is 1 (cancelled) until SetSignalEndingResult changes it.
void PrepareCancelNotice(HWND window, UINT message, WPARAM wparam);
// The result the handler posts from now on.
void SetSignalEndingResult(LPARAM result);
// The result the handler posts once the next temporary file is put in place (TempFileInPlace), at that
// very moment: the report's rename makes a signal ending tell "written", so that what the window is told
// always matches the file at the path. A negative result withdraws it.
void SetSignalEndingResultInPlace(LPARAM result);

// From here on the handler ignores the signals. False when a signal ending has already begun.
bool BeginNormalEnding();

// Ends the run at once as the handler does, without a signal: removes the temporary files, ends an open
// status line, tells the starting window `result` (when a notice was prepared) and exits with `status`.
// For a failure that leaves no way back to the normal ending (the window toolkit's fatal error).
[[noreturn]] void EndRunAtOnce(LPARAM result, int status);

// A temporary file the handler removes. Answers a slot for UnregisterTempFile, or -1 when none is free
// or the path is too long (the file is then left to the stale-file clean-up of the next writer).
int RegisterTempFile(const std::string& linux_path);
void UnregisterTempFile(int slot);
// Unregisters a temporary file that was just renamed into its target's place (call it with the signals
// blocked, together with the rename); a result set by SetSignalEndingResultInPlace takes effect.
void TempFileInPlace(int slot);

// The descriptor of a terminal whose status line is open (its last text not ended by a line feed), which
// the handler ends before the process ends; -1 when none is.
void SetOpenStatusLine(int fd);

// Blocks the handled signals for the calling thread while it lives.
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
