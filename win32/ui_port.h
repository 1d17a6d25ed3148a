// The port through which every modal of the program goes: message boxes and the save-as dialog.
//
// Implementations: the window toolkit's (a person at the screen, in ui/), the console's (batch runs:
// messages on standard error, questions answered by an option) and the tests' scripted one (in
// tests/support/). Texts are code page 932.
#pragma once

#include <string>

#include "win32/wintypes.h"

namespace win32 {

// Save-as dialog flags the program uses.
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;

struct SaveDialogRequest {
  HWND owner = 0;
  std::string title;         // empty: the toolkit's default title
  std::string default_ext;   // without the dot, e.g. "xml"
  std::string filter;        // MFC form: "XML ﾌｧｲﾙ (*.xml)|*.xml||"
  std::string initial_dir;   // Windows path
  std::string initial_name;  // file name shown first
  DWORD flags = 0;
};

class UiPort {
 public:
  virtual ~UiPort() = default;
  // Answers IDOK, IDCANCEL, IDYES or IDNO.
  virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) = 0;
  // IDOK with the chosen Windows path in *path, or IDCANCEL.
  virtual int SaveFileDialog(const SaveDialogRequest& request, std::string* path) = 0;
};

// The port in use (the console port until one is set). Set returns the previous one.
UiPort& Ui();
UiPort* SetUi(UiPort* port);

// True when a box of this style asks a Yes/No question.
bool IsQuestionStyle(UINT style);

// MessageBox through the port.
int MessageBoxA(HWND owner, const std::string& text, const std::string& caption, UINT style);

// Batch runs: "caption: text" in UTF-8 on standard error; a Yes/No question is answered Yes only when
// answer_yes is set (the answer ends the line: " [yes]", or " [no: --yes answers yes]", naming the
// batch option that sets it); a save-as dialog chooses nothing.
class ConsoleUi : public UiPort {
 public:
  explicit ConsoleUi(bool answer_yes = false) : answer_yes_(answer_yes) {}
  int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
  int SaveFileDialog(const SaveDialogRequest& request, std::string* path) override;

 private:
  bool answer_yes_;
};

}  // namespace win32
