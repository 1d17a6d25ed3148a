// How long the program waits for a lock that another process holds: the settings file's lock and the host
// database's. Every such wait passes through LockWaitMs, the one place where a test shortens them all.
#pragma once

namespace win32 {

// The wait to use for a lock whose normal wait is normal_ms. With UCHIWAKE_TEST_LOCK_WAIT_MS set in the
// environment (read once, at the first call) to a whole number of milliseconds, that number, when it is
// shorter; otherwise normal_ms.
int LockWaitMs(int normal_ms);

}  // namespace win32
