// The files the program has open or depends on (the host database, the settings file and its lock, the
// product information file, the environment file, the executable), which a report must never replace.
//
// Each is registered under a role; registering a role again replaces its path. A report path names one
// of them when, after the drive table, it is the same directory entry (the same folder, by device and
// inode, and the same name: this also covers a file not made yet, such as the settings file before the
// first run), or when the entry at the path or what it links to is the same file by device and inode (a
// link or a hard link to it, or another route to its folder).
#pragma once

#include <string>

namespace win32 {

// A Linux path, made absolute against the current directory now.
void ProtectFile(const std::string& role, const std::string& linux_path);
// A Windows path, mapped through the drive table now; nothing is registered when it does not map.
void ProtectWindowsFile(const std::string& role, const std::string& win_path);

// True when the Windows path names a registered file.
bool IsProtectedFile(const std::string& win_path);

}  // namespace win32
