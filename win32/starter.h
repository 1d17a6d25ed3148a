// The starting window: the accounting product's window, which lives in another process.
//
// Each call is one datagram of ASCII text to the abstract Unix socket "uchiwake-window-<handle>" (the
// handle as the signed 32-bit decimal the command line gave): "ENABLE 1" / "ENABLE 0", "FOREGROUND",
// "POST <message> <wParam> <lParam>" (signed decimals). Sending never blocks and never fails the program:
// a window that is not there is like a handle that no longer exists (the call answers 0).
#pragma once

#include <string>

#include "win32/wintypes.h"

namespace win32 {

// Answers nonzero when the window was disabled before (as Windows does); this stand-in cannot ask the
// other process, so it remembers what it last sent and answers from that.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL SetForegroundWindow(HWND window);
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The socket name of a handle (without the leading NUL of the abstract namespace).
std::string StarterSocketName(HWND window);

}  // namespace win32
