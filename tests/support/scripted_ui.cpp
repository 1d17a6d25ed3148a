// The scripted modal port.
#include "tests/support/scripted_ui.h"

namespace win32 {

int ScriptedUi::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  int answer = IsQuestionStyle(style) ? IDYES : IDOK;
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
