// The waits for locks held by other processes.
#include "win32/lock_wait.h"

#include <cstdlib>

namespace win32 {

int LockWaitMs(int normal_ms) {
  static const long wanted = [] {
    const char* text = std::getenv("UCHIWAKE_TEST_LOCK_WAIT_MS");
    char* end = nullptr;
    const long ms = text != nullptr ? std::strtol(text, &end, 10) : -1;
    return text != nullptr && *text != '\0' && *end == '\0' && ms >= 0 ? ms : -1;
  }();
  return wanted >= 0 && wanted < normal_ms ? static_cast<int>(wanted) : normal_ms;
}

}  // namespace win32
