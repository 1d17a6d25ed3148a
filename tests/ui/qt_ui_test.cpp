// The Qt modal port: real message boxes and the non-native save-as dialog, answered from a timer.
#include "ui/qt_ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "res/templates.h"
#include "tests/support/temp_dir.h"
#include "ui/dialog.h"
#include "ui/qt_widgets.h"
#include "win32/codepage.h"
#include "win32/drives.h"

namespace {

using win32::Sjis;

// Runs `act` on the modal widget as soon as it is up.
void WhenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start();
}

struct Seen {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QString title;
  QString text;
  QWidget* parent = nullptr;
  QMessageBox::StandardButton def = QMessageBox::NoButton;
};

// Looks at the box, then presses `keys` one after the other and finally clicks `click` (if any).
void Answer(Seen* seen, std::vector<Qt::Key> keys, QMessageBox::StandardButton click) {
  WhenModal([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    seen->icon = box->icon();
    seen->buttons = box->standardButtons();
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->parent = box->parentWidget();
    seen->def =
        box->defaultButton() != nullptr ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    for (Qt::Key k : keys) QTest::keyClick(box, k);
    if (click != QMessageBox::NoButton && box->isVisible()) box->button(click)->click();
  });
}

TEST(QtUiTest, MessageBoxButtonsIconsOwnerAndAnswers) {
  ui::QtUi port;
  ui::Dialog owner(res::kIddConditions);
  ASSERT_TRUE(owner.Create());
  owner.ShowWindow(ui::SW_SHOW);

  Seen seen;
  Answer(&seen, {}, QMessageBox::No);
  EXPECT_EQ(port.MessageBox(owner.GetSafeHwnd(), Sjis("作成してもよろしいですか？"), Sjis("科目内訳書"),
                            win32::MB_YESNO | win32::MB_ICONQUESTION),
            win32::IDNO);
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen.title, QStringLiteral("科目内訳書"));
  EXPECT_EQ(seen.text, QStringLiteral("作成してもよろしいですか？"));
  EXPECT_EQ(seen.parent, ui::WindowOf(owner.GetSafeHwnd()));
  EXPECT_EQ(seen.def, QMessageBox::Yes);

  // Esc does nothing on a Yes/No box; the box waits for an answer.
  Answer(&seen, {Qt::Key_Escape}, QMessageBox::Yes);
  EXPECT_EQ(port.MessageBox(owner.GetSafeHwnd(), "q", "c",
                            win32::MB_YESNO | win32::MB_ICONQUESTION | ui::MB_DEFBUTTON2),
            win32::IDYES);
  EXPECT_EQ(seen.def, QMessageBox::No);

  // Esc on OK alone answers OK; with a Cancel button it answers Cancel.
  Answer(&seen, {Qt::Key_Escape}, QMessageBox::NoButton);
  EXPECT_EQ(port.MessageBox(owner.GetSafeHwnd(), "t", "c", win32::MB_OK | win32::MB_ICONEXCLAMATION),
            win32::IDOK);
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
  Answer(&seen, {Qt::Key_Escape}, QMessageBox::NoButton);
  EXPECT_EQ(port.MessageBox(0, "t", "c", win32::MB_OKCANCEL | win32::MB_ICONINFORMATION), win32::IDCANCEL);
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  Answer(&seen, {}, QMessageBox::Cancel);
  EXPECT_EQ(port.MessageBox(0, "t", "c", win32::MB_YESNOCANCEL | win32::MB_ICONHAND), win32::IDCANCEL);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

TEST(QtUiTest, FilterAndDefaultExtensionFollowTheWindowsDialog) {
  EXPECT_EQ(ui::QtNameFilters("Xml Files (*.xml)|*.xml||"),
            std::vector<std::string>{"Xml Files (*.xml) (*.xml)"});
  EXPECT_EQ(ui::QtNameFilters(Sjis("表 (*.a;*.b)|*.a;*.b|全部|*.*||")),
            (std::vector<std::string>{"表 (*.a;*.b) (*.a *.b)", "全部 (*.*)"}));
  EXPECT_TRUE(ui::QtNameFilters("").empty());

  EXPECT_EQ(ui::WithDefaultExtension("/t/out", "*.xml", "XML"), "/t/out.xml");
  EXPECT_EQ(ui::WithDefaultExtension("/t/out", "*.*", "xmlx"), "/t/out.xml");
  EXPECT_EQ(ui::WithDefaultExtension("/t/out.txt", "*.xml", "XML"), "/t/out.txt");
  EXPECT_EQ(ui::WithDefaultExtension("/t.d/out", "", "XML"), "/t.d/out.XML");
  EXPECT_EQ(ui::WithDefaultExtension("/t/out", "", ""), "/t/out");
}

TEST(QtUiTest, SaveDialogStartsInTheFolderAndAnswersAWindowsPath) {
  TempDir dir;
  dir.Write("old.xml", "x");
  ui::QtUi port;
  win32::SaveDialogRequest req;
  req.title = Sjis("保存ファイルを指定");
  req.default_ext = "XML";
  req.filter = "Xml Files (*.xml)|*.xml||";
  req.initial_name = "old.xml";
  ASSERT_TRUE(win32::Drives().ToWindows(dir.path(), &req.initial_dir));
  req.flags = win32::OFN_HIDEREADONLY | win32::OFN_PATHMUSTEXIST | win32::OFN_FILEMUSTEXIST;

  QString title, folder, name;
  WhenModal([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    title = fd->windowTitle();
    folder = fd->directory().absolutePath();
    auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    name = edit->text();
    // The folder is read in the background; the initial name is selected in the list once it is in.
    auto* list = fd->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->selectionModel()->hasSelection(); }, 5000));
    fd->selectFile(QStringLiteral("新規"));  // no extension: the filter's is added; it need not exist
    static_cast<QDialog*>(fd)->accept();     // QFileDialog::accept, as the Save button
  });
  std::string path;
  ASSERT_EQ(port.SaveFileDialog(req, &path), win32::IDOK);
  EXPECT_EQ(title, QStringLiteral("保存ファイルを指定"));
  EXPECT_EQ(folder.toStdString(), dir.path());
  EXPECT_EQ(name, QStringLiteral("old.xml"));
  std::string expected;
  ASSERT_TRUE(win32::Drives().ToWindows(dir.Sub("新規.xml"), &expected));
  EXPECT_EQ(path, expected);

  // An existing file is chosen without an overwrite question; cancel answers IDCANCEL.
  WhenModal([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    fd->selectFile(QStringLiteral("old.xml"));
    static_cast<QDialog*>(fd)->accept();  // QFileDialog::accept, as the Save button
  });
  ASSERT_EQ(port.SaveFileDialog(req, &path), win32::IDOK);
  ASSERT_TRUE(win32::Drives().ToWindows(dir.Sub("old.xml"), &expected));
  EXPECT_EQ(path, expected);
  // Path-must-exist: a name in a folder that does not exist is refused with a warning over the dialog,
  // which stays open.
  QString warning;
  bool still_open = false;
  WhenModal([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    fd->selectFile(QString::fromStdString(dir.Sub("missing/r.xml")));
    WhenModal([&, fd](QWidget* box) {
      warning =
          qobject_cast<QMessageBox*>(box) != nullptr ? qobject_cast<QMessageBox*>(box)->text() : QString();
      box->close();
      QTimer::singleShot(10, [&, fd] {
        still_open = fd->isVisible();
        fd->reject();
      });
    });
    static_cast<QDialog*>(fd)->accept();  // QFileDialog::accept, as the Save button
  });
  EXPECT_EQ(port.SaveFileDialog(req, &path), win32::IDCANCEL);
  EXPECT_TRUE(warning.contains(QString::fromStdString(dir.Sub("missing")))) << warning.toStdString();
  EXPECT_TRUE(still_open);
  WhenModal([](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
  path = "unchanged";
  EXPECT_EQ(port.SaveFileDialog(req, &path), win32::IDCANCEL);
  EXPECT_EQ(path, "unchanged");
}

}  // namespace
