// The program on a real X server with a window manager, played as a user plays it: keys through XTEST,
// and what the screen shows. Every window of a run must be on the screen above its owner, focused,
// painted and in Japanese. The pictures go to <build>/x11-screens (the README's come from here:
// UW_SCREENSHOT_DIR=docs build/tests/x11_test).
#include "tests/x11/desktop.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <chrono>
#include <thread>
#include <vector>

#include "res/templates.h"
#include "tests/support/host_fixture.h"
#include "ui/qt_widgets.h"

namespace {

const QString kConditions = QStringLiteral("科目内訳書 - 集計条件");
const QString kBoxTitle = QStringLiteral("科目内訳書");
const QString kSaveAs = QStringLiteral("保存ファイルを指定");

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Exec(
        "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 1000000, '現金');"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 1000000, 0, 50000);");
  }

  // Starts the program and answers its conditions dialog's window.
  XWindow StartDialog(ProgramRun& run) {
    XWindow dlg = desk_.WaitFor(kConditions);
    EXPECT_NE(dlg.id, 0u) << run.Err();
    return dlg;
  }

  // Accounts 2000000 + v * 10000 for v from 1 to n, each with a debit of 10,000 in month slot 1.
  void AddAccounts(int n) {
    const std::string rows = "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < " +
                             std::to_string(n) + ") ";
    host_.Exec(rows +
               "INSERT INTO accounts (data_no, account_id, name) SELECT 1, 2000000 + v * 10000, '科目' || v "
               "FROM n;" +
               rows +
               "INSERT INTO totals (data_no, account_id, slot, debit_ex) SELECT 1, 2000000 + v * 10000, 1, "
               "10000 FROM n;");
  }

  // Answers the conditions dialog with a report path and F12, then waits (10 s at the most) for the
  // progress window whose caption reads at least `percent` ％: that window, or none.
  XWindow RunUntilProgress(ProgramRun& run, int percent) {
    const XWindow dlg = StartDialog(run);
    if (dlg.id == 0) return {};
    const std::string why = desk_.CheckShown(dlg, nullptr);
    if (!why.empty()) {
      ADD_FAILURE() << why;
      return {};
    }
    Desktop::Key("Return Return");  // to the path edit, its text selected
    Desktop::Type("C:\\r.xml");
    Desktop::Key("F12");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      for (const XWindow& w : desk_.Stacking()) {
        if (!w.title.startsWith(QStringLiteral("集計中"))) continue;
        const QString pct = w.title.mid(4).chopped(w.title.endsWith(QStringLiteral("％")) ? 1 : 0);
        if (pct.toInt() >= percent) return w;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return {};
  }

  // Each of `texts` in `font` on the screen in `window`. A window can be shown before all of it is painted
  // (on a busy machine): the screen at the window's current place is read again for up to 20 s, a time
  // that counts the search too (seconds for a large window in the sanitizer build).
  void ExpectTexts(const XWindow& window, std::vector<QString> texts, const QFont& font) {
    const auto start = std::chrono::steady_clock::now();
    while (true) {
      const QImage shot = desk_.Screen(desk_.Describe(window.id).rect);
      std::erase_if(texts, [&](const QString& t) { return ShowsText(shot, t, font); });
      if (texts.empty() || std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (const QString& t : texts)
      ADD_FAILURE() << "\"" << t.toStdString() << "\" is not on the screen in \""
                    << window.title.toStdString() << "\"";
  }

  // The box titled `title` over `owner`: checked and pictured.
  XWindow ExpectBox(const XWindow& owner, const std::vector<QString>& texts, const std::string& picture,
                    const QString& title = kBoxTitle) {
    const XWindow box = desk_.WaitFor(title, 5000, owner.id);
    EXPECT_NE(box.id, 0u) << "no window \"" << title.toStdString() << "\" over \""
                          << owner.title.toStdString() << "\"";
    if (box.id == 0) return {};
    EXPECT_EQ(desk_.CheckShown(box, owner.id != 0 ? &owner : nullptr), "");
    ExpectTexts(box, texts, QApplication::font());
    desk_.Save(box, picture);
    return box;
  }

  TempDir dir_;
  HostBuilder host_{dir_};
  Desktop desk_;
};

TEST_F(DesktopTest, TheDialogItsRefusalsQuestionsAndCancelAreOnTopFocusedAndJapanese) {
  ProgramRun run(host_.path());
  const XWindow dlg = StartDialog(run);
  ASSERT_NE(dlg.id, 0u);
  EXPECT_EQ(desk_.CheckShown(dlg, nullptr), "");
  const QFont dialog_font = ui::DialogFont(*res::DialogTemplate(res::kIddConditions));
  ExpectTexts(dlg, {QStringLiteral("事業所名")}, dialog_font);
  desk_.Save(dlg, "conditions-dialog");

  // Execute on the default path ("…*.xml"): refused; OK returns to the path edit, its text selected.
  Desktop::Key("F12");
  ExpectBox(dlg, {QStringLiteral("データの出力先に不正な文字が含まれています。")}, "refusal");
  Desktop::Key("Return");
  ASSERT_TRUE(desk_.WaitGone(kBoxTitle));

  // A path in a folder that does not exist: the question, answered No with its Japanese mnemonic.
  Desktop::Type("C:\\new\\r.xml");
  Desktop::Key("F12");
  ExpectBox(dlg,
            {QStringLiteral("作成してもよろしいですか？"), QStringLiteral("はい(&Y)"),
             QStringLiteral("いいえ(&N)")},
            "folder-question");
  Desktop::Key("alt+n");
  ASSERT_TRUE(desk_.WaitGone(kBoxTitle));
  EXPECT_EQ(desk_.CheckShown(dlg, nullptr), "");

  // Esc: the cancel notice, then the run ends as cancelled.
  Desktop::Key("Escape");
  ExpectBox(dlg, {QStringLiteral("｢科目内訳書｣の集計を中止します。")}, "cancel");
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 1) << run.Err();
}

TEST_F(DesktopTest, TheSaveAsDialogIsOnTopFocusedAndJapanese) {
  ProgramRun run(host_.path());
  const XWindow dlg = StartDialog(run);
  ASSERT_NE(dlg.id, 0u);
  ASSERT_EQ(desk_.CheckShown(dlg, nullptr), "");
  // Enter walks month -> check box -> path -> browse button, and Enter on the browse button browses.
  Desktop::Key("Return Return Return Return");
  const XWindow save = ExpectBox(
      dlg, {QStringLiteral("ファイル名(&N):"), QStringLiteral("保存(&S)"), QStringLiteral("キャンセル")},
      "save-as", kSaveAs);
  ASSERT_NE(save.id, 0u);

  // Cancel the file dialog, then the conditions dialog.
  Desktop::Key("Escape");
  ASSERT_TRUE(desk_.WaitGone(kSaveAs));
  Desktop::Key("Escape");
  ExpectBox(dlg, {}, "cancel-after-browse");
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 1) << run.Err();
}

TEST_F(DesktopTest, AtScaleTwoTheDialogABoxAndTheSaveAsDialogAreShownWhole) {
  // Qt's scaling as a desktop of twice the density sets it. The pictures show every text whole.
  setenv("QT_SCALE_FACTOR", "2", 1);
  ProgramRun run(host_.path());
  unsetenv("QT_SCALE_FACTOR");
  const XWindow dlg = StartDialog(run);
  ASSERT_NE(dlg.id, 0u);
  ASSERT_EQ(desk_.CheckShown(dlg, nullptr), "");
  const QRect screen(0, 0, 1024, 768);
  EXPECT_TRUE(screen.contains(desk_.Describe(dlg.id).frame));
  desk_.Save(dlg, "conditions-dialog-scale2");
  // The refusal (F12 on the default path), then the save-as dialog (Tab to the browse button, Enter).
  const struct {
    const char* keys;
    QString title;
    const char* picture;
    const char* answer;
  } windows[] = {{"F12", kBoxTitle, "refusal-scale2", "Return"},
                 {"Tab Return", kSaveAs, "save-as-scale2", "Escape"}};
  for (const auto& over : windows) {
    Desktop::Key(over.keys);
    const XWindow window = desk_.WaitFor(over.title, 5000, dlg.id);
    ASSERT_NE(window.id, 0u) << over.title.toStdString();
    EXPECT_EQ(desk_.CheckShown(window, &dlg), "");
    EXPECT_TRUE(screen.contains(desk_.Describe(window.id).frame)) << over.title.toStdString();
    desk_.Save(window, over.picture);
    Desktop::Key(over.answer);
    ASSERT_TRUE(desk_.WaitGone(over.title));
  }
  Desktop::Key("Escape");
  ASSERT_NE(desk_.WaitFor(kBoxTitle, 5000, dlg.id).id, 0u);
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 1) << run.Err();
}

TEST_F(DesktopTest, TheFailureBoxIsAboveTheProgressWindow) {
  // The aggregation fails after a few rows: the failure box comes while the progress window is shown.
  AddAccounts(300);
  host_.Exec("INSERT INTO faults (operation, after, result) VALUES ('MoveNext', 200, 1);");
  ProgramRun run(host_.path());
  const XWindow progress = RunUntilProgress(run, 0);
  ASSERT_NE(progress.id, 0u) << run.Err();
  ExpectBox(progress, {QStringLiteral("XMLファイルの出力に失敗しました。")}, "failure");
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 2) << run.Err();
}

TEST_F(DesktopTest, TheProgressWindowShowsTheRunAndOwnsTheCompletionBox) {
  // Enough rows for the progress window to be caught while it works: the program is stopped there, and
  // the screen shows the last state it painted.
  AddAccounts(30000);
  ProgramRun run(host_.path());
  const XWindow progress = RunUntilProgress(run, 20);
  ASSERT_NE(progress.id, 0u) << run.Err();
  kill(run.pid(), SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(desk_.CheckShown(progress, nullptr, 1000), "");
  // The overall bar shows at least the fifth of the run that the caption had reached.
  const QImage shot = desk_.Screen(progress.rect);
  int filled = 0;
  for (int x = 0; x < shot.width(); ++x) filled += shot.pixel(x, shot.height() / 4) == qRgb(0x06, 0xB0, 0x25);
  EXPECT_GT(filled, shot.width() / 6);
  desk_.Save(progress, "progress-window");
  kill(run.pid(), SIGCONT);
  // The completion box over the progress window, which stays shown under it.
  ExpectBox(progress, {QStringLiteral("科目内訳書情報の出力が終了しました。")}, "completion", kBoxTitle);
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 0) << run.Err();
}

}  // namespace
