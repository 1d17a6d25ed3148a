// ui::Dialog: the runs, the controls by id, the data exchange, the command and key routing.
#include "ui/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <unordered_map>

#include "res/texts.h"
#include "ui/qt_widgets.h"
#include "win32/ui_port.h"

namespace ui {

namespace {

std::unordered_map<win32::HWND, Dialog*>& Registry() {
  static std::unordered_map<win32::HWND, Dialog*> registry;
  return registry;
}

// The dialog whose window was last raised / activated by the program and is still known to be on top /
// in front; the next BringWindowToTop / SetForegroundWindow of that dialog has nothing to do.
Dialog* g_pTop = nullptr;
Dialog* g_pFront = nullptr;

// An edit's character index of a byte offset into its code page 932 text.
int CharIndexOfByte(const QString& text, int byte) {
  int bytes = 0;
  for (int i = 0; i < text.size(); ++i) {
    if (bytes >= byte) return i;
    bytes += Cp932Bytes(text.mid(i, 1));
  }
  return static_cast<int>(text.size());
}

}  // namespace

namespace detail {
void ForgetTopWindow() {
  g_pTop = nullptr;
  g_pFront = nullptr;
}

void FlushPendingPaints() {
  for (const auto& entry : Registry()) entry.second->PaintPending();
}
}  // namespace detail

QWidget* WindowOf(win32::HWND hwnd) {
  Dialog* dlg = Dialog::FromHandle(hwnd);
  return dlg != nullptr ? reinterpret_cast<QWidget*>(hwnd) : nullptr;
}

QWidget* ControlOf(const Dialog& dialog, int id) {
  auto* w = reinterpret_cast<detail::DialogWidget*>(dialog.GetSafeHwnd());
  return w != nullptr ? w->Find(id) : nullptr;
}

// ---- ProgressCtrl ----

ProgressCtrl::~ProgressCtrl() = default;

void ProgressCtrl::Bind(detail::BarWidget* bar) {
  m_pBar = bar;
  if (bar != nullptr) {
    m_nLower = bar->Lower();
    m_nUpper = bar->Upper();
    m_nPos = bar->Pos();
  }
}

void ProgressCtrl::Push() {
  if (m_pBar != nullptr) m_pBar->SetState(m_nLower, m_nUpper, m_nPos);
}

void ProgressCtrl::SetRange(std::int16_t lower, std::int16_t upper) {
  m_nLower = lower;
  m_nUpper = upper;
  if (m_nUpper > m_nLower) m_nPos = std::clamp(m_nPos, m_nLower, m_nUpper);
  Push();
}

int ProgressCtrl::SetStep(int step) {
  const int old = m_nStep;
  m_nStep = step;
  return old;
}

int ProgressCtrl::SetPos(int pos) {
  const int old = m_nPos;
  m_nPos = m_nUpper > m_nLower ? std::clamp(pos, m_nLower, m_nUpper) : m_nLower;
  Push();
  return old;
}

int ProgressCtrl::OffsetPos(int delta) { return SetPos(m_nPos + delta); }

// ---- DataExchange ----

void DataExchange::Text(int id, std::string& value) {
  if (m_bFailed) return;
  m_nLastId = id;
  if (m_bSave)
    value = m_pDlg->GetDlgItemText(id);
  else
    m_pDlg->SetDlgItemText(id, value);
}

void DataExchange::MaxChars(const std::string& value, int bytes) {
  if (m_bFailed) return;
  if (!m_bSave) {
    m_pDlg->LimitText(m_nLastId, bytes);
    return;
  }
  if (static_cast<int>(value.size()) <= bytes) return;
  char text[128];
  std::snprintf(text, sizeof text, res::Text(res::TextId::kTooManyChars).c_str(), bytes);
  win32::MessageBoxA(m_pDlg->GetSafeHwnd(), text, res::Text(res::TextId::kTitle), win32::MB_ICONEXCLAMATION);
  Fail();
}

void DataExchange::Control(int id, ProgressCtrl& ctl) {
  if (m_bFailed) return;
  m_nLastId = id;
  if (ctl.IsBound()) return;
  const auto* wnd = reinterpret_cast<detail::DialogWidget*>(m_pDlg->GetSafeHwnd());
  auto* bar = wnd != nullptr ? dynamic_cast<detail::BarWidget*>(wnd->Find(id)) : nullptr;
  if (bar == nullptr) return;
  ctl.Bind(bar);
  m_pDlg->m_bound.push_back(&ctl);
}

void DataExchange::Fail() {
  m_bFailed = true;
  if (m_nLastId != 0) m_pDlg->GotoDlgCtrl(m_nLastId);
}

// ---- Dialog ----

Dialog::Dialog(int template_id, win32::HWND parent) : m_nTemplateId(template_id), m_hParent(parent) {}

Dialog::~Dialog() {
  DestroyWindow();
  if (g_pTop == this) g_pTop = nullptr;
  if (g_pFront == this) g_pFront = nullptr;
}

bool Dialog::Build() {
  if (m_pWnd != nullptr) return true;
  const res::StDlgTemplate* tpl = res::DialogTemplate(m_nTemplateId);
  if (tpl == nullptr || QApplication::instance() == nullptr) return false;
  m_pWnd = new detail::DialogWidget(this, *tpl, WindowOf(m_hParent));
  Registry()[GetSafeHwnd()] = this;
  m_bEnded = false;
  m_nResult = 0;
  return true;
}

void Dialog::FocusFirstTabStop() {
  if (m_pWnd == nullptr) return;
  if (QWidget* first = m_pWnd->NextTabStop(-1)) GotoDlgCtrl(m_pWnd->IdOf(first));
}

int Dialog::DoModal() {
  if (!Build()) return -1;
  m_bModal = true;
  const bool focus = OnInitDialog();
  if (!m_bEnded && m_pWnd != nullptr) {
    if (focus) FocusFirstTabStop();
    m_pWnd->setWindowModality(Qt::ApplicationModal);
    ShowWindow(SW_SHOW);
    m_pWnd->activateWindow();
    QEventLoop loop;
    m_pWnd->m_pLoop = &loop;
    if (!m_bEnded) loop.exec(QEventLoop::DialogExec);
    if (m_pWnd != nullptr) m_pWnd->m_pLoop = nullptr;
  }
  m_bModal = false;
  DestroyWindow();
  return m_nResult;
}

bool Dialog::Create(win32::HWND parent) {
  if (parent != 0) m_hParent = parent;
  if (!Build()) return false;
  if (OnInitDialog()) FocusFirstTabStop();
  if (!m_bEnded && (m_pWnd->Template().style & res::kDlgVisible)) ShowWindow(SW_SHOW);
  return true;
}

bool Dialog::CreateHidden() {
  if (!Build()) return false;
  if (OnInitDialog()) FocusFirstTabStop();
  return true;
}

void Dialog::Unbind() {
  for (ProgressCtrl* ctl : m_bound) ctl->Bind(nullptr);
  m_bound.clear();
}

void Dialog::DestroyWindow() {
  if (m_pWnd == nullptr) return;
  Unbind();
  Registry().erase(GetSafeHwnd());
  if (g_pTop == this) g_pTop = nullptr;
  if (g_pFront == this) g_pFront = nullptr;
  detail::DialogWidget* wnd = m_pWnd;
  m_pWnd = nullptr;
  if (wnd->m_pLoop != nullptr) wnd->m_pLoop->exit();
  delete wnd;
}

void Dialog::ShowWindow(int cmd) {
  if (m_pWnd == nullptr) return;
  if (cmd == SW_HIDE) {
    // The last state is on the screen before the window goes.
    PaintPending();
    m_pWnd->hide();
    if (g_pTop == this) g_pTop = nullptr;
    if (g_pFront == this) g_pFront = nullptr;
    return;
  }
  // A window shown is put on top of the others; whether it became the active one is the window
  // system's business, so the next SetForegroundWindow acts.
  m_pWnd->show();
  g_pTop = this;
  if (g_pFront == this) g_pFront = nullptr;
  // Windows paints a shown window at once. Here the window system exposes it first, and the progress
  // window is shown just before work during which no event loop turns: without waiting for that
  // (briefly, and without taking user input), none of its repaints would reach the screen.
  QWindow* window = m_pWnd->windowHandle();
  QElapsedTimer waited;
  waited.start();
  while (window != nullptr && !window->isExposed() && waited.elapsed() < 1000)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

bool Dialog::IsWindowVisible() const { return m_pWnd != nullptr && m_pWnd->isVisible(); }

void Dialog::EndDialog(int result) {
  m_bEnded = true;
  m_nResult = result;
  if (m_pWnd == nullptr) return;
  ShowWindow(SW_HIDE);
  if (m_pWnd->m_pLoop != nullptr) m_pWnd->m_pLoop->exit(result);
}

win32::HWND Dialog::GetSafeHwnd() const { return reinterpret_cast<win32::HWND>(m_pWnd); }

Dialog* Dialog::FromHandle(win32::HWND hwnd) {
  if (hwnd == 0) return nullptr;
  auto it = Registry().find(hwnd);
  return it != Registry().end() ? it->second : nullptr;
}

void Dialog::SetWindowText(const std::string& text) {
  if (m_pWnd == nullptr) return;
  if (!m_pWnd->isVisible()) {
    m_pWnd->setWindowTitle(ToQt(text));
    m_bTitlePending = false;
    return;
  }
  // A shown window's caption goes to the screen with its next paint, so that caption and bars agree.
  m_strTitle = text;
  m_bTitlePending = true;
  m_bPaintPending = true;
}

std::string Dialog::GetWindowText() const {
  if (m_pWnd == nullptr) return {};
  return m_bTitlePending ? m_strTitle : FromQt(m_pWnd->windowTitle());
}

void Dialog::UpdateWindow() {
  if (m_pWnd == nullptr || !m_pWnd->isVisible()) return;
  bool changed = m_bTitlePending;
  for (detail::BarWidget* bar : m_pWnd->Bars()) changed = changed || !bar->Dirty().isEmpty();
  if (!changed) return;
  // About one display frame at 60 Hz.
  constexpr auto kFrame = std::chrono::microseconds(16667);
  m_bPaintPending = true;
  if (std::chrono::steady_clock::now() - m_tLastPaint < kFrame) return;
  PaintPending();
}

void Dialog::PaintPending() {
  if (!m_bPaintPending) return;
  m_bPaintPending = false;
  if (m_pWnd == nullptr || !m_pWnd->isVisible()) return;
  // Each changed bar repainted at once over its changed area.
  for (detail::BarWidget* bar : m_pWnd->Bars()) {
    if (bar->Dirty().isEmpty()) continue;
    const QRect area = bar->Dirty();
    bar->ClearDirty();
    bar->repaint(area);
  }
  // The caption after the bars: a caption on the screen never runs ahead of its bars.
  if (m_bTitlePending) {
    m_bTitlePending = false;
    m_pWnd->setWindowTitle(ToQt(m_strTitle));
    // A Wayland window draws its own frame, caption included, and redraws it only with a paint of the
    // window: the caption reaches the screen with this one.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) m_pWnd->repaint();
  }
  m_tLastPaint = std::chrono::steady_clock::now();
}

void Dialog::BringWindowToTop() {
  if (m_pWnd == nullptr || g_pTop == this) return;
  m_pWnd->raise();
  g_pTop = this;
}

win32::BOOL Dialog::SetForegroundWindow() {
  if (m_pWnd == nullptr || !m_pWnd->isVisible()) return win32::FALSE;
  if (g_pFront == this) return win32::TRUE;
  m_pWnd->activateWindow();
  g_pFront = this;
  return win32::TRUE;
}

std::string Dialog::GetDlgItemText(int id) const {
  QWidget* w = m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr;
  if (auto* e = dynamic_cast<QLineEdit*>(w)) return FromQt(e->text());
  if (auto* l = dynamic_cast<QLabel*>(w)) return FromQt(l->text());
  if (auto* b = dynamic_cast<QAbstractButton*>(w)) return FromQt(b->text());
  if (auto* g = dynamic_cast<QGroupBox*>(w)) return FromQt(g->title());
  if (w != nullptr) return FromQt(w->windowTitle());
  return {};
}

void Dialog::SetDlgItemText(int id, const std::string& text) {
  QWidget* w = m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr;
  const QString t = ToQt(text);
  if (auto* e = dynamic_cast<QLineEdit*>(w)) {
    e->setText(t);
  } else if (auto* l = dynamic_cast<QLabel*>(w)) {
    l->setText(t);
  } else if (auto* b = dynamic_cast<QAbstractButton*>(w)) {
    b->setText(t);
  } else if (auto* g = dynamic_cast<QGroupBox*>(w)) {
    g->setTitle(t);
  } else if (w != nullptr) {
    w->setWindowTitle(t);
  }
}

void Dialog::EnableDlgItem(int id, bool enable) {
  if (QWidget* w = m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr) w->setEnabled(enable);
}

bool Dialog::IsDlgItemEnabled(int id) const {
  QWidget* w = m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr;
  return w != nullptr && w->isEnabled();
}

void Dialog::SetFocusTo(int id) {
  if (QWidget* w = m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr) w->setFocus(Qt::OtherFocusReason);
}

void Dialog::GotoDlgCtrl(int id) {
  QWidget* w = m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr;
  if (w == nullptr) return;
  w->setFocus(Qt::OtherFocusReason);
  if (auto* e = dynamic_cast<QLineEdit*>(w)) e->selectAll();
}

int Dialog::GetFocusId() const {
  if (m_pWnd == nullptr) return 0;
  const QWidget* f = m_pWnd->focusWidget();
  return f != nullptr ? m_pWnd->IdOf(f) : 0;
}

void Dialog::SetSel(int id, int start, int end) {
  auto* e = dynamic_cast<QLineEdit*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  if (e == nullptr) return;
  if (start == -1) {
    e->deselect();
    return;
  }
  const QString text = e->text();
  const int from = CharIndexOfByte(text, start);
  const int to = end < 0 ? static_cast<int>(text.size()) : CharIndexOfByte(text, end);
  e->setSelection(std::min(from, to), std::abs(to - from));
}

std::string Dialog::GetSelText(int id) const {
  auto* e = dynamic_cast<QLineEdit*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  return e != nullptr ? FromQt(e->selectedText()) : std::string();
}

void Dialog::ScrollCaret(int id) {
  auto* e = dynamic_cast<QLineEdit*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  if (e == nullptr) return;
  // Placing the cursor again scrolls it into view; a selection is placed again with the cursor at its
  // same end.
  if (e->hasSelectedText()) {
    const int s = e->selectionStart();
    const int n = static_cast<int>(e->selectedText().size());
    if (e->cursorPosition() == s)
      e->setSelection(s + n, -n);
    else
      e->setSelection(s, n);
  } else {
    e->setCursorPosition(e->cursorPosition());
  }
}

void Dialog::LimitText(int id, int bytes) {
  auto* e = dynamic_cast<QLineEdit*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  if (e == nullptr) return;
  if (auto* v = dynamic_cast<detail::Cp932Validator*>(const_cast<QValidator*>(e->validator())))
    v->SetLimit(bytes);
}

void Dialog::CheckDlgButton(int id, int check) {
  if (auto* b = dynamic_cast<QAbstractButton*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr))
    b->setChecked(check != BST_UNCHECKED);
}

int Dialog::IsDlgButtonChecked(int id) const {
  auto* b = dynamic_cast<QAbstractButton*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  return b != nullptr && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

bool Dialog::ClickButton(int id) {
  auto* b = dynamic_cast<QAbstractButton*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  if (b == nullptr || !b->isEnabled()) return false;
  b->click();
  return true;
}

void Dialog::SendKeyDown(const KeyDown& key) { HandleKey(key); }

int Dialog::GetProgressPos(int id) const {
  auto* bar = dynamic_cast<detail::BarWidget*>(m_pWnd != nullptr ? m_pWnd->Find(id) : nullptr);
  return bar != nullptr ? bar->Pos() : 0;
}

bool Dialog::UpdateData(bool save) {
  DataExchange dx(this, save);
  DoDataExchange(&dx);
  return !dx.Failed();
}

bool Dialog::HandleKey(const KeyDown& key) {
  if (PreTranslateMessage(key)) return true;
  return StandardKey(key);
}

bool Dialog::StandardKey(const KeyDown& key) {
  if (key.vk == VK_ESCAPE) {
    OnCommand(win32::IDCANCEL);
    return true;
  }
  if (key.vk != VK_RETURN || m_pWnd == nullptr) return false;
  // Enter: the focused push button, else the default push button when enabled, else IDOK.
  if (auto* focused = dynamic_cast<QPushButton*>(m_pWnd->focusWidget())) {
    OnCommand(m_pWnd->IdOf(focused));
    return true;
  }
  for (const auto& c : m_pWnd->Controls()) {
    if (c.cls == res::CtlClass::kPushButton && (c.style & res::kCtlDefault) && c.widget->isEnabled()) {
      OnCommand(c.id);
      return true;
    }
  }
  OnCommand(win32::IDOK);
  return true;
}

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::DoDataExchange(DataExchange*) {}

bool Dialog::PreTranslateMessage(const KeyDown&) { return false; }

bool Dialog::OnCommand(int id) {
  if (id == win32::IDOK) {
    OnOK();
    return true;
  }
  if (id == win32::IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void Dialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(win32::IDOK);
}

void Dialog::OnCancel() { EndDialog(win32::IDCANCEL); }

}  // namespace ui
