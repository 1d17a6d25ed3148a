// The folder part of a Linux path, one rule for every stand-in that needs it.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// The folder that holds the last name of a Linux path. Trailing slashes belong to that last name, not to
// the folder: "/a/b/" and "/a/b" are both b in "/a". "." for a bare name (and for ""), "/" for a name
// directly under the root and for the root itself; repeated slashes before the last name are kept as
// written except at the end of the folder ("/a//b" is in "/a").
std::string ParentFolder(std::string_view linux_path);

}  // namespace win32
