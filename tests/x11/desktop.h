// A desktop for the tests that play a user on a real X server: an Xvfb of its own (its display number
// chosen by the server), the openbox window manager, the built program started on it, keys sent through
// XTEST (xdotool), and the screen read back.
#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

// The X server and the window manager of a test binary; started once by main(), stopped at exit.
class XSession {
 public:
  // Starts Xvfb (a screen of `screen`, "WxHxD") and openbox and sets DISPLAY; false with *error set when
  // either cannot be started.
  static bool Start(std::string* error, const std::string& screen = "1024x768x24");
  static void Stop();
};

// weston as a Wayland desktop, in a window of the X server (its X11 backend: keys sent through XTEST reach
// it while its window has the X focus and the pointer lies over it); started once by main() after
// XSession. Its output has a plain background and no panel, so that the clients' windows stand out.
class WaylandSession {
 public:
  // Starts weston (pixman renderer, --debug for the screenshooter) with an output of `size` pixels at
  // `scale` (size / scale logical pixels), sets WAYLAND_DISPLAY and puts the pointer over its window; false
  // with *error set.
  static bool Start(const QSize& size, int scale, std::string* error);
  static void Stop();
  // The scale of the output: device pixels per logical pixel.
  static int Scale();
  // The output as weston's screenshooter takes it (null when it fails).
  static QImage Screenshot();
  // The part of `shot` that the clients' windows cover (null when none does).
  static QRect Windows(const QImage& shot);
  // Saves Windows(shot) of `shot` as <build>/x11-screens/<name>.png and into $UW_SCREENSHOT_DIR when set
  // ("-scale2" added to the name at scale 2).
  static void Save(const QImage& shot, const std::string& name);
};

// A top-level window of a client, as the window manager manages it.
struct XWindow {
  xcb_window_t id = 0;
  QString title;
  QRect rect;   // the client area on the screen
  QRect frame;  // with the window manager's frame
};

class Desktop {
 public:
  Desktop();
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // The managed windows, bottom to top (_NET_CLIENT_LIST_STACKING).
  std::vector<XWindow> Stacking();
  // The topmost managed window titled `title` that is shown, waiting up to timeout_ms; id 0 when none.
  // `other_than`: a window of the same title to pass over (the owner of a box titled like it).
  XWindow WaitFor(const QString& title, int timeout_ms = 10000, xcb_window_t other_than = 0);
  // Waits until no shown window is titled `title`.
  bool WaitGone(const QString& title, int timeout_ms = 10000);
  // The window with the keyboard focus (the managed window that holds it), 0 for none.
  xcb_window_t Focus();
  // The window as it is now (a window manager may still move or resize a window it has just shown).
  XWindow Describe(xcb_window_t window);
  // What the screen shows in `rect`.
  QImage Screen(const QRect& rect);
  // Sends keys through XTEST to whatever has the focus, as xdotool names them ("F12", "Return",
  // "alt+n"), or types a text.
  static void Key(const std::string& keys);
  static void Type(const std::string& text);

  // Whether a window is shown as a user sees it: above `owner` (when given), the focused window, and
  // painted (its rectangle on the screen is not one flat colour). Waits
  // up to timeout_ms for all three; the answer names every check that failed ("" when all pass).
  std::string CheckShown(const XWindow& window, const XWindow* owner, int timeout_ms = 5000);

  // Saves the window with its frame as <build>/x11-screens/<name>.png (and into $UW_SCREENSHOT_DIR when
  // set, for the README).
  void Save(const XWindow& window, const std::string& name);

 private:
  xcb_atom_t Atom(const char* name);
  QString Title(xcb_window_t window);

  xcb_connection_t* m_pConn = nullptr;
  xcb_window_t m_root = 0;
};

// Whether `text`, drawn in `font` as Qt draws a label or a button (a "&" marks a mnemonic, underlined),
// appears in `image`. Dark pixels are compared, so the ground behind the text does not matter.
bool ShowsText(const QImage& image, const QString& text, const QFont& font);

// The built program, started on the desktop with the host database and arguments; killed at the end
// when still running.
class ProgramRun {
 public:
  explicit ProgramRun(const std::string& host);
  ~ProgramRun();
  // The exit status, waiting up to timeout_ms (-1 when it is still running).
  int Wait(int timeout_ms = 10000);
  pid_t pid() const { return m_pid; }
  // What the program wrote to standard error.
  std::string Err() const;

 private:
  pid_t m_pid = -1;
  int m_nStatus = -1;
  std::string m_strErrFile;
};
