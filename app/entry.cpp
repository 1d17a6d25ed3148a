// The process entry of the three executables.
#include "app/entry.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/link_app.h"
#include "host/host_db.h"
#include "win32/ui_port.h"

bool ParseOptions(const std::vector<std::string>& args, StOptions* options, std::string* error) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a.rfind("--", 0) != 0) break;
    if (a == "--host") {
      if (i + 1 >= args.size()) {
        *error = "--host needs a file";
        return false;
      }
      options->host = args[++i];
    } else if (a == "--batch") {
      options->batch = true;
    } else if (a == "--help") {
      options->help = true;
    } else {
      *error = "unknown option " + a;
      return false;
    }
  }
  for (std::size_t j = i; j < args.size(); ++j) {
    if (j > i) options->handshake += ' ';
    options->handshake += args[j];
  }
  return true;
}

std::string UsageText(const res::StEdition& edition) {
  return std::string("usage: ") + edition.program +
         " [--host FILE] [--batch] [--] [HANDSHAKE]\n"
         "  --host FILE  the host database (default: $UCHIWAKE_HOST, else demo-host.sqlite beside the "
         "program)\n"
         "  --batch      run without windows: messages go to standard error\n"
         "  HANDSHAKE    WINDOW,MESSAGE,FUNCTIONID,[OUTPUT PATH] from the starting window\n"
         "exit status: 0 report written, 1 cancelled, 2 failed, 64 usage error\n";
}

namespace {
std::string ProgramFolder() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return ".";
  return std::filesystem::path(std::string(exe, static_cast<std::size_t>(n))).parent_path().string();
}

bool HaveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && std::string(platform).rfind("offscreen", 0) == 0) return true;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
}
}  // namespace

int RunProgram(res::EditionId edition_id, int argc, char** argv) {
  const res::StEdition& edition = res::Edition(edition_id);
  std::vector<std::string> args(argv + 1, argv + argc);
  StOptions options;
  std::string error;
  if (!ParseOptions(args, &options, &error)) {
    std::fprintf(stderr, "%s: %s\n%s", edition.program, error.c_str(), UsageText(edition).c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText(edition).c_str(), stdout);
    return 0;
  }
  if (!options.batch && !HaveDisplay()) {
    std::fprintf(stderr, "%s: no display to open a window on; use --batch to run without windows\n",
                 edition.program);
    return 2;
  }
  std::string host = options.host;
  if (host.empty()) {
    const char* env = std::getenv("UCHIWAKE_HOST");
    host = env != nullptr && *env != '\0' ? env : ProgramFolder() + "/demo-host.sqlite";
  }
  host::HostDb::Inst().SetPath(host);

  win32::ConsoleUi console(false);
  win32::UiPort* previous = win32::SetUi(&console);

  ClLinkApp app(edition);
  app.SetCommandLine(options.handshake);
  app.InitInstance();
  const bool initiated = app.Initiated();
  app.ExitInstance();
  win32::SetUi(previous);
  if (!initiated) {
    std::fprintf(stderr, "%s: %s\n", edition.program, ClAccConnect::Inst()->LastError().c_str());
    return 2;
  }
  return app.m_nResult;
}
