// The existence test of a Windows path over the drive table (code page 932).
#pragma once

namespace win32 {

// True when a file or folder exists at the Windows path.
bool FileExistsA(const char* path);

}  // namespace win32
