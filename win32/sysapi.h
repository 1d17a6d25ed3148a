// Current directory, the executable's own path and file existence, with Windows semantics over the
// drive table. Paths are code page 932 Windows paths.
#pragma once

#include <string>

#include "win32/wintypes.h"

namespace win32 {

// Chars written without the NUL; when too small, the size needed including the NUL; 0 on failure.
// No trailing backslash except on a drive root ("C:\").
DWORD GetCurrentDirectoryA(DWORD size, char* buf);
BOOL SetCurrentDirectoryA(const char* path);
// The executable's path; hModule is ignored (always the program itself). Truncates like Vista and
// later: at most size-1 chars and a NUL, answering size.
DWORD GetModuleFileNameA(HWND hModule, char* buf, DWORD size);
// Where GetModuleFileNameA pretends the executable is (a Linux path); empty restores /proc/self/exe.
void SetModulePathForTesting(const std::string& linux_path);

// Process set-up for the file functions: a write past a file-size limit fails with an error (as a full
// disk does) instead of ending the process with a signal, and so does a write to a closed pipe.
void InitFileSignals();

// True when a file or folder exists at the Windows path.
bool FileExistsA(const char* path);

}  // namespace win32
