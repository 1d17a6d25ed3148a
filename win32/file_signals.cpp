// The signals a failing write would otherwise raise, ignored so that the write answers an error.
#include "win32/file_signals.h"

#include <signal.h>

namespace win32 {

void InitFileSignals() {
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace win32
