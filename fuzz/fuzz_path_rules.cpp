// The output path rules and the path splits: any bytes split into parts that put the text back together,
// never read or write outside the text or the working buffer, and never take a trail byte for a
// backslash. The refused-character rule refuses every control character and every device name. Through
// a drive over a private folder holding "DATA" and "Data", Windows names resolve as Windows reads them:
// no name below the root is empty, "." or "..", or ends in a dot or a blank, and a first name equal to
// "data" ignoring ASCII case is the exact entry, else the first of the two in byte order ("DATA").
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "conditions/path_rules.h"
#include "fuzz/fuzz_support.h"
#include "win32/codepage.h"
#include "win32/mbcs.h"
#include "win32/paths.h"

namespace {

using fuzz::Check;

// The byte at i is a backslash of its own (not part of a double-byte character).
bool IsRealBackslash(std::string_view text, std::size_t i) {
  return i < text.size() && text[i] == '\\' && !IsDbcsByteAt(text, i);
}

std::string g_strRoot;  // drive C:

void RemoveEntries() {
  rmdir((g_strRoot + "/DATA").c_str());
  rmdir((g_strRoot + "/Data").c_str());
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const fuzz::WorkFile& work = fuzz::MakeWorkFile("unused");
  g_strRoot = work.linux_path.substr(0, work.linux_path.rfind('/'));
  Check(mkdir((g_strRoot + "/DATA").c_str(), 0755) == 0 && mkdir((g_strRoot + "/Data").c_str(), 0755) == 0);
  std::atexit(RemoveEntries);  // before the work folder itself goes
  win32::Drives().Set({{"C", win32::DRIVE_FIXED, g_strRoot}});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  // The rules read a path as a C text: up to its first NUL.
  const std::string text(raw.substr(0, raw.find('\0')));

  // Double-byte characters come as whole pairs.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsDbcsByteAt(raw, i) && !IsDbcsByteAt(raw, i + 1)) {
      Check(i > 0 && IsDbcsByteAt(raw, i - 1));
    }
  }
  Check(!IsDbcsByteAt(raw, text.size()));

  const std::string folder = GetFolderPart(raw);
  const std::string name = GetFileNamePart(raw);
  Check(folder + name == text);
  Check(folder.empty() || IsRealBackslash(text, folder.size() - 1));
  for (std::size_t i = folder.size(); i < text.size(); ++i) Check(!IsRealBackslash(text, i));
  Check(GetDrivePart(raw) + GetAfterDrivePart(raw) == text);

  std::string sep = text;
  const std::size_t capacity = size > 0 && data[0] < 16 ? data[0] : kPathBufSize;
  if (AddTrailingSep(&sep, capacity)) {
    Check(sep.size() + 1 <= capacity && sep.compare(0, text.size(), text) == 0);
    Check(sep.size() <= text.size() + 1 && IsRealBackslash(sep, sep.size() - 1));
  } else {
    const bool lone_lead = !text.empty() && win32::IsLeadByte(static_cast<unsigned char>(text.back())) &&
                           !IsDbcsByteAt(text, text.size() - 1);
    Check(sep == text && (text.empty() || text.size() + 1 >= capacity || lone_lead));
  }

  std::string dir = text;
  if (GetDirPart(&dir)) {
    Check(!dir.empty() && dir.size() <= kPathMax && dir.size() <= text.size() + 1);
    // Drive and folder are the text's start; a backslash may have been appended after them.
    const bool prefix = text.compare(0, dir.size(), dir) == 0;
    Check(prefix || (dir.back() == '\\' && text.compare(0, dir.size() - 1, dir, 0, dir.size() - 1) == 0));
  } else {
    Check(dir == text);
  }

  // Control characters and device names are refused wherever they stand (no trail byte is below 0x40).
  const bool accepted = CheckPathChars(raw);
  for (char c : text) Check(!accepted || static_cast<unsigned char>(c) >= 0x20);
  const bool lone_lead_at_end = !text.empty() && win32::IsLeadByte(static_cast<unsigned char>(text.back())) &&
                                !IsDbcsByteAt(text, text.size() - 1);
  if (accepted && !lone_lead_at_end) {
    Check(!CheckPathChars(text + "\x1F"));
    // In a network path the first two names are the server and the share.
    const std::string device = text + "\\Con .xml";
    if (device.compare(0, 2, "\\\\") != 0) Check(!CheckPathChars(device));
  }

  // Windows names over the drive.
  std::string linux_path;
  std::string utf8;
  if (win32::Cp932ToUtf8(text, &utf8) && win32::Drives().ToLinux("C:\\" + text, &linux_path)) {
    Check(linux_path.compare(0, g_strRoot.size(), g_strRoot) == 0);
    std::string_view rest = std::string_view(linux_path).substr(g_strRoot.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    bool first = true;
    while (!rest.empty()) {
      Check(rest[0] == '/');
      rest.remove_prefix(1);
      const std::string_view part = rest.substr(0, rest.find('/'));
      rest.remove_prefix(part.size());
      Check(!part.empty() && part != "." && part != ".." && part.back() != '.' && part.back() != ' ');
      // "Data" only where the text wrote it so; any other spelling is "DATA".
      if (first && SameIgnoringAsciiCase(part, "data"))
        Check(part == "DATA" || (part == "Data" && utf8.find("Data") != std::string::npos));
      first = false;
    }
  } else {
    Check(!win32::Cp932ToUtf8(text, &utf8));  // a name with no UTF-8 form names nothing
  }

  if (text.size() <= kPathMax) {
    char drive[win32::MAX_DRIVE], sdir[win32::MAX_DIR], fname[win32::MAX_FNAME], ext[win32::MAX_EXT];
    if (win32::SplitPath(text.c_str(), drive, sdir, fname, ext)) {
      Check(std::string(drive) + sdir + fname + ext == text);
    } else {
      Check(drive[0] == '\0' && sdir[0] == '\0' && fname[0] == '\0' && ext[0] == '\0');
    }

    const char* rest = win32::PathSkipRootA(text.c_str());
    Check(rest == nullptr || (rest >= text.c_str() && rest <= text.c_str() + text.size()));
    std::string root = text;
    win32::PathStripToRootA(root.data());
    const std::size_t root_len = std::strlen(root.c_str());
    Check(text.compare(0, root_len, root.c_str()) == 0);
  }
  return 0;
}
