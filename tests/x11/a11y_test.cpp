// What a screen reader hears: the program's windows read over AT-SPI (a session bus and an accessibility
// bus of the test's own, the program with Qt's accessibility on) by tests/x11/atspi_probe.py, while keys
// go through XTEST as a user types them.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/x11/desktop.h"

namespace {

const QString kConditions = QStringLiteral("科目内訳書 - 集計条件");
const QString kBoxTitle = QStringLiteral("科目内訳書");

// A company whose run lasts a few seconds, and the slowest answer a screen reader may get meanwhile. The
// sanitizer build runs the program several times slower, its steps without a paint as well.
#ifdef UW_SANITIZED_BUILD
constexpr int kLargeRows = 30000;
constexpr int kAnswerMs = 1000;
#else
constexpr int kLargeRows = 150000;
constexpr int kAnswerMs = 300;
#endif

class A11yTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    if (!AccessibilityBus::Start(&error)) GTEST_FAIL() << error;
    setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
  }
  static void TearDownTestSuite() {
    unsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    AccessibilityBus::Stop();
  }

  // A company of `rows` report rows (tools/gen_host), drive C: its folder.
  std::string MakeHost(int rows) {
    const std::string host = dir_.path() + "/host.sqlite";
    const std::string command = std::string(UW_GEN_HOST) + " '" + host + "' " + std::to_string(rows) + " '" +
                                dir_.path() + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return host;
  }

  // The probe started on the program: its output read line by line (its complaints go to standard error).
  static FILE* Probe(const std::string& args) {
    const std::string command = "/usr/bin/python3 " UW_SOURCE_DIR "/tests/x11/atspi_probe.py " + args;
    return popen(command.c_str(), "r");
  }
  static std::string Line(FILE* probe) {
    char buf[4096];
    if (std::fgets(buf, sizeof buf, probe) == nullptr) return {};
    std::string line(buf);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  static std::vector<std::string> Lines(const std::string& args) {
    FILE* probe = Probe(args);
    std::vector<std::string> lines;
    for (std::string l = Line(probe); !l.empty(); l = Line(probe)) lines.push_back(l);
    pclose(probe);
    return lines;
  }

  TempDir dir_;
  Desktop desk_;
};

TEST_F(A11yTest, EveryControlOfTheDialogAndItsBoxHasItsRoleNameAndShortcut) {
  ProgramRun run(MakeHost(10));
  ASSERT_NE(desk_.WaitFor(kConditions).id, 0u) << run.Err();
  const std::string pid = std::to_string(run.pid());
  // role, name, shortcut, labelled by, description: depth first as a screen reader walks the window.
  const std::vector<std::string> expected = {
      "dialog\t科目内訳書 - 集計条件\t\t\t",
      "label\t事業所名\t\t\t",
      "label\t株式会社計測\t\t事業所名/：\t事業所名",
      "label\t会計期間\t\t\t",
      "label\t2023/04/01～2024/03/31\t\t会計期間/：\t会計期間",
      "label\t集計期間\t\t\t",
      "label\t月度\t\t\t",
      "label\t4\t\t集計期間/：\t集計期間",
      "label\t～\t\t\t",
      "label\t月度(E)\t\t\t",
      "text\t月度(E)\tAlt+E\t月度(E)\t",
      "check box\t税込みで集計する。(Z)\tAlt+Z\t\t",
      "panel\t出力先(O)\t\t\t",
      "text\t出力先(O)\tAlt+O\t出力先(O)\t",
      "push button\t参照(D)...\tAlt+D\t\t",
      "push button\t実行(F12)\t\t\t",
      "push button\tキャンセル(Esc)\t\t\t",
      "label\t：\t\t\t",
      "label\t：\t\t\t",
      "label\t：\t\t\t",
  };
  EXPECT_EQ(Lines("tree " + pid + " '" + kConditions.toStdString() + "'"), expected);

  // Esc: the cancel notice is an alert whose icon is named.
  Desktop::Key("Escape");
  ASSERT_NE(desk_.WaitFor(kBoxTitle, 10000).id, 0u);
  const std::vector<std::string> box = Lines("tree " + pid + " " + kBoxTitle.toStdString());
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(box.front(), "alert\t科目内訳書\t\t\t");
  EXPECT_NE(std::find(box.begin(), box.end(), "image\t情報\t\t\t"), box.end())
      << ::testing::PrintToString(box);
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(), 1) << run.Err();
}

TEST_F(A11yTest, TheRunIsHeardAndAnswersWhileItWorks) {
  ProgramRun run(MakeHost(kLargeRows));
  ASSERT_NE(desk_.WaitFor(kConditions).id, 0u) << run.Err();
  FILE* probe = Probe("run " + std::to_string(run.pid()) + " 集計中 60");
  ASSERT_EQ(Line(probe), "ready");
  Desktop::Key("Return Return");  // to the path edit, its text selected
  Desktop::Type("C:\\a11y.xml");
  Desktop::Key("F12");
  std::map<std::string, std::string> heard;
  std::string said;  // the probe's whole answer, for a failure's message
  for (std::string l = Line(probe); !l.empty(); l = Line(probe)) {
    said += l + "\n";
    const std::size_t blank = l.find(' ');
    heard[l.substr(0, blank)] = blank == std::string::npos ? "" : l.substr(blank + 1);
  }
  pclose(probe);
  SCOPED_TRACE(said);
  EXPECT_EQ(heard["window"], "dialog");
  EXPECT_EQ(heard["bars"], "progress bar,progress bar");
  // The overall bar's values as read while it works (it stands during the walk and the rows): rising.
  std::istringstream values(heard["overall"]);
  std::vector<double> overall;
  for (double v; values >> v;) overall.push_back(v);
  EXPECT_GE(overall.size(), 2u);
  EXPECT_TRUE(std::is_sorted(overall.begin(), overall.end()));
  EXPECT_GE(std::atoi(heard["captions"].c_str()), 2);  // its percentages as they change
  EXPECT_GT(std::atoi(heard["value_events"].c_str()), 0);
  EXPECT_GT(std::atoi(heard["name_events"].c_str()), 0);
  ASSERT_FALSE(heard["max_query_ms"].empty());
  EXPECT_LE(std::atoi(heard["max_query_ms"].c_str()), kAnswerMs);

  ASSERT_NE(desk_.WaitFor(kBoxTitle, 60000).id, 0u) << run.Err();
  Desktop::Key("Return");
  EXPECT_EQ(run.Wait(60000), 0) << run.Err();
}

}  // namespace
