// The starting window: the accounting product's window, which lives in another process.
//
// Each call is one datagram of ASCII text to the abstract Unix socket "uchiwake-window-<handle>" (the
// handle as the signed 32-bit decimal the command line gave): "ENABLE 1" / "ENABLE 0", "FOREGROUND",
// "POST <message> <wParam> <lParam>" (signed decimals). Sending never fails the program: a window that is
// not there is like a handle that no longer exists (the call answers 0). A window that is there but has
// not read for a while (its queue full) is waited for, a bounded time, then the datagram is dropped:
// "ENABLE 0" waits at most kStarterStartWaitMs; the datagrams sent while a StarterFinalNotice lives (the
// final ones: "FOREGROUND", "ENABLE 1", the result) share kStarterFinalWaitMs from its start.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>
#include <string_view>

#include "win32/wintypes.h"

namespace win32 {

inline constexpr long long kStarterStartWaitMs = 500;
inline constexpr long long kStarterFinalWaitMs = 2000;

// The final notice to the starting window: while it lives, its datagrams share one deadline.
class StarterFinalNotice {
 public:
  StarterFinalNotice();
  ~StarterFinalNotice();
  StarterFinalNotice(const StarterFinalNotice&) = delete;
  StarterFinalNotice& operator=(const StarterFinalNotice&) = delete;
};

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

// Milliseconds of the monotonic clock. Async-signal-safe.
long long StarterClockMs();
// Sends one datagram to a window's socket address; when the window's queue is full, waits for room until
// deadline_ms (StarterClockMs), then gives up. True when it was sent. Async-signal-safe (the signal
// handler sends its notice through it); errno is changed.
bool SendToStarter(const sockaddr_un& addr, socklen_t addr_len, const char* text, std::size_t size,
                   long long deadline_ms);

}  // namespace win32
