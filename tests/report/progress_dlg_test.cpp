// The progress window: caption and bars per Advance and Pulse, the window's life, the repaint of only
// what changed, and the console progress of batch runs.
#include "report/progress_dlg.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/qt_widgets.h"
#include "win32/codepage.h"

namespace {

using win32::Sjis;

// Counts the pulses and keeps every distinct caption in order.
class RecordingProgress : public ClProgressDlg {
 public:
  void Pulse() override {
    ++pulses;
    ClProgressDlg::Pulse();
  }
  int pulses = 0;
};

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
class ConsoleCapture {
 public:
  ConsoleCapture() : file_(std::tmpfile()) { ClProgressDlg::SetConsoleProgress(true, file_); }
  ~ConsoleCapture() {
    ClProgressDlg::SetConsoleProgress(false);
    std::fclose(file_);
  }
  std::vector<std::string> Lines() { return ::Lines(ReadAll(file_)); }

 private:
  std::FILE* file_;
};

TEST(ProgressDlgTest, AdvanceCaptionsEveryTenthAndAdvancesOncePerValue) {
  ConsoleCapture console;
  RecordingProgress dlg;
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(dlg.GetSafeHwnd(), 0u);  // no window in console mode
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中"));
  dlg.ResetOverall();
  dlg.Advance(0, 100);
  EXPECT_EQ(dlg.OverallPos(), 101);
  EXPECT_EQ(dlg.pulses, 101);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 10％"));
  std::vector<std::string> expected;
  for (int p = 0; p <= 10; ++p) expected.push_back("集計中 " + std::to_string(p) + "％");
  EXPECT_EQ(console.Lines(), expected);

  dlg.Advance(95, 99);  // no multiple of 10
  EXPECT_EQ(dlg.OverallPos(), 106);
  EXPECT_EQ(dlg.pulses, 106);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 10％"));
  dlg.Advance(5, 4);
  EXPECT_EQ(dlg.OverallPos(), 106);
  EXPECT_EQ(dlg.pulses, 106);
  EXPECT_EQ(console.Lines().size(), expected.size());
}

TEST(ProgressDlgTest, WholeRunAdvances1007TimesAndStopsAtTheMaximum) {
  ConsoleCapture console;
  RecordingProgress dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.ResetOverall();
  const std::pair<int, int> calls[] = {{0, 100},   {100, 300}, {300, 400}, {400, 500},
                                       {500, 600}, {600, 700}, {700, 1000}};
  for (auto [from, to] : calls) dlg.Advance(static_cast<std::int16_t>(from), static_cast<std::int16_t>(to));
  EXPECT_EQ(dlg.pulses, 1007);
  EXPECT_EQ(dlg.OverallPos(), 1000);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 100％"));
  // The caption at a shared end value is the same text twice: written once.
  const auto lines = console.Lines();
  EXPECT_EQ(lines.size(), 101u);
  EXPECT_EQ(lines.back(), "集計中 100％");
}

TEST(ProgressDlgTest, WindowBarsFollowTheCallsAndTheCaptionIsTheWindowTitle) {
  RecordingProgress dlg;
  ASSERT_TRUE(dlg.Create());
  const win32::HWND hwnd = dlg.GetSafeHwnd();
  ASSERT_NE(hwnd, 0u);
  EXPECT_FALSE(dlg.IsWindowVisible());  // created hidden
  dlg.SetParent(424242);                // the starting window: only remembered
  EXPECT_EQ(dlg.GetParentHandle(), 424242u);
  EXPECT_EQ(ui::WindowOf(hwnd)->parentWidget(), nullptr);
  dlg.ShowWindow(ui::SW_SHOW);
  EXPECT_TRUE(dlg.IsWindowVisible());
  dlg.ResetOverall();
  dlg.Pulse();
  EXPECT_EQ(dlg.ActivityPos(), 5);
  EXPECT_EQ(dlg.GetProgressPos(ClProgressDlg::kIdActivity), 5);
  dlg.Advance(700, 1000);
  EXPECT_EQ(dlg.GetProgressPos(ClProgressDlg::kIdOverall), 301);
  EXPECT_EQ(dlg.GetWindowText(), Sjis("集計中 100％"));
  QApplication::processEvents();  // the window system reports the activation asynchronously
  EXPECT_TRUE(ui::WindowOf(hwnd)->isActiveWindow());
  dlg.EndDialog(1);
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.Result(), 1);
  EXPECT_EQ(ui::Dialog::FromHandle(hwnd), &dlg);  // still a window to own message boxes
}

TEST(ProgressDlgTest, StateWithoutAnyWindow) {
  ClProgressDlg dlg;  // never created
  dlg.ResetOverall();
  dlg.Advance(0, 9);
  EXPECT_EQ(dlg.OverallPos(), 10);
  EXPECT_EQ(dlg.ActivityPos(), 5);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 0％"));
  EXPECT_EQ(dlg.GetWindowText(), "");
}

// Counts the paints of a widget and the area painted.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;
  int pixels = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      const QRect r = static_cast<QPaintEvent*>(e)->rect();
      pixels += r.width() * r.height();
    }
    return false;
  }
};

TEST(ProgressDlgTest, RepaintsAtMostOncePerFrameOnlyWhatChangedAndTheLastStateBeforeHiding) {
  ClProgressDlg dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.ShowWindow(ui::SW_SHOW);
  QApplication::processEvents();
  dlg.ResetOverall();
  dlg.Pulse();
  QWidget* activity = ui::ControlOf(dlg, ClProgressDlg::kIdActivity);
  QWidget* overall = ui::ControlOf(dlg, ClProgressDlg::kIdOverall);
  PaintCounter a(activity), o(overall);

  // A frame after the last paint, a pulse paints at once (no event loop turning) on its first step, and
  // its other steps fall within that frame: one paint of the activity bar's changed part only.
  QTest::qSleep(40);
  dlg.Pulse();
  EXPECT_EQ(a.paints, 1);
  EXPECT_LT(a.pixels, activity->width() * activity->height());
  EXPECT_EQ(o.paints, 0);
  EXPECT_EQ(dlg.GetWindowText(), win32::Sjis("集計中"));

  // A thousand steps within a few frames paint a few times, not a thousand; the caption is the newest.
  dlg.Advance(0, 999);
  EXPECT_LT(o.paints, 100);
  EXPECT_EQ(dlg.GetWindowText(), win32::Sjis("集計中 99％"));
  // Hiding paints the last state first: the bar and the caption the user saw last are the final ones.
  const int before = o.paints;
  dlg.EndDialog(1);
  EXPECT_EQ(o.paints, before + 1);
  EXPECT_EQ(ui::WindowOf(dlg.GetSafeHwnd())->windowTitle(), QStringLiteral("集計中 99％"));
}

TEST(ProgressDlgTest, ConsoleOnATerminalRewritesOneLine) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  std::FILE* tty = fdopen(slave, "w");
  ClProgressDlg::SetConsoleProgress(true, tty);
  {
    ClProgressDlg dlg;
    dlg.Create();
    dlg.ResetOverall();
    dlg.Advance(0, 20);
    dlg.EndDialog(1);
  }
  ClProgressDlg::SetConsoleProgress(false);
  std::fclose(tty);
  std::string seen;
  char buf[1024];
  ssize_t n;
  fcntl(master, F_SETFL, O_NONBLOCK);
  while ((n = read(master, buf, sizeof buf)) > 0) seen.append(buf, static_cast<std::size_t>(n));
  close(master);
  // The terminal turns "\n" into "\r\n".
  EXPECT_EQ(seen, "\r集計中 0％\x1b[K\r集計中 1％\x1b[K\r集計中 2％\x1b[K\r\n");
}

}  // namespace
