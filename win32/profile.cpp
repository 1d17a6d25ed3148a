// INI lookup as GetPrivateProfileStringA does it.
#include "win32/profile.h"

#include <cerrno>
#include <cstring>

#include "win32/drives.h"
#include "win32/file.h"
#include "win32/mbcs.h"

namespace win32 {

namespace {
bool IsIniSpace(char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsIniSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsIniSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return a.size() == b.size() && MbsICmp(a, b) == 0; }

thread_local int t_readError = 0;
}  // namespace

int ProfileReadError() { return t_readError; }

std::string LookupProfileValue(std::string_view text, std::string_view section, std::string_view key,
                               std::string_view def, bool* found) {
  bool in_section = false;
  std::size_t i = 0;
  *found = false;
  while (i < text.size()) {
    std::size_t j = text.find_first_of("\r\n", i);
    if (j == std::string_view::npos) j = text.size();
    std::string_view line = Trim(text.substr(i, j - i));
    i = j + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::size_t close = line.find(']');
      std::string_view name =
          Trim(line.substr(1, (close == std::string_view::npos ? line.size() : close) - 1));
      in_section = SameName(name, section);
      continue;
    }
    if (!in_section) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!SameName(Trim(line.substr(0, eq)), key)) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    *found = true;
    return std::string(value);
  }
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
  return std::string(def);
}

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* buf, DWORD size,
                               const char* file) {
  std::string text;
  std::string linux_path;
  const std::string_view file_name = file != nullptr ? file : "";
  const bool has_folder = file_name.find_first_of("\\/:") != std::string_view::npos;
  // A file that cannot be read (a FIFO or a device among them, never opened) gives the defaults.
  t_readError = 0;
  if (has_folder && Drives().ToLinux(file_name, &linux_path) && !ReadRegularFile(linux_path, &text)) {
    t_readError = errno == ENOENT || errno == ENOTDIR ? 0 : errno;
    text.clear();
  }
  bool found = false;
  std::string value = LookupProfileValue(text, section != nullptr ? section : "", key != nullptr ? key : "",
                                         def != nullptr ? def : "", &found);
  if (size == 0) return 0;
  // The value is cut to size-1 bytes (the profile functions do not look at character boundaries).
  const std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(buf, value.data(), n);
  buf[n] = '\0';
  return static_cast<DWORD>(n);
}

}  // namespace win32
