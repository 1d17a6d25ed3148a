// The starting window: the accounting product's window, which lives in another process.
//
// Each call is one datagram of ASCII text to the abstract Unix socket "uchiwake-window-<handle>" (the
// handle as the signed 32-bit decimal the command line gave): "ENABLE 1" / "ENABLE 0", "FOREGROUND",
// "POST <message> <wParam> <lParam>" (signed decimals). Sending never blocks and never fails the program:
// a window that is not there is like a handle that no longer exists (the call answers 0).
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>
#include <string_view>

#include "win32/wintypes.h"

namespace win32 {

// Answers nonzero when the window was disabled before (as Windows does); this stand-in cannot ask the
// other process, so it remembers what it last sent and answers from that.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL SetForegroundWindow(HWND window);
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The starting window's handle as the hand-shake gives it: the text read as atol reads it (saturating at
// 32 bits), kept as the 32-bit handle that number is. The program and whatever plays the window read the
// hand-shake through this, so both reach the same socket.
HWND StarterWindowFromText(std::string_view text);

// The socket name of a handle (without the leading NUL of the abstract namespace): the low 32 bits of the
// handle as a signed decimal.
std::string StarterSocketName(HWND window);

// The abstract socket address of a handle in *addr; answers its length, or 0 when the name does not fit.
socklen_t StarterSocketAddress(HWND window, sockaddr_un* addr);

}  // namespace win32
