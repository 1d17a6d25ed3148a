// Datagrams to the starting window's abstract Unix socket.
#include "win32/starter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>

#include "win32/crt.h"

namespace win32 {

namespace {
bool SendDatagram(HWND window, const std::string& text) {
  sockaddr_un addr{};
  const socklen_t len = StarterSocketAddress(window, &addr);
  if (len == 0) return false;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  ssize_t n = sendto(fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&addr), len);
  close(fd);
  return n == static_cast<ssize_t>(text.size());
}

std::map<HWND, bool>& DisabledState() {
  static std::map<HWND, bool> state;
  return state;
}
}  // namespace

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
  SendDatagram(window, enable ? "ENABLE 1" : "ENABLE 0");
  disabled = !enable;
  return was_disabled;
}

BOOL SetForegroundWindow(HWND window) { return SendDatagram(window, "FOREGROUND") ? TRUE : FALSE; }

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  char text[96];
  std::snprintf(text, sizeof text, "POST %d %d %d", static_cast<int>(static_cast<std::int32_t>(message)),
                static_cast<int>(static_cast<std::int32_t>(wparam)), static_cast<int>(lparam));
  return SendDatagram(window, text) ? TRUE : FALSE;
}

}  // namespace win32
