// The running executable's own path.
#pragma once

#include <string>

namespace win32 {

// The Linux path of the running executable (/proc/self/exe), read in full however long: false when it
// cannot be read, never a path cut short.
bool ExecutablePath(std::string* linux_path);

}  // namespace win32
