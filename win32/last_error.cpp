// One last error per thread for every call of this layer.
#include "win32/last_error.h"

namespace win32 {

namespace {
thread_local DWORD t_last_error = 0;
}  // namespace

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD code) { t_last_error = code; }

}  // namespace win32
