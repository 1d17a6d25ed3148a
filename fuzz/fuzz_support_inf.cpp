// The product information file: any file bytes give a product name and version that are the bytes after
// the first marker in the part of the file that is read, end at a line end, an end-of-file mark or a NUL,
// hold at most 255 bytes, never hold CR LF and never end between the two bytes of a character.
//
// The file is written as SUPPORT.INF into a temporary folder that is the current directory only while
// the reader loads it. An input starting with FF xx is padded in front with 'X' up to 29744 + xx bytes, so
// that values meet the end of the part that is read.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "report/support_inf.h"
#include "res/texts.h"
#include "tests/support/scripted_ui.h"
#include "win32/mbcs.h"
#include "win32/ui_port.h"

namespace {

using fuzz::Check;

int g_nHomeDir = -1;  // the current directory of the run
int g_nWorkDir = -1;  // the temporary folder of SUPPORT.INF
std::string g_strWorkDir;

void RemoveWorkDir() {
  if (g_strWorkDir.empty()) return;
  unlink((g_strWorkDir + "/SUPPORT.INF").c_str());
  rmdir(g_strWorkDir.c_str());
}

void WriteInf(std::string_view bytes) {
  const int fd = open((g_strWorkDir + "/SUPPORT.INF").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Check(fd >= 0);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    Check(n > 0);
    done += static_cast<std::size_t>(n);
  }
  close(fd);
}

// The value the reader gave for marker, against the file's bytes.
void CheckValue(std::string_view file, const std::string& marker, const std::string& value) {
  const std::string_view read = file.substr(0, ClSupportInf::kBlockSize);
  Check(value.size() <= ClSupportInf::kValueSize - 1);
  Check(value.find("\r\n") == std::string::npos);
  Check(value.find('\0') == std::string::npos && value.find('\x1A') == std::string::npos);

  // Line ends, marks and NULs never make or break a marker, so its first place is the same in the bytes.
  const std::size_t at = read.find(marker);
  if (at == std::string_view::npos) {
    Check(value.empty());
    return;
  }
  const std::size_t start = at + marker.size();
  // The whole field: up to CR LF, 0x1A or NUL, or the end of what is read.
  std::size_t end = start;
  while (end < read.size() && read[end] != '\0' && read[end] != '\x1A' &&
         !(read[end] == '\r' && end + 1 < read.size() && read[end + 1] == '\n'))
    ++end;
  const std::string_view field = read.substr(start, end - start);
  Check(field.substr(0, value.size()) == value);
  if (value.size() < field.size()) {
    // Cut between characters, for length (no shorter than needed) or to leave out a last lead byte
    // that the end of a full block parted from its second byte.
    Check(!win32::IsTrailPosition(field, value.size()));
    const bool for_length =
        value.size() + win32::CharLenAt(field, value.size()) > ClSupportInf::kValueSize - 1;
    const bool half_at_block_end = read.size() == ClSupportInf::kBlockSize && end == read.size() &&
                                   value.size() + 1 == field.size() &&
                                   win32::IsLeadByte(static_cast<unsigned char>(field.back()));
    Check(for_length || half_at_block_end);
  }
  // The byte after the value in the file is never the second half of the value's last character.
  if (!value.empty()) {
    const std::size_t last = value.size() - 1;
    const bool open_lead =
        win32::IsLeadByte(static_cast<unsigned char>(value[last])) && !win32::IsTrailPosition(value, last);
    const std::size_t next = start + value.size();
    Check(!(open_lead && next < file.size() && win32::IsTrailByte(static_cast<unsigned char>(file[next]))));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/uw_fuzz_inf.XXXXXX";
  Check(mkdtemp(dir) != nullptr);
  g_strWorkDir = dir;
  std::atexit(RemoveWorkDir);
  g_nHomeDir = open(".", O_RDONLY | O_DIRECTORY);
  g_nWorkDir = open(dir, O_RDONLY | O_DIRECTORY);
  Check(g_nHomeDir >= 0 && g_nWorkDir >= 0);
  static win32::ScriptedUi ui;
  win32::SetUi(&ui);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string file(reinterpret_cast<const char*>(data), size);
  if (size >= 2 && data[0] == 0xFF) {
    const std::size_t pad = ClSupportInf::kBlockSize - 256 + data[1];
    file = std::string(pad, 'X') + file.substr(2);
  }
  WriteInf(file);

  ClSupportInf inf;
  Check(fchdir(g_nWorkDir) == 0);
  const int loaded = inf.Load();
  Check(fchdir(g_nHomeDir) == 0);
  Check(loaded == 1);
  // Later lookups use the block that was loaded.
  CheckValue(file, res::Text(res::TextId::kProductNameMarker), inf.GetProductName());
  CheckValue(file, res::Text(res::TextId::kProductVersionMarker), inf.GetProductVersion());
  Check(inf.GetProductName() == inf.GetProductName());
  return 0;
}
