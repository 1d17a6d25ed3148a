// The existence test over the drive table.
#include "win32/file_exists.h"

#include <sys/stat.h>

#include <string>

#include "win32/drives.h"

namespace win32 {

bool FileExistsA(const char* path) {
  std::string linux_path;
  struct stat st;
  return path != nullptr && Drives().ToLinux(path, &linux_path) && stat(linux_path.c_str(), &st) == 0;
}

}  // namespace win32
