// The window toolkit's dialog: a window built from a dialog template of res/, with its controls reached
// by id, text exchange between controls and members, button commands and key-downs routed to virtual
// handlers, and modal, modeless and hidden (batch) runs.
//
// The program derives its dialogs from ui::Dialog and overrides OnInitDialog, DoDataExchange,
// PreTranslateMessage, OnCommand, OnOK and OnCancel as needed. Texts are code page 932 byte strings.
// This header does not include Qt: the window lives behind a pointer to the toolkit's own widget.
//
// Behaviour, as the Windows dialog manager has it:
// - Opening: controls are created from the template, OnInitDialog runs (by default: UpdateData(false)),
//   and when it answers true the first tab-stop control gets the focus (an edit with its whole text
//   selected). A dialog ended during OnInitDialog is never shown.
// - Keys: every key-down goes to PreTranslateMessage first (true = handled, consumed). Then Enter raises
//   the command of the focused push button, else of the default push button, else IDOK; Esc raises
//   IDCANCEL; the close box raises IDCANCEL. Tab walks the tab-stop controls in template order; a
//   mnemonic ("&E") on a label or group box moves the focus to the next tab-stop control after it.
// - Commands: a push button's click and a check box's click (which toggles it first) call OnCommand(id).
//   The default OnCommand routes IDOK to OnOK (UpdateData(true), then EndDialog(IDOK)) and IDCANCEL to
//   OnCancel (EndDialog(IDCANCEL)).
// - Every control operation on a dialog without a window (not created, or destroyed) does nothing and
//   answers the empty value (empty text, 0, false).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "win32/wintypes.h"

namespace ui {

namespace detail {
class DialogWidget;
class BarWidget;
// Paints every shown dialog's pending bar changes now: before a window is shown over them.
void FlushPendingPaints();
}  // namespace detail

// Virtual-key codes of the keys the toolkit names; letters and digits are their ASCII upper-case codes.
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_TAB = 0x09;
inline constexpr unsigned VK_RETURN = 0x0D;
inline constexpr unsigned VK_ESCAPE = 0x1B;
inline constexpr unsigned VK_SPACE = 0x20;
inline constexpr unsigned VK_LEFT = 0x25;
inline constexpr unsigned VK_UP = 0x26;
inline constexpr unsigned VK_RIGHT = 0x27;
inline constexpr unsigned VK_DOWN = 0x28;
inline constexpr unsigned VK_DELETE = 0x2E;
inline constexpr unsigned VK_F1 = 0x70;
inline constexpr unsigned VK_F12 = 0x7B;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

// Check states.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

// A key-down offered to PreTranslateMessage: the virtual-key code (0 for a key without one) and the
// modifier keys held down.
struct KeyDown {
  unsigned vk = 0;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// A progress bar control: range, step and position as the standard control keeps them (default range
// 0..100, step 10; the position always stays within the range). Bound to a bar of a dialog through
// DataExchange::Control it drives that bar; unbound it keeps the values by itself, so code that moves a
// bar also runs without a window.
class ProgressCtrl {
 public:
  ProgressCtrl() = default;
  ~ProgressCtrl();
  ProgressCtrl(const ProgressCtrl&) = delete;
  ProgressCtrl& operator=(const ProgressCtrl&) = delete;

  // PBM_SETRANGE: 16-bit bounds; the position is brought into the new range.
  void SetRange(std::int16_t lower, std::int16_t upper);
  // PBM_SETSTEP: answers the previous step.
  int SetStep(int step);
  // PBM_SETPOS: answers the previous position.
  int SetPos(int pos);
  // PBM_DELTAPOS: answers the previous position.
  int OffsetPos(int delta);
  int GetPos() const { return m_nPos; }
  bool IsBound() const { return m_pBar != nullptr; }

 private:
  friend class DataExchange;
  friend class Dialog;
  void Bind(detail::BarWidget* bar);
  void Push();

  int m_nLower = 0;
  int m_nUpper = 100;
  int m_nStep = 10;
  int m_nPos = 0;
  detail::BarWidget* m_pBar = nullptr;
};

class Dialog;

// One data exchange between a dialog's controls and its members (UpdateData). Saving reads the controls
// into the members, loading writes the members into the controls. After a failure the remaining calls
// of the same exchange do nothing.
class DataExchange {
 public:
  DataExchange(Dialog* dialog, bool save) : m_pDlg(dialog), m_bSave(save) {}
  bool Failed() const { return m_bFailed; }

  // The control's text and the member (code page 932).
  void Text(int id, std::string& value);
  // Must follow the Text of the same control. Loading limits typing in that edit to `bytes` bytes;
  // saving refuses a longer text with a message box, then fails the exchange.
  void MaxChars(const std::string& value, int bytes);
  // Binds a progress bar member to the control (on the first exchange with a window).
  void Control(int id, ProgressCtrl& ctl);
  // Ends the exchange as failed: the last control exchanged gets the focus (an edit its whole text
  // selected).
  void Fail();

 private:
  Dialog* m_pDlg;
  bool m_bSave;
  bool m_bFailed = false;
  int m_nLastId = 0;
};

class Dialog {
 public:
  // `parent`: the owner window (one of this program's dialogs, the starting window, or 0).
  explicit Dialog(int template_id, win32::HWND parent = 0);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Modal run: shows the dialog and runs the event loop until EndDialog. Answers the EndDialog result,
  // -1 when the window could not be created. The window is destroyed at the end; the members stay.
  int DoModal();
  // Modeless window: created and initialised, shown only when the template says visible.
  bool Create(win32::HWND parent = 0);
  // Batch: created and initialised like a modal run but never shown, and no event loop runs. Drive it
  // with SetDlgItemText, CheckDlgButton and ClickButton; IsEnded and Result tell how it ended.
  bool CreateHidden();
  // Destroys the window (the dialog object and its members stay). Not from inside one of the dialog's own
  // handlers: end it with EndDialog there.
  void DestroyWindow();
  void ShowWindow(int cmd);
  bool IsWindowVisible() const;
  // Ends the run with `result`: a modal loop returns it, a modeless or hidden window is hidden.
  void EndDialog(int result);
  bool IsEnded() const { return m_bEnded; }
  int Result() const { return m_nResult; }

  // The dialog's own window handle (0 without a window), and the dialog of a handle (nullptr for any
  // handle that is not one of this program's dialogs, such as the starting window's).
  win32::HWND GetSafeHwnd() const;
  static Dialog* FromHandle(win32::HWND hwnd);
  // SetParent only records the handle: the starting window lives in another process.
  win32::HWND GetParentHandle() const { return m_hParent; }
  void SetParent(win32::HWND parent) { m_hParent = parent; }

  // The caption. A shown window shows a new caption with its next paint (see UpdateWindow); the text
  // answered is the newest.
  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  // Paints what the progress bars invalidated since the last paint, together with whatever else the
  // window has pending; nothing when no bar changed (other controls paint on the next event-loop turn, as
  // with any update). At most once per display frame: a call within a frame of the last paint leaves the
  // change pending, and the pending state is painted by the next call after the frame, before the
  // window hides, and before a box or the save-as dialog is shown over the program's windows. (Windows
  // paints in microseconds; on an X server every synchronous paint waits for the server.)
  void UpdateWindow();
  // Raises the window among this program's windows (nothing when it is already on top).
  void BringWindowToTop();
  // Activates the window (nothing when it is already the active one).
  win32::BOOL SetForegroundWindow();

  // Controls by id.
  std::string GetDlgItemText(int id) const;
  void SetDlgItemText(int id, const std::string& text);
  // For a screen reader: the label `label` captions the control `value` (a label relation, and the
  // label's text is the value's description), and so does every unnamed label on the value's row between
  // the two (a "：").
  void LinkCaption(int label, int value);
  void EnableDlgItem(int id, bool enable);
  bool IsDlgItemEnabled(int id) const;
  // Plain focus change (no selection change).
  void SetFocusTo(int id);
  // Focus as the dialog manager moves it: an edit gets its whole text selected.
  void GotoDlgCtrl(int id);
  // The id of the control with the focus in this dialog (0 for none).
  int GetFocusId() const;
  // Edit selection: (0, -1) selects all, (-1, x) removes the selection; the caret goes to the end.
  void SetSel(int id, int start, int end);
  // The selected text of an edit (empty when none).
  std::string GetSelText(int id) const;
  void ScrollCaret(int id);
  // Limits typing in an edit to `bytes` bytes of code page 932 (0: the default 32767). Texts set by the
  // program may be longer.
  void LimitText(int id, int bytes);
  void CheckDlgButton(int id, int check);
  int IsDlgButtonChecked(int id) const;
  // As a mouse click: a check box toggles, and the button's command is raised. False for a missing or
  // disabled button.
  bool ClickButton(int id);
  // Offers a key-down as if typed into the focused control (PreTranslateMessage, then the standard
  // handling). For batch runs and tests.
  void SendKeyDown(const KeyDown& key);
  // The position of a progress bar control (0 when missing).
  int GetProgressPos(int id) const;

  // DoDataExchange in one direction. False when the exchange failed.
  bool UpdateData(bool save = true);

 protected:
  virtual bool OnInitDialog();
  virtual void DoDataExchange(DataExchange* dx);
  // A key-down before the standard handling; true consumes it.
  virtual bool PreTranslateMessage(const KeyDown& key);
  // A command (button click, Enter, Esc, close box). True when handled.
  virtual bool OnCommand(int id);
  virtual void OnOK();
  virtual void OnCancel();

 private:
  friend class detail::DialogWidget;
  friend class DataExchange;
  friend void detail::FlushPendingPaints();

  bool Build();
  // PreTranslateMessage, then the standard handling. True when the key was consumed.
  bool HandleKey(const KeyDown& key);
  bool StandardKey(const KeyDown& key);
  void FocusFirstTabStop();
  void Unbind();
  // The pending bar changes painted now (when the window is shown).
  void PaintPending();

  int m_nTemplateId;
  win32::HWND m_hParent;
  detail::DialogWidget* m_pWnd = nullptr;
  std::vector<ProgressCtrl*> m_bound;
  bool m_bEnded = false;
  int m_nResult = 0;
  bool m_bModal = false;
  bool m_bPaintPending = false;
  bool m_bTitlePending = false;
  std::string m_strTitle;  // the caption waiting for the next paint
  std::chrono::steady_clock::time_point m_tLastPaint{};
};

}  // namespace ui
