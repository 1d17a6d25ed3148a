// The process entry shared by the three executables: the command line, the host database, the modal
// port, the application object's start-up and shutdown, and the exit status.
//
//   PROGRAM [--host FILE] [--batch] [--] [HANDSHAKE]
//
// Exit statuses: the run's result code (0 written, 1 cancelled, 2 failed); 2 with a one-line error when
// the host database cannot be opened or no display is available without --batch; 64 for a usage error.
#pragma once

#include <string>
#include <vector>

#include "res/edition.h"

inline constexpr int kExitUsage = 64;

struct StOptions {
  std::string host;  // empty: $UCHIWAKE_HOST, else demo-host.sqlite in the program's folder
  bool batch = false;
  bool help = false;
  std::string handshake;  // the remaining arguments joined by single blanks
};

// Parses the arguments after the program name. False with *error set for a usage error.
bool ParseOptions(const std::vector<std::string>& args, StOptions* options, std::string* error);

// The usage text of an edition's executable.
std::string UsageText(const res::StEdition& edition);

int RunProgram(res::EditionId edition, int argc, char** argv);
