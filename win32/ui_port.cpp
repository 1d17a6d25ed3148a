// The console and scripted implementations of the modal port.
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

bool IsQuestion(UINT style) {
  const UINT type = style & MB_TYPEMASK;
  return type == MB_YESNO || type == MB_YESNOCANCEL;
}
}  // namespace

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
  ++boxes_;
  std::string line = ToUtf8Lossy(caption) + ": " + ToUtf8Lossy(text);
  for (auto& c : line)
    if (c == '\n') c = ' ';
  int answer = IDOK;
  if (IsQuestion(style)) {
    TestStop("question");
    answer = answer_yes_ ? IDYES : IDNO;
    if (!answer_yes_) ++refusals_;
    line += answer_yes_ ? " [yes]" : " [no]";
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return answer;
}

int ConsoleUi::SaveFileDialog(const SaveDialogRequest&, std::string*) {
  ++refusals_;
  std::fprintf(stderr, "a file dialog would open: no file chosen\n");
  return IDCANCEL;
}

int ScriptedUi::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  int answer = IsQuestion(style) ? IDYES : IDOK;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes.push_back({owner, text, caption, style, answer});
  return answer;
}

int ScriptedUi::SaveFileDialog(const SaveDialogRequest& request, std::string* path) {
  int answer = IDCANCEL;
  std::string chosen;
  if (!files_.empty()) {
    answer = files_.front().first;
    chosen = files_.front().second;
    files_.pop_front();
  }
  if (answer == IDOK) *path = chosen;
  dialogs.push_back({request, answer, chosen});
  return answer;
}

}  // namespace win32
