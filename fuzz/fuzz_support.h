// What several fuzz targets share: the invariant check, a private work file, reading it back, and the
// unescaping of the report's texts.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "win32/drives.h"

namespace fuzz {

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

// A file in a private temporary folder (removed at exit), by its Linux and its Windows path.
struct WorkFile {
  std::string linux_path;
  std::string win_path;
};

inline WorkFile& TheWorkFile() {
  static WorkFile file;
  return file;
}

inline void RemoveWorkFile() {
  const std::string& path = TheWorkFile().linux_path;
  if (path.empty()) return;
  unlink(path.c_str());
  rmdir(path.substr(0, path.rfind('/')).c_str());
}

// Makes the work file's folder; call once, from LLVMFuzzerInitialize.
inline const WorkFile& MakeWorkFile(const char* name) {
  char dir[] = "/tmp/uw_fuzz.XXXXXX";
  Check(mkdtemp(dir) != nullptr);
  WorkFile& file = TheWorkFile();
  file.linux_path = std::string(dir) + "/" + name;
  std::atexit(RemoveWorkFile);
  Check(win32::Drives().ToWindows(file.linux_path, &file.win_path));
  return file;
}

inline std::string ReadAll(const std::string& path) {
  std::string out;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  Check(fd >= 0);
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return out;
}

// The text an escaped text stands for; aborts on a raw < > " ' or an & that starts no entity.
inline std::string Unescape(std::string_view escaped) {
  static constexpr struct {
    std::string_view entity;
    char c;
  } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < escaped.size();) {
    const char c = escaped[i];
    Check(c != '<' && c != '>' && c != '"' && c != '\'');
    if (c != '&') {
      out.push_back(c);
      ++i;
      continue;
    }
    bool known = false;
    for (const auto& e : kEntities) {
      if (escaped.substr(i, e.entity.size()) == e.entity) {
        out.push_back(e.c);
        i += e.entity.size();
        known = true;
        break;
      }
    }
    Check(known);
  }
  return out;
}

}  // namespace fuzz
