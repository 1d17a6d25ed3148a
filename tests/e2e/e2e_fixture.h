// Whole runs of the built program as a separate process, against a host database and folders made by the
// test, with the starting window played by a test socket.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// The exit status of a waitpid status: the code, or 128 + the signal that ended the process.
inline int ExitStatus(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
}

// The words of an argument or environment list as execve takes them: pointers into `words`, then null.
inline std::vector<char*> NullTerminated(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (auto& w : words) pointers.push_back(w.data());
  pointers.push_back(nullptr);
  return pointers;
}

// This process's environment without a test stop, for a child that gets its own or none.
inline std::vector<std::string> EnvironmentWithoutStop() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "UCHIWAKE_TEST_STOP=", 19) != 0) env.emplace_back(*e);
  return env;
}

// The program as a child process that a test can stop at a known point, signal and kill. Standard output
// and standard error go to dir/stderr.txt. With stop_at the child stops itself there (UCHIWAKE_TEST_STOP,
// "NAME" or "NAME:N").
class ChildRun {
 public:
  ChildRun(const TempDir& dir, const std::string& program, const std::string& host,
           const std::vector<std::string>& args, const std::string& stop_at = "")
      : err_file_(dir.Sub("stderr.txt")) {
    std::vector<std::string> argv_s = {program, "--host", host};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv = NullTerminated(argv_s);
    std::vector<std::string> env_s = EnvironmentWithoutStop();
    if (!stop_at.empty()) env_s.push_back("UCHIWAKE_TEST_STOP=" + stop_at);
    std::vector<char*> envp = NullTerminated(env_s);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, err_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildRun() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildRun(const ChildRun&) = delete;
  ChildRun& operator=(const ChildRun&) = delete;

  // Waits until the child stopped itself (true), or ended (false).
  bool WaitStopped() {
    int raw = 0;
    if (pid_ <= 0 || waitpid(pid_, &raw, WUNTRACED) != pid_) return false;
    if (WIFSTOPPED(raw)) return true;
    ended_ = true;
    status_ = ExitStatus(raw);
    signal_ = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    return false;
  }
  void Signal(int sig) { kill(pid_, sig); }
  // Lets a stopped child go on.
  void Continue() { kill(pid_, SIGCONT); }
  // Waits for the end: the exit status, or 128 + the signal that ended the child.
  int Wait() {
    if (!ended_ && pid_ > 0) {
      int raw = 0;
      while (waitpid(pid_, &raw, 0) == pid_ && WIFSTOPPED(raw)) {
      }
      ended_ = true;
      status_ = ExitStatus(raw);
      signal_ = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    }
    return status_;
  }
  // After Wait: the signal that ended the child, 0 when it exited.
  int TermSignal() const { return signal_; }
  std::string Err() const { return TempDir::Read(err_file_); }

 private:
  std::string err_file_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = -1;
  int signal_ = 0;
};
