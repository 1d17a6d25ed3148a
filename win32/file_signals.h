// Process set-up for the file functions.
#pragma once

namespace win32 {

// A write past a file-size limit fails with an error (as a full disk does) instead of ending the process
// with a signal, and so does a write to a closed pipe.
void InitFileSignals();

}  // namespace win32
