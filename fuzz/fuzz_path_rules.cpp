// The pure output path rules and the path splits (nothing touches the file system): any bytes split into
// parts that put the text back together, never read or write outside the text or the working buffer,
// and never take a trail byte for a backslash.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "conditions/path_rules.h"
#include "win32/mbcs.h"
#include "win32/paths.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The byte at i is a backslash of its own (not part of a double-byte character).
bool IsRealBackslash(std::string_view text, std::size_t i) {
  return i < text.size() && text[i] == '\\' && !IsDbcsByteAt(text, i);
}

}  // namespace

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

  CheckPathChars(raw);

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
