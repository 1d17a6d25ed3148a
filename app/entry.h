// The process entry shared by the three executables: the command line, the host database, the modal
// port, the application object's start-up and shutdown, and the exit status.
//
//   PROGRAM [--host FILE] [--batch [--month-to TEXT] [--tax 0|1] [--output PATH] [--yes]] [--] [HANDSHAKE]
//   PROGRAM --help | --version
//
// --month-to, --tax, --output and --yes need --batch: they are entered into the conditions dialog as a
// user would (a text replaces the edit's whole text, the check box is clicked when it must change), then
// Execute is pressed once; --yes answers the dialog's questions Yes.
//
// The command line is UTF-8: --output and the hand-shake are converted to code page 932 where they enter.
//
// Exit statuses: the run's result code (0 written, 1 cancelled, 2 failed); 2 with a one-line error when
// the hand-shake has no code page 932 form, the host database cannot be opened or no display is
// available without --batch; 64 for a usage error, which prints one line saying what is wrong and the
// short usage. --help and --version exit with 0. A run ended by a signal from outside ends by that signal
// (win32/signals.h).
#pragma once

#include <string>
#include <vector>

#include "res/edition.h"

inline constexpr int kExitUsage = 64;

struct StOptions {
  std::string host;  // empty: $UCHIWAKE_HOST, else demo-host.sqlite in the program's folder
  bool batch = false;
  bool help = false;
  bool version = false;
  bool has_month_to = false;
  std::string month_to;  // at most two ASCII digits, possibly empty
  int tax = -1;          // -1: as restored or defaulted; 0 or 1: the check box state wanted
  bool has_output = false;
  std::string output;  // a Windows path as the dialog takes it (UTF-8 here, code page 932 in the dialog)
  bool yes = false;
  std::string handshake;  // the remaining arguments joined by single blanks (UTF-8)
};

// Parses the arguments after the program name. False with *error set for a usage error.
bool ParseOptions(const std::vector<std::string>& args, StOptions* options, std::string* error);

// The short usage of an edition's executable (after a usage error), its --help text (every option and
// the exit statuses, one line each) and its --version line (the executable's name and the version).
std::string ShortUsage(const res::StEdition& edition);
std::string UsageText(const res::StEdition& edition);
std::string VersionText(const res::StEdition& edition);

// A failure before the conditions dialog (the host database cannot be opened, the command in bin/ could
// not copy the demo): one line "program: why" on standard error and, for a run with windows, the same
// line in a message box through the modal port.
void ReportStartFailure(const res::StEdition& edition, const std::string& why, bool windows);

int RunProgram(res::EditionId edition, int argc, char** argv);
