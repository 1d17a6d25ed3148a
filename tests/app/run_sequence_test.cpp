// The run sequence in process: what happens between the dialog and the writing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "app/link_app.h"
#include "host/host_db.h"
#include "res/texts.h"
#include "tests/support/host_fixture.h"
#include "tests/support/in_process.h"
#include "tests/support/scripted_ui.h"
#include "win32/drives.h"
#include "win32/replace_file.h"
#include "win32/ui_port.h"

namespace {
// Removes the output folder after the dialog accepted it, before anything is written.
class FolderRemovingApp : public ClLinkApp {
 public:
  FolderRemovingApp(std::string folder)
      : ClLinkApp(res::Edition(res::EditionId::kHalvorack)), m_strFolder(std::move(folder)) {}

 protected:
  int RunConditions(ClConditionDlg& dialog) override {
    const int result = ClLinkApp::RunConditions(dialog);
    std::filesystem::remove_all(m_strFolder);
    return result;
  }

 private:
  std::string m_strFolder;
};
}  // namespace

TEST(RunSequenceTest, AnOutputFolderRemovedBeforeTheWritingFailsTheRun) {
  TempDir dir;
  HostBuilder host(dir);
  dir.Write("c/out/keep", "");
  dir.Write("c/Settings/Halvorack.env", "user1/7/D0000001:0/5/C:\\keep.xml\n");
  std::optional<InProcessRun> run(std::in_place, dir, host);

  FolderRemovingApp app(dir.Sub("c/out"));
  StBatchInput batch;
  batch.m_bBatch = true;
  batch.m_bHasOutput = true;
  batch.m_strOutput = "C:\\out\\r.xml";
  app.SetBatchInput(batch);
  app.SetConsoleProgress(run->ConsoleProgress());
  EXPECT_FALSE(app.InitInstance());
  app.ExitInstance();
  const win32::ScriptedUi boxes = run->ui;
  run.reset();

  EXPECT_EQ(app.m_nResult, 2);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_EQ(boxes.boxes.back().text, res::Text(res::TextId::kWriteFailed));
  EXPECT_EQ(boxes.boxes.back().style, 0x30u);
  EXPECT_FALSE(std::filesystem::exists(dir.Sub("c/out")));
  EXPECT_EQ(TempDir::Read(dir.Sub("c/Settings/Halvorack.env")), "user1/7/D0000001:0/5/C:\\keep.xml\n");
}

// An error closing (or syncing, or renaming) the report fails the run like any other write error: the
// failure message, result 2, the earlier report and the settings left as they were.
TEST(RunSequenceTest, AReportThatCannotBeClosedFailsTheRun) {
  for (const char* step : {"fsync", "close", "rename"}) {
    SCOPED_TRACE(step);
    TempDir dir;
    HostBuilder host(dir);
    dir.Write("c/r.xml", "earlier");
    dir.Write("c/Settings/Halvorack.env", "user1/7/D0000001:0/5/C:\\keep.xml\n");
    std::optional<InProcessRun> run(std::in_place, dir, host);
    win32::SetReplaceHookForTesting(
        [step](const char* now) { return std::strcmp(now, step) == 0 ? EIO : 0; });
    ClLinkApp app(res::Edition(res::EditionId::kHalvorack));
    StBatchInput batch;
    batch.m_bBatch = true;
    batch.m_bHasOutput = true;
    batch.m_strOutput = "C:\\r.xml";
    app.SetBatchInput(batch);
    app.SetConsoleProgress(run->ConsoleProgress());
    EXPECT_FALSE(app.InitInstance());
    app.ExitInstance();
    win32::SetReplaceHookForTesting(nullptr);
    const win32::ScriptedUi boxes = run->ui;
    run.reset();

    EXPECT_EQ(app.m_nResult, 2);
    ASSERT_FALSE(boxes.boxes.empty());
    EXPECT_EQ(boxes.boxes.back().text, res::Text(res::TextId::kWriteFailed));
    EXPECT_EQ(TempDir::Read(dir.Sub("c/r.xml")), "earlier");
    EXPECT_EQ(TempDir::Read(dir.Sub("c/Settings/Halvorack.env")), "user1/7/D0000001:0/5/C:\\keep.xml\n");
    EXPECT_TRUE(LeftTempFiles(dir.Sub("c")).empty());
  }
}
