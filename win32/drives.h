// The drive table: how Windows paths of the program reach Linux folders.
//
// A drive letter ("C") or a share ("\\srv\share") maps to a Linux folder and a drive type. With no row for
// "Z", Z: is "/" (fixed), so every Linux file is reachable. A letter with no row is a drive that does not
// exist. Windows paths are code page 932 byte strings; Linux paths are UTF-8. Every look at a file (its
// existence, opening it, making a folder, the settings and the program's own files) goes through
// ToLinux, so a name that differs only in case from an existing one means that one, as on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win32 {

enum DriveType : int {
  DRIVE_UNKNOWN = 0,
  DRIVE_NO_ROOT_DIR = 1,
  DRIVE_REMOVABLE = 2,
  DRIVE_FIXED = 3,
  DRIVE_REMOTE = 4,
  DRIVE_CDROM = 5,
  DRIVE_RAMDISK = 6,
};

struct DriveEntry {
  std::string name;  // "C" (one letter, any case) or "\\srv\share" (code page 932)
  int type = DRIVE_FIXED;
  std::string root;  // absolute Linux folder, UTF-8, without a trailing '/' (except "/" itself)
};

class DriveTable {
 public:
  DriveTable();
  // Replaces the table; adds Z: -> "/" (fixed) when the entries have no Z.
  void Set(std::vector<DriveEntry> entries);
  const std::vector<DriveEntry>& Entries() const { return entries_; }

  // The entry for a drive letter, or for a "\\server\share" name (case-insensitive); null when none.
  const DriveEntry* FindLetter(char letter) const;
  const DriveEntry* FindShare(std::string_view server_share) const;

  // Windows path (absolute, drive-relative, rooted or relative) to a Linux path, naming the file that
  // Windows would name. "." and ".." are resolved and never climb above the drive root; trailing dots and
  // spaces of a name are dropped ("r.xml." is "r.xml"). Each name is then looked up in its Linux folder:
  // the exact name when it exists, else the entry equal to it ignoring the case of ASCII letters (full-
  // width letters are distinct; of several such entries, the first in byte order). Names below one that
  // exists in no form are taken as written. False for a drive or share with no row, or a name with no
  // UTF-8 form.
  bool ToLinux(std::string_view win_path, std::string* linux_path) const;
  // Absolute Linux path to a Windows path through the longest matching root. False when the name has no
  // code page 932 form or no root matches.
  bool ToWindows(std::string_view linux_path, std::string* win_path) const;

 private:
  std::vector<DriveEntry> entries_;
};

// The process-wide table (the host connection fills it).
DriveTable& Drives();

}  // namespace win32
