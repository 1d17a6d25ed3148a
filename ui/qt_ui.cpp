// The Qt implementation of the modal port.
#include "ui/qt_ui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "res/texts.h"
#include "ui/qt_widgets.h"
#include "win32/codepage.h"
#include "win32/drives.h"
#include "win32/mbcs.h"

namespace ui {

namespace {

QWidget* OwnerWidget(win32::HWND owner) {
  if (QWidget* w = WindowOf(owner)) return w;
  return QApplication::activeWindow();
}

// A window owned by a topmost window is topmost too, as Windows has it: without that the owner, kept
// above every normal window, would cover its own box.
void KeepAboveOwner(QWidget* window, const QWidget* owner) {
  if (owner != nullptr && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

// Before a modal window comes over the program's windows: they show their last state, and the next
// raise or activation of one of them acts again.
void BeforeModal() {
  detail::FlushPendingPaints();
  detail::ForgetTopWindow();
}

// A Yes/No box has no answer for Esc or the close box: both are swallowed.
class NoEscapeFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
      return true;
    if (event->type() == QEvent::Close) {
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// The save-as dialog refuses a file name without a code page 932 form, as the program could not name
// that file.
class SaveDialog : public QFileDialog {
 public:
  SaveDialog(QWidget* parent, const QString& caption, const QString& folder, win32::DWORD flags)
      : QFileDialog(parent, caption, folder), m_dwFlags(flags) {}

  void accept() override {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return QFileDialog::accept();
    const QFileInfo chosen(files.front());
    // Path-must-exist: a name in a folder that does not exist is refused with a warning, and the dialog
    // stays open. (A name that is an existing folder is Qt's: it opens that folder.)
    if ((m_dwFlags & win32::OFN_PATHMUSTEXIST) != 0 && !chosen.isDir() &&
        !QFileInfo(chosen.absolutePath()).isDir()) {
      return Warn(QCoreApplication::translate("QFileDialog",
                                              "%1\nDirectory not found.\nPlease verify the "
                                              "correct directory name was given.")
                      .arg(chosen.absolutePath()));
    }
    std::string cp932;
    const QByteArray utf8 = files.front().toUtf8();
    if (!win32::Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                            &cp932))
      return Warn(ToQt(res::Text(res::TextId::kBadFileNameChars)));
    QFileDialog::accept();
  }

 private:
  // A warning over the dialog, which stays open.
  void Warn(const QString& text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    KeepAboveOwner(&box, this);
    box.exec();
  }

  win32::DWORD m_dwFlags;
};

// The box's icon of a message box style, and what a screen reader says for it.
QMessageBox::Icon BoxIcon(win32::UINT style, QString* icon_name) {
  switch (style & win32::MB_ICONMASK) {
    case win32::MB_ICONHAND:
      *icon_name = QStringLiteral("エラー");
      return QMessageBox::Critical;
    case win32::MB_ICONQUESTION:
      *icon_name = QStringLiteral("質問");
      return QMessageBox::Question;
    case win32::MB_ICONEXCLAMATION:
      *icon_name = QStringLiteral("警告");
      return QMessageBox::Warning;
    case win32::MB_ICONINFORMATION:
      *icon_name = QStringLiteral("情報");
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// A button of a message box and the id a click on it answers.
struct Choice {
  QMessageBox::StandardButton button;
  int id;
};

// The buttons of a message box style, in their order.
std::vector<Choice> BoxChoices(win32::UINT style) {
  switch (style & win32::MB_TYPEMASK) {
    case win32::MB_OKCANCEL:
      return {{QMessageBox::Ok, win32::IDOK}, {QMessageBox::Cancel, win32::IDCANCEL}};
    case win32::MB_YESNOCANCEL:
      return {{QMessageBox::Yes, win32::IDYES},
              {QMessageBox::No, win32::IDNO},
              {QMessageBox::Cancel, win32::IDCANCEL}};
    case win32::MB_YESNO:
      return {{QMessageBox::Yes, win32::IDYES}, {QMessageBox::No, win32::IDNO}};
    default:
      return {{QMessageBox::Ok, win32::IDOK}};
  }
}

}  // namespace

int QtUi::MessageBox(win32::HWND owner, const std::string& text, const std::string& caption,
                     win32::UINT style) {
  QString icon_name;  // what a screen reader says for the icon
  const QMessageBox::Icon icon = BoxIcon(style, &icon_name);
  const std::vector<Choice> choices = BoxChoices(style);
  QMessageBox box(icon, ToQt(caption), ToQt(text), QMessageBox::NoButton, OwnerWidget(owner));
  box.setTextFormat(Qt::PlainText);
  if (auto* pixmap = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label")))
    pixmap->setAccessibleName(icon_name);
  for (const Choice& c : choices) box.addButton(c.button);
  const std::size_t def = (style & MB_DEFBUTTON2) != 0 && choices.size() > 1 ? 1 : 0;
  box.setDefaultButton(choices[def].button);
  NoEscapeFilter no_escape;
  const bool has_cancel = (style & win32::MB_TYPEMASK) == win32::MB_OKCANCEL ||
                          (style & win32::MB_TYPEMASK) == win32::MB_YESNOCANCEL;
  if (has_cancel) {
    box.setEscapeButton(QMessageBox::Cancel);
  } else if (choices.size() == 1) {
    box.setEscapeButton(QMessageBox::Ok);
  } else {
    box.installEventFilter(&no_escape);
  }
  KeepAboveOwner(&box, box.parentWidget());
  BeforeModal();
  box.exec();
  detail::ForgetTopWindow();
  QAbstractButton* clicked = box.clickedButton();
  for (const Choice& c : choices)
    if (clicked == box.button(c.button)) return c.id;
  return has_cancel ? win32::IDCANCEL : choices.front().id;
}

std::vector<std::string> QtNameFilters(const std::string& mfc_filter) {
  // MFC splits the filter at every '|' found as a whole character (a trail byte 0x7C is no separator).
  std::vector<std::string> parts;
  std::string_view rest = mfc_filter;
  while (!rest.empty()) {
    const std::size_t bar = win32::MbsChr(rest, '|');
    if (bar == std::string_view::npos) {
      parts.emplace_back(rest);
      break;
    }
    parts.emplace_back(rest.substr(0, bar));
    rest.remove_prefix(bar + 1);
  }
  std::vector<std::string> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() && parts[i + 1].empty()) break;
    std::string patterns = parts[i + 1];
    for (char& c : patterns)
      if (c == ';') c = ' ';
    out.push_back(ToQt(parts[i]).toStdString() + " (" + ToQt(patterns).toStdString() + ")");
  }
  return out;
}

std::string WithDefaultExtension(const std::string& name, const std::string& filter_pattern,
                                 const std::string& default_ext) {
  const std::size_t slash = name.find_last_of('/');
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  if (base.empty() || base.find('.') != std::string::npos) return name;
  std::string ext;
  if (filter_pattern.size() > 2 && filter_pattern.compare(0, 2, "*.") == 0 &&
      filter_pattern.find_first_of("*?; ", 2) == std::string::npos)
    ext = filter_pattern.substr(2);
  else
    ext = default_ext.substr(0, 3);
  return ext.empty() ? name : name + "." + ext;
}

int QtUi::SaveFileDialog(const win32::SaveDialogRequest& request, std::string* path) {
  std::string folder;
  if (!request.initial_dir.empty()) win32::Drives().ToLinux(request.initial_dir, &folder);
  SaveDialog dlg(OwnerWidget(request.owner), ToQt(request.title), QString::fromStdString(folder),
                 request.flags);
  KeepAboveOwner(&dlg, dlg.parentWidget());
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::DontConfirmOverwrite);
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const std::string& f : QtNameFilters(request.filter)) filters << QString::fromStdString(f);
  if (!filters.isEmpty()) dlg.setNameFilters(filters);
  if (!request.initial_name.empty()) dlg.selectFile(ToQt(request.initial_name));
  // Within the screen that shows it, however few pixels a high scale leaves: its buttons stay reachable.
  if (const QScreen* screen = dlg.parentWidget() != nullptr ? dlg.parentWidget()->screen() : dlg.screen())
    dlg.resize(dlg.sizeHint().boundedTo(screen->availableGeometry().size() * 9 / 10));
  BeforeModal();
  const int rc = dlg.exec();
  detail::ForgetTopWindow();
  if (rc != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return win32::IDCANCEL;
  // The pattern of the chosen filter: the text inside its last parentheses.
  std::string pattern;
  const QString chosen = dlg.selectedNameFilter();
  const qsizetype open = chosen.lastIndexOf(QLatin1Char('('));
  if (open >= 0 && chosen.endsWith(QLatin1Char(')')))
    pattern = chosen.mid(open + 1, chosen.size() - open - 2).toStdString();
  std::string ext;
  if (!win32::Cp932ToUtf8(request.default_ext, &ext)) ext.clear();
  const std::string linux_path =
      WithDefaultExtension(dlg.selectedFiles().front().toStdString(), pattern, ext);
  std::string win_path;
  if (!win32::Drives().ToWindows(linux_path, &win_path)) return win32::IDCANCEL;
  *path = win_path;
  return win32::IDOK;
}

}  // namespace ui
