// The last error of the calling thread, as the Windows calls of this layer set it: the folder calls
// (CreateDirectoryA, RemoveDirectoryA), the global memory calls and the full-width mapping
// (LCMapStringA). Each call's header says which codes it sets and when; callers read the code right
// after the call that failed.
#pragma once

#include "win32/wintypes.h"

namespace win32 {

DWORD GetLastError();
void SetLastError(DWORD code);

}  // namespace win32
