// The output path rules of the conditions dialog and the settings file: the refused-character test, the
// drive (or share) test, the splits of a path into folder, file name and drive, and the creation of a
// missing folder chain with its roll-back.
//
// Paths are code page 932 byte strings; a text ends at its first NUL byte. A double-byte character (a
// lead byte followed by a trail byte, by the C runtime's byte classes) is one character, so a trail byte
// 0x5C or 0x7C is never a separator or a refused character. Folder paths carry a trailing backslash.
//
// The working buffers hold kPathBufSize bytes (kPathMax characters and the NUL). A text longer than
// kPathMax where a working buffer would take it is refused (false), never cut short.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kPathBufSize = 261;
inline constexpr std::size_t kPathMax = kPathBufSize - 1;

// Access test modes.
inline constexpr int kAccessExists = 0;
inline constexpr int kAccessReadWrite = 6;

// True when byte `index` of text is the lead or the trail byte of a double-byte character (scanning from
// the first byte).
bool IsDbcsByteAt(std::string_view text, std::size_t index);

// Makes *path end with a backslash that is a character of its own (not the trail byte of a double-byte
// character), appending one when the result and its NUL fit `capacity` bytes. False for an empty path,
// when there is no room, when *path with its NUL does not fit `capacity` at all, or when *path ends with
// a lead byte that has no trail byte (the appended backslash would become its trail); *path is then
// unchanged.
bool AddTrailingSep(std::string* path, std::size_t capacity = kPathBufSize);

// Replaces *path by its drive and folder ("C:\data\out.xml" -> "C:\data\", "C:out.xml" -> "C:\"). False,
// *path unchanged, when that part is empty, *path is longer than kPathMax, or a part of the split is too
// long for the runtime's split buffers.
bool GetDirPart(std::string* path);

// True when the drive-and-folder part of path names an existing folder.
bool IsDirPath(std::string_view path);

// Text up to and including the last backslash ("" when none); the text after it (all of it when none).
std::string GetFolderPart(std::string_view path);
std::string GetFileNamePart(std::string_view path);
// Text up to and including the last colon ("" when none); the text after it (all of it when none).
std::string GetDrivePart(std::string_view path);
std::string GetAfterDrivePart(std::string_view path);

// True when c is a control character (a byte below 0x20), which no Windows path holds. 0x7F is an
// ordinary character of a Windows name. The dialog's path test and the settings reader share this rule.
inline bool IsPathControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

// True when path (up to its first NUL) fits a Windows path buffer with its NUL: fewer than kPathMax
// (260) bytes. A longer path cannot be opened on Windows, so it is refused before anything is made.
bool CheckPathLength(std::string_view path);

// True when path has no doubled backslash (after the leading pair of a network path), no control
// character (IsPathControl), none of / : , ; * ? " > < | after the drive's colon (or after the leading pair
// of a network path), and no folder or file name that Windows reserves for a device (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, with or without an extension).
bool CheckPathChars(std::string_view path);

// True when the drive or share of path is usable: a network path's "\\server\share" passes the access
// test for reading and writing (a path that ends right after the share name fails); any other path's
// first character goes to CheckDriveLetter with mode kAccessReadWrite.
bool CheckPathDrive(std::string_view path);

// By the drive type of "<letter>:\": removable, fixed and remote drives pass when the root passes the
// access test in `mode`; CD-ROM, RAM disk and an unknown type fail; a letter that names no drive passes.
// Anything but A-Z / a-z fails.
bool CheckDriveLetter(char letter, int mode);

// Creates every missing level of the folder from the root down. When a level cannot be created, the
// levels created by this call are removed again (deepest first) and the answer is false; the levels that
// existed before stay.
bool CreateFolderChain(std::string_view folder);

// Removes the existing levels of `target` below `stop` (which must be `target` itself or a folder above
// it on the same root), deepest first; `stop` and everything above it stay. False when the paths do not
// fit these rules (nothing removed) or when a level cannot be removed (the levels above it stay).
bool RemoveCreatedFolders(std::string_view target, std::string_view stop);
