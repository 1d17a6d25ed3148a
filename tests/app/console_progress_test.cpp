// The console progress of batch runs: one line per ten percent on a file or pipe, one line rewritten in
// place on a terminal.
#include "app/console_progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string ReadAll(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    out.push_back(text.substr(start, nl - start));
  return out;
}

// Console progress into a temporary file (not a terminal: one line per caption change).
struct ConsoleCapture {
  ~ConsoleCapture() { std::fclose(file); }
  std::vector<std::string> Lines() { return ::Lines(ReadAll(file)); }
  std::FILE* file = std::tmpfile();
  ClConsoleProgress progress{file};
};

TEST(ConsoleProgressTest, AWholeRunWritesALinePerTenPercent) {
  ConsoleCapture console;
  console.progress.Open(0);
  EXPECT_EQ(console.progress.MessageOwner(), 0u);  // no window
  console.progress.ResetOverall();
  const std::pair<int, int> calls[] = {{0, 100},   {100, 300},  {300, 400}, {400, 500}, {500, 600},
                                       {600, 700}, {700, 1000}, {995, 999}, {5, 4}};
  for (auto [from, to] : calls)
    console.progress.Advance(static_cast<std::int16_t>(from), static_cast<std::int16_t>(to));
  // The caption at a shared end value is the same text twice: written once.
  std::vector<std::string> expected;
  for (int p = 0; p <= 100; p += 10) expected.push_back("集計中 " + std::to_string(p) + "％");
  EXPECT_EQ(console.Lines(), expected);
}

// A terminal rewrites one line in place; one that takes no escape codes gets a line per ten percent.
TEST(ConsoleProgressTest, OnATerminalRewritesOneLineUnlessItIsDumb) {
  const struct {
    const char* term;
    const char* seen;
  } cases[] = {{"xterm", "\r集計中 0％\x1b[K\r集計中 1％\x1b[K\r集計中 2％\x1b[K\r\n"},
               {"dumb", "集計中 0％\r\n"}};
  const char* old_term = std::getenv("TERM");
  const std::string saved = old_term != nullptr ? old_term : "";
  for (const auto& c : cases) {
    setenv("TERM", c.term, 1);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    std::FILE* tty = fdopen(slave, "w");
    {
      ClConsoleProgress progress(tty);
      progress.Open(0);
      progress.ResetOverall();
      progress.Advance(0, 20);
      progress.Close();
    }
    std::fclose(tty);
    std::string seen;
    char buf[1024];
    ssize_t n;
    fcntl(master, F_SETFL, O_NONBLOCK);
    while ((n = read(master, buf, sizeof buf)) > 0) seen.append(buf, static_cast<std::size_t>(n));
    close(master);
    // The terminal turns "\n" into "\r\n".
    EXPECT_EQ(seen, c.seen) << c.term;
  }
  if (old_term != nullptr)
    setenv("TERM", saved.c_str(), 1);
  else
    unsetenv("TERM");
}

}  // namespace
