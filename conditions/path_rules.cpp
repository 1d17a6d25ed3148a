// Output path rules: refused characters, drive and share usability, path splits, folder chain creation.
#include "conditions/path_rules.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "win32/drives.h"
#include "win32/mbcs.h"
#include "win32/paths.h"

namespace {

// A path is a C text: it ends at the first NUL.
std::string_view CText(std::string_view s) { return s.substr(0, s.find('\0')); }

// Length of the character at text[i]: 2 for a lead byte followed by a trail byte, else 1.
std::size_t CharLen(std::string_view text, std::size_t i) {
  if (i + 1 < text.size() && win32::IsLeadByte(static_cast<unsigned char>(text[i])) &&
      win32::IsTrailByte(static_cast<unsigned char>(text[i + 1])))
    return 2;
  return 1;
}

// Positions of the single-byte characters equal to c, in order.
std::vector<std::size_t> FindAll(std::string_view text, char c) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < text.size(); i += CharLen(text, i))
    if (CharLen(text, i) == 1 && text[i] == c) found.push_back(i);
  return found;
}

std::size_t FindLast(std::string_view text, char c) {
  const std::vector<std::size_t> found = FindAll(text, c);
  return found.empty() ? std::string_view::npos : found.back();
}

// A doubled backslash whose first backslash is at or after `from` (whole characters).
bool HasDoubledBackslash(std::string_view text, std::size_t from) {
  for (std::size_t i : FindAll(text, '\\'))
    if (i >= from && i + 1 < text.size() && text[i + 1] == '\\') return true;
  return false;
}

bool IsNetworkPath(std::string_view text) { return text.size() >= 2 && text[0] == '\\' && text[1] == '\\'; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A name that Windows takes for a device in every folder (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9),
// with or without an extension: the part before the first dot, without trailing blanks, is compared
// ignoring case ("con.xml" and "CON .txt" are the console). No trail byte is a dot or a blank.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper;
  for (char c : base) upper += AsciiUpper(c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

// The root of a path (as the shell cuts it) with a trailing backslash; false when there is none.
bool RootWithSep(const std::string& path, std::string* root) {
  std::string buf = path;
  if (!win32::PathStripToRootA(buf.data())) return false;
  buf.resize(std::strlen(buf.c_str()));
  if (!AddTrailingSep(&buf, kPathBufSize)) return false;
  *root = std::move(buf);
  return true;
}

// Drive and folder part of `path` with a trailing backslash, in a working buffer.
bool DirWithSep(std::string_view path, std::string* out) {
  std::string buf(path);
  if (!GetDirPart(&buf) || buf.empty() || !AddTrailingSep(&buf, kPathBufSize)) return false;
  *out = std::move(buf);
  return true;
}

}  // namespace

bool IsDbcsByteAt(std::string_view text, std::size_t index) {
  const std::string_view t = CText(text);
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t len = CharLen(t, i);
    if (len == 2 && (index == i || index == i + 1)) return true;
    i += len;
  }
  return false;
}

bool AddTrailingSep(std::string* path, std::size_t capacity) {
  path->resize(CText(*path).size());
  const std::size_t len = path->size();
  if (len == 0 || len + 1 > capacity) return false;
  // A trail byte 0x5C at the end is part of a character, not a separator.
  if (!IsDbcsByteAt(*path, len - 1) && path->back() == '\\') return true;
  // A lead byte without its trail would take an appended backslash as its trail byte.
  if (!IsDbcsByteAt(*path, len - 1) && win32::IsLeadByte(static_cast<unsigned char>(path->back())))
    return false;
  if (len < capacity - 1) {
    path->push_back('\\');
    return true;
  }
  return false;
}

bool GetDirPart(std::string* path) {
  const std::string whole(CText(*path));
  if (whole.size() > kPathMax) return false;
  char drive[win32::MAX_DRIVE];
  char dir[win32::MAX_DIR];
  if (!win32::SplitPath(whole.c_str(), drive, dir, nullptr, nullptr)) return false;
  std::string result = std::string(drive) + dir;
  if (result.empty()) return false;
  // "C:out.xml" gives "C:\"; a result as long as the path ("C:") stays as it is.
  if (result.size() < whole.size()) AddTrailingSep(&result, kPathBufSize);
  *path = std::move(result);
  return true;
}

bool IsDirPath(std::string_view path) {
  std::string buf(CText(path));
  return GetDirPart(&buf) && win32::PathIsDirectoryA(buf.c_str()) != win32::FALSE;
}

std::string GetFolderPart(std::string_view path) {
  const std::string_view t = CText(path);
  const std::size_t pos = FindLast(t, '\\');
  return pos == std::string_view::npos ? std::string() : std::string(t.substr(0, pos + 1));
}

std::string GetFileNamePart(std::string_view path) {
  const std::string_view t = CText(path);
  const std::size_t pos = FindLast(t, '\\');
  return std::string(pos == std::string_view::npos ? t : t.substr(pos + 1));
}

std::string GetDrivePart(std::string_view path) {
  const std::string_view t = CText(path);
  const std::size_t pos = FindLast(t, ':');
  return pos == std::string_view::npos ? std::string() : std::string(t.substr(0, pos + 1));
}

std::string GetAfterDrivePart(std::string_view path) {
  const std::string_view t = CText(path);
  const std::size_t pos = FindLast(t, ':');
  return std::string(pos == std::string_view::npos ? t : t.substr(pos + 1));
}

bool CheckPathLength(std::string_view path) { return CText(path).size() < kPathMax; }

bool CheckPathChars(std::string_view path) {
  const std::string_view t = CText(path);
  std::size_t rest_start = 0;
  if (IsNetworkPath(t)) {
    // The leading pair is the network form; a doubled backslash from the fourth character on is not.
    if (HasDoubledBackslash(t, 3)) return false;
    rest_start = 2;
  } else {
    if (HasDoubledBackslash(t, 0)) return false;
    const std::vector<std::size_t> colons = FindAll(t, ':');
    rest_start = colons.empty() ? 0 : colons.front() + 1;
  }
  static constexpr char kRefused[] = "/:,;*?\"><|";
  for (std::size_t i = 0; i < t.size(); i += CharLen(t, i)) {
    if (CharLen(t, i) != 1) continue;
    // Control characters name no file anywhere in a path (no trail byte is below 0x40).
    if (IsPathControl(t[i])) return false;
    if (i < rest_start) continue;
    if (std::memchr(kRefused, t[i], sizeof kRefused - 1) != nullptr) return false;
  }
  // The folder and file names: after the drive's colon, or after the server and share of a network path.
  std::size_t names_start = rest_start;
  if (IsNetworkPath(t)) {
    const std::vector<std::size_t> seps = FindAll(t, '\\');
    names_start = seps.size() > 3 ? seps[3] + 1 : t.size();
  }
  std::size_t name_start = names_start;
  for (std::size_t sep : FindAll(t, '\\')) {
    if (sep < names_start) continue;
    if (IsDeviceName(t.substr(name_start, sep - name_start))) return false;
    name_start = sep + 1;
  }
  return !IsDeviceName(t.substr(std::min(name_start, t.size())));
}

bool CheckPathDrive(std::string_view path) {
  const std::string_view t = CText(path);
  if (IsNetworkPath(t)) {
    // "\\server\share" is the text before the backslash that ends the share name.
    std::size_t server_end = std::string_view::npos;
    std::size_t share_end = std::string_view::npos;
    for (std::size_t i : FindAll(t, '\\')) {
      if (i < 3) continue;
      if (server_end == std::string_view::npos) {
        server_end = i;
      } else {
        share_end = i;
        break;
      }
    }
    const std::string share =
        share_end == std::string_view::npos ? std::string() : std::string(t.substr(0, share_end));
    return win32::Access(share.c_str(), kAccessReadWrite) == 0;
  }
  if (t.empty() || HasDoubledBackslash(t, 1)) return false;
  return CheckDriveLetter(t[0], kAccessReadWrite);
}

bool CheckDriveLetter(char letter, int mode) {
  char upper = 0;
  if (letter >= 'A' && letter <= 'Z') {
    upper = letter;
  } else if (letter >= 'a' && letter <= 'z') {
    upper = static_cast<char>(letter - 'a' + 'A');
  } else {
    return false;
  }
  const char root[4] = {upper, ':', '\\', '\0'};
  switch (win32::GetDriveTypeA(root)) {
    case win32::DRIVE_UNKNOWN:
    case win32::DRIVE_CDROM:
    case win32::DRIVE_RAMDISK:
      return false;
    case win32::DRIVE_REMOVABLE:
    case win32::DRIVE_FIXED:
    case win32::DRIVE_REMOTE:
      return win32::Access(root, mode) == 0;
    default:
      // No such drive: the folder test or the file write stops such a path later.
      return true;
  }
}

bool CreateFolderChain(std::string_view folder) {
  const std::string_view f = CText(folder);
  if (f.size() > kPathMax) return false;
  std::string full;
  if (!DirWithSep(f, &full)) return false;
  const char* rest_begin = win32::PathSkipRootA(full.c_str());
  if (rest_begin == nullptr || full.size() >= kPathBufSize) return false;
  const std::string rest(rest_begin);
  std::string root;
  if (!RootWithSep(full, &root)) return false;

  // The deepest level that existed before this call: nothing at or above it is ever removed.
  std::string existed = root;
  for (std::size_t i : FindAll(rest, '\\')) {
    std::string level = root + rest.substr(0, i);
    const bool formed = AddTrailingSep(&level, kPathBufSize);
    if (formed && IsDirPath(level)) {
      existed = level;
      continue;
    }
    if (formed && win32::CreateDirectoryA(level.c_str(), nullptr)) continue;
    // Another run may have made the level meanwhile: it is there, and it is not ours to remove.
    if (formed && IsDirPath(level)) {
      existed = level;
      continue;
    }
    // Without its backslash the level stands for its parent, the deepest level that may be ours.
    RemoveCreatedFolders(level, existed);
    return false;
  }
  return true;
}

bool RemoveCreatedFolders(std::string_view target, std::string_view stop) {
  const std::string_view t = CText(target);
  const std::string_view s = CText(stop);
  if (t.empty() || t.size() > kPathMax || s.size() > kPathMax) return false;
  std::string target_dir;
  std::string stop_dir;
  if (!DirWithSep(t, &target_dir) || !DirWithSep(s, &stop_dir)) return false;
  const char* tr_begin = win32::PathSkipRootA(target_dir.c_str());
  const char* sr_begin = win32::PathSkipRootA(stop_dir.c_str());
  if (tr_begin == nullptr || sr_begin == nullptr) return false;
  const std::string tr(tr_begin);
  const std::string sr(sr_begin);
  std::string target_root;
  std::string stop_root;
  if (!RootWithSep(target_dir, &target_root) || !RootWithSep(stop_dir, &stop_root)) return false;
  // The stop folder must lie on the target's way from the root.
  if (win32::PathICmp(target_root, stop_root) != 0 || win32::PathNICmp(tr, sr, sr.size()) != 0) return false;

  const std::vector<std::size_t> seps = FindAll(tr, '\\');
  for (auto it = seps.rbegin(); it != seps.rend(); ++it) {
    const std::size_t k = *it;
    if (k < 1) break;
    if (win32::PathNICmp(sr, tr, k) == 0) return true;
    std::string level = target_root + tr.substr(0, k);
    if (!AddTrailingSep(&level, kPathBufSize)) return false;
    if (IsDirPath(level) && !win32::RemoveDirectoryA(level.c_str())) return false;
  }
  return true;
}
