// The executable's path from /proc/self/exe, and as a Windows path over the drive table.
#include "win32/executable.h"

#include <unistd.h>

#include <cstring>

#include "win32/drives.h"

namespace win32 {

namespace {
std::string& ModuleOverride() {
  static std::string path;
  return path;
}
}  // namespace

bool ExecutablePath(std::string* linux_path) {
  // readlink does not say when it cut the link short: a result that fills the buffer may be cut, so the
  // buffer grows until the link fits with room to spare.
  std::string buf(256, '\0');
  while (buf.size() <= (1u << 20)) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return false;
    if (static_cast<std::size_t>(n) < buf.size()) {
      linux_path->assign(buf.data(), static_cast<std::size_t>(n));
      return true;
    }
    buf.resize(buf.size() * 2);
  }
  return false;
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

}  // namespace win32
