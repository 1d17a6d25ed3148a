// The registry of the program's own files and the comparison by device and inode.
#include "win32/protected_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>

#include "win32/drives.h"
#include "win32/parent_folder.h"

namespace win32 {

namespace {
std::map<std::string, std::string>& Registry() {
  static std::map<std::string, std::string> files;
  return files;
}

struct Identity {
  bool known = false;
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const Identity& o) const { return known && o.known && dev == o.dev && ino == o.ino; }
};

Identity Of(const struct stat& st) { return {true, st.st_dev, st.st_ino}; }

// What one path stands for: its entry, what that entry leads to, and its folder with its name.
struct Place {
  Identity entry, file, folder;
  std::string name;
};

Place PlaceOf(const std::string& linux_path) {
  Place place;
  std::string path = linux_path;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) place.entry = Of(st);
  if (stat(path.c_str(), &st) == 0) place.file = Of(st);
  const std::size_t slash = path.find_last_of('/');
  place.name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (stat(ParentFolder(path).c_str(), &st) == 0) place.folder = Of(st);
  return place;
}
}  // namespace

void ProtectFile(const std::string& role, const std::string& linux_path) {
  std::string path = linux_path;
  if (!path.empty() && path[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) path = std::string(cwd) + "/" + path;
  }
  Registry()[role] = path;
}

void ProtectWindowsFile(const std::string& role, const std::string& win_path) {
  std::string linux_path;
  if (Drives().ToLinux(win_path, &linux_path)) ProtectFile(role, linux_path);
}

bool IsProtectedFile(const std::string& win_path) {
  std::string linux_path;
  if (!Drives().ToLinux(win_path, &linux_path)) return false;
  const Place report = PlaceOf(linux_path);
  for (const auto& [role, path] : Registry()) {
    const Place own = PlaceOf(path);
    if ((report.folder == own.folder && report.name == own.name) || report.entry == own.file ||
        report.file == own.file)
      return true;
  }
  return false;
}

}  // namespace win32
