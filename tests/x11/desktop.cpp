// The X server, the window manager, the program on them, and the screen as a user sees it.
#include "tests/x11/desktop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

pid_t g_xvfb = -1;
pid_t g_wm = -1;
pid_t g_weston = -1;
int g_weston_scale = 1;
std::string g_weston_dir;  // its configuration and the screenshooter's pictures

// The background of weston's output (weston.ini's 0xAARRGGBB).
constexpr QRgb kWestonBackground = 0xff3a6e8c;
pid_t g_session_bus = -1;
pid_t g_a11y_bus = -1;

using Clock = std::chrono::steady_clock;

// Starts a child that dies with this process; stdout and stderr go to `log` (or nowhere).
pid_t Spawn(const std::vector<std::string>& argv, const std::string& log = "/dev/null", int keep_fd = -1) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int in = open("/dev/null", O_RDONLY);
  if (out >= 0) {
    dup2(out, 1);
    dup2(out, 2);
  }
  if (in >= 0) dup2(in, 0);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keep_fd) close(fd);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

void Reap(pid_t* pid) {
  if (*pid <= 0) return;
  kill(*pid, SIGTERM);
  waitpid(*pid, nullptr, 0);
  *pid = -1;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int Elapsed(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A ZPixmap image of 24 or 32 bits per pixel (depth 24) as RGB32.
QImage FromZPixmap(xcb_get_image_reply_t* reply, int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  const uint8_t* data = xcb_get_image_data(reply);
  const int len = xcb_get_image_data_length(reply);
  if (len < w * h * 4) return {};
  for (int y = 0; y < h; ++y)
    std::memcpy(img.scanLine(y), data + static_cast<std::ptrdiff_t>(y) * w * 4, w * 4);
  return img;
}

// Starts a server that writes one line on the descriptor it is given (`argv_for` makes its command from
// that descriptor's number) and reads that line, without its line feed, waiting up to 15 s.
bool SpawnServerSayingALine(const std::function<std::vector<std::string>(const std::string&)>& argv_for,
                            pid_t* pid, std::string* line) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  *pid = Spawn(argv_for(std::to_string(fds[1])), "/dev/null", fds[1]);
  close(fds[1]);
  line->clear();
  pollfd p{fds[0], POLLIN, 0};
  const auto start = Clock::now();
  while (line->find('\n') == std::string::npos && Elapsed(start) < 15000) {
    if (poll(&p, 1, 200) <= 0) continue;
    char buf[256];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    line->append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (line->find('\n') == std::string::npos) return false;
  line->erase(line->find('\n'));
  return true;
}

}  // namespace

bool XSession::Start(std::string* error, const std::string& screen) {
  // The server picks a free display number and writes it on the descriptor: tests run in parallel.
  std::string number;
  if (!SpawnServerSayingALine(
          [&](const std::string& fd) {
            return std::vector<std::string>{"Xvfb", "-displayfd", fd,          "-screen",
                                            "0",    screen,       "-nolisten", "tcp"};
          },
          &g_xvfb, &number)) {
    *error = "Xvfb did not start (is the xvfb package installed?)";
    return false;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  g_wm = Spawn({"openbox", "--sm-disable"});
  // The window manager is up once it names itself on the root window.
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    *error = "cannot connect to the new X server";
    xcb_disconnect(c);
    return false;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const char name[] = "_NET_SUPPORTING_WM_CHECK";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
  bool up = false;
  const auto start = Clock::now();
  while (!up && Elapsed(start) < 15000) {
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    up = r != nullptr && xcb_get_property_value_length(r) == 4;
    free(r);
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  free(atom);
  xcb_disconnect(c);
  if (!up) *error = "openbox did not start (is the openbox package installed?)";
  return up;
}

void XSession::Stop() {
  Reap(&g_wm);
  Reap(&g_xvfb);
}

// ---- weston ----

bool WaylandSession::Start(const QSize& size, int scale, std::string* error) {
  char tmpl[] = "/tmp/uw-weston-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    *error = "mkdtemp failed";
    return false;
  }
  g_weston_dir = tmpl;
  g_weston_scale = scale;
  char background[16];
  std::snprintf(background, sizeof background, "0x%08x", kWestonBackground);
  std::ofstream(g_weston_dir + "/weston.ini")
      << "[core]\nidle-time=0\n[shell]\nbackground-color=" << background
      << "\npanel-position=none\nlocking=false\nanimation=none\nstartup-animation=none\n"
         "close-animation=none\nfocus-animation=none\n";
  const std::string socket = "uw-wayland-" + std::to_string(getpid());
  g_weston = Spawn({"weston", "--backend=x11-backend.so", "--use-pixman", "--debug",
                    "--config=" + g_weston_dir + "/weston.ini", "--socket=" + socket,
                    "--width=" + std::to_string(size.width() / scale),
                    "--height=" + std::to_string(size.height() / scale), "--scale=" + std::to_string(scale)},
                   g_weston_dir + "/weston.log");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string path = std::string(runtime != nullptr ? runtime : "") + "/" + socket;
  const auto start = Clock::now();
  while (!std::filesystem::exists(path) && Elapsed(start) < 15000)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!std::filesystem::exists(path)) {
    *error = "weston did not start (is the weston package installed?): " + g_weston_dir + "/weston.log";
    return false;
  }
  setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
  // Keys go to weston's window once it has the X focus; before, they are lost, or reach weston as a
  // release without its press. The window manager gives a new window the focus, but not one mapped while
  // it was starting (on a busy machine), so the window is activated until it has it. The pointer rests in
  // the window's corner, so that the keyboard stays with it while no client window is under the pointer.
  const std::string focus =
      "w=$(xdotool search --sync --class 'Weston Compositor' | head -n 1) && xdotool mousemove --window "
      "\"$w\" " +
      std::to_string(size.width() - 1) + " " + std::to_string(size.height() - 1) +
      " && for i in $(seq 150); do [ \"$(xdotool getwindowfocus)\" = \"$w\" ] && "
      "[ \"$(xdotool getactivewindow)\" = \"$w\" ] && exit 0; xdotool windowactivate \"$w\"; sleep 0.1; "
      "done; exit 1";
  if (std::system(("(" + focus + ") 2>/dev/null").c_str()) != 0) {
    *error = "weston's window did not get the X focus";
    return false;
  }
  return true;
}

void WaylandSession::Stop() {
  Reap(&g_weston);
  if (!g_weston_dir.empty()) std::filesystem::remove_all(g_weston_dir);
}

int WaylandSession::Scale() { return g_weston_scale; }

QImage WaylandSession::Screenshot() {
  const std::string folder = g_weston_dir + "/shots";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  if (std::system(("cd " + Quote(folder) + " && weston-screenshooter >/dev/null 2>&1").c_str()) != 0)
    return {};
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    return QImage(QString::fromStdString(entry.path().string())).convertToFormat(QImage::Format_RGB32);
  return {};
}

QRect WaylandSession::Windows(const QImage& shot) {
  // The pointer, in the bottom right corner, is no window.
  const QRect pointer(shot.width() - 128, shot.height() - 128, 128, 128);
  QRect covered;
  for (int y = 0; y < shot.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
    for (int x = 0; x < shot.width(); ++x)
      if ((line[x] | 0xff000000u) != kWestonBackground && !pointer.contains(x, y))
        covered |= QRect(x, y, 1, 1);
  }
  return covered;
}

void WaylandSession::Save(const QImage& shot, const std::string& picture) {
  const QImage img = shot.copy(Windows(shot));
  const std::string name = picture + (g_weston_scale != 1 ? "-scale" + std::to_string(g_weston_scale) : "");
  const std::string dir = std::string(UW_BIN_DIR) + "/../x11-screens";
  std::filesystem::create_directories(dir);
  img.save(QString::fromStdString(dir + "/" + name + ".png"), "PNG");
  if (const char* docs = std::getenv("UW_SCREENSHOT_DIR"); docs != nullptr && *docs != '\0')
    img.save(QString::fromStdString(std::string(docs) + "/" + name + ".png"), "PNG");
}

bool AccessibilityBus::Start(std::string* error) {
  std::string address;
  if (!SpawnServerSayingALine(
          [](const std::string& fd) {
            return std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=" + fd};
          },
          &g_session_bus, &address)) {
    *error = "dbus-daemon did not start (is the dbus package installed?)";
    return false;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  g_a11y_bus = Spawn({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"});
  // Up once the launcher owns its name on the session bus.
  const std::string ask =
      "dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "
      "string:org.a11y.Bus 2>/dev/null | grep -q true";
  const auto start = Clock::now();
  while (Elapsed(start) < 15000) {
    if (std::system(ask.c_str()) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *error = "at-spi-bus-launcher did not start (is the at-spi2-core package installed?)";
  return false;
}

void AccessibilityBus::Stop() {
  Reap(&g_a11y_bus);
  Reap(&g_session_bus);
}

// ---- Desktop ----

Desktop::Desktop() {
  m_pConn = xcb_connect(nullptr, nullptr);
  m_root = xcb_setup_roots_iterator(xcb_get_setup(m_pConn)).data->root;
}

Desktop::~Desktop() { xcb_disconnect(m_pConn); }

xcb_atom_t Desktop::Atom(const char* name) {
  xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
      m_pConn, xcb_intern_atom(m_pConn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = r != nullptr ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  free(r);
  return atom;
}

QString Desktop::Title(xcb_window_t window) {
  xcb_get_property_reply_t* r = xcb_get_property_reply(
      m_pConn, xcb_get_property(m_pConn, 0, window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 0, 1024),
      nullptr);
  QString title;
  if (r != nullptr)
    title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)),
                              xcb_get_property_value_length(r));
  free(r);
  return title;
}

XWindow Desktop::Describe(xcb_window_t window) {
  XWindow w;
  w.id = window;
  w.title = Title(window);
  xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(m_pConn, xcb_get_geometry(m_pConn, window), nullptr);
  xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
      m_pConn, xcb_translate_coordinates(m_pConn, window, m_root, 0, 0), nullptr);
  if (g != nullptr && t != nullptr) w.rect = QRect(t->dst_x, t->dst_y, g->width, g->height);
  free(g);
  free(t);
  w.frame = w.rect;
  xcb_get_property_reply_t* e = xcb_get_property_reply(
      m_pConn, xcb_get_property(m_pConn, 0, window, Atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4),
      nullptr);
  if (e != nullptr && xcb_get_property_value_length(e) == 16) {
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(e));
    w.frame = w.rect.adjusted(-static_cast<int>(v[0]), -static_cast<int>(v[2]), static_cast<int>(v[1]),
                              static_cast<int>(v[3]));
  }
  free(e);
  return w;
}

std::vector<XWindow> Desktop::Stacking() {
  std::vector<XWindow> out;
  xcb_get_property_reply_t* r = xcb_get_property_reply(
      m_pConn,
      xcb_get_property(m_pConn, 0, m_root, Atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 0, 256),
      nullptr);
  if (r == nullptr) return out;
  const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(r));
  const int n = xcb_get_property_value_length(r) / 4;
  for (int i = 0; i < n; ++i) {
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(m_pConn, xcb_get_window_attributes(m_pConn, ids[i]), nullptr);
    const bool shown = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
    free(a);
    if (shown) out.push_back(Describe(ids[i]));
  }
  free(r);
  return out;
}

XWindow Desktop::WaitFor(const QString& title, int timeout_ms, xcb_window_t other_than) {
  const auto start = Clock::now();
  do {
    const std::vector<XWindow> all = Stacking();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
      if (it->title == title && it->id != other_than) return *it;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Elapsed(start) < timeout_ms);
  return {};
}

bool Desktop::WaitGone(const QString& title, int timeout_ms) {
  const auto start = Clock::now();
  do {
    bool there = false;
    for (const XWindow& w : Stacking()) there = there || w.title == title;
    if (!there) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Elapsed(start) < timeout_ms);
  return false;
}

xcb_window_t Desktop::Focus() {
  xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(m_pConn, xcb_get_input_focus(m_pConn), nullptr);
  const xcb_window_t focus = r != nullptr ? r->focus : 0;
  free(r);
  return focus;
}

QImage Desktop::Screen(const QRect& rect) {
  const QRect r = rect & QRect(0, 0, 1024, 768);
  xcb_get_image_reply_t* reply = xcb_get_image_reply(
      m_pConn,
      xcb_get_image(m_pConn, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, static_cast<int16_t>(r.x()),
                    static_cast<int16_t>(r.y()), static_cast<uint16_t>(r.width()),
                    static_cast<uint16_t>(r.height()), ~0u),
      nullptr);
  if (reply == nullptr) return {};
  QImage img = FromZPixmap(reply, r.width(), r.height());
  free(reply);
  return img;
}

void Desktop::Key(const std::string& keys) {
  std::string cmd = "xdotool key --delay 30";
  std::istringstream in(keys);
  for (std::string k; in >> k;) cmd.append(" ").append(Quote(k));  // (not " " + ...: GCC 12's -Wrestrict)
  if (std::system(cmd.c_str()) != 0) ADD_FAILURE_AT(__FILE__, __LINE__) << cmd << " failed";
}

void Desktop::Type(const std::string& text) {
  const std::string cmd = "xdotool type --delay 20 -- " + Quote(text);
  if (std::system(cmd.c_str()) != 0) ADD_FAILURE_AT(__FILE__, __LINE__) << cmd << " failed";
}

std::string Desktop::CheckShown(const XWindow& window, const XWindow* owner, int timeout_ms) {
  const auto start = Clock::now();
  std::string failed;
  do {
    failed.clear();
    const std::vector<XWindow> all = Stacking();
    int mine = -1;
    int theirs = -1;
    for (int i = 0; i < static_cast<int>(all.size()); ++i) {
      if (all[i].id == window.id) mine = i;
      if (owner != nullptr && all[i].id == owner->id) theirs = i;
    }
    const XWindow now = Describe(window.id);
    if (mine < 0) failed += "not shown; ";
    if (owner != nullptr && theirs > mine)
      failed += "below its owner \"" + owner->title.toStdString() + "\" in the window manager's stacking; ";
    // Above every window that overlaps it: the top-level window at its centre and corners is its own.
    const QPoint points[] = {now.rect.center(), now.rect.topLeft() + QPoint(2, 2),
                             now.rect.bottomRight() - QPoint(2, 2)};
    for (const QPoint& p : points) {
      xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
          m_pConn,
          xcb_translate_coordinates(m_pConn, m_root, m_root, static_cast<int16_t>(p.x()),
                                    static_cast<int16_t>(p.y())),
          nullptr);
      const xcb_window_t top = t != nullptr ? t->child : 0;
      free(t);
      const XWindow over = top != 0 ? Describe(top) : XWindow{};
      // The frame under the point: the window manager's frame holds the client, so the client's rectangle
      // lies within it.
      if (!over.rect.contains(now.rect)) {
        QString name;
        for (const XWindow& w : all)
          if (over.rect.contains(w.rect) && w.id != window.id) name = w.title;
        failed += "covered at (" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ") by \"" +
                  name.toStdString() + "\"; ";
        break;
      }
    }
    const xcb_window_t focus = Focus();
    if (focus != window.id)
      failed += "not focused (the focus is on \"" + Title(focus).toStdString() + "\"); ";
    const QImage shot = Screen(now.rect);
    bool flat = !shot.isNull();
    for (int y = 0; flat && y < shot.height(); ++y)
      for (int x = 0; flat && x < shot.width(); ++x) flat = shot.pixel(x, y) == shot.pixel(0, 0);
    if (flat) failed += "one flat colour on the screen; ";
    if (failed.empty()) return "";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (Elapsed(start) < timeout_ms);
  return "\"" + window.title.toStdString() + "\": " + failed;
}

void Desktop::Save(const XWindow& window, const std::string& name) {
  const QImage img = Screen(Describe(window.id).frame);
  const std::string dir = std::string(UW_BIN_DIR) + "/../x11-screens";
  std::filesystem::create_directories(dir);
  img.save(QString::fromStdString(dir + "/" + name + ".png"), "PNG");
  if (const char* docs = std::getenv("UW_SCREENSHOT_DIR"); docs != nullptr && *docs != '\0')
    img.save(QString::fromStdString(std::string(docs) + "/" + name + ".png"), "PNG");
}

// ---- texts on the screen ----

bool ShowsText(const QImage& image, const QString& text, const QFont& font) {
  // The text drawn dark on white, cut to its dark pixels' bounds.
  const QFontMetrics fm(font);
  QImage drawn(fm.horizontalAdvance(text) + 8, fm.height() + 8, QImage::Format_RGB32);
  drawn.fill(Qt::white);
  {
    QPainter p(&drawn);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(drawn.rect().adjusted(4, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextHideMnemonic, text);
  }
  auto dark = [](QRgb c) { return qGray(c) < 128; };
  QRect box;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x)
      if (dark(drawn.pixel(x, y))) box |= QRect(x, y, 1, 1);
  if (box.isEmpty() || image.isNull()) return false;
  // The pattern: dark pixels first (most offsets fail on them at once), then the light ones.
  std::vector<QPoint> on;
  std::vector<QPoint> off;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      (dark(drawn.pixel(x, y)) ? on : off).push_back(QPoint(x - box.left(), y - box.top()));
  std::vector<uint8_t> mask(static_cast<std::size_t>(image.width() * image.height()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      mask[static_cast<std::size_t>(y * image.width() + x)] = dark(image.pixel(x, y));
  // Antialiased edges fall either way of the threshold: a few pixels in eight may differ.
  const int allowed = std::max<int>(3, static_cast<int>(on.size()) / 8);
  for (int oy = 0; oy + box.height() <= image.height(); ++oy) {
    for (int ox = 0; ox + box.width() <= image.width(); ++ox) {
      int misses = 0;
      const uint8_t* base = mask.data() + static_cast<std::ptrdiff_t>(oy) * image.width() + ox;
      for (const QPoint& p : on)
        if (!base[p.y() * image.width() + p.x()] && ++misses > allowed) break;
      if (misses > allowed) continue;
      for (const QPoint& p : off)
        if (base[p.y() * image.width() + p.x()] && ++misses > allowed) break;
      if (misses <= allowed) return true;
    }
  }
  return false;
}

// ---- the program ----

ProgramRun::ProgramRun(const std::string& host) {
  char tmpl[] = "/tmp/uw-x11-err-XXXXXX";
  const int fd = mkstemp(tmpl);
  if (fd >= 0) close(fd);
  m_strErrFile = tmpl;
  // UW_X11_PROGRAM plays another build's executable (for example today's, to see these tests fail).
  const char* other = std::getenv("UW_X11_PROGRAM");
  std::vector<std::string> argv = {
      other != nullptr && *other != '\0' ? std::string(other) : std::string(UW_BIN_DIR) + "/halvorack",
      "--host", host};
  m_pid = Spawn(argv, m_strErrFile);
}

ProgramRun::~ProgramRun() {
  if (Wait(0) < 0 && m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  std::remove(m_strErrFile.c_str());
}

int ProgramRun::Wait(int timeout_ms) {
  if (m_nStatus >= 0 || m_pid <= 0) return m_nStatus;
  const auto start = Clock::now();
  do {
    int raw = 0;
    if (waitpid(m_pid, &raw, WNOHANG) == m_pid) {
      m_nStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return m_nStatus;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (Elapsed(start) < timeout_ms);
  return -1;
}

std::string ProgramRun::Err() const {
  std::ifstream in(m_strErrFile);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
