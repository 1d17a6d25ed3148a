// The toolkit's side of a program run: the application object (Qt's, behind this header) and the wait
// cursor.
#pragma once

namespace ui {

class Application {
 public:
  // batch: no window is ever shown; Qt's offscreen platform is used so that no display is needed.
  // argc must outlive the object.
  Application(int& argc, char** argv, bool batch);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
};

// Qt's messages go to standard error, except its debug chatter and what is expected and harmless here: the
// offscreen platform's "does not support raise()" and the runtime folder it picks for itself.
void InstallQuietMessages();

// The hourglass cursor over every window of the program while on.
void SetWaitCursor(bool on);

}  // namespace ui
