// Plays the accounting product's window: listens on the starting window's socket, starts the program
// with a hand-shake and prints what the program tells the window.
//
//   hostsim [--handle N] [--message M] [--function F] [--path P] PROGRAM [OPTIONS...]
//
// The hand-shake "N,M,F,P" is appended after the program's options. The exit status is the program's.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "win32/starter.h"

namespace {
void Usage() {
  std::fprintf(stderr,
               "usage: hostsim [--handle N] [--message M] [--function F] [--path P] PROGRAM [OPTIONS...]\n");
}

void Describe(const std::string& d) {
  std::string what;
  if (d == "ENABLE 0")
    what = "the window is disabled";
  else if (d == "ENABLE 1")
    what = "the window is enabled again";
  else if (d == "FOREGROUND")
    what = "the window is brought to the foreground";
  else if (d.rfind("POST ", 0) == 0) {
    int msg = 0, wparam = 0, lparam = 0;
    if (std::sscanf(d.c_str(), "POST %d %d %d", &msg, &wparam, &lparam) == 3) {
      const char* result = lparam == 0 ? "report written" : lparam == 1 ? "cancelled" : "failed";
      what = "message " + std::to_string(msg) + " posted: function id " + std::to_string(wparam) +
             ", result " + std::to_string(lparam) + " (" + result + ")";
    }
  }
  std::printf("received: %-24s %s\n", d.c_str(), what.c_str());
  std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
  std::string handle = "1234", message = "1025", function = "7", path;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) != 0) break;
    if (i + 1 >= argc) {
      Usage();
      return 64;
    }
    if (a == "--handle")
      handle = argv[++i];
    else if (a == "--message")
      message = argv[++i];
    else if (a == "--function")
      function = argv[++i];
    else if (a == "--path")
      path = argv[++i];
    else {
      Usage();
      return 64;
    }
  }
  if (i >= argc) {
    Usage();
    return 64;
  }
  // The program reads the handle of the hand-shake as a 32-bit number; listen where it will send.
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  const socklen_t len = win32::StarterSocketAddress(win32::StarterWindowFromText(handle), &addr);
  if (fd < 0 || len == 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    std::perror("hostsim: cannot listen");
    return 2;
  }
  std::vector<std::string> args(argv + i, argv + argc);
  args.push_back(handle + "," + message + "," + function + "," + path);
  std::printf("starting: ");
  for (const auto& a : args) std::printf("%s ", a.c_str());
  std::printf("\n");
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    execvp(cargs[0], cargs.data());
    std::perror("hostsim: cannot start the program");
    _exit(127);
  }
  int status = 0;
  bool done = false;
  while (true) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, done ? 200 : 50) > 0) {
      char buf[512];
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n > 0) Describe(std::string(buf, static_cast<std::size_t>(n)));
      continue;
    }
    if (done) break;
    if (waitpid(child, &status, WNOHANG) == child) done = true;
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("the program ended with exit status %d\n", code);
  return code;
}
