// Datagrams to the starting window's abstract Unix socket.
#include "win32/starter.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>

#include "win32/crt.h"

namespace win32 {

namespace {
long long g_finalDeadline = -1;  // the deadline of the living StarterFinalNotice, -1 when none lives

bool SendDatagram(HWND window, const std::string& text, long long wait_ms) {
  sockaddr_un addr{};
  const socklen_t len = StarterSocketAddress(window, &addr);
  if (len == 0) return false;
  const long long deadline = g_finalDeadline >= 0 ? g_finalDeadline : StarterClockMs() + wait_ms;
  return SendToStarter(addr, len, text.data(), text.size(), deadline);
}

std::map<HWND, bool>& DisabledState() {
  static std::map<HWND, bool> state;
  return state;
}
}  // namespace

StarterFinalNotice::StarterFinalNotice() { g_finalDeadline = StarterClockMs() + kStarterFinalWaitMs; }

StarterFinalNotice::~StarterFinalNotice() { g_finalDeadline = -1; }

long long StarterClockMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool SendToStarter(const sockaddr_un& addr, socklen_t addr_len, const char* text, std::size_t size,
                   long long deadline_ms) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  bool sent = false;
  // Connected, so that poll tells when the window's queue has room again.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), addr_len) == 0) {
    while (true) {
      const ssize_t n = send(fd, text, size, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n >= 0) {
        sent = static_cast<std::size_t>(n) == size;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) break;
      const long long left = deadline_ms - StarterClockMs();
      if (left <= 0) break;
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, static_cast<int>(left < 1000 ? left : 1000));
    }
  }
  close(fd);
  return sent;
}

HWND StarterWindowFromText(std::string_view text) {
  return static_cast<HWND>(static_cast<std::uint32_t>(Atol(text)));
}

std::string StarterSocketName(HWND window) {
  return "uchiwake-window-" + std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(window)));
}

socklen_t StarterSocketAddress(HWND window, sockaddr_un* addr) {
  const std::string name = StarterSocketName(window);
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof addr->sun_path) return 0;
  addr->sun_path[0] = '\0';  // abstract namespace
  std::memcpy(addr->sun_path + 1, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

BOOL EnableWindow(HWND window, BOOL enable) {
  bool& disabled = DisabledState()[window];
  const BOOL was_disabled = disabled ? TRUE : FALSE;
  SendDatagram(window, enable ? "ENABLE 1" : "ENABLE 0", enable ? kStarterFinalWaitMs : kStarterStartWaitMs);
  disabled = !enable;
  return was_disabled;
}

BOOL SetForegroundWindow(HWND window) {
  return SendDatagram(window, "FOREGROUND", kStarterFinalWaitMs) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  char text[96];
  std::snprintf(text, sizeof text, "POST %d %d %d", static_cast<int>(static_cast<std::int32_t>(message)),
                static_cast<int>(static_cast<std::int32_t>(wparam)), static_cast<int>(lparam));
  return SendDatagram(window, text, kStarterFinalWaitMs) ? TRUE : FALSE;
}

}  // namespace win32
