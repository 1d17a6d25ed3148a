// Profile (INI) reading with the semantics of GetPrivateProfileStringA.
#pragma once

#include <string>
#include <string_view>

#include "win32/wintypes.h"

namespace win32 {

// Copies the value of key in section of the INI file at the Windows path `file` into buf (at most
// size-1 chars and a NUL) and answers the number of chars copied. A missing file, section or key gives
// the default (with its trailing blanks removed), and so does a file that cannot be read, a FIFO or a
// device among them (never opened); "key=" gives "" and 0. Section and key names are
// case-insensitive; lines and names are trimmed; one pair of matching quotes around a value is removed;
// lines starting with ';' are comments; the first of several equal keys wins. A file name without a
// folder is looked up in the Windows folder, which this system does not have: the default is given.
// size 0 leaves buf untouched.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* buf, DWORD size,
                               const char* file);

// Why the calling thread's last GetPrivateProfileStringA gave the defaults for want of its file: the
// errno of a file that is there but could not be read (EMFILE when file handles ran out, EACCES, EISDIR,
// ENXIO for a FIFO or device); 0 when the file was read, or is missing.
int ProfileReadError();

// The lookup on INI text already in memory (used by the function above and by the fuzz target).
std::string LookupProfileValue(std::string_view text, std::string_view section, std::string_view key,
                               std::string_view def, bool* found);

}  // namespace win32
