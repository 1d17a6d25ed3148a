// The Qt side of the window toolkit: the widgets behind ui::Dialog, the dialog font and units, and the
// text conversion at the Qt edge. Included only by ui/ and by tests; program code uses ui/dialog.h.
#pragma once

#include <QFont>
#include <QLineEdit>
#include <QRect>
#include <QSize>
#include <QString>
#include <QValidator>
#include <QWidget>
#include <string>
#include <vector>

#include "res/templates.h"
#include "ui/dialog.h"
#include "win32/wintypes.h"

class QEventLoop;
class QLabel;

namespace ui {

// Code page 932 <-> Qt. A code page 932 text that does not convert is shown with '?' for the bad
// bytes; a Qt text is converted whole (the edits refuse input without a code page 932 form, so only a
// text that never came from the user could hold such a character, and it gets '?').
QString ToQt(const std::string& cp932);
std::string FromQt(const QString& text);
// Bytes of code page 932 that a text takes (1 for ASCII and half-width katakana, 2 otherwise).
int Cp932Bytes(const QString& text);

// Maps "ＭＳ Ｐゴシック" (and its Latin name) to IPA P Gothic when no font of that name is installed.
// Idempotent; called by every dialog before its font is made.
void InstallDialogFonts();
// The template's font at its point size.
QFont DialogFont(const res::StDlgTemplate& tpl);
// Dialog base units of a font as Windows computes them: x from the average width of A-Z and a-z
// ((extent / 26 + 1) / 2), y from the font height.
QSize DialogBaseUnits(const QFont& font);
// Dialog units to pixels (MulDiv rounding: x * base.x / 4, y * base.y / 8).
QRect DluToPixels(QSize base, int x, int y, int cx, int cy);

// The widget of one of this program's dialogs (nullptr for any other handle), and a control's widget.
QWidget* WindowOf(win32::HWND hwnd);
QWidget* ControlOf(const Dialog& dialog, int id);

namespace detail {

// Whether the program is delivering the window system's events other than user input between the
// paints of a run (Dialog::UpdateWindow).
bool DeliveringNonInput();

// A label's text, and its name for a screen reader: the text without leading and trailing blanks.
void SetLabelText(QLabel* label, const QString& text);

// Windows' "already on top / already in front" memory: a message box or another window shown over ours
// makes the next BringWindowToTop and SetForegroundWindow act again.
void ForgetTopWindow();

// Edits: typing is limited to a number of code page 932 bytes, to characters that have a code page 932
// form and (digits only) to 0-9. Texts set by the program are not checked.
class Cp932Validator : public QValidator {
 public:
  Cp932Validator(QObject* parent, int limit_bytes, bool digits_only)
      : QValidator(parent), m_nLimit(limit_bytes), m_bDigits(digits_only) {}
  State validate(QString& input, int& pos) const override;
  void SetLimit(int limit_bytes) { m_nLimit = limit_bytes; }

 private:
  int m_nLimit;
  bool m_bDigits;
};

// A progress bar painted plainly: a 1-pixel frame (border style), a light ground and a solid fill, one
// continuous band (smooth) or blocks. A change of the position invalidates only the pixels that change.
class BarWidget : public QWidget {
 public:
  BarWidget(QWidget* parent, bool smooth, bool border);
  void SetState(int lower, int upper, int pos);
  int Pos() const { return m_nPos; }
  int Lower() const { return m_nLower; }
  int Upper() const { return m_nUpper; }
  bool Smooth() const { return m_bSmooth; }
  // The area changed since the last paint, for UpdateWindow.
  const QRect& Dirty() const { return m_dirty; }
  void ClearDirty() { m_dirty = QRect(); }
  // Tells a screen reader the position when it changed since the last time (a value-changed event).
  void AnnounceValue();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect Interior() const;
  // Right edge (exclusive) of the filled part for a position: pixels for smooth, whole blocks else.
  int FillEnd(int pos) const;

  bool m_bSmooth;
  bool m_bBorder;
  int m_nLower = 0;
  int m_nUpper = 100;
  int m_nPos = 0;
  int m_nAnnounced = 0;
  QRect m_dirty;
};

// The top-level widget of a dialog and its controls, built from the template.
class DialogWidget : public QWidget {
 public:
  struct Control {
    int id;
    res::CtlClass cls;
    std::uint32_t style;
    QWidget* widget;
  };

  DialogWidget(Dialog* owner, const res::StDlgTemplate& tpl, QWidget* parent);

  QWidget* Find(int id) const;
  int IdOf(const QWidget* widget) const;
  const Control* ControlEntry(int id) const;
  const std::vector<Control>& Controls() const { return m_controls; }
  // The first enabled tab-stop control after index `after` (-1: from the start), or nullptr.
  QWidget* NextTabStop(int after) const;
  QSize BaseUnits() const { return m_baseUnits; }
  const std::vector<BarWidget*>& Bars() const { return m_bars; }
  const res::StDlgTemplate& Template() const { return m_tpl; }

  QEventLoop* m_pLoop = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QWidget* MakeControl(const res::StDlgControl& ctl);

  Dialog* m_pOwner;
  const res::StDlgTemplate& m_tpl;
  QSize m_baseUnits;
  std::vector<Control> m_controls;
  std::vector<BarWidget*> m_bars;
};

// The key-down of a Qt key event.
KeyDown ToKeyDown(const QKeyEvent& event);

}  // namespace detail
}  // namespace ui
