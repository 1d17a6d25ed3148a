// The progress window: caption and bars per Advance and Pulse, the window's life, the repaint of only
// what changed.
#include "app/progress_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QPaintEvent>
#include <QTest>
#include <string>
#include <utility>

#include "ui/qt_widgets.h"
#include "win32/codepage.h"

namespace {

using win32::Sjis;

// Counts the pulses.
class RecordingProgress : public ClProgressDlg {
 public:
  void Pulse() override {
    ++pulses;
    ClProgressDlg::Pulse();
  }
  int pulses = 0;
};

TEST(ProgressDlgTest, AdvanceCaptionsEveryTenthAndAdvancesOncePerValue) {
  RecordingProgress dlg;  // never created: the state is kept all the same
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中"));
  dlg.ResetOverall();
  dlg.Advance(0, 100);
  EXPECT_EQ(dlg.OverallPos(), 101);
  EXPECT_EQ(dlg.pulses, 101);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 10％"));

  dlg.Advance(95, 99);  // no multiple of 10
  EXPECT_EQ(dlg.OverallPos(), 106);
  EXPECT_EQ(dlg.pulses, 106);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 10％"));
  dlg.Advance(5, 4);
  EXPECT_EQ(dlg.OverallPos(), 106);
  EXPECT_EQ(dlg.pulses, 106);
}

TEST(ProgressDlgTest, WholeRunAdvances1007TimesAndStopsAtTheMaximum) {
  RecordingProgress dlg;
  dlg.ResetOverall();
  const std::pair<int, int> calls[] = {{0, 100},   {100, 300}, {300, 400}, {400, 500},
                                       {500, 600}, {600, 700}, {700, 1000}};
  for (auto [from, to] : calls) dlg.Advance(static_cast<std::int16_t>(from), static_cast<std::int16_t>(to));
  EXPECT_EQ(dlg.pulses, 1007);
  EXPECT_EQ(dlg.OverallPos(), 1000);
  EXPECT_EQ(dlg.CaptionText(), Sjis("集計中 100％"));
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

TEST(ProgressDlgTest, APaintedFrameDeliversWhatWaitsButNoCloseRequest) {
  // While the run works, what the window system and a screen reader send is delivered with each painted
  // frame; a close request (Alt+F4 through the window manager) is not taken then.
  ClProgressDlg dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.ShowWindow(ui::SW_SHOW);
  dlg.ResetOverall();
  bool delivered = false;
  QMetaObject::invokeMethod(
      qApp, [&] { delivered = true; }, Qt::QueuedConnection);
  QCoreApplication::postEvent(ui::WindowOf(dlg.GetSafeHwnd()), new QCloseEvent);
  QTest::qSleep(40);
  dlg.Pulse();
  EXPECT_TRUE(delivered);
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_FALSE(dlg.IsEnded());
}

}  // namespace
