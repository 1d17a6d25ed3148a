// Windows path functions over the drive table: root handling, the C runtime's path split, drive types,
// folder creation and removal, the access test, the temporary folder and case-insensitive comparison.
//
// Every path is a code page 932 Windows path (NUL-terminated byte string). A double-byte character is one
// character: its trail byte (which may be 0x5C or 0x7C) is never a backslash or a vertical bar. Paths reach
// Linux through win32::Drives(); a drive letter or share with no row behaves like a drive that does not
// exist. A path holding a character that Windows refuses in names (control characters, < > " | ? * and a
// colon other than the drive's) names nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "win32/drives.h"
#include "win32/last_error.h"
#include "win32/wintypes.h"

namespace win32 {

// Error codes of GetLastError.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_DIRECTORY = 267;

inline constexpr BOOL FILE_ATTRIBUTE_DIRECTORY = 0x10;

// Buffer sizes (NUL included) of the path split's parts.
inline constexpr std::size_t MAX_DRIVE = 3;
inline constexpr std::size_t MAX_DIR = 256;
inline constexpr std::size_t MAX_FNAME = 256;
inline constexpr std::size_t MAX_EXT = 256;

// Pointer into path just after its root ("C:\" or "\\server\share\"); null when the path has no such
// root ("C:x", "\x", "\\server\share", relative, empty, null, or a first byte that is a lead byte).
const char* PathSkipRootA(const char* path);
inline char* PathSkipRootA(char* path) {
  return const_cast<char*>(PathSkipRootA(static_cast<const char*>(path)));
}

// Cuts path in place down to its root by removing trailing components: "C:\x\y" -> "C:\",
// "\\server\share\x" -> "\\server\share", "\x" -> "\". FALSE when no root is reached ("C:x" ends as "C:",
// a relative path ends empty) or path is null.
BOOL PathStripToRootA(char* path);

// FILE_ATTRIBUTE_DIRECTORY (0x10, not 1) when path names an existing folder (a trailing backslash is
// allowed); TRUE (1) for a share root "\\server\share" whose folder exists; FALSE otherwise, including
// "\\server" alone. Compare with != FALSE.
BOOL PathIsDirectoryA(const char* path);

// _splitpath: drive = the first two bytes when the second is ':'; dir = the rest up to and including the
// last '\' or '/'; ext = from the last '.' after that; fname = what lies between. Lead and trail byte
// pairs are stepped over whole. Any output may be null; buffers hold MAX_DRIVE, MAX_DIR, MAX_FNAME and
// MAX_EXT bytes. When a part does not fit its buffer, every given output is set to "" and the answer is
// false (a part is never cut short, which would name another file or folder).
bool SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext);

// The drive type of a root: "C:\", "C:/" and "C:" give the type of the drive's row; a longer path gives it
// only when it ends with a backslash and names an existing folder; "\\server\share\" (with the trailing
// backslash) gives the share's type when its folder exists. Everything else, including a letter with no
// row, answers DRIVE_NO_ROOT_DIR. Null means the current directory's drive.
UINT GetDriveTypeA(const char* root);

// Creates one folder (security is ignored). FALSE with GetLastError: ERROR_ALREADY_EXISTS (a folder or a
// file is there), ERROR_PATH_NOT_FOUND (a level above is missing, or no such drive), ERROR_ACCESS_DENIED,
// ERROR_INVALID_NAME, ERROR_DISK_FULL, ERROR_FILENAME_EXCED_RANGE.
BOOL CreateDirectoryA(const char* path, const void* security);
// Removes one empty folder. FALSE with GetLastError: ERROR_DIR_NOT_EMPTY, ERROR_FILE_NOT_FOUND (the last
// level is missing), ERROR_PATH_NOT_FOUND, ERROR_DIRECTORY (path is a file), ERROR_ACCESS_DENIED,
// ERROR_INVALID_NAME.
BOOL RemoveDirectoryA(const char* path);

// _access: 0 when path exists and, when mode has bit 2 (modes 2 and 6), is not read-only; otherwise -1 with
// errno ENOENT or EACCES. Read-only is the owner's write bit (st_mode & S_IWUSR), for files and folders
// alike, whoever asks (as Windows looks only at the read-only attribute). Other mode bits are not checked.
int Access(const char* path, int mode);

// The temporary folder (TMPDIR, or /tmp when it is unset or not absolute) as a Windows path through the
// drive table, always ending with a backslash. Answers the length without the NUL; when buf is too small,
// the size needed including the NUL (buf untouched); 0 when the folder has no Windows form.
DWORD GetTempPathA(DWORD size, char* buf);

// Case-insensitive comparison of code page 932 texts (ASCII and full-width Latin letters folded), whole
// (_mbsicmp) and over at most n leading bytes (_mbsnbicmp): -1, 0 or +1.
int PathICmp(std::string_view a, std::string_view b);
int PathNICmp(std::string_view a, std::string_view b, std::size_t n);

}  // namespace win32
