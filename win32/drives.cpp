// Drive table and translation between Windows paths and Linux paths.
#include "win32/drives.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "win32/codepage.h"
#include "win32/mbcs.h"

namespace win32 {

namespace {
std::string StripSlash(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

// Drops what Windows drops from the end of a name: dots and spaces ("r.xml. " names "r.xml").
std::string_view WindowsName(std::string_view part) {
  while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
  return part;
}

// Splits a Linux-style relative path into components, applying "." and "..", never above the root. A
// name of dots and spaces only is dropped like ".".
void AppendComponents(std::string_view rest, std::vector<std::string>* parts) {
  std::size_t i = 0;
  while (i <= rest.size()) {
    std::size_t j = rest.find('/', i);
    if (j == std::string_view::npos) j = rest.size();
    std::string_view part = rest.substr(i, j - i);
    if (part == "..") {
      if (!parts->empty()) parts->pop_back();
    } else if (!WindowsName(part).empty()) {
      parts->emplace_back(WindowsName(part));
    }
    i = j + 1;
  }
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The entry of a Linux folder that a Windows name means: the exact name when it exists, else the entry
// equal to it ignoring the case of ASCII letters (code page 932 folds no other letter; of several, the
// first in byte order). False when the folder has no such entry.
bool FindEntry(const std::string& folder, const std::string& name, std::string* entry) {
  struct stat st;
  const std::string exact = (folder == "/" ? "" : folder) + "/" + name;
  if (lstat(exact.c_str(), &st) == 0) {
    *entry = name;
    return true;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool found = false;
  while (const dirent* d = readdir(dir)) {
    const std::string_view candidate = d->d_name;
    if (SameIgnoringAsciiCase(candidate, name) && (!found || candidate < *entry)) {
      *entry = candidate;
      found = true;
    }
  }
  closedir(dir);
  return found;
}

// The Linux path of the components under a root, each resolved against its folder as Windows names are
// (see FindEntry). From the first component that names nothing on, the rest is taken as written.
std::string JoinUnder(const std::string& root, const std::vector<std::string>& parts, bool trailing) {
  std::string out = root;
  bool resolving = true;
  for (const auto& p : parts) {
    std::string name = p;
    if (resolving) resolving = FindEntry(out.empty() ? "." : out, p, &name);
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
  }
  if (trailing && !parts.empty()) out += '/';
  return out;
}
}  // namespace

DriveTable::DriveTable() { Set({}); }

void DriveTable::Set(std::vector<DriveEntry> entries) {
  bool has_z = false;
  for (auto& e : entries) {
    e.root = StripSlash(e.root);
    if (e.name.size() == 1 && (e.name[0] == 'Z' || e.name[0] == 'z')) has_z = true;
  }
  if (!has_z) entries.push_back({"Z", DRIVE_FIXED, "/"});
  entries_ = std::move(entries);
}

const DriveEntry* DriveTable::FindLetter(char letter) const {
  const int up = std::toupper(static_cast<unsigned char>(letter));
  for (const auto& e : entries_)
    if (e.name.size() == 1 && std::toupper(static_cast<unsigned char>(e.name[0])) == up) return &e;
  return nullptr;
}

const DriveEntry* DriveTable::FindShare(std::string_view server_share) const {
  for (const auto& e : entries_)
    if (e.name.size() > 2 && MbsICmp(e.name, server_share) == 0) return &e;
  return nullptr;
}

bool DriveTable::ToLinux(std::string_view win_path, std::string* linux_path) const {
  std::string utf8;
  if (!Cp932ToUtf8(win_path, &utf8)) return false;
  if (utf8.find('\0') != std::string::npos) return false;
  // After the conversion a 0x5C byte is always a backslash: trail bytes are gone.
  for (auto& c : utf8)
    if (c == '\\') c = '/';
  const bool trailing = !utf8.empty() && utf8.back() == '/';
  std::vector<std::string> parts;
  if (utf8.size() >= 2 && utf8[0] == '/' && utf8[1] == '/') {
    // \\server\share\rest
    std::size_t server_end = utf8.find('/', 2);
    if (server_end == std::string::npos) return false;
    std::size_t share_end = utf8.find('/', server_end + 1);
    if (share_end == std::string::npos) share_end = utf8.size();
    std::string name;
    if (!Utf8ToCp932(utf8.substr(0, share_end), &name)) return false;
    for (auto& c : name)
      if (c == '/') c = '\\';
    const DriveEntry* e = FindShare(name);
    if (e == nullptr) return false;
    AppendComponents(share_end < utf8.size() ? std::string_view(utf8).substr(share_end + 1) : "", &parts);
    *linux_path = JoinUnder(e->root, parts, trailing);
    return true;
  }
  if (utf8.size() >= 2 && utf8[1] == ':') {
    const DriveEntry* e = FindLetter(utf8[0]);
    if (e == nullptr) return false;
    AppendComponents(std::string_view(utf8).substr(2), &parts);
    *linux_path = JoinUnder(e->root, parts, trailing);
    return true;
  }
  if (!utf8.empty() && utf8[0] == '/') {
    // Rooted on the current directory's drive.
    char cwd[4096];
    std::string win_cwd;
    if (getcwd(cwd, sizeof cwd) == nullptr || !ToWindows(cwd, &win_cwd)) return false;
    std::string root_name = win_cwd.size() >= 2 && win_cwd[1] == ':' ? win_cwd.substr(0, 2) : win_cwd;
    return ToLinux(root_name + std::string(win_path), linux_path);
  }
  // Relative to the current directory, which is a real Linux folder.
  AppendComponents(utf8, &parts);
  std::string out = JoinUnder("", parts, false);
  if (out.empty()) out.push_back('.');
  if (trailing) out += '/';
  *linux_path = out;
  return true;
}

bool DriveTable::ToWindows(std::string_view linux_path, std::string* win_path) const {
  const DriveEntry* best = nullptr;
  std::size_t best_len = 0;
  for (const auto& e : entries_) {
    const std::string& r = e.root;
    bool match = r == "/" ? !linux_path.empty() && linux_path[0] == '/'
                          : linux_path.substr(0, r.size()) == r &&
                                (linux_path.size() == r.size() || linux_path[r.size()] == '/');
    if (match && (best == nullptr || r.size() > best_len)) {
      best = &e;
      best_len = r.size();
    }
  }
  if (best == nullptr) return false;
  std::string_view rest = linux_path.substr(best->root == "/" ? 1 : best_len);
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  std::string rest_cp;
  if (!Utf8ToCp932(rest, &rest_cp)) return false;
  for (auto& c : rest_cp)
    if (c == '/') c = '\\';  // no trail byte can be '/' (0x2F)
  std::string out = best->name.size() == 1 ? std::string(1, best->name[0]) + ":\\" : best->name + "\\";
  out += rest_cp;
  *win_path = out;
  return true;
}

DriveTable& Drives() {
  static DriveTable table;
  return table;
}

}  // namespace win32
