// The program on a Wayland desktop (weston), played as a user plays it: keys through weston's window.
// A Wayland client cannot see other clients' windows, so what the compositor was told is read from the
// program's own protocol log (WAYLAND_DEBUG): every box and the save-as dialog name their owner as
// parent, and each window has the keyboard when it is up. The screen is read with weston's
// screenshooter; the pictures go to <build>/x11-screens (UW_SCREENSHOT_DIR=docs build/tests/wayland_test
// for the README).
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QRegularExpression>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "res/templates.h"
#include "tests/support/host_fixture.h"
#include "tests/x11/desktop.h"
#include "ui/qt_widgets.h"

namespace {

const QString kConditions = QStringLiteral("科目内訳書 - 集計条件");
const QString kBoxTitle = QStringLiteral("科目内訳書");
const QString kSaveAs = QStringLiteral("保存ファイルを指定");

// The top-level windows of the program and the keyboard focus, as its protocol log tells them.
class ProtocolLog {
 public:
  struct Toplevel {
    QString title;
    int parent = -1;  // index of the parent's record, -1 for none
    int surface = 0;
    bool open = true;
  };

  explicit ProtocolLog(const ProgramRun& run) : m_run(run) {}

  // Reads what the program has logged since the last call.
  void Update() {
    static const QRegularExpression kXdgSurface(QStringLiteral(
        R"(-> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@(\d+), wl_surface@(\d+)\))"));
    static const QRegularExpression kToplevel(
        QStringLiteral(R"(-> xdg_surface@(\d+)\.get_toplevel\(new id xdg_toplevel@(\d+)\))"));
    static const QRegularExpression kTitle(
        QStringLiteral(R"re(-> xdg_toplevel@(\d+)\.set_title\("(.*)"\))re"));
    static const QRegularExpression kParent(
        QStringLiteral(R"(-> xdg_toplevel@(\d+)\.set_parent\((?:xdg_toplevel@(\d+)|nil)\))"));
    static const QRegularExpression kDestroy(QStringLiteral(R"(-> xdg_toplevel@(\d+)\.destroy\(\))"));
    static const QRegularExpression kEnter(
        QStringLiteral(R"(wl_keyboard@\d+\.enter\(\d+, wl_surface@(\d+),)"));
    static const QRegularExpression kLeave(QStringLiteral(R"(wl_keyboard@\d+\.leave\()"));
    static const QRegularExpression kCommit(QStringLiteral(R"(-> wl_surface@(\d+)\.commit\(\))"));
    const std::string all = m_run.Err();
    const std::size_t end = all.rfind('\n');
    if (end == std::string::npos || end + 1 <= m_nRead) return;
    const QString text = QString::fromUtf8(all.data() + m_nRead, static_cast<qsizetype>(end + 1 - m_nRead));
    m_nRead = end + 1;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      QRegularExpressionMatch m;
      if ((m = kXdgSurface.match(line)).hasMatch()) {
        m_surfaceOf[m.captured(1).toInt()] = m.captured(2).toInt();
      } else if ((m = kToplevel.match(line)).hasMatch()) {
        m_tops.push_back({QString(), -1, m_surfaceOf[m.captured(1).toInt()], true});
        m_byId[m.captured(2).toInt()] = static_cast<int>(m_tops.size()) - 1;
      } else if ((m = kTitle.match(line)).hasMatch()) {
        At(m.captured(1)).title = m.captured(2);
      } else if ((m = kParent.match(line)).hasMatch()) {
        At(m.captured(1)).parent = m.captured(2).isEmpty() ? -1 : m_byId[m.captured(2).toInt()];
      } else if ((m = kDestroy.match(line)).hasMatch()) {
        At(m.captured(1)).open = false;
      } else if ((m = kEnter.match(line)).hasMatch()) {
        m_nFocus = m.captured(1).toInt();
      } else if (kLeave.match(line).hasMatch()) {
        m_nFocus = 0;
      } else if ((m = kCommit.match(line)).hasMatch()) {
        ++m_commits[m.captured(1).toInt()];
      }
    }
  }

  // The newest shown window titled `title` (or whose title starts with it, when `prefix`); -1 for none.
  int Find(const QString& title, bool prefix = false) const {
    for (int i = static_cast<int>(m_tops.size()) - 1; i >= 0; --i)
      if (m_tops[i].open && (prefix ? m_tops[i].title.startsWith(title) : m_tops[i].title == title)) return i;
    return -1;
  }
  const Toplevel& operator[](int i) const { return m_tops[static_cast<std::size_t>(i)]; }
  // The window with the keyboard focus; -1 for none.
  int Focused() const {
    for (int i = static_cast<int>(m_tops.size()) - 1; i >= 0; --i)
      if (m_tops[i].open && m_tops[i].surface == m_nFocus) return i;
    return -1;
  }

  // The shown windows' titles, the focused one marked, for a failure's message.
  std::string Windows() const {
    std::string out;
    for (std::size_t i = 0; i < m_tops.size(); ++i)
      if (m_tops[i].open)
        out += (static_cast<int>(i) == Focused() ? "*\"" : "\"") + m_tops[i].title.toStdString() + "\" ";
    return out;
  }

  // How many times the window's surface was handed to the compositor with new contents.
  int Commits(int i) const {
    const auto it = m_commits.find(m_tops[static_cast<std::size_t>(i)].surface);
    return it != m_commits.end() ? it->second : 0;
  }

  // Waits up to timeout_ms for `done`, reading the log meanwhile.
  bool Wait(const std::function<bool()>& done, int timeout_ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
      Update();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // Waits for the window titled `title` to be shown with the keyboard focus: its index, -1 when it is not.
  int WaitFocused(const QString& title, int timeout_ms = 10000) {
    int found = -1;
    Wait([&] { return (found = Find(title)) >= 0 && Focused() == found; }, timeout_ms);
    return found >= 0 && Focused() == found ? found : -1;
  }

 private:
  Toplevel& At(const QString& id) {
    static Toplevel none;
    const auto it = m_byId.find(id.toInt());
    return it != m_byId.end() ? m_tops[static_cast<std::size_t>(it->second)] : none;
  }

  const ProgramRun& m_run;
  std::size_t m_nRead = 0;
  std::vector<Toplevel> m_tops;
  std::map<int, int> m_byId;       // xdg_toplevel id -> record
  std::map<int, int> m_surfaceOf;  // xdg_surface id -> wl_surface id
  std::map<int, int> m_commits;    // wl_surface id -> commits
  int m_nFocus = 0;                // the wl_surface with the keyboard
};

class WaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Exec(
        "INSERT INTO accounts (data_no, account_id, name) VALUES (1, 1000000, '現金');"
        "INSERT INTO totals (data_no, account_id, slot, debit_ex) VALUES (1, 1000000, 0, 50000);");
  }

  // The window titled `title` up, focused, with `owner` (-1: none) as its parent, each of `texts` on the
  // screen (at scale 1); pictured as `picture` when one is named.
  int ExpectWindow(ProtocolLog& log, const QString& title, int owner, const std::vector<QString>& texts,
                   const QFont& font, const std::string& picture = "") {
    const int window = log.WaitFocused(title);
    EXPECT_GE(window, 0) << "no focused window \"" << title.toStdString() << "\"; shown: " << log.Windows();
    if (window < 0) return -1;
    EXPECT_EQ(log[window].parent, owner)
        << "\"" << title.toStdString() << "\" has as parent \""
        << (log[window].parent >= 0 ? log[log[window].parent].title : QString()).toStdString() << "\"";
    // The texts are looked for at scale 1 only: text drawn at twice the size is hinted otherwise than the
    // test's own.
    std::vector<QString> missing = WaylandSession::Scale() == 1 ? texts : std::vector<QString>{};
    QImage shot;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
      shot = WaylandSession::Screenshot();
      const QImage windows = shot.copy(WaylandSession::Windows(shot));
      std::erase_if(missing, [&](const QString& t) { return ShowsText(windows, t, font); });
    } while (!missing.empty() && std::chrono::steady_clock::now() < end);
    for (const QString& t : missing) ADD_FAILURE() << "\"" << t.toStdString() << "\" is not on the screen";
    if (!picture.empty()) WaylandSession::Save(shot, picture);
    return window;
  }

  TempDir dir_;
  HostBuilder host_{dir_};
};

TEST_F(WaylandTest, BoxesAndTheSaveAsDialogHaveTheDialogAsParentAndTheKeyboard) {
  ProgramRun run(host_.path());
  ProtocolLog log(run);
  const QFont dialog_font = ui::DialogFont(*res::DialogTemplate(res::kIddConditions));
  const int dialog = ExpectWindow(log, kConditions, -1, {QStringLiteral("事業所名")}, dialog_font);
  ASSERT_GE(dialog, 0) << run.Err().substr(0, 2000);
  struct Step {
    const char* keys;  // sent to the dialog
    QString title;     // the window that comes over it
    QString text;      // one of its texts
    const char* answer;
  };
  const Step steps[] = {
      // Enter walks month -> check box -> path -> browse button, and Enter on the browse button browses.
      {"Return Return Return Return", kSaveAs, QStringLiteral("保存(&S)"), "Escape"},
      // Execute on the default path ("…*.xml"): refused.
      {"F12", kBoxTitle, QStringLiteral("データの出力先に不正な文字が含まれています。"), "Return"},
  };
  for (const Step& step : steps) {
    Desktop::Key(step.keys);
    ExpectWindow(log, step.title, dialog, {step.text}, QApplication::font());
    Desktop::Key(step.answer);
    // weston gives the keyboard back to the dialog a moment after the box is gone.
    ASSERT_TRUE(log.Wait([&] { return log.Focused() == dialog; })) << step.title.toStdString();
  }
  // Esc: the cancel notice over the dialog, then the run ends as cancelled.
  Desktop::Key("Escape");
  ExpectWindow(log, kBoxTitle, dialog, {QStringLiteral("｢科目内訳書｣の集計を中止します。")},
               QApplication::font());
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 1);
}

TEST_F(WaylandTest, TheMainPathFromTheDialogToTheCompletionBoxWritesTheBatchRunsReport) {
  // Enough rows for the progress window to be caught while it works.
  const std::string rows = "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 30000) ";
  host_.Exec(
      rows +
      "INSERT INTO accounts (data_no, account_id, name) SELECT 1, 2000000 + v * 10000, '科目' || v FROM n;" +
      rows +
      "INSERT INTO totals (data_no, account_id, slot, debit_ex) SELECT 1, 2000000 + v * 10000, 1, 10000 FROM "
      "n;");
  ProgramRun run(host_.path());
  ProtocolLog log(run);
  const QFont dialog_font = ui::DialogFont(*res::DialogTemplate(res::kIddConditions));
  const int dialog = ExpectWindow(log, kConditions, -1, {QStringLiteral("事業所名")}, dialog_font,
                                  "wayland-conditions-dialog");
  ASSERT_GE(dialog, 0) << run.Err().substr(0, 2000);
  Desktop::Key("Return Return");  // to the path edit, its text selected
  Desktop::Type("C:\\w.xml");
  Desktop::Key("F12");

  // The progress window at a fifth of the run or more: the program is stopped there for the picture.
  int progress = -1;
  ASSERT_TRUE(log.Wait(
      [&] {
        progress = log.Find(QStringLiteral("集計中 "), true);
        return progress >= 0 && log[progress].title.mid(4).chopped(1).toInt() >= 20;
      },
      60000))
      << log.Windows();
  // Stopped once that state is painted and handed over.
  const int commits = log.Commits(progress);
  ASSERT_TRUE(log.Wait([&] { return log.Commits(progress) > commits; }));
  kill(run.pid(), SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  WaylandSession::Save(WaylandSession::Screenshot(), "wayland-progress-window");
  kill(run.pid(), SIGCONT);

  // The completion box over the progress window, which owns it.
  ASSERT_TRUE(log.Wait([&] { return log.Find(kBoxTitle) >= 0; }, 60000));
  ExpectWindow(log, kBoxTitle, progress, {QStringLiteral("科目内訳書情報の出力が終了しました。")},
               QApplication::font(), "wayland-completion");
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 0) << run.Err().substr(0, 4000);

  // The same run in batch: the same bytes.
  const std::string batch = std::string(UW_BIN_DIR) + "/halvorack --host '" + host_.path() +
                            "' --batch --yes --output 'C:\\b.xml' >/dev/null 2>&1";
  ASSERT_EQ(std::system(batch.c_str()), 0);
  const std::string window_report = TempDir::Read(host_.drive_c() + "/w.xml");
  EXPECT_FALSE(window_report.empty());
  EXPECT_TRUE(window_report == TempDir::Read(host_.drive_c() + "/b.xml"));
}

}  // namespace
