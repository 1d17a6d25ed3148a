// The toolkit's side of a program run: the application object (Qt's, behind this header) and the wait
// cursor.
#pragma once

namespace ui {

class Application {
 public:
  // batch: no window is ever shown; Qt's offscreen platform is used so that no display is needed.
  // argc must outlive the object.
  // A window run also gets Qt's own texts (standard buttons, the file dialog) in Japanese from the
  // distribution's translations, and Japanese number and date forms.
  Application(int& argc, char** argv, bool batch);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // False for a window run whose Japanese translations of Qt's texts could not be loaded (not installed):
  // Qt's buttons and dialogs then read in English.
  bool HasJapaneseQtTexts() const { return m_bJapanese; }

 private:
  bool m_bJapanese = true;
};

// Whether a window can be opened, judged as Qt picks its platform: the first of $QT_QPA_PLATFORM's list
// (`wayland;xcb`), or of Wayland then X in a Wayland session and X otherwise, whose plugin is installed
// and whose display accepts a connection (a socket file left by a crashed server or compositor is not a
// display); offscreen always. The one found is set as $QT_QPA_PLATFORM, so that Qt starts on it at once.
// Qt aborts the process when no platform can start, so this is asked first.
bool DisplayReachable();

// Qt's messages go to standard error, except its debug chatter and what is expected and harmless here: the
// offscreen platform's "does not support raise()" and the runtime folder it picks for itself.
void InstallQuietMessages();

// The hourglass cursor over every window of the program while on.
void SetWaitCursor(bool on);

}  // namespace ui
