// ui::Dialog driven through real Qt widgets on the offscreen platform: keys, focus, mnemonics, commands,
// byte limits, data exchange and the modal, modeless and hidden runs.
#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "res/texts.h"
#include "tests/support/scripted_ui.h"
#include "ui/qt_widgets.h"
#include "win32/codepage.h"
#include "win32/ui_port.h"

namespace {

using win32::Sjis;

// A small dialog on template 130 that records what reaches its hooks.
class RecordingDlg : public ui::Dialog {
 public:
  RecordingDlg() : ui::Dialog(res::kIddConditions) {}

  std::vector<ui::KeyDown> keys;
  std::vector<unsigned> handled;  // keys the hook consumed
  std::vector<int> commands;
  int cancels = 0;
  bool consume_enter = true;
  bool end_in_init = false;
  std::string m_strMonth = "7";
  std::string m_strPath = "C:\\out\\a.xml";

 protected:
  bool OnInitDialog() override {
    ui::Dialog::OnInitDialog();
    if (end_in_init) EndDialog(1003);
    return true;
  }
  void DoDataExchange(ui::DataExchange* dx) override {
    dx->Text(1000, m_strMonth);
    dx->MaxChars(m_strMonth, 2);
    dx->Text(1015, m_strPath);
  }
  bool PreTranslateMessage(const ui::KeyDown& k) override {
    keys.push_back(k);
    if (k.shift || k.control || k.alt) return false;
    if ((k.vk == ui::VK_RETURN && consume_enter) || k.vk == ui::VK_F12) {
      handled.push_back(k.vk);
      return true;
    }
    return false;
  }
  bool OnCommand(int id) override {
    commands.push_back(id);
    if (id == 1002) {
      EndDialog(1002);
      return true;
    }
    return ui::Dialog::OnCommand(id);
  }
  void OnCancel() override {
    ++cancels;
    ui::Dialog::OnCancel();
  }
};

QWidget* Focused() { return QApplication::focusWidget(); }

void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* w = Focused();
  ASSERT_NE(w, nullptr);
  QTest::keyClick(w, key, mods);
}

// Typing a character outside Latin-1 (QTest::keyClicks cannot).
void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

class DialogTest : public ::testing::Test {
 protected:
  void Open() {
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(ui::SW_SHOW);
    QWidget* w = ui::WindowOf(dlg.GetSafeHwnd());
    ASSERT_NE(w, nullptr);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  }
  RecordingDlg dlg;
};

TEST_F(DialogTest, OpensWithFirstTabStopFocusedAndItsTextSelected) {
  Open();
  EXPECT_EQ(dlg.GetFocusId(), 1000);
  EXPECT_EQ(Focused(), ui::ControlOf(dlg, 1000));
  EXPECT_EQ(dlg.GetSelText(1000), "7");
  EXPECT_EQ(dlg.GetDlgItemText(1015), "C:\\out\\a.xml");
}

TEST_F(DialogTest, PreTranslateSeesKeysWithModifiersBeforeStandardHandling) {
  Open();
  Key(Qt::Key_Return);
  Key(Qt::Key_F12);
  EXPECT_EQ(dlg.handled, (std::vector<unsigned>{ui::VK_RETURN, ui::VK_F12}));
  EXPECT_TRUE(dlg.commands.empty());
  EXPECT_FALSE(dlg.IsEnded());

  Key(Qt::Key_F12, Qt::ControlModifier);
  ASSERT_FALSE(dlg.keys.empty());
  EXPECT_EQ(dlg.keys.back().vk, ui::VK_F12);
  EXPECT_TRUE(dlg.keys.back().control);
  EXPECT_EQ(dlg.handled.size(), 2u);

  // Shift+Enter in the edit is left to the standard handling: no push button has the focus and none is
  // the default, so it is IDOK, which reads the controls and ends the dialog.
  QTest::keyClicks(ui::ControlOf(dlg, 1000), "1");
  Key(Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_TRUE(dlg.keys.back().shift);
  EXPECT_EQ(dlg.commands, std::vector<int>{win32::IDOK});
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.Result(), win32::IDOK);
  EXPECT_EQ(dlg.m_strMonth, "1");
  EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST_F(DialogTest, EscAndTheCloseBoxCancel) {
  Open();
  Key(Qt::Key_Escape);
  EXPECT_EQ(dlg.cancels, 1);
  EXPECT_EQ(dlg.Result(), win32::IDCANCEL);

  RecordingDlg other;
  ASSERT_TRUE(other.Create());
  other.ShowWindow(ui::SW_SHOW);
  ui::WindowOf(other.GetSafeHwnd())->close();
  EXPECT_EQ(other.cancels, 1);
  EXPECT_EQ(other.commands, std::vector<int>{win32::IDCANCEL});
  EXPECT_TRUE(other.IsEnded());
}

TEST_F(DialogTest, EnterOnAFocusedButtonRaisesItsCommand) {
  dlg.consume_enter = false;
  Open();
  dlg.GotoDlgCtrl(1001);
  Key(Qt::Key_Return);
  dlg.GotoDlgCtrl(1002);
  Key(Qt::Key_Return);
  EXPECT_EQ(dlg.commands, (std::vector<int>{1001, 1002}));
  EXPECT_EQ(dlg.Result(), 1002);
}

TEST_F(DialogTest, TabWalksTheTabStopsInTemplateOrder) {
  Open();
  std::vector<int> order;
  for (int i = 0; i < 6; ++i) {
    Key(Qt::Key_Tab);
    order.push_back(dlg.GetFocusId());
  }
  EXPECT_EQ(order, (std::vector<int>{1004, 1015, 1001, 1002, 1003, 1000}));
  // Tab into an edit selects its whole text, as the dialog manager does.
  EXPECT_EQ(dlg.GetSelText(1000), "7");
}

TEST_F(DialogTest, MnemonicsOfLabelAndGroupBoxReachTheNextControl) {
  Open();
  dlg.GotoDlgCtrl(1002);
  Key(Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(dlg.GetFocusId(), 1015);
  EXPECT_EQ(dlg.GetSelText(1015), "C:\\out\\a.xml");
  Key(Qt::Key_E, Qt::AltModifier);
  EXPECT_EQ(dlg.GetFocusId(), 1000);
  EXPECT_EQ(dlg.GetSelText(1000), "7");
  // Disabled, the path edit is skipped for the next tab stop.
  dlg.EnableDlgItem(1015, false);
  Key(Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(dlg.GetFocusId(), 1001);
}

TEST_F(DialogTest, CheckBoxClickTogglesAndRaisesItsCommandButSettingItDoesNot) {
  Open();
  auto* box = static_cast<QCheckBox*>(ui::ControlOf(dlg, 1004));
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(dlg.IsDlgButtonChecked(1004), ui::BST_CHECKED);
  EXPECT_EQ(dlg.commands, std::vector<int>{1004});
  dlg.CheckDlgButton(1004, ui::BST_UNCHECKED);
  EXPECT_EQ(dlg.IsDlgButtonChecked(1004), ui::BST_UNCHECKED);
  EXPECT_EQ(dlg.commands.size(), 1u);
  EXPECT_TRUE(dlg.ClickButton(1004));
  EXPECT_EQ(dlg.IsDlgButtonChecked(1004), ui::BST_CHECKED);
  EXPECT_EQ(dlg.commands, (std::vector<int>{1004, 1004}));
  // A disabled button cannot be clicked; a missing one neither.
  dlg.EnableDlgItem(1001, false);
  EXPECT_FALSE(dlg.ClickButton(1001));
  EXPECT_FALSE(dlg.ClickButton(4711));
  EXPECT_EQ(dlg.commands.size(), 2u);
}

TEST_F(DialogTest, EditLimitsCountCodePage932BytesAndDigitsOnly) {
  Open();
  QWidget* month = ui::ControlOf(dlg, 1000);
  dlg.SetDlgItemText(1000, "");
  QTest::keyClicks(month, "1a2b3");
  EXPECT_EQ(dlg.GetDlgItemText(1000), "12");

  QWidget* path = ui::ControlOf(dlg, 1015);
  dlg.SetDlgItemText(1015, "");
  dlg.LimitText(1015, 5);
  Type(path, QStringLiteral("表表表"));  // 2 bytes each
  EXPECT_EQ(dlg.GetDlgItemText(1015), Sjis("表表"));
  Type(path, QStringLiteral("ｱｲ"));  // half-width katakana: 1 byte each
  EXPECT_EQ(dlg.GetDlgItemText(1015), Sjis("表表ｱ"));
  // A character without a code page 932 form cannot be typed at all.
  dlg.SetDlgItemText(1015, "");
  Type(path, QStringLiteral("a\u20ACb"));
  EXPECT_EQ(dlg.GetDlgItemText(1015), "ab");
  // The program may set a longer text.
  dlg.SetDlgItemText(1015, "abcdefgh");
  EXPECT_EQ(dlg.GetDlgItemText(1015), "abcdefgh");
}

TEST_F(DialogTest, DataExchangeFailsOnATooLongTextAndFocusesIt) {
  win32::ScriptedUi scripted;
  win32::UiPort* previous = win32::SetUi(&scripted);
  Open();
  dlg.SetDlgItemText(1000, "123");  // longer than the 2 bytes typing allows
  dlg.SetDlgItemText(1015, "D:\\x.xml");
  dlg.GotoDlgCtrl(1015);
  EXPECT_FALSE(dlg.UpdateData(true));
  ASSERT_EQ(scripted.boxes.size(), 1u);
  EXPECT_EQ(scripted.boxes[0].owner, dlg.GetSafeHwnd());
  EXPECT_EQ(scripted.boxes[0].caption, res::Text(res::TextId::kTitle));
  EXPECT_EQ(scripted.boxes[0].style, win32::MB_ICONEXCLAMATION);
  EXPECT_NE(scripted.boxes[0].text.find('2'), std::string::npos);
  EXPECT_EQ(dlg.GetFocusId(), 1000);
  EXPECT_EQ(dlg.GetSelText(1000), "123");
  // The exchange stopped at the failing control: the path member was not read.
  EXPECT_EQ(dlg.m_strPath, "C:\\out\\a.xml");

  dlg.SetDlgItemText(1000, "12");
  EXPECT_TRUE(dlg.UpdateData(true));
  EXPECT_EQ(dlg.m_strMonth, "12");
  EXPECT_EQ(dlg.m_strPath, "D:\\x.xml");
  win32::SetUi(previous);
}

TEST(DialogRunTest, HiddenRunIsDrivenWithoutWindowOrLoop) {
  RecordingDlg dlg;
  ASSERT_TRUE(dlg.CreateHidden());
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.GetDlgItemText(1000), "7");  // OnInitDialog filled the controls
  EXPECT_EQ(dlg.GetFocusId(), 1000);
  dlg.SetDlgItemText(1000, "9");
  EXPECT_FALSE(dlg.IsEnded());
  EXPECT_TRUE(dlg.ClickButton(1002));
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.Result(), 1002);
  EXPECT_FALSE(dlg.IsWindowVisible());
  dlg.SendKeyDown({ui::VK_F12, false, false, false});
  EXPECT_EQ(dlg.handled, std::vector<unsigned>{ui::VK_F12});
}

TEST(DialogRunTest, ModalRunReturnsTheEndResultAndDestroysTheWindow) {
  RecordingDlg dlg;
  bool was_visible = false;
  QTimer::singleShot(0, [&] {
    was_visible =
        dlg.IsWindowVisible() && QApplication::activeModalWidget() == ui::WindowOf(dlg.GetSafeHwnd());
    dlg.ClickButton(1002);
  });
  EXPECT_EQ(dlg.DoModal(), 1002);
  EXPECT_TRUE(was_visible);
  EXPECT_EQ(dlg.GetSafeHwnd(), 0u);
  EXPECT_EQ(dlg.GetDlgItemText(1000), "");  // no window, no control
}

TEST(DialogRunTest, DialogEndedDuringInitIsNeverShownNorLooped) {
  RecordingDlg dlg;
  dlg.end_in_init = true;
  bool loop_ran = false;
  QTimer::singleShot(0, [&] { loop_ran = true; });
  EXPECT_EQ(dlg.DoModal(), 1003);
  EXPECT_FALSE(loop_ran);
  QApplication::processEvents();
  EXPECT_TRUE(loop_ran);
}

TEST(DialogRunTest, HandlesNameOnlyOurLiveDialogs) {
  RecordingDlg dlg;
  EXPECT_EQ(dlg.GetSafeHwnd(), 0u);
  ASSERT_TRUE(dlg.CreateHidden());
  const win32::HWND hwnd = dlg.GetSafeHwnd();
  EXPECT_NE(hwnd, 0u);
  EXPECT_EQ(ui::Dialog::FromHandle(hwnd), &dlg);
  EXPECT_NE(ui::WindowOf(hwnd), nullptr);
  EXPECT_EQ(ui::Dialog::FromHandle(12345), nullptr);  // e.g. the starting window's handle
  EXPECT_EQ(ui::WindowOf(12345), nullptr);
  dlg.DestroyWindow();
  EXPECT_EQ(dlg.GetSafeHwnd(), 0u);
  EXPECT_EQ(ui::Dialog::FromHandle(hwnd), nullptr);
  EXPECT_EQ(dlg.m_strMonth, "7");
}

TEST(DialogUnitsTest, JapaneseFontAndDialogUnitsAsWindowsComputesThem) {
  RecordingDlg dlg;
  ASSERT_TRUE(dlg.CreateHidden());
  auto* wnd = static_cast<ui::detail::DialogWidget*>(ui::WindowOf(dlg.GetSafeHwnd()));
  EXPECT_EQ(QFontInfo(wnd->font()).family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(wnd->BaseUnits(), QSize(7, 13));
  EXPECT_EQ(wnd->size(), QSize(446, 255));
  // MulDiv rounding of a control: 186,106,57,14 -> x 325.5 -> 326, y 172.25 -> 172, 99.75 -> 100, 22.75
  // -> 23.
  EXPECT_EQ(ui::ControlOf(dlg, 1001)->geometry(), QRect(326, 172, 100, 23));
  EXPECT_EQ(ui::DluToPixels(QSize(7, 13), 0, 0, 4, 8), QRect(0, 0, 7, 13));
}

}  // namespace
