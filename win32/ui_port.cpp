// The modal port in use and its console implementation.
#include "win32/ui_port.h"

#include <cstdio>

#include "win32/codepage.h"
#include "win32/signals.h"

namespace win32 {

namespace {
UiPort*& CurrentPort() {
  static ConsoleUi console;
  static UiPort* port = &console;
  return port;
}
}  // namespace

bool IsQuestionStyle(UINT style) {
  const UINT type = style & MB_TYPEMASK;
  return type == MB_YESNO || type == MB_YESNOCANCEL;
}

UiPort& Ui() { return *CurrentPort(); }

UiPort* SetUi(UiPort* port) {
  UiPort* old = CurrentPort();
  CurrentPort() = port;
  return old;
}

int MessageBoxA(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return Ui().MessageBox(owner, text, caption, style);
}

int ConsoleUi::MessageBox(HWND, const std::string& text, const std::string& caption, UINT style) {
  std::string line = ToUtf8Lossy(caption) + ": " + ToUtf8Lossy(text);
  for (auto& c : line)
    if (c == '\n') c = ' ';
  int answer = IDOK;
  if (IsQuestionStyle(style)) {
    TestStop("question");
    answer = answer_yes_ ? IDYES : IDNO;
    // A No ends a batch run: the line says how to answer Yes instead.
    line += answer_yes_ ? " [yes]" : " [no: --yes answers yes]";
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return answer;
}

int ConsoleUi::SaveFileDialog(const SaveDialogRequest&, std::string*) {
  std::fprintf(stderr, "a file dialog would open: no file chosen\n");
  return IDCANCEL;
}

}  // namespace win32
