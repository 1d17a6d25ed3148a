// Whole runs of the built program as a separate process, against a host database and folders made by the
// test, with the starting window played by a test socket.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/host_fixture.h"

struct RunOutcome {
  int status;
  std::string err;
};

inline std::string BinPath(const std::string& name) { return std::string(UW_BIN_DIR) + "/" + name; }

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs `program` (a path) with --host and the arguments; `prefix` goes before it in the shell line
// (e.g. "ulimit -f 8; ").
inline RunOutcome RunProgramIn(const TempDir& dir, const std::string& program, const std::string& host,
                               const std::string& args, const std::string& prefix = "") {
  const std::string err_file = dir.Sub("stderr.txt");
  const std::string cmd = prefix + program + " --host " + ShellQuote(host) + " " + args + " >" +
                          ShellQuote(err_file) + " 2>&1 </dev/null";
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : (WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1),
          TempDir::Read(err_file)};
}

// A copy of the program folder (the executable, VornelDef.ini, SUPPORT.INF) in dir/<name>.
inline std::string CopyProgramFolder(const TempDir& dir, const std::string& name) {
  std::filesystem::create_directories(dir.Sub(name));
  for (const char* f : {"halvorack", "VornelDef.ini", "SUPPORT.INF"})
    std::filesystem::copy(BinPath(f), dir.Sub(name + "/" + f),
                          std::filesystem::copy_options::overwrite_existing);
  return dir.Sub(name + "/halvorack");
}
