// Whether a server listens on a Unix stream socket: a socket file left by a server that is gone refuses
// the connection.
#pragma once

#include <string>

namespace win32 {

// Connects to the socket at `path` and hangs up at once; false when nothing accepts the connection (no
// such file, a stale socket file, a path too long for a socket address).
bool UnixSocketAnswers(const std::string& path);

}  // namespace win32
