// Whole-file replacement that never leaves a partial file, and an advisory lock file.
//
// ReplaceFileContents writes the new bytes to a temporary file in the target's folder (with the old
// file's mode, and owner where the process may set it), flushes it to disk and renames it over the
// target. Killed at any moment, the folder holds the old file or the new one, whole (and perhaps a
// stray temporary file, which is never read). On any failure the target stays as it was and the answer
// is false.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace win32 {

bool ReplaceFileContents(const std::string& win_path, std::string_view bytes);

// Reads a whole file; false when it is missing or unreadable.
bool ReadWholeFile(const std::string& win_path, std::string* bytes);

// An exclusive advisory lock on a lock file (created when missing, never removed), held until
// destruction. Acquire waits for another holder and answers false when the file cannot be made.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Acquire(const std::string& win_path);

 private:
  int m_fd = -1;
};

// Tests: called with "temp-written" after the temporary file is complete and before the rename, and
// with "renamed" after it. Empty to remove.
void SetReplaceHookForTesting(std::function<void(const char* step)> hook);

}  // namespace win32
