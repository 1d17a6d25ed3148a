// The current directory over the drive table.
#include "win32/current_directory.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "win32/drives.h"
#include "win32/mbcs.h"

namespace win32 {

namespace {
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

}  // namespace win32
