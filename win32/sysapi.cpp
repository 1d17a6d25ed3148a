// Current directory and module path over the drive table.
#include "win32/sysapi.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "win32/drives.h"
#include "win32/executable.h"
#include "win32/mbcs.h"

namespace win32 {

namespace {
std::string& ModuleOverride() {
  static std::string path;
  return path;
}

DWORD CopyOut(const std::string& text, DWORD size, char* buf) {
  if (text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buf, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
}  // namespace

DWORD GetCurrentDirectoryA(DWORD size, char* buf) {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return 0;
  std::string win;
  if (!Drives().ToWindows(cwd, &win)) return 0;
  // Only a drive root keeps its trailing backslash.
  const bool drive_root = win.size() == 3 && win[1] == ':';
  if (!drive_root && win.size() > 1 && win.back() == '\\' && !IsTrailPosition(win, win.size() - 1))
    win.pop_back();
  return CopyOut(win, size, buf);
}

BOOL SetCurrentDirectoryA(const char* path) {
  std::string linux_path;
  if (path == nullptr || !Drives().ToLinux(path, &linux_path)) return FALSE;
  return chdir(linux_path.c_str()) == 0 ? TRUE : FALSE;
}

void SetModulePathForTesting(const std::string& linux_path) { ModuleOverride() = linux_path; }

DWORD GetModuleFileNameA(HWND, char* buf, DWORD size) {
  std::string linux_path = ModuleOverride();
  if (linux_path.empty() && !ExecutablePath(&linux_path)) return 0;
  std::string win;
  if (!Drives().ToWindows(linux_path, &win) || size == 0) return 0;
  if (win.size() + 1 > size) {
    std::memcpy(buf, win.data(), size - 1);
    buf[size - 1] = '\0';
    return size;
  }
  std::memcpy(buf, win.c_str(), win.size() + 1);
  return static_cast<DWORD>(win.size());
}

void InitFileSignals() {
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

bool FileExistsA(const char* path) {
  std::string linux_path;
  struct stat st;
  return path != nullptr && Drives().ToLinux(path, &linux_path) && stat(linux_path.c_str(), &st) == 0;
}

}  // namespace win32
