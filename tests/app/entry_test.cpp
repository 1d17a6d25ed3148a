// The built executables as separate processes: the command line and the exit statuses.
#include "app/entry.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "res/edition.h"
#include "res/texts.h"
#include "tests/support/host_fixture.h"

namespace {
struct Outcome {
  int status;
  std::string err;
};

// Runs a command line under /bin/sh with stderr captured; stdout goes to stderr's file too.
Outcome RunShell(const std::string& command) {
  TempDir out;
  const std::string err_file = out.Sub("err");
  int raw = std::system((command + " >" + err_file + " 2>&1 </dev/null").c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, TempDir::Read(err_file)};
}

std::string Bin(const char* name) { return std::string(UW_BIN_DIR) + "/" + name; }
}  // namespace

TEST(OptionsTest, OptionsEndAtTheFirstNonOptionOrDoubleDash) {
  StOptions o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--host", "h.sqlite", "--batch", "1,2,3,C:\\a", "b"}, &o, &error));
  EXPECT_EQ(o.host, "h.sqlite");
  EXPECT_TRUE(o.batch);
  EXPECT_EQ(o.handshake, "1,2,3,C:\\a b");
  StOptions o2;
  ASSERT_TRUE(ParseOptions({"--", "--batch"}, &o2, &error));
  EXPECT_FALSE(o2.batch);
  EXPECT_EQ(o2.handshake, "--batch");
  StOptions o3;
  EXPECT_FALSE(ParseOptions({"--host"}, &o3, &error));
  EXPECT_FALSE(ParseOptions({"--what"}, &o3, &error));
}

TEST(ProgramTest, HelpVersionAndUsageErrorsOfEachEdition) {
  for (auto id : {res::EditionId::kHalvorack, res::EditionId::kDremmick, res::EditionId::kFennowal}) {
    const res::StEdition& edition = res::Edition(id);
    const std::string prog = edition.program;
    Outcome help = RunShell(Bin(edition.program) + " --help");
    EXPECT_EQ(help.status, 0) << prog;
    EXPECT_EQ(help.err.rfind("usage: " + prog + " ", 0), 0u) << help.err;
    // Every option and every exit status on a line of its own.
    for (const char* line : {"\n  --host FILE ", "\n  --batch ", "\n  --month-to TEXT ", "\n  --tax 0|1 ",
                             "\n  --output PATH ", "\n  --yes ", "\n  --help ", "\n  --version ", "\n  -- ",
                             "\n  HANDSHAKE ", "\n  0 ", "\n  1 ", "\n  2 ", "\n  64 "})
      EXPECT_NE(help.err.find(line), std::string::npos) << prog << " --help lacks" << line;

    Outcome version = RunShell(Bin(edition.program) + " --version");
    EXPECT_EQ(version.status, 0) << prog;
    EXPECT_EQ(version.err, prog + " " + res::TextUtf8(res::TextId::kVersion) + "\n");

    // A usage error: what is wrong in one line, then the short usage and nothing more.
    for (const char* args : {"--bogus", "--batch --tax 2", "--yes", "--host"}) {
      Outcome bad = RunShell(Bin(edition.program) + " " + args);
      EXPECT_EQ(bad.status, kExitUsage) << prog << " " << args;
      const auto first_end = bad.err.find('\n');
      ASSERT_NE(first_end, std::string::npos) << bad.err;
      EXPECT_EQ(bad.err.rfind(prog + ": ", 0), 0u) << bad.err;
      EXPECT_EQ(bad.err.substr(first_end + 1), ShortUsage(edition)) << bad.err;
    }
  }
}

TEST(ProgramTest, ExitStatusesOfTheExecutables) {
  Outcome missing = RunShell(Bin("halvorack") + " --batch --host /nonexistent/host.sqlite");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "halvorack: host database /nonexistent/host.sqlite: no such file\n");
  Outcome no_display = RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Bin("halvorack"));
  EXPECT_EQ(no_display.status, 2);
  EXPECT_NE(no_display.err.find("--batch"), std::string::npos);
}

namespace {
// A socket file that nothing listens on, as a crashed server or compositor leaves it.
void BindDeadSocket(const std::string& path) {
  unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
}
}  // namespace

TEST(ProgramTest, ADisplayLeftByACrashedServerOrCompositorIsNoDisplay) {
  const int number = 900 + static_cast<int>(getpid() % 90);
  mkdir("/tmp/.X11-unix", 01777);
  const std::string x_socket = "/tmp/.X11-unix/X" + std::to_string(number);
  BindDeadSocket(x_socket);
  TempDir runtime;
  chmod(runtime.path().c_str(), 0700);
  BindDeadSocket(runtime.Sub("wayland-7"));
  const std::string dead_x = "DISPLAY=:" + std::to_string(number) + " ";
  const std::string dead_wayland = "XDG_RUNTIME_DIR=" + runtime.path() + " WAYLAND_DISPLAY=wayland-7 ";
  // Every platform Qt would try is dead or missing: one line and status 2, never Qt's abort.
  for (const std::string& env : {
           dead_x,
           dead_wayland,                                             // a Wayland session, X as Qt's fallback
           dead_wayland + dead_x + "QT_QPA_PLATFORM='wayland;xcb'",  // the list, each tried in turn
           dead_wayland + "QT_QPA_PLATFORM=wayland",
           "XDG_RUNTIME_DIR=" + runtime.path() + " XDG_SESSION_TYPE=wayland",  // wayland-0 is not there
           dead_wayland + "QT_QPA_PLATFORM=wayland-xcomposite-glx",  // a Wayland plugin not installed
       }) {
    Outcome run = RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE " + env +
                           " " + Bin("halvorack"));
    EXPECT_EQ(run.status, 2) << env << ": " << run.err;
    EXPECT_EQ(run.err, "halvorack: no display to open a window on; use --batch to run without windows\n")
        << env;
  }
  unlink(x_socket.c_str());
}

TEST(ProgramTest, TheProgramFolderIsRelocatable) {
  TempDir dir;
  for (const char* f : {"halvorack", "VornelDef.ini", "SUPPORT.INF", "demo-host.sqlite"})
    std::filesystem::copy(Bin(f), dir.Sub(f));
  StarterListener window;
  Outcome run =
      RunShell("env -u UCHIWAKE_HOST " + dir.Sub("halvorack") +
               " --batch --month-to 3 --yes --output 'C:\\Data\\r.xml' " + window.Handshake("1025,7,"));
  EXPECT_EQ(run.status, 0) << run.err;
  // The demo's drive C: is the folder of its host database: the report went there.
  EXPECT_TRUE(std::filesystem::exists(dir.Sub("Data/r.xml")));
  const auto got = window.Drain(2000);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front(), "ENABLE 0");
  EXPECT_EQ(got.back(), "POST 1025 7 0");
  // Without VornelDef.ini beside it the environment check fails.
  std::filesystem::remove(dir.Sub("VornelDef.ini"));
  Outcome failed =
      RunShell("env -u UCHIWAKE_HOST " + dir.Sub("halvorack") + " --batch " + window.Handshake("1025,7,"));
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(window.Last(2000), "POST 1025 7 2");
}
