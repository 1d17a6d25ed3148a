// The files the program has open or depends on (the host database and its companion files, the settings
// files and their locks, the product information file, the environment file, the executables), which a
// report must never replace.
//
// Each is registered under a role; registering a role again replaces its path. A path registered as a
// Windows path is mapped through the drive table at each check, so that a folder made since (the settings
// folder on a first run) counts. A report path names one of them when, after the drive table:
// - it is the same name, whether the file exists yet or not: the same nearest existing folder (by device
//   and inode, so another drive or route to it counts) and, below it, the same names ignoring the case of
//   ASCII letters, as every file access resolves names (trailing dots and blanks are dropped by the drive
//   table);
// - or the entry at the path, or what it links to, is the same file by device and inode (a link or a
//   hard link to it);
// - or a symbolic link at the path leads, link after link, to such a name (a report is written through
//   a link).
// A report path whose last name has the form of the program's temporary files is refused as well: the
// clean-up of a later run would remove it.
#pragma once

#include <string>

namespace win32 {

// A Linux path, made absolute against the current directory now.
void ProtectFile(const std::string& role, const std::string& linux_path);
// A Windows path, mapped through the drive table at each check.
void ProtectWindowsFile(const std::string& role, const std::string& win_path);

// True when the Windows path names a registered file (or a temporary file's name).
bool IsProtectedFile(const std::string& win_path);

}  // namespace win32
