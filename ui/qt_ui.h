// The modal port for a person at the screen: Qt message boxes and Qt's own (non-native) save-as dialog.
#pragma once

#include <string>
#include <vector>

#include "win32/ui_port.h"

namespace ui {

class QtUi : public win32::UiPort {
 public:
  // A box with the buttons and icon of `style` (MB_OK, MB_OKCANCEL, MB_YESNOCANCEL, MB_YESNO; hand,
  // question, exclamation, information; MB_DEFBUTTON2 makes the second button the default), owned by
  // the dialog of `owner` when it is one of this program's, else by the active window; topmost when its
  // owner is, so that it is above its owner on the screen. The program's windows paint their last state
  // before the box comes over them. Esc and the close
  // box answer IDCANCEL when there is a Cancel button, IDOK for a box with OK alone, and do nothing on a
  // Yes/No box. Answers IDOK, IDCANCEL, IDYES or IDNO.
  int MessageBox(win32::HWND owner, const std::string& text, const std::string& caption,
                 win32::UINT style) override;
  // The save-as dialog: the filter in MFC form ("desc|*.xml||"), the initial folder (Windows path) and
  // name, the title. A name typed without an extension gets the current filter's extension, else the
  // default extension (at most three characters). No overwrite question; a name that has no code page
  // 932 form is refused and the dialog stays open. The chosen file comes back as a Windows path through
  // the drive table. Path-must-exist refuses a name in a folder that does not exist (a warning, and the
  // dialog stays open). File-must-exist has no effect on saving; hide-read-only and do-not-change-the-
  // current-folder hold always (no read-only box, the current folder is never changed). The dialog and
  // its warnings are topmost when their owner is.
  int SaveFileDialog(const win32::SaveDialogRequest& request, std::string* path) override;
};

inline constexpr win32::UINT MB_DEFBUTTON2 = 0x100;

// The pieces of the save-as dialog that need no window, for tests.
// "desc|pat1;pat2|desc2|pat||" -> {"desc (pat1 pat2)", "desc2 (pat)"} (UTF-8 of the code page 932 text).
std::vector<std::string> QtNameFilters(const std::string& mfc_filter);
// The name with the extension added when it has none: the filter's single "*.ext" pattern if it has
// one, else `default_ext` cut to three characters; unchanged when both are empty.
std::string WithDefaultExtension(const std::string& name, const std::string& filter_pattern,
                                 const std::string& default_ext);

}  // namespace ui
