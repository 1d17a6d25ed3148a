// The conditions dialog as the user meets it: real Qt widgets on the offscreen platform, driven with
// QTest keys and clicks, message boxes and the save-as dialog answered by the scripted modal port, over a
// host database in a temporary folder whose drive C: is <temp>/c.
#include "conditions/condition_dlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host_db.h"
#include "res/texts.h"
#include "tests/support/host_fixture.h"
#include "tests/support/scripted_ui.h"
#include "ui/qt_widgets.h"
#include "win32/codepage.h"
#include "win32/drives.h"
#include "win32/ui_port.h"

namespace {

using res::TextId;
using win32::Sjis;

constexpr win32::UINT kWarnStyle = win32::MB_OK | win32::MB_ICONEXCLAMATION;
constexpr win32::UINT kAskStyle = win32::MB_YESNO | win32::MB_ICONQUESTION;

const std::string& T(TextId id) { return res::Text(id); }

class ConditionDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guard_.UseUi(&ui_);
    std::filesystem::create_directories(dir_.Sub("c/out"));
  }
  void TearDown() override { dlg_.reset(); }

  // Opens the host database after the given changes.
  void Host(const std::string& sql = "") {
    if (!sql.empty()) host_.Exec(sql);
    OpenHost(host_);
  }

  // A dialog with the inputs the run sequence gives it, for company 1 of the host database.
  ClConditionDlg& Make(std::int32_t start = 20230401, std::int32_t end = 20240331) {
    if (!host::HostDb::Inst().IsOpen()) Host();
    dlg_ = std::make_unique<ClConditionDlg>(res::Edition(res::EditionId::kHalvorack));
    std::strcpy(dlg_->m_szUserId, "user1");
    dlg_->m_lSelectedNo = 7;
    dlg_->m_lSelectedNo2 = 1;
    std::strcpy(dlg_->m_szDataId, "D0000001");
    dlg_->m_lPeriodStart = start;
    dlg_->m_lPeriodEnd = end;
    dlg_->m_strCompany = Sjis(" テスト商事");
    dlg_->m_strPeriod = Sjis(" 2023/04/01～2024/03/31");
    return *dlg_;
  }

  // Creates the window, shows and activates it.
  void Show() {
    ASSERT_TRUE(dlg_->Create());
    dlg_->ShowWindow(ui::SW_SHOW);
    QWidget* w = ui::WindowOf(dlg_->GetSafeHwnd());
    ASSERT_NE(w, nullptr);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  }
  ClConditionDlg& Open(std::int32_t start = 20230401, std::int32_t end = 20240331) {
    Make(start, end);
    Show();
    return *dlg_;
  }

  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, key, mods);
  }
  // Replaces an edit's text by typing (ASCII only).
  void Type(int id, const char* text) {
    auto* edit = static_cast<QLineEdit*>(ui::ControlOf(*dlg_, id));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
  void Click(int id) { QTest::mouseClick(static_cast<QWidget*>(ui::ControlOf(*dlg_, id)), Qt::LeftButton); }

  // The last message box, which must have the program's caption.
  const win32::ScriptedUi::Box& LastBox() {
    EXPECT_FALSE(ui_.boxes.empty());
    static const win32::ScriptedUi::Box kNone{};
    if (ui_.boxes.empty()) return kNone;
    EXPECT_EQ(ui_.boxes.back().caption, T(TextId::kTitle));
    EXPECT_EQ(ui_.boxes.back().owner, dlg_->GetSafeHwnd());
    return ui_.boxes.back();
  }
  // The dialog refused with `text` and left `edit` focused with its whole text selected.
  void ExpectRefused(TextId text, int edit, const std::string& edit_text) {
    EXPECT_FALSE(dlg_->IsEnded());
    EXPECT_EQ(LastBox().text, T(text));
    EXPECT_EQ(LastBox().style, kWarnStyle);
    EXPECT_EQ(dlg_->GetFocusId(), edit);
    EXPECT_EQ(dlg_->GetSelText(edit), edit_text);
  }
  std::string C(const std::string& relative) const { return dir_.Sub("c/" + relative); }

  TempDir dir_;
  HostBuilder host_{dir_};
  win32::ScriptedUi ui_;
  HostGuard guard_;
  std::unique_ptr<ClConditionDlg> dlg_;
};

// ---- opening ----

using ConditionDlgOpenTest = ConditionDlgTest;

TEST_F(ConditionDlgOpenTest, PastActualDataWarnsThenEndsWith1003WithoutTheCancelMessage) {
  Make().m_bPastData = 1;
  bool loop_ran = false;
  QTimer::singleShot(0, [&] { loop_ran = true; });
  EXPECT_EQ(dlg_->DoModal(), ClConditionDlg::kIdCancel);
  EXPECT_FALSE(loop_ran);  // never shown
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, T(TextId::kPastData));
  EXPECT_EQ(ui_.boxes[0].caption, T(TextId::kTitle));
  EXPECT_EQ(ui_.boxes[0].style, kWarnStyle);
  QApplication::processEvents();
}

TEST_F(ConditionDlgOpenTest, FirstRunShowsThePeriodMonthsTheCompanysTaxSettingAndTheAppFolderPath) {
  struct Case {
    const char* tax_included;
    int checked;
  };
  for (const Case& c : {Case{"1", 1}, Case{"0", 0}, Case{"NULL", 0}, Case{"7", 1}}) {
    SCOPED_TRACE(c.tax_included);
    Host(std::string("UPDATE companies SET tax_included = ") + c.tax_included + ";");
    Open();
    EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthFrom), "4");
    EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthTo), "3");
    EXPECT_EQ(dlg_->IsDlgButtonChecked(ClConditionDlg::kIdTax), c.checked);
    EXPECT_EQ(dlg_->m_nTax, c.checked);
    EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\Data\\*.xml");
    EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdCompany), Sjis(" テスト商事"));
    EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPeriod), Sjis(" 2023/04/01～2024/03/31"));
    EXPECT_EQ(dlg_->m_bPathFixed, 0);
    EXPECT_STREQ(dlg_->m_szSavedPath, "");
    EXPECT_TRUE(dlg_->IsDlgItemEnabled(ClConditionDlg::kIdPath));
    EXPECT_TRUE(dlg_->IsDlgItemEnabled(ClConditionDlg::kIdBrowse));
    // The month edit has the focus with its text selected.
    EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdMonthTo);
    EXPECT_EQ(dlg_->GetSelText(ClConditionDlg::kIdMonthTo), "3");
  }
  // A period within one calendar year.
  Open(20230101, 20231231);
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthFrom), "1");
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthTo), "12");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ConditionDlgOpenTest, WithoutAnAppFolderTheTemporaryFolderIsUsed) {
  std::filesystem::create_directories(C("tmp"));
  const char* old = std::getenv("TMPDIR");
  const std::optional<std::string> saved = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
  setenv("TMPDIR", C("tmp").c_str(), 1);
  Host("UPDATE session SET app_folder = '';");
  Open();
  if (saved)
    setenv("TMPDIR", saved->c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\tmp\\*.xml");
}

TEST_F(ConditionDlgOpenTest, DefaultPathInALongAppFolderIsKeptWhole) {
  // 259 bytes of folder with its backslash: the default path is longer than a 260-byte path buffer.
  const std::string folder = "C:\\" + std::string(255, 'a') + "\\";
  Host("UPDATE session SET app_folder = '" + folder + "';");
  Open();
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), folder + "*.xml");
  EXPECT_EQ(dlg_->m_strOutPath, folder + "*.xml");
}

TEST_F(ConditionDlgOpenTest, SettingsRestoreTheLastMonthTaxAndPathButNeverTheFirstMonth) {
  Host("UPDATE companies SET tax_included = 1;");
  ASSERT_TRUE(Make().WriteLastOutput(0, 9, "C:\\out\\r.xml"));
  Open();
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthFrom), "4");
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthTo), "9");
  EXPECT_EQ(dlg_->IsDlgButtonChecked(ClConditionDlg::kIdTax), ui::BST_UNCHECKED);
  EXPECT_EQ(dlg_->m_nTax, 0);
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\out\\r.xml");
  EXPECT_STREQ(dlg_->m_szSavedPath, "C:\\out\\r.xml");

  // A record with an empty path: the default path, and nothing saved.
  ASSERT_TRUE(dlg_->WriteLastOutput(1, 12, ""));
  Open();
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthTo), "12");
  EXPECT_EQ(dlg_->IsDlgButtonChecked(ClConditionDlg::kIdTax), ui::BST_CHECKED);
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\Data\\*.xml");
  EXPECT_STREQ(dlg_->m_szSavedPath, "");

  // Without a path, WriteLastOutput keeps the path read at the opening.
  ASSERT_TRUE(dlg_->WriteLastOutput(0, 9, "C:\\out\\r.xml"));
  Open();
  ASSERT_TRUE(dlg_->WriteLastOutput(1, 10, nullptr));
  Open();
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthTo), "10");
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\out\\r.xml");
}

TEST_F(ConditionDlgOpenTest, FixedPathDisablesEditAndBrowseAndRetitlesTheGroup) {
  Make().m_strFixedPath = "C:\\out\\fixed.xml";
  Show();
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\out\\fixed.xml");
  EXPECT_FALSE(dlg_->IsDlgItemEnabled(ClConditionDlg::kIdPath));
  EXPECT_FALSE(dlg_->IsDlgItemEnabled(ClConditionDlg::kIdBrowse));
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdOutputGroup), T(TextId::kOutputGroupFixed));
  EXPECT_EQ(dlg_->m_bPathFixed, 1);
  EXPECT_TRUE(dlg_->IsDlgItemEnabled(ClConditionDlg::kIdMonthTo));
  EXPECT_TRUE(dlg_->IsDlgItemEnabled(ClConditionDlg::kIdTax));
  // Enter skips the disabled output controls.
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdTax);
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdExecute);
}

// ---- execute ----

using ConditionDlgExecuteTest = ConditionDlgTest;

TEST_F(ConditionDlgExecuteTest, TheLastMonthMustLieInThePeriod) {
  struct Case {
    std::int32_t start, end;
    std::vector<int> accepted;
  };
  const Case cases[] = {
      {20230401, 20240331, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {20230101, 20231231, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {20230401, 20230930, {4, 5, 6, 7, 8, 9}},
  };
  for (const Case& c : cases) {
    for (int month = 1; month <= 12; ++month) {
      SCOPED_TRACE(std::to_string(c.start) + " month " + std::to_string(month));
      Open(c.start, c.end);
      dlg_->SetDlgItemText(ClConditionDlg::kIdPath, "C:\\out\\r.xml");
      Type(ClConditionDlg::kIdMonthTo, std::to_string(month).c_str());
      ui_.boxes.clear();
      Click(ClConditionDlg::kIdExecute);
      const bool accepted = std::find(c.accepted.begin(), c.accepted.end(), month) != c.accepted.end();
      if (accepted) {
        EXPECT_TRUE(dlg_->IsEnded());
        EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
        EXPECT_TRUE(ui_.boxes.empty());
      } else {
        ExpectRefused(TextId::kBadMonthRange, ClConditionDlg::kIdMonthTo, std::to_string(month));
      }
    }
  }
}

TEST_F(ConditionDlgExecuteTest, EmptyZeroAndThirteenAreRefusedWithTheMonthEditSelected) {
  Open();
  dlg_->SetDlgItemText(ClConditionDlg::kIdPath, "C:\\out\\r.xml");
  for (const char* month : {"", "0", "13", "00"}) {
    SCOPED_TRACE(month);
    Type(ClConditionDlg::kIdMonthTo, month);
    dlg_->SetFocusTo(ClConditionDlg::kIdExecute);
    Click(ClConditionDlg::kIdExecute);
    ExpectRefused(TextId::kBadMonthRange, ClConditionDlg::kIdMonthTo, month);
  }
  EXPECT_EQ(ui_.boxes.size(), 4u);
}

TEST_F(ConditionDlgExecuteTest, EmptyPathShowsItsMessageThenTheFileDialog) {
  Open();
  Type(ClConditionDlg::kIdPath, "");
  ui_.QueueFile(win32::IDOK, "C:\\out\\chosen.xml");
  Click(ClConditionDlg::kIdExecute);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(LastBox().text, T(TextId::kNoOutputPath));
  EXPECT_EQ(LastBox().style, kWarnStyle);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_FALSE(dlg_->IsEnded());
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\out\\chosen.xml");
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdExecute);
  // The chosen file is then accepted.
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
  EXPECT_EQ(dlg_->m_strOutPath, "C:\\out\\chosen.xml");
}

TEST_F(ConditionDlgExecuteTest, PathRefusalsShowTheirMessageAndSelectThePath) {
  Host("INSERT INTO drives VALUES ('D', 5, 'c'); INSERT INTO drives VALUES ('H', 3, '.');");
  ASSERT_EQ(mkfifo(C("fifo.xml").c_str(), 0666), 0);
  struct Case {
    std::string path;
    TextId text;
  };
  const Case cases[] = {
      {"C:\\Data\\*.xml", TextId::kBadPathChars},  // the default path as offered
      {"C:\\out\\a?.xml", TextId::kBadPathChars},
      {"C:\\out/a.xml", TextId::kBadPathChars},
      {"C:\\out\\\\a.xml", TextId::kBadPathChars},
      {"D:\\out\\a.xml", TextId::kBadDrive},  // CD-ROM
      {"1:\\out\\a.xml", TextId::kBadDrive},
      {"C:\\out\\", TextId::kNoFileName},
      {"C:\\out", TextId::kNoFileName},              // an existing folder without the backslash
      {"H:\\host.sqlite", TextId::kUnusableOutput},  // the host database, through another drive
      {"C:\\fifo.xml", TextId::kUnusableOutput},
  };
  Open();
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), cases[0].path);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    dlg_->SetDlgItemText(ClConditionDlg::kIdPath, c.path);
    dlg_->SetFocusTo(ClConditionDlg::kIdMonthTo);
    Click(ClConditionDlg::kIdExecute);
    ExpectRefused(c.text, ClConditionDlg::kIdPath, c.path);
  }
  EXPECT_EQ(ui_.boxes.size(), std::size(cases));
  EXPECT_TRUE(ui_.dialogs.empty());
}

TEST_F(ConditionDlgExecuteTest, MissingFolderIsCreatedOnYesAndLeftOnNo) {
  Open();
  const std::string path = "C:\\new\\sub\\a.xml";
  dlg_->SetDlgItemText(ClConditionDlg::kIdPath, path);
  ui_.QueueAnswer(win32::IDNO);
  Click(ClConditionDlg::kIdExecute);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(LastBox().text, T(TextId::kCreateFolderQuestion));
  EXPECT_EQ(LastBox().style, kAskStyle);
  EXPECT_FALSE(dlg_->IsEnded());
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdPath);
  EXPECT_EQ(dlg_->GetSelText(ClConditionDlg::kIdPath), path);
  EXPECT_FALSE(std::filesystem::exists(C("new")));

  ui_.QueueAnswer(win32::IDYES);
  Click(ClConditionDlg::kIdExecute);
  EXPECT_EQ(ui_.boxes.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_directory(C("new/sub")));
  EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
}

TEST_F(ConditionDlgExecuteTest, FailedFolderCreationIsReportedAndLeavesNothingBehind) {
  // A file stands where a folder level is wanted, so that level cannot be created.
  dir_.Write("c/out/blk", "a file");
  Open();
  const std::string path = "C:\\out\\blk\\x\\a.xml";
  dlg_->SetDlgItemText(ClConditionDlg::kIdPath, path);
  Click(ClConditionDlg::kIdExecute);
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].text, T(TextId::kCreateFolderQuestion));
  ExpectRefused(TextId::kCreateFolderFailed, ClConditionDlg::kIdPath, path);
  EXPECT_TRUE(std::filesystem::is_regular_file(C("out/blk")));
}

TEST_F(ConditionDlgExecuteTest, ExistingFileIsOverwrittenOnYesKeptOnNoAndNotAskedWhenFixed) {
  dir_.Write("c/out/a.xml", "old");
  Open();
  dlg_->SetDlgItemText(ClConditionDlg::kIdPath, "C:\\out\\a.xml");
  ui_.QueueAnswer(win32::IDNO);
  Click(ClConditionDlg::kIdExecute);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(LastBox().text, T(TextId::kOverwriteQuestion));
  EXPECT_EQ(LastBox().style, kAskStyle);
  EXPECT_FALSE(dlg_->IsEnded());
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdPath);
  EXPECT_EQ(dlg_->GetSelText(ClConditionDlg::kIdPath), "C:\\out\\a.xml");
  Click(ClConditionDlg::kIdExecute);  // Yes
  EXPECT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);

  ui_.boxes.clear();
  Make().m_strFixedPath = "C:\\out\\a.xml";
  Show();
  Key(Qt::Key_F12);
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
  EXPECT_EQ(dlg_->m_strOutPath, "C:\\out\\a.xml");
}

TEST_F(ConditionDlgExecuteTest, SuccessEndsWith1002AndTheMembersHoldTheChoices) {
  Host("UPDATE companies SET tax_included = 0;");
  Open();
  Type(ClConditionDlg::kIdMonthTo, "11");
  Click(ClConditionDlg::kIdTax);
  EXPECT_EQ(dlg_->m_nTax, 1);
  Type(ClConditionDlg::kIdPath, "C:\\out\\r.xml");
  Click(ClConditionDlg::kIdExecute);
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
  EXPECT_FALSE(dlg_->IsWindowVisible());
  EXPECT_EQ(dlg_->m_strMonthFrom, "4");
  EXPECT_EQ(dlg_->m_strMonthTo, "11");
  EXPECT_EQ(dlg_->m_nTax, 1);
  EXPECT_EQ(dlg_->m_strOutPath, "C:\\out\\r.xml");
}

TEST_F(ConditionDlgExecuteTest, ModalRunEndsWithTheExecuteResult) {
  Make();
  QTimer::singleShot(0, [&] {
    dlg_->SetDlgItemText(ClConditionDlg::kIdPath, "C:\\out\\m.xml");
    // The keys go to the focused control once the window is active; the month edit has the focus.
    if (!QTest::qWaitForWindowActive(ui::WindowOf(dlg_->GetSafeHwnd()))) return dlg_->EndDialog(-2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F12);
  });
  EXPECT_EQ(dlg_->DoModal(), ClConditionDlg::kIdExecute);
  EXPECT_EQ(dlg_->GetSafeHwnd(), 0u);
  EXPECT_EQ(dlg_->m_strMonthTo, "3");
  EXPECT_EQ(dlg_->m_strOutPath, "C:\\out\\m.xml");
}

// ---- keys ----

using ConditionDlgKeyTest = ConditionDlgTest;

TEST_F(ConditionDlgKeyTest, EnterWalksToBrowseBrowsesThenExecutes) {
  Open();
  ASSERT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdMonthTo);
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdTax);
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdPath);
  EXPECT_EQ(dlg_->GetSelText(ClConditionDlg::kIdPath), "C:\\Data\\*.xml");
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdBrowse);
  EXPECT_TRUE(ui_.dialogs.empty());
  ui_.QueueFile(win32::IDOK, "C:\\out\\k.xml");
  Key(Qt::Key_Return);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), "C:\\out\\k.xml");
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdExecute);
  EXPECT_FALSE(dlg_->IsEnded());
  Key(Qt::Key_Return);
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
}

TEST_F(ConditionDlgKeyTest, F12ExecutesFromAnyControl) {
  for (int id : {ClConditionDlg::kIdMonthTo, ClConditionDlg::kIdTax, ClConditionDlg::kIdPath,
                 ClConditionDlg::kIdBrowse, ClConditionDlg::kIdCancel}) {
    SCOPED_TRACE(id);
    Open();
    dlg_->SetDlgItemText(ClConditionDlg::kIdPath, "C:\\out\\f.xml");
    dlg_->SetFocusTo(id);
    Key(Qt::Key_F12);
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdExecute);
  }
}

TEST_F(ConditionDlgKeyTest, EscTheCloseBoxAndEnterOnCancelCancelWithTheMessage) {
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    ui_.boxes.clear();
    Open();
    if (way == 0) {
      Key(Qt::Key_Escape);
    } else if (way == 1) {
      ui::WindowOf(dlg_->GetSafeHwnd())->close();
    } else {
      dlg_->SetFocusTo(ClConditionDlg::kIdCancel);
      Key(Qt::Key_Return);
    }
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(LastBox().text, T(TextId::kCancelRun));
    EXPECT_EQ(LastBox().text, Sjis("｢科目内訳書｣の集計を中止します。"));
    EXPECT_EQ(LastBox().style, win32::MB_OK | win32::MB_ICONINFORMATION);
    EXPECT_EQ(dlg_->Result(), ClConditionDlg::kIdCancel);
  }
  // The Cancel button too, in a modal run.
  ui_.boxes.clear();
  Make();
  QTimer::singleShot(0, [&] { dlg_->ClickButton(ClConditionDlg::kIdCancel); });
  EXPECT_EQ(dlg_->DoModal(), ClConditionDlg::kIdCancel);
  EXPECT_EQ(ui_.boxes.size(), 1u);
}

TEST_F(ConditionDlgKeyTest, KeysWithShiftCtrlOrAltAreLeftAloneAndTheOkCommandNeverCloses) {
  Open();
  dlg_->SetDlgItemText(ClConditionDlg::kIdPath, "C:\\out\\r.xml");
  Key(Qt::Key_Return, Qt::ShiftModifier);  // the dialog manager turns this one into IDOK
  Key(Qt::Key_F12, Qt::ControlModifier);
  Key(Qt::Key_F12, Qt::ShiftModifier);
  Key(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_FALSE(dlg_->IsEnded());
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdMonthTo);
  // In the path edit as well.
  dlg_->SetFocusTo(ClConditionDlg::kIdPath);
  Key(Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_FALSE(dlg_->IsEnded());
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdPath);
}

TEST_F(ConditionDlgKeyTest, MnemonicsReachTheirControls) {
  Host("UPDATE companies SET tax_included = 0;");
  Open();
  dlg_->SetFocusTo(ClConditionDlg::kIdCancel);
  Key(Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdPath);
  EXPECT_EQ(dlg_->GetSelText(ClConditionDlg::kIdPath), "C:\\Data\\*.xml");
  Key(Qt::Key_E, Qt::AltModifier);
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdMonthTo);
  // The tax box toggles and tells the dialog.
  Key(Qt::Key_Z, Qt::AltModifier);
  QTRY_COMPARE(dlg_->IsDlgButtonChecked(ClConditionDlg::kIdTax), ui::BST_CHECKED);
  QTRY_COMPARE(dlg_->m_nTax, std::int16_t{1});
  Key(Qt::Key_Z, Qt::AltModifier);
  QTRY_COMPARE(dlg_->m_nTax, std::int16_t{0});
  // The browse button browses.
  Key(Qt::Key_D, Qt::AltModifier);
  QTRY_COMPARE(ui_.dialogs.size(), std::size_t{1});
  EXPECT_FALSE(dlg_->IsEnded());
}

// ---- browse ----

using ConditionDlgBrowseTest = ConditionDlgTest;

TEST_F(ConditionDlgBrowseTest, TheRequestStartsInThePathsFolderWithItsFileName) {
  struct Case {
    std::string path, folder, name;
  };
  const Case cases[] = {
      {"C:\\out\\a.xml", "C:\\out\\", "a.xml"},
      {"C:a.xml", "C:", "a.xml"},
      {"a.xml", "", "a.xml"},
      // Both characters have the trail byte 0x5C.
      {Sjis("C:\\表\\ソ.xml"), Sjis("C:\\表\\"), Sjis("ソ.xml")},
      {Sjis("C:表"), "C:", Sjis("表")},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(win32::ToUtf8Lossy(c.path));
    dlg_->SetDlgItemText(ClConditionDlg::kIdPath, c.path);
    dlg_->SetFocusTo(ClConditionDlg::kIdPath);
    Click(ClConditionDlg::kIdBrowse);
    ASSERT_FALSE(ui_.dialogs.empty());
    const win32::SaveDialogRequest& r = ui_.dialogs.back().request;
    EXPECT_EQ(r.initial_dir, c.folder);
    EXPECT_EQ(r.initial_name, c.name);
    EXPECT_EQ(r.owner, dlg_->GetSafeHwnd());
    EXPECT_EQ(r.title, Sjis("保存ファイルを指定"));
    EXPECT_EQ(r.default_ext, "XML");
    EXPECT_EQ(r.filter, "Xml Files (*.xml)|*.xml||");
    EXPECT_EQ(r.flags, 0x180Cu);
    // Cancelled: the path stays and the focus goes to Execute.
    EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), c.path);
    EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdExecute);
  }
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_FALSE(dlg_->IsEnded());
}

TEST_F(ConditionDlgBrowseTest, TheChosenPathReplacesTheEditsTextOnly) {
  Open();
  Type(ClConditionDlg::kIdMonthTo, "7");
  ui_.QueueFile(win32::IDOK, Sjis("C:\\out\\表.xml"));
  Click(ClConditionDlg::kIdBrowse);
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdPath), Sjis("C:\\out\\表.xml"));
  EXPECT_EQ(dlg_->m_strOutPath, Sjis("C:\\out\\表.xml"));
  EXPECT_EQ(dlg_->GetDlgItemText(ClConditionDlg::kIdMonthTo), "7");
  EXPECT_EQ(dlg_->GetFocusId(), ClConditionDlg::kIdExecute);
  EXPECT_FALSE(dlg_->IsEnded());
}

}  // namespace
