// The widgets behind ui::Dialog: the dialog window built from a template, the plain progress bar, the
// byte-limited edit validator, the dialog font and units, and the code page 932 edge.
#include "ui/qt_widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "win32/codepage.h"

namespace ui {

QString ToQt(const std::string& cp932) {
  std::string utf8;
  if (!win32::Cp932ToUtf8(cp932, &utf8)) utf8 = win32::ToUtf8Lossy(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) {
  std::string out;
  const QByteArray utf8 = text.toUtf8();
  if (win32::Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), &out))
    return out;
  out.clear();
  for (QChar c : text) {
    std::string one;
    const QByteArray u = QString(c).toUtf8();
    if (win32::Utf8ToCp932(std::string_view(u.constData(), static_cast<std::size_t>(u.size())), &one))
      out += one;
    else
      out += '?';
  }
  return out;
}

int Cp932Bytes(const QString& text) {
  int n = 0;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    n += (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F)) ? 1 : 2;
  }
  return n;
}

void InstallDialogFonts() {
  static const bool done = [] {
    const QStringList fallbacks = {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                   QStringLiteral("Noto Sans CJK JP")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), fallbacks);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), fallbacks);
    return true;
  }();
  (void)done;
}

QFont DialogFont(const res::StDlgTemplate& tpl) {
  InstallDialogFonts();
  QFont font(ToQt(tpl.font));
  font.setPointSize(tpl.point_size);
  return font;
}

QSize DialogBaseUnits(const QFont& font) {
  const QFontMetrics fm(font);
  const int extent =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return QSize((extent / 26 + 1) / 2, fm.height());
}

QRect DluToPixels(QSize base, int x, int y, int cx, int cy) {
  auto mx = [&](int v) { return (v * base.width() + 2) / 4; };
  auto my = [&](int v) { return (v * base.height() + 4) / 8; };
  return QRect(mx(x), my(y), mx(cx), my(cy));
}

namespace detail {

QValidator::State Cp932Validator::validate(QString& input, int&) const {
  if (m_bDigits) {
    for (QChar c : input)
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
  }
  std::string bytes;
  const QByteArray utf8 = input.toUtf8();
  if (!win32::Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), &bytes))
    return Invalid;
  const int limit = m_nLimit > 0 ? m_nLimit : 32767;
  return static_cast<int>(bytes.size()) <= limit ? Acceptable : Invalid;
}

// ---- progress bar ----

namespace {
const QColor kFrame(0x80, 0x80, 0x80);
const QColor kGround(0xE6, 0xE6, 0xE6);
const QColor kFill(0x06, 0xB0, 0x25);
constexpr int kGap = 2;  // pixels between two blocks
}  // namespace

BarWidget::BarWidget(QWidget* parent, bool smooth, bool border)
    : QWidget(parent), m_bSmooth(smooth), m_bBorder(border) {
  // Every pixel is painted by paintEvent: no background fill by Qt first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
}

QRect BarWidget::Interior() const {
  const int b = m_bBorder ? 1 : 0;
  return rect().adjusted(b + 1, b + 1, -b - 1, -b - 1);
}

int BarWidget::FillEnd(int pos) const {
  const QRect in = Interior();
  if (m_nUpper <= m_nLower || in.width() <= 0) return in.left();
  const int filled =
      static_cast<int>(static_cast<long long>(pos - m_nLower) * in.width() / (m_nUpper - m_nLower));
  if (m_bSmooth) return in.left() + filled;
  const int block = std::max(1, in.height() * 2 / 3);
  const int blocks = (filled + block + kGap - 1) / (block + kGap);
  return std::min(in.left() + blocks * (block + kGap), in.right() + 1);
}

void BarWidget::SetState(int lower, int upper, int pos) {
  if (lower != m_nLower || upper != m_nUpper) {
    m_nLower = lower;
    m_nUpper = upper;
    m_nPos = pos;
    m_dirty = rect();
    update();
    return;
  }
  if (pos == m_nPos) return;
  const int a = FillEnd(m_nPos);
  const int b = FillEnd(pos);
  m_nPos = pos;
  if (a == b) return;
  const QRect in = Interior();
  const QRect changed(std::min(a, b), in.top(), std::abs(a - b), in.height());
  m_dirty |= changed;
  update(changed);
}

void BarWidget::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const QRect clip = event->rect();
  const QRect in = Interior();
  if (!in.contains(clip)) {
    const QRect outer = rect();
    p.fillRect(outer, palette().window());
    if (m_bBorder) {
      p.setPen(kFrame);
      p.drawRect(outer.adjusted(0, 0, -1, -1));
    }
  }
  const QRect ground = clip & in;
  if (ground.isEmpty()) return;
  p.fillRect(ground, kGround);
  const int end = FillEnd(m_nPos);
  if (m_bSmooth) {
    p.fillRect(QRect(QPoint(in.left(), in.top()), QPoint(end - 1, in.bottom())) & clip, kFill);
    return;
  }
  const int block = std::max(1, in.height() * 2 / 3);
  for (int x = in.left(); x < end; x += block + kGap) {
    if (x + block <= clip.left()) continue;
    if (x > clip.right()) break;
    p.fillRect(QRect(x, in.top(), std::min(block, in.right() + 1 - x), in.height()) & clip, kFill);
  }
}

void BarWidget::AnnounceValue() {
  if (m_nPos == m_nAnnounced) return;
  m_nAnnounced = m_nPos;
  if (!QAccessible::isActive()) return;
  QAccessibleValueChangeEvent event(this, m_nPos);
  QAccessible::updateAccessibility(&event);
}

// ---- accessibility ----

namespace {

// A bar as a screen reader sees it: a progress bar with its range and position.
class BarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit BarAccessible(BarWidget* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Value) return QAccessibleWidget::text(t);
    const int span = Bar()->Upper() - Bar()->Lower();
    return span > 0 ? QStringLiteral("%1%").arg((Bar()->Pos() - Bar()->Lower()) * 100 / span) : QString();
  }
  QVariant currentValue() const override { return Bar()->Pos(); }
  void setCurrentValue(const QVariant&) override {}  // a bar is not set by the user
  QVariant maximumValue() const override { return Bar()->Upper(); }
  QVariant minimumValue() const override { return Bar()->Lower(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  const BarWidget* Bar() const { return static_cast<const BarWidget*>(widget()); }
};

// The program's windows are dialogs and its bars progress bars (Qt takes a plain widget for a filler).
QAccessibleInterface* AccessibleOf(const QString&, QObject* object) {
  if (auto* bar = dynamic_cast<BarWidget*>(object)) return new BarAccessible(bar);
  if (auto* dialog = dynamic_cast<DialogWidget*>(object))
    return new QAccessibleWidget(dialog, QAccessible::Dialog);
  return nullptr;
}

void InstallAccessibility() {
  static const bool done = [] {
    QAccessible::installFactory(AccessibleOf);
    return true;
  }();
  (void)done;
}

// A label's name for a screen reader: its text without the blanks that only place it on the screen.
void NameLabel(QLabel* label, const QString& text) {
  const QString trimmed = text.trimmed();
  label->setAccessibleName(trimmed == text ? QString() : trimmed);
}

}  // namespace

void SetLabelText(QLabel* label, const QString& text) {
  label->setText(text);
  NameLabel(label, text);
}

// ---- dialog window ----

KeyDown ToKeyDown(const QKeyEvent& event) {
  KeyDown k;
  const int key = event.key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter)
    k.vk = VK_RETURN;
  else if (key == Qt::Key_Escape)
    k.vk = VK_ESCAPE;
  else if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
    k.vk = VK_TAB;
  else if (key == Qt::Key_Backspace)
    k.vk = VK_BACK;
  else if (key == Qt::Key_Delete)
    k.vk = VK_DELETE;
  else if (key == Qt::Key_Space)
    k.vk = VK_SPACE;
  else if (key == Qt::Key_Left)
    k.vk = VK_LEFT;
  else if (key == Qt::Key_Up)
    k.vk = VK_UP;
  else if (key == Qt::Key_Right)
    k.vk = VK_RIGHT;
  else if (key == Qt::Key_Down)
    k.vk = VK_DOWN;
  else if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    k.vk = VK_F1 + static_cast<unsigned>(key - Qt::Key_F1);
  else if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
    k.vk = static_cast<unsigned>(key);
  const Qt::KeyboardModifiers m = event.modifiers();
  k.shift = m.testFlag(Qt::ShiftModifier) || key == Qt::Key_Backtab;
  k.control = m.testFlag(Qt::ControlModifier);
  k.alt = m.testFlag(Qt::AltModifier);
  return k;
}

DialogWidget::DialogWidget(Dialog* owner, const res::StDlgTemplate& tpl, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_pOwner(owner), m_tpl(tpl) {
  InstallAccessibility();
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (tpl.style & res::kDlgSysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (tpl.style & res::kDlgSystemModal) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
  setWindowTitle(ToQt(tpl.caption));
  const QFont font = DialogFont(tpl);
  setFont(font);
  m_baseUnits = DialogBaseUnits(font);
  setFixedSize(DluToPixels(m_baseUnits, 0, 0, tpl.cx, tpl.cy).size());
  installEventFilter(this);
  m_controls.reserve(tpl.controls.size());
  for (const res::StDlgControl& ctl : tpl.controls) {
    QWidget* w = MakeControl(ctl);
    QRect area = DluToPixels(m_baseUnits, ctl.x, ctl.y, ctl.cx, ctl.cy);
    if (w->parentWidget() != this) area.translate(-w->parentWidget()->pos());
    w->setGeometry(area);
    if (ctl.style & res::kCtlDisabled) w->setEnabled(false);
    if (ctl.style & res::kCtlHidden) w->setVisible(false);
    m_controls.push_back({ctl.id, ctl.cls, ctl.style, w});
  }
  // Mnemonics of labels reach the next tab-stop control (Qt's buddy; an edit gets its text selected).
  for (std::size_t i = 0; i < m_controls.size(); ++i) {
    if (m_controls[i].cls != res::CtlClass::kStatic) continue;
    auto* label = static_cast<QLabel*>(m_controls[i].widget);
    if (!QKeySequence::mnemonic(label->text()).isEmpty()) label->setBuddy(NextTabStop(static_cast<int>(i)));
  }
}

QWidget* DialogWidget::MakeControl(const res::StDlgControl& ctl) {
  const bool tab = (ctl.style & res::kCtlTabStop) != 0;
  const Qt::FocusPolicy policy = tab ? Qt::StrongFocus : Qt::ClickFocus;
  const QString text = ToQt(ctl.text);
  switch (ctl.cls) {
    case res::CtlClass::kStatic: {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);
      SetLabelText(label, text);
      Qt::Alignment align = Qt::AlignTop;
      align |= (ctl.style & res::kCtlRight)    ? Qt::AlignRight
               : (ctl.style & res::kCtlCenter) ? Qt::AlignHCenter
                                               : Qt::AlignLeft;
      label->setAlignment(align);
      label->setFocusPolicy(Qt::NoFocus);
      return label;
    }
    case res::CtlClass::kEdit: {
      // An edit framed by a group box is the box's child: the box's caption names it for a screen
      // reader (a label relation) and the caption's mnemonic is its shortcut, as Qt reads a group box.
      QWidget* frame = this;
      const QRect area = DluToPixels(m_baseUnits, ctl.x, ctl.y, ctl.cx, ctl.cy);
      for (const Control& c : m_controls)
        if (c.cls == res::CtlClass::kGroupBox && c.widget->geometry().contains(area)) frame = c.widget;
      auto* edit = new QLineEdit(frame);
      edit->setFrame((ctl.style & res::kCtlBorder) != 0);
      edit->setAlignment(((ctl.style & res::kCtlRight) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
      edit->setValidator(new Cp932Validator(edit, ctl.limit, (ctl.style & res::kCtlNumber) != 0));
      edit->setFocusPolicy(policy);
      edit->installEventFilter(this);
      return edit;
    }
    case res::CtlClass::kPushButton: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(false);
      button->setDefault((ctl.style & res::kCtlDefault) != 0);
      button->setFocusPolicy(policy);
      button->installEventFilter(this);
      const int id = ctl.id;
      connect(button, &QAbstractButton::clicked, this, [this, id] { m_pOwner->OnCommand(id); });
      return button;
    }
    case res::CtlClass::kCheckBox: {
      auto* box = new QCheckBox(text, this);
      box->setFocusPolicy(policy);
      box->installEventFilter(this);
      const int id = ctl.id;
      connect(box, &QAbstractButton::clicked, this, [this, id] { m_pOwner->OnCommand(id); });
      return box;
    }
    case res::CtlClass::kGroupBox: {
      auto* group = new QGroupBox(text, this);
      group->setFocusPolicy(Qt::NoFocus);
      group->installEventFilter(this);  // its mnemonic
      return group;
    }
    case res::CtlClass::kProgress: {
      auto* bar = new BarWidget(this, (ctl.style & res::kCtlSmooth) != 0, (ctl.style & res::kCtlBorder) != 0);
      m_bars.push_back(bar);
      return bar;
    }
  }
  return new QWidget(this);
}

QWidget* DialogWidget::Find(int id) const {
  for (const Control& c : m_controls)
    if (c.id == id && id != res::kIdcStatic) return c.widget;
  return nullptr;
}

int DialogWidget::IdOf(const QWidget* widget) const {
  for (const Control& c : m_controls)
    if (c.widget == widget) return c.id;
  return 0;
}

const DialogWidget::Control* DialogWidget::ControlEntry(int id) const {
  for (const Control& c : m_controls)
    if (c.id == id && id != res::kIdcStatic) return &c;
  return nullptr;
}

QWidget* DialogWidget::NextTabStop(int after) const {
  for (std::size_t i = static_cast<std::size_t>(after + 1); i < m_controls.size(); ++i) {
    const Control& c = m_controls[i];
    if ((c.style & res::kCtlTabStop) && c.widget->isEnabled() && !c.widget->isHidden()) return c.widget;
  }
  return nullptr;
}

bool DialogWidget::eventFilter(QObject* watched, QEvent* event) {
  // (A key that a framed edit passes on reaches its group box too: offered once, by the edit.)
  if (event->type() == QEvent::KeyPress && watched != this && qobject_cast<QGroupBox*>(watched) == nullptr) {
    return m_pOwner->HandleKey(ToKeyDown(*static_cast<QKeyEvent*>(event)));
  }
  if (event->type() == QEvent::Shortcut) {
    // A group box's mnemonic moves the focus to the next tab-stop control after it.
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
      if (m_controls[i].widget != watched || m_controls[i].cls != res::CtlClass::kGroupBox) continue;
      if (QWidget* next = NextTabStop(static_cast<int>(i))) m_pOwner->GotoDlgCtrl(IdOf(next));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
  // Only keys sent to the window itself (no control has the focus); a control's keys came through the
  // event filter already and must not be offered twice when the control passes them on.
  QWidget* focus = focusWidget();
  if (focus != nullptr && focus != this) {
    event->ignore();
    return;
  }
  if (!m_pOwner->HandleKey(ToKeyDown(*event))) event->ignore();
}

void DialogWidget::closeEvent(QCloseEvent* event) {
  // The close box (or Alt+F4) asks the dialog to cancel; the dialog decides whether it ends. Not while a
  // run lets the window system through between its paints: no command reaches the program then.
  event->ignore();
  if (DeliveringNonInput()) return;
  m_pOwner->OnCommand(win32::IDCANCEL);
}

void DialogWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) ForgetTopWindow();
  QWidget::changeEvent(event);
}

}  // namespace detail
}  // namespace ui
