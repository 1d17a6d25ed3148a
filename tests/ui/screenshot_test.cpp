// Renders both windows offscreen with the Japanese dialog font and checks the pictures; with
// UW_SCREENSHOT_DIR set, writes them there as conditions-dialog.png and progress-window.png. (The
// pictures in docs/ come from a real X server with a window manager's frames: tests/x11.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cstdlib>

#include "app/progress_dlg.h"
#include "res/templates.h"
#include "ui/dialog.h"
#include "ui/qt_widgets.h"
#include "win32/codepage.h"

namespace {

using win32::Sjis;

// The client area under a plain caption bar with the window's title (the offscreen platform draws no
// window frame of its own).
QImage Picture(QWidget* wnd) {
  QApplication::processEvents();
  const QPixmap client = wnd->grab();
  const int bar = 22;
  QImage out(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
  out.fill(QColor(0x33, 0x55, 0x99));
  QPainter p(&out);
  p.setPen(Qt::white);
  p.setFont(wnd->font());
  p.drawText(QRect(6, 0, out.width() - 12, bar), Qt::AlignVCenter | Qt::AlignLeft, wnd->windowTitle());
  p.drawPixmap(1, bar, client);
  return out;
}

int CountColor(const QImage& img, QRgb color) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == color;
  return n;
}

void Save(const QImage& img, const char* name) {
  const char* dir = std::getenv("UW_SCREENSHOT_DIR");
  if (dir == nullptr || *dir == '\0') return;
  ASSERT_TRUE(img.save(QString::fromUtf8(dir) + QLatin1Char('/') + QLatin1String(name), "PNG"));
}

TEST(ScreenshotTest, ConditionsDialog) {
  ui::Dialog dlg(res::kIddConditions);
  ASSERT_TRUE(dlg.Create());
  dlg.SetDlgItemText(1006, Sjis(" 株式会社サンプル商事"));
  dlg.SetDlgItemText(1008, Sjis(" 2024/04/01～2025/03/31"));
  dlg.SetDlgItemText(1010, "4");
  dlg.SetDlgItemText(1000, "3");
  dlg.CheckDlgButton(1004, ui::BST_CHECKED);
  dlg.SetDlgItemText(1015, Sjis("C:\\データ\\科目内訳書.xml"));
  dlg.ShowWindow(ui::SW_SHOW);
  dlg.GotoDlgCtrl(1000);
  const QImage img = Picture(ui::WindowOf(dlg.GetSafeHwnd()));
  EXPECT_EQ(img.size(), QSize(446 + 2, 255 + 23));
  // Text was drawn: many dark pixels in the client area.
  int dark = 0;
  for (int y = 23; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) dark += qGray(img.pixel(x, y)) < 80;
  EXPECT_GT(dark, 1000);
  Save(img, "conditions-dialog.png");
}

TEST(ScreenshotTest, ProgressWindow) {
  ClProgressDlg dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.ShowWindow(ui::SW_SHOW);
  dlg.ResetOverall();
  dlg.Advance(0, 420);
  const QImage img = Picture(ui::WindowOf(dlg.GetSafeHwnd()));
  EXPECT_EQ(img.size(), QSize(387 + 2, 73 + 23));
  // The overall bar is filled to about 42 %: 421 of 1000 across its inner width, 30 rows high.
  const int inner = ui::ControlOf(dlg, ClProgressDlg::kIdOverall)->width() - 4;
  const int fill = CountColor(img, qRgb(0x06, 0xB0, 0x25));
  const int overall = inner * 421 / 1000 * 32;
  EXPECT_GT(fill, overall);
  EXPECT_LT(fill, overall + inner * 12);  // plus the activity bar's full blocks
  Save(img, "progress-window.png");
}

}  // namespace
