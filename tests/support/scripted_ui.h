// The modal port of tests: answers queued in advance, every call recorded.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "win32/ui_port.h"

namespace win32 {

// Tests: answers queued in advance; with none queued a box answers IDOK (or IDYES for a question) and a
// file dialog IDCANCEL. Every call is recorded.
class ScriptedUi : public UiPort {
 public:
  struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    int answer;
  };
  struct FileDialog {
    SaveDialogRequest request;
    int answer;
    std::string path;
  };
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  void QueueFile(int answer, std::string path) { files_.push_back({answer, std::move(path)}); }
  int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
  int SaveFileDialog(const SaveDialogRequest& request, std::string* path) override;

  std::vector<Box> boxes;
  std::vector<FileDialog> dialogs;

 private:
  std::deque<int> answers_;
  std::deque<std::pair<int, std::string>> files_;
};

}  // namespace win32
