// Shared by the report tests: a temporary folder as current directory and drive C:, the scripted modal
// port, a progress that records its calls, and the checks of written documents with xmllint.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "aggregation/progress.h"
#include "aggregation/zandaka.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_dir.h"
#include "win32/codepage.h"
#include "win32/drives.h"
#include "win32/ui_port.h"

// Records Advance and Pulse.
class RecordingProgress : public ClProgress {
 public:
  void ResetOverall() override {}
  void Advance(std::int16_t from, std::int16_t to) override { advances.emplace_back(from, to); }
  void Pulse() override { ++pulses; }
  std::vector<std::pair<int, int>> advances;
  int pulses = 0;
};

// Runs a command through the shell; answers its exit status, its standard output in *out.
inline int RunCommand(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  const int status = pclose(pipe);
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A UTF-8 copy of a written document, declaring UTF-8: libxml2 decodes "Shift_JIS" strictly and refuses
// code page 932's extensions, so the copy is what xmllint reads. Empty when iconv fails.
inline std::string Utf8Copy(const std::string& path) {
  const std::string copy = path + ".utf8.xml";
  if (RunCommand("iconv -f CP932 -t UTF-8 '" + path + "' > '" + copy + "'") != 0) return {};
  std::string text = TempDir::Read(copy);
  const std::string declared = "encoding=\"Shift_JIS\"";
  const std::size_t at = text.find(declared);
  if (at != std::string::npos) text.replace(at, declared.size(), "encoding=\"UTF-8\"");
  FILE* f = fopen(copy.c_str(), "wb");
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  return copy;
}

// True when xmllint parses the document without any message.
inline bool WellFormed(const std::string& path) {
  const std::string copy = Utf8Copy(path);
  std::string out;
  return !copy.empty() && RunCommand("xmllint --noout '" + copy + "' 2>&1", &out) == 0 && out.empty();
}

// An XPath expression (without single quotes) evaluated on the UTF-8 copy, answered in code page 932.
inline std::string XPath(const std::string& utf8_copy, const std::string& expr) {
  std::string out;
  RunCommand("xmllint --xpath '" + expr + "' '" + utf8_copy + "' 2>/dev/null", &out);
  if (!out.empty() && out.back() == '\n') out.pop_back();  // xmllint ends its answer with a line end
  std::string cp932;
  EXPECT_TRUE(win32::Utf8ToCp932(out, &cp932)) << expr;
  return cp932;
}

// The test's folder is the current directory (where SUPPORT.INF is sought) and drive C:.
class ReportFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    m_strOldCwd = cwd;
    ASSERT_EQ(chdir(m_dir.path().c_str()), 0);
    m_oldDrives = win32::Drives().Entries();
    win32::Drives().Set({{"C", win32::DRIVE_FIXED, m_dir.path()}});
    m_pOldUi = win32::SetUi(&m_ui);
  }
  void TearDown() override {
    win32::SetUi(m_pOldUi);
    win32::Drives().Set(m_oldDrives);
    ASSERT_EQ(chdir(m_strOldCwd.c_str()), 0);
  }

  TempDir m_dir;
  win32::ScriptedUi m_ui;

 private:
  std::string m_strOldCwd;
  std::vector<win32::DriveEntry> m_oldDrives;
  win32::UiPort* m_pOldUi = nullptr;
};

// Limits the size of files this process writes, with SIGXFSZ ignored so that a write past the limit
// fails with EFBIG; restores both at the end of the scope.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    signal(SIGXFSZ, m_oldHandler);
  }

 private:
  rlimit m_old{};
  sighandler_t m_oldHandler = nullptr;
};
