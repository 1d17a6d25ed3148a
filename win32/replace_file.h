// Files the user keeps (the report, the settings file) are replaced whole or not at all, and an advisory
// lock file serialises the rewrites of the settings file.
//
// ReplacementFile writes the new version to a temporary file in the target's folder and puts it in the
// target's place by rename:
// - The temporary file is created exclusively and never through a link (O_CREAT | O_EXCL | O_NOFOLLOW),
//   under a name no importer takes for a report or a settings file: ".uchiwake-<pid>-<16 hex>.tmp"
//   (IsTempFileName). It is locked (flock, on a descriptor of its own) from its creation until it is in
//   the target's place, and registered with the signal handler, which removes it.
// - An existing regular file's permission bits are kept, and its owner where the process may set it; a
//   new file gets 0666 less the umask. An existing file the process may not write is refused (EACCES), as
//   a read-only file is on Windows.
// - A symbolic link at the target is followed (link after link, as opening the path would): the file it
//   leads to is what is replaced, in its own folder, and the link stays. A hard link at the target is a
//   name like any other: that name gets the new file, the file's other names keep the old one. A folder
//   is refused (EISDIR); a FIFO, socket or device is refused (ENXIO) without being opened.
// - Commit syncs the file, closes it, renames it over the target, releases its lock and syncs the
//   folder; an error of any of these fails the commit. Until the rename the target is untouched; every
//   failure before it removes the temporary file. (A failing sync of the folder after the rename leaves
//   the new file in place but still fails: its durability is not assured.)
// - Begin first removes the temporary files of earlier writers in that folder that are older than a
//   minute and no longer locked (their writer was killed). Only names of the exact form above are
//   touched: a user's ".uchiwake-notes.tmp" is left alone.
// - Where in-place writing is allowed (Begin's last argument) and the folder refuses a new file for want
//   of permission while the existing target may be written, the target itself is opened, locked and
//   truncated, and Commit syncs and closes it: that case is not whole-or-nothing (a failure or a kill
//   midway leaves a short file), as writing the file directly never was.
// Killed at any moment, the folder holds the old file or the new one, whole, and at most a temporary
// file that the next writer there cleans up.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

namespace win32 {

class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();  // discards what was not committed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Prepares the replacement of the Linux path `target`. False with *error (an errno) on failure.
  bool Begin(const std::string& target, int* error, bool in_place_allowed = false);
  // True when Begin fell back to writing the target in place.
  bool InPlace() const { return m_bInPlace; }
  // The temporary file's descriptor (write-only), -1 when none is open.
  int Descriptor() const { return m_fd; }
  // Puts the written file in the target's place; false with *error on failure (the target untouched
  // unless the failure is the folder's sync after the rename).
  bool Commit(int* error);
  // Closes and removes the temporary file; the target stays as it was.
  void Discard();

 private:
  bool BeginInPlace(const std::string& target, int* error);
  // After the temporary file is made: its lock taken on a descriptor of its own, then the owner and the
  // permission bits of the file it replaces (`old`, when one `existed`), else those a new file gets.
  // False with *error set.
  bool SettleTempFile(bool existed, const struct stat& old, int* error);

  int m_fd = -1;
  int m_lockFd = -1;  // the temporary file's lock, held until the rename
  bool m_bInPlace = false;
  int m_nSlot = -1;  // the signal handler's registration
  std::string m_strTarget;
  std::string m_strTemp;
};

// The name prefix and suffix of temporary files.
inline constexpr std::string_view kTempPrefix = ".uchiwake-";
inline constexpr std::string_view kTempSuffix = ".tmp";

// True for a name of the exact form of the temporary files (".uchiwake-<pid>-<16 hex>.tmp": the process
// id in decimal without leading zeros, sixteen lower-case hexadecimal digits), and only for it.
bool IsTempFileName(std::string_view name);

// The path that a chain of symbolic links at the Linux path `path` leads to (`path` itself when it is no
// link), as opening it follows them; false with *error (ELOOP after 40 links, or the system's error).
bool FollowLinks(std::string path, std::string* followed, int* error);

// Removes the temporary files (IsTempFileName) in `folder` (a Linux path) that are older than max_age_seconds
// and whose writer is gone (their lock is free). Answers how many were removed.
int RemoveStaleTempFiles(const std::string& folder, long max_age_seconds = 60);

// The permission bits of the file at a Windows path, or, when there is none, those a new file there gets
// (0666 less the umask).
unsigned PermissionBitsForNewFile(const std::string& win_path);

// The receiver of a file's bytes in pieces; false stops the giver.
using ByteSink = std::function<bool(std::string_view bytes)>;

// Reads the regular file at a Windows path in pieces of at most 64 KiB, in order, holding no more than one
// piece at a time. 0 when read to its end or stopped by `piece`, else an errno: ENOENT when nothing is at
// the path, ENXIO for a FIFO, socket or device (never opened), EISDIR for a folder, or the system's error.
int ReadFileInPieces(const std::string& win_path, const ByteSink& piece);

// Replaces a file (Windows path) through a ReplacementFile by the bytes `fill` hands to the sink it is
// given (written in pieces of 64 KiB, so the file may be of any size). `fill` answers 0, or an errno
// that fails the replacement. False with *error on failure, the file then as it was.
bool ReplaceFileWith(const std::string& win_path, const std::function<int(const ByteSink& sink)>& fill,
                     int* error = nullptr);

// An exclusive advisory lock on a lock file, held until destruction. The lock file is created when
// missing, exclusively, never through a link, with the permission bits given (those of the file it
// guards, so that whoever may write that file may take its lock); it is never removed.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // Waits up to timeout_ms for another holder. False with *error: EWOULDBLOCK when the wait ran out,
  // ELOOP for a link at the path, ENXIO for something other than a regular file, or the system's error.
  bool Acquire(const std::string& win_path, unsigned mode, int timeout_ms, int* error);

 private:
  int m_fd = -1;
};

// Tests: called before each step of a commit ("fsync", "close", "rename", "fsync-folder"); a non-zero
// answer makes that step fail with that errno. Empty to remove.
void SetReplaceHookForTesting(std::function<int(const char* step)> hook);

}  // namespace win32
