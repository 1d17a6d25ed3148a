// The folder part of a Linux path.
#include "win32/parent_folder.h"

namespace win32 {

std::string ParentFolder(std::string_view linux_path) {
  std::string_view p = linux_path;
  while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
  const std::size_t slash = p.rfind('/');
  if (slash == std::string_view::npos) return ".";
  std::string_view folder = p.substr(0, slash);
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  return folder.empty() ? "/" : std::string(folder);
}

}  // namespace win32
