// The window path of a run (no batch): the real conditions dialog runs modally on the offscreen platform
// and is answered with keys, then the same run sequence as a batch run writes the report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <climits>
#include <optional>

#include "app/link_app.h"
#include "app/progress_dlg.h"
#include "host/host_db.h"
#include "tests/support/host_fixture.h"
#include "tests/support/in_process.h"
#include "tests/support/scripted_ui.h"
#include "ui/dialog.h"
#include "win32/drives.h"
#include "win32/ui_port.h"

namespace {
// Answers the modal conditions dialog as a person would: last month 3, a path typed into the path edit,
// then F12.
void AnswerTheDialog(bool* answered) {
  QWidget* window = QApplication::activeModalWidget();
  if (window == nullptr) window = QApplication::activeWindow();
  ui::Dialog* dialog =
      window != nullptr ? ui::Dialog::FromHandle(reinterpret_cast<win32::HWND>(window)) : nullptr;
  if (dialog == nullptr || QApplication::focusWidget() == nullptr) {
    QTimer::singleShot(10, [answered] { AnswerTheDialog(answered); });
    return;
  }
  // The month edit has the focus with its text selected: typing replaces it.
  QTest::keyClicks(QApplication::focusWidget(), "3");
  dialog->SetFocusTo(1015);
  QWidget* path = QApplication::focusWidget();
  QTest::keyClick(path, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(path, "C:\\win.xml");
  QTest::keyClick(path, Qt::Key_F12);
  *answered = true;
}
}  // namespace

TEST(WindowRunTest, TheWindowPathSharesTheRunSequence) {
  TempDir dir;
  HostBuilder host(dir);
  host.Exec(
      "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 1000000, '現金');"
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 1000000, 0, 50000);");
  std::optional<InProcessRun> run(std::in_place, dir, host, /*progress_window=*/true);

  bool answered = false;
  QTimer::singleShot(0, [&answered] { AnswerTheDialog(&answered); });
  ClLinkApp app(res::Edition(res::EditionId::kHalvorack));
  app.SetCommandLine("");
  EXPECT_TRUE(app.InitInstance());
  app.ExitInstance();
  const win32::ScriptedUi boxes = run->ui;
  run.reset();

  EXPECT_TRUE(answered);
  EXPECT_EQ(app.m_nResult, 0);
  EXPECT_NE(TempDir::Read(dir.Sub("c/win.xml")).find("<KANJYOKAMOKU_ZANDAKA>5</KANJYOKAMOKU_ZANDAKA>"),
            std::string::npos);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_EQ(boxes.boxes.back().style, 0x40u);  // the completion notice
  EXPECT_EQ(TempDir::Read(dir.Sub("c/Settings/Halvorack.env")), "user1/7/D0000001:0/3/C:\\win.xml\n");
}
