// The registry of the program's own files and the comparison by device and inode.
#include "win32/protected_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>

#include "win32/drives.h"
#include "win32/parent_folder.h"
#include "win32/replace_file.h"

namespace win32 {

namespace {
struct Registered {
  bool windows = false;  // a Windows path, mapped at each check
  std::string path;
};

std::map<std::string, Registered>& Registry() {
  static std::map<std::string, Registered> files;
  return files;
}

struct Identity {
  bool known = false;
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const Identity& o) const { return known && o.known && dev == o.dev && ino == o.ino; }
};

Identity Of(const struct stat& st) { return {true, st.st_dev, st.st_ino}; }

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string LastName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// A name as the program's file accesses resolve it: its nearest existing folder and, below it, the names
// that do not exist yet, without the case of ASCII letters.
struct Name {
  Identity folder;
  std::string below;
  bool operator==(const Name& o) const { return folder == o.folder && below == o.below; }
};

Name NameOf(const std::string& linux_path) {
  Name name;
  std::string path = WithoutTrailingSlashes(linux_path);
  name.below = AsciiLower(LastName(path));
  for (int depth = 0; depth < 256; ++depth) {
    const std::string folder = WithoutTrailingSlashes(ParentFolder(path));
    struct stat st;
    if (stat(folder.c_str(), &st) == 0) {
      name.folder = Of(st);
      break;
    }
    if (folder == path) break;
    name.below = AsciiLower(LastName(folder)) + "/" + name.below;
    path = folder;
  }
  return name;
}

// What one path stands for: its entry, what that entry leads to, and its name.
struct Place {
  Identity entry, file;
  Name name;
};

Place PlaceOf(const std::string& linux_path) {
  Place place;
  const std::string path = WithoutTrailingSlashes(linux_path);
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) place.entry = Of(st);
  if (stat(path.c_str(), &st) == 0) place.file = Of(st);
  place.name = NameOf(path);
  return place;
}

bool IsTempName(const std::string& linux_path) {
  return IsTempFileName(AsciiLower(LastName(WithoutTrailingSlashes(linux_path))));
}
}  // namespace

void ProtectFile(const std::string& role, const std::string& linux_path) {
  std::string path = linux_path;
  if (!path.empty() && path[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) path = std::string(cwd) + "/" + path;
  }
  Registry()[role] = {false, path};
}

void ProtectWindowsFile(const std::string& role, const std::string& win_path) {
  Registry()[role] = {true, win_path};
}

bool IsProtectedFile(const std::string& win_path) {
  std::string linux_path;
  if (!Drives().ToLinux(win_path, &linux_path)) return false;
  const Place report = PlaceOf(linux_path);
  // A report is written through a link: where the link leads counts as well.
  std::string followed;
  int error = 0;
  const bool through_link = FollowLinks(linux_path, &followed, &error) && followed != linux_path;
  const Name target = through_link ? NameOf(followed) : report.name;
  if (IsTempName(linux_path) || (through_link && IsTempName(followed))) return true;
  for (const auto& [role, registered] : Registry()) {
    std::string path = registered.path;
    if (registered.windows && !Drives().ToLinux(registered.path, &path)) continue;
    const Place own = PlaceOf(path);
    if (report.name == own.name || target == own.name || report.entry == own.file || report.file == own.file)
      return true;
  }
  return false;
}

}  // namespace win32
