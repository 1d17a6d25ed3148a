// The process's current directory as a Windows path over the drive table (code page 932).
#pragma once

#include "win32/wintypes.h"

namespace win32 {

// Chars written without the NUL; when too small, the size needed including the NUL; 0 on failure.
// No trailing backslash except on a drive root ("C:\").
DWORD GetCurrentDirectoryA(DWORD size, char* buf);
BOOL SetCurrentDirectoryA(const char* path);

}  // namespace win32
