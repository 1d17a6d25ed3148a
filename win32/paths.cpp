// Windows path functions over the drive table.
#include "win32/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/current_directory.h"
#include "win32/mbcs.h"
#include "win32/parent_folder.h"

namespace win32 {

namespace {

// The characters Windows refuses in a file or folder name. The scan goes by whole characters, so a
// trail byte 0x7C is not a vertical bar.
bool HasValidNameChars(std::string_view p) {
  std::size_t i = p.size() >= 2 && p[1] == ':' && !IsLeadByte(static_cast<unsigned char>(p[0])) ? 2 : 0;
  while (i < p.size()) {
    const std::size_t len = CharLenAt(p, i);
    if (len == 1) {
      const auto c = static_cast<unsigned char>(p[i]);
      if (c < 0x20 || std::strchr("<>\"|?*:", c) != nullptr) return false;
    }
    i += len;
  }
  return true;
}

// Windows path to Linux path; *error tells why there is none.
bool MapPath(const char* path, std::string* linux_path, DWORD* error) {
  if (path == nullptr || *path == '\0') {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  const std::string_view p(path);
  if (p.size() >= static_cast<std::size_t>(MAX_PATH)) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  if (!HasValidNameChars(p)) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  if (!Drives().ToLinux(p, linux_path)) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  return true;
}

bool EndsWithBackslash(std::string_view p) {
  return !p.empty() && p.back() == '\\' && !IsTrailPosition(p, p.size() - 1);
}

bool IsLinuxDir(const std::string& linux_path) {
  struct stat st;
  return stat(linux_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "\\server\share" and nothing after it: the index of the backslash between server and share, or npos.
std::size_t ShareRootSplit(std::string_view p) {
  if (p.size() < 3 || p[0] != '\\' || p[1] != '\\') return std::string_view::npos;
  const std::size_t a = MbsChr(p.substr(2), '\\');
  if (a == std::string_view::npos) return std::string_view::npos;
  if (MbsChr(p.substr(2 + a + 1), '\\') != std::string_view::npos) return std::string_view::npos;
  return 2 + a;
}

// The remove-file-name step of the shell's root stripping: cuts the last component (and the backslash
// before it, except after a drive's colon). False when there was nothing to cut.
bool RemoveLastComponent(char* path) {
  const std::string_view p(path);
  std::size_t i = 0;
  std::size_t cut = 0;
  if (i < p.size() && p[i] == '\\') cut = ++i;
  if (i < p.size() && p[i] == '\\') cut = ++i;
  while (i < p.size()) {
    if (p[i] == '\\') {
      cut = i;
    } else if (p[i] == ':') {
      cut = ++i;
      if (i < p.size() && p[i] == '\\') ++cut;
      if (i >= p.size()) break;
    }
    i += CharLenAt(p, i);
  }
  if (cut >= p.size()) return false;
  path[cut] = '\0';
  return true;
}

// The shell's root test: "X:\", "\", "\\server" and "\\server\share".
bool IsRoot(std::string_view p) {
  if (p.empty()) return false;
  if (p[0] == '\\') {
    if (p.size() == 1) return true;
    if (p[1] != '\\') return false;
    bool seen = false;
    for (std::size_t i = 2; i < p.size(); i += CharLenAt(p, i)) {
      if (p[i] == '\\') {
        if (seen) return false;
        seen = true;
      }
    }
    return true;
  }
  return p.size() == 3 && p[1] == ':' && p[2] == '\\';
}

DWORD ErrorFromErrno(int e) {
  switch (e) {
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

std::string WithoutTrailingSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

const char* PathSkipRootA(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  const std::string_view p(path);
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    const std::size_t server_end = MbsChr(p.substr(2), '\\');
    if (server_end == std::string_view::npos) return nullptr;
    const std::size_t share_start = 2 + server_end + 1;
    const std::size_t share_end = MbsChr(p.substr(share_start), '\\');
    if (share_end == std::string_view::npos) return nullptr;
    return path + share_start + share_end + 1;
  }
  if (IsLeadByte(static_cast<unsigned char>(p[0]))) return nullptr;
  if (p.size() >= 3 && p[1] == ':' && p[2] == '\\') return path + 3;
  return nullptr;
}

BOOL PathStripToRootA(char* path) {
  if (path == nullptr) return FALSE;
  while (!IsRoot(path))
    if (!RemoveLastComponent(path)) return FALSE;
  return TRUE;
}

BOOL PathIsDirectoryA(const char* path) {
  if (path == nullptr) return FALSE;
  const std::string_view p(path);
  // "\\server" alone is never a folder.
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\' && MbsChr(p.substr(2), '\\') == std::string_view::npos)
    return FALSE;
  std::string linux_path;
  DWORD error = 0;
  if (ShareRootSplit(p) != std::string_view::npos) {
    const DriveEntry* share = Drives().FindShare(p);
    return share != nullptr && IsLinuxDir(share->root) ? TRUE : FALSE;
  }
  if (!MapPath(path, &linux_path, &error)) return FALSE;
  return IsLinuxDir(linux_path) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

bool SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  const auto clear_all = [&] {
    for (char* out : {drive, dir, fname, ext})
      if (out != nullptr) *out = '\0';
  };
  if (path == nullptr) {
    clear_all();
    return false;
  }
  const std::string_view p(path);
  std::size_t start = 0;
  if (p.size() >= 2 && p[1] == ':') start = 2;
  std::size_t name_start = start;
  std::size_t last_dot = std::string_view::npos;
  for (std::size_t i = start; i < p.size();) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (IsLeadByte(c)) {
      i += 2;  // the trail byte is never a separator or a dot
      continue;
    }
    if (c == '\\' || c == '/') {
      name_start = i + 1;
    } else if (c == '.') {
      last_dot = i;
    }
    ++i;
  }
  const std::size_t ext_start =
      last_dot != std::string_view::npos && last_dot >= name_start ? last_dot : p.size();
  const std::string_view parts[4] = {p.substr(0, start), p.substr(start, name_start - start),
                                     p.substr(name_start, ext_start - name_start), p.substr(ext_start)};
  char* const outs[4] = {drive, dir, fname, ext};
  const std::size_t sizes[4] = {MAX_DRIVE, MAX_DIR, MAX_FNAME, MAX_EXT};
  for (int k = 0; k < 4; ++k) {
    if (outs[k] != nullptr && parts[k].size() >= sizes[k]) {
      clear_all();
      return false;
    }
  }
  for (int k = 0; k < 4; ++k) {
    if (outs[k] == nullptr) continue;
    std::memcpy(outs[k], parts[k].data(), parts[k].size());
    outs[k][parts[k].size()] = '\0';
  }
  return true;
}

UINT GetDriveTypeA(const char* root) {
  std::string current;
  if (root == nullptr) {
    char cwd[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (n == 0 || n >= sizeof cwd) return DRIVE_NO_ROOT_DIR;
    current = cwd;
    if (!PathStripToRootA(current.data())) return DRIVE_NO_ROOT_DIR;
    current.resize(std::strlen(current.c_str()));
    if (!EndsWithBackslash(current)) current += '\\';
    root = current.c_str();
  }
  const std::string_view p(root);
  if (p.size() >= 2 && p[1] == ':' && !IsLeadByte(static_cast<unsigned char>(p[0]))) {
    const DriveEntry* drive = Drives().FindLetter(p[0]);
    if (drive == nullptr) return DRIVE_NO_ROOT_DIR;
    if (p.size() == 2 || (p.size() == 3 && (p[2] == '\\' || p[2] == '/'))) return drive->type;
    // A folder of the drive counts as its root only with a trailing backslash.
    return EndsWithBackslash(p) && PathIsDirectoryA(root) != FALSE ? drive->type : DRIVE_NO_ROOT_DIR;
  }
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\' && EndsWithBackslash(p)) {
    const char* after_root = PathSkipRootA(root);
    if (after_root == nullptr) return DRIVE_NO_ROOT_DIR;
    const std::size_t share_len = static_cast<std::size_t>(after_root - root) - 1;
    const DriveEntry* share = Drives().FindShare(p.substr(0, share_len));
    return share != nullptr && PathIsDirectoryA(root) != FALSE ? share->type : DRIVE_NO_ROOT_DIR;
  }
  return DRIVE_NO_ROOT_DIR;
}

BOOL CreateDirectoryA(const char* path, const void* /*security*/) {
  std::string linux_path;
  DWORD error = 0;
  if (!MapPath(path, &linux_path, &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (mkdir(linux_path.c_str(), 0777) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryA(const char* path) {
  std::string linux_path;
  DWORD error = 0;
  if (!MapPath(path, &linux_path, &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (rmdir(linux_path.c_str()) == 0) return TRUE;
  const int e = errno;
  struct stat st;
  switch (e) {
    case ENOENT:
      SetLastError(IsLinuxDir(ParentFolder(linux_path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
      break;
    case ENOTDIR:
      SetLastError(stat(WithoutTrailingSlashes(linux_path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)
                       ? ERROR_DIRECTORY
                       : ERROR_PATH_NOT_FOUND);
      break;
    case EEXIST:
    case ENOTEMPTY:
      SetLastError(ERROR_DIR_NOT_EMPTY);
      break;
    default:
      SetLastError(ErrorFromErrno(e));
      break;
  }
  return FALSE;
}

int Access(const char* path, int mode) {
  std::string linux_path;
  DWORD error = 0;
  struct stat st;
  if (!MapPath(path, &linux_path, &error) || stat(linux_path.c_str(), &st) != 0) {
    errno = ENOENT;
    return -1;
  }
  if ((mode & 2) != 0 && (st.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

DWORD GetTempPathA(DWORD size, char* buf) {
  const char* env = std::getenv("TMPDIR");
  const std::string linux_dir(env != nullptr && env[0] == '/' ? env : "/tmp");
  // Repeated slashes would become doubled backslashes, which no Windows path has.
  std::string clean;
  for (char c : linux_dir)
    if (c != '/' || clean.empty() || clean.back() != '/') clean += c;
  clean = WithoutTrailingSlashes(clean);
  std::string win;
  if (!Drives().ToWindows(clean, &win) || win.empty()) return 0;
  if (!EndsWithBackslash(win)) win += '\\';
  if (buf == nullptr || win.size() + 1 > size) return static_cast<DWORD>(win.size() + 1);
  std::memcpy(buf, win.c_str(), win.size() + 1);
  return static_cast<DWORD>(win.size());
}

int PathICmp(std::string_view a, std::string_view b) { return MbsICmp(a, b); }

int PathNICmp(std::string_view a, std::string_view b, std::size_t n) { return MbsnbICmp(a, b, n); }

}  // namespace win32
