// The executable's path from /proc/self/exe.
#include "win32/executable.h"

#include <unistd.h>

namespace win32 {

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

}  // namespace win32
