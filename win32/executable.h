// The running executable's own path.
#pragma once

#include <string>

#include "win32/wintypes.h"

namespace win32 {

// The Linux path of the running executable (/proc/self/exe), read in full however long: false when it
// cannot be read, never a path cut short.
bool ExecutablePath(std::string* linux_path);

// The executable's path as a Windows path (code page 932); hModule is ignored (always the program
// itself). Truncates like Vista and later: at most size-1 chars and a NUL, answering size.
DWORD GetModuleFileNameA(HWND hModule, char* buf, DWORD size);
// Where GetModuleFileNameA pretends the executable is (a Linux path); empty restores /proc/self/exe.
void SetModulePathForTesting(const std::string& linux_path);

}  // namespace win32
