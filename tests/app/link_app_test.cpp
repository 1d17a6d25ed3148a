// Start-up and shutdown of the application object: the hand-shake, the environment check, the record
// lookup, the connection's calls and what the starting window receives.
#include "app/link_app.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "host/host_db.h"
#include "res/texts.h"
#include "tests/support/host_fixture.h"
#include "tests/support/in_process.h"
#include "tests/support/scripted_ui.h"
#include "win32/codepage.h"
#include "win32/current_directory.h"
#include "win32/drives.h"
#include "win32/ui_port.h"

namespace {
const res::StEdition& Halvorack() { return res::Edition(res::EditionId::kHalvorack); }

struct HandshakeCase {
  const char* text;
  int found;
  std::uint32_t window;
  std::uint32_t message;
  std::int16_t function_id;
  const char* fixed_path;
};

class LinkAppTest : public ::testing::Test {
 protected:
  // Runs start-up and shutdown as the process entry does, as a batch run that asks for month 3 and the
  // report C:\out.xml.
  void Run(ClLinkApp& app, const std::string& args) {
    StBatchInput batch;
    batch.m_bBatch = true;
    batch.m_bHasMonthTo = true;
    batch.m_strMonthTo = "3";
    batch.m_bHasOutput = true;
    batch.m_strOutput = "C:\\out.xml";
    app.SetBatchInput(batch);
    app.SetConsoleProgress(run_.ConsoleProgress());
    app.SetCommandLine(args);
    app.InitInstance();
    app.ExitInstance();
  }
  TempDir dir_;
  HostBuilder host_{dir_};
  InProcessRun run_{dir_, host_};
  win32::ScriptedUi& ui_ = run_.ui;
};
}  // namespace

TEST(HandshakeTest, ParsesTheFourFieldsAsTheStartingWindowWritesThem) {
  const HandshakeCase cases[] = {
      {"", 0, 0, 0, 1, ""},
      {"1234", 0, 0, 0, 1, ""},
      {"1234,1025,7", 0, 1234, 1025, 1, ""},  // two commas: no hand-shake, the fields read stay
      {"1234,1025,7,", 1, 1234, 1025, 7, ""},
      {"1234,1025,7,C:\\out\\a,b.xml", 1, 1234, 1025, 7, "C:\\out\\a,b.xml"},
      {"1234,1025,70000,", 1, 1234, 1025, 4464, ""},
      {"1234,1025,40000,", 1, 1234, 1025, -25536, ""},
      {"abc,x,y,", 1, 0, 0, 0, ""},
      {" -5,+1025,32767,p", 1, static_cast<std::uint32_t>(-5), 1025, 32767, "p"},
      // Beyond 32 bits the numbers saturate; the function id keeps the low 16 bits of the saturated value.
      {"4294968530,4294967297,2147483648,", 1, 0x7FFFFFFF, 0x7FFFFFFF, -1, ""},
      {"-4294967297,1025,-99999999999,", 1, 0x80000000, 1025, 0, ""},
  };
  for (const auto& c : cases) {
    ClLinkApp app(Halvorack());
    EXPECT_EQ(app.ParseCommandLine(c.text), c.found) << c.text;
    EXPECT_EQ(app.m_hStarterWnd, c.window) << c.text;
    EXPECT_EQ(app.m_nNotifyMsg, c.message) << c.text;
    EXPECT_EQ(app.m_nFunctionId, c.function_id) << c.text;
    EXPECT_EQ(app.m_strFixedOutputPath, c.fixed_path) << c.text;
  }
}

TEST(HandshakeTest, ALongTextIsParsedWhole) {
  const std::string path = "C:\\" + std::string(400, 'd') + "\\r.xml";
  ClLinkApp app(Halvorack());
  ASSERT_EQ(app.ParseCommandLine(("1,2,3," + path).c_str()), 1);
  EXPECT_EQ(app.m_strFixedOutputPath, path);
}

TEST_F(LinkAppTest, EnvironmentCheckOutcomes) {
  struct Case {
    const char* ini;  // nullptr: no file
    int result;
    res::TextId message;
  };
  const Case cases[] = {
      {nullptr, 0, res::TextId::kEnvInvalid},
      {"[Other]\r\nQV13_U=2\r\n", 0, res::TextId::kEnvProductTooOld},
      {"[ProgramLevel]\r\nOther=2\r\n", 0, res::TextId::kEnvProductTooOld},
      {"[ProgramLevel]\r\nQV13_U=\r\n", 0, res::TextId::kEnvInvalid},
      {"[ProgramLevel]\r\nQV13_U=2\r\n", 1, res::TextId::kCount_},
      {"[ProgramLevel]\r\nQV13_U=02\r\n", 1, res::TextId::kCount_},
      {"[ProgramLevel]\r\nQV13_U=+2\r\n", 1, res::TextId::kCount_},
      {"[ProgramLevel]\r\nQV13_U=2x\r\n", 1, res::TextId::kCount_},
      {"[ProgramLevel]\r\nQV13_U=0\r\n", 0, res::TextId::kEnvProductTooOld},
      {"[ProgramLevel]\r\nQV13_U=-1\r\n", 0, res::TextId::kEnvProductTooOld},
      {"[ProgramLevel]\r\nQV13_U=abc\r\n", 0, res::TextId::kEnvProductTooOld},
      {"[ProgramLevel]\r\nQV13_U=3\r\n", 0, res::TextId::kEnvComponentTooOld},
  };
  OpenHost(host_);
  ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\bin"));
  for (const auto& c : cases) {
    const std::string ini = dir_.Sub("c/bin/VornelDef.ini");
    std::remove(ini.c_str());
    if (c.ini != nullptr) dir_.Write("c/bin/VornelDef.ini", c.ini);
    ui_.boxes.clear();
    ClLinkApp app(Halvorack());
    app.m_hStarterWnd = 1234;
    EXPECT_EQ(app.CheckEnvironment(1), c.result) << (c.ini ? c.ini : "no file");
    if (c.result == 1) {
      EXPECT_TRUE(ui_.boxes.empty());
      continue;
    }
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, res::Text(c.message));
    EXPECT_EQ(ui_.boxes[0].caption, res::Text(res::TextId::kTitle));
    EXPECT_EQ(ui_.boxes[0].style, 0x30u);
    EXPECT_EQ(ui_.boxes[0].owner, 1234u);
    ui_.boxes.clear();
    EXPECT_EQ(app.CheckEnvironment(0), 0);  // asked for no message: shows none
    EXPECT_TRUE(ui_.boxes.empty());
  }
}

TEST_F(LinkAppTest, EnvironmentCheckFindsTheFileInAFolderEndingWithATrailBackslash) {
  OpenHost(host_);
  const std::string folder = win32::Sjis("表");  // 95 5C
  dir_.Write("c/表/VornelDef.ini", "[ProgramLevel]\r\nQV13_U=2\r\n");
  ASSERT_TRUE(win32::SetCurrentDirectoryA(("C:\\" + folder).c_str()));
  ClLinkApp app(Halvorack());
  EXPECT_EQ(app.CheckEnvironment(1), 1);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(LinkAppTest, FindsTheSelectedRecordOrLeavesItZeroFilled) {
  host_.Exec(
      "INSERT INTO companies (data_no, data_id, name, period_start, period_end) "
      "VALUES (9, 'D9', 'nine', 20220101, 20221231);"
      "UPDATE session SET selected_no2 = 9;");
  OpenHost(host_);
  ClLinkApp app(Halvorack());
  StDATAINFO info;
  std::memset(&info, 0x55, sizeof info);
  EXPECT_EQ(app.FindSelectedDataInfo(&info), 1);
  EXPECT_EQ(info.DataNo, 9);
  EXPECT_STREQ(info.CompanyName, "nine");
  EXPECT_EQ(info.PeriodEnd, 20221231);
  host_.Exec("UPDATE session SET selected_no2 = 3;");
  OpenHost(host_);
  app.m_pDataSet = nullptr;  // the set objects were the ended connection's
  std::memset(&info, 0x55, sizeof info);
  EXPECT_EQ(app.FindSelectedDataInfo(&info), 0);
  StDATAINFO zero{};
  EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
}

TEST_F(LinkAppTest, AWholeStartAndEndWithAHandshake) {
  StarterListener window;
  ClLinkApp app(Halvorack());
  app.m_resultRows.push_back(new StZANDAKAINFO{});
  Run(app, window.Handshake("1025,40000,"));
  EXPECT_EQ(app.m_nResult, 0);
  EXPECT_EQ(app.m_bStartedByWindow, 1);
  EXPECT_TRUE(app.m_resultRows.empty());
  EXPECT_NE(TempDir::Read(dir_.Sub("c/out.xml")).find("<REPORT"), std::string::npos);
  EXPECT_EQ(host::HostDb::Inst().Trace(),
            (std::vector<std::string>{"SetAppType 3", "SetUseDataType 1", "Initiate", "ExpSysLink", "LogOut",
                                      "Terminate", "Release"}));
  EXPECT_EQ(window.Drain(1000),
            (std::vector<std::string>{"ENABLE 0", "FOREGROUND", "ENABLE 1", "POST 1025 -25536 0"}));
  EXPECT_EQ(ClAccConnect::Inst()->m_hOwnerWnd, window.handle());
  EXPECT_STREQ(ClAccConnect::Inst()->m_pszTitle, res::Text(res::TextId::kTitle).c_str());
  // The program's folder became the current directory.
  char cwd[300];
  win32::GetCurrentDirectoryA(sizeof cwd, cwd);
  EXPECT_STREQ(cwd, "C:\\bin");
}

TEST_F(LinkAppTest, NothingIsPostedWithoutAHandshake) {
  StarterListener window;
  ClLinkApp app(Halvorack());
  Run(app, window.Handshake("1025,7"));
  EXPECT_EQ(app.m_bStartedByWindow, 0);
  EXPECT_EQ(app.m_nFunctionId, 1);
  EXPECT_TRUE(window.Drain(200).empty());
}

TEST_F(LinkAppTest, NothingIsPostedWhenTheConnectionCannotStart) {
  host::HostDb::SetPath(dir_.Sub("absent.sqlite"));
  StarterListener window;
  ClLinkApp app(Halvorack());
  Run(app, window.Handshake("1025,7,"));
  EXPECT_FALSE(app.Initiated());
  EXPECT_EQ(app.m_nResult, 0);
  EXPECT_TRUE(window.Drain(200).empty());
  EXPECT_EQ(host::HostDb::Inst().Trace(),
            (std::vector<std::string>{"SetAppType 3", "SetUseDataType 1", "Initiate", "LogOut", "Terminate",
                                      "Release"}));
}

TEST_F(LinkAppTest, AFailedEnvironmentCheckEndsWithTwoAndTellsTheWindow) {
  std::remove(dir_.Sub("c/bin/VornelDef.ini").c_str());
  StarterListener window;
  ClLinkApp app(Halvorack());
  Run(app, window.Handshake("1025,7,"));
  EXPECT_EQ(app.m_nResult, 2);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].owner, window.handle());
  EXPECT_EQ(window.Last(1000), "POST 1025 7 2");
}

TEST_F(LinkAppTest, LinkOutcomesFromTheFaultsTable) {
  for (const auto& [result, expected] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{-3, 2}}) {
    host_.Exec("DELETE FROM faults; INSERT INTO faults VALUES ('ExpSysLink', 0, " + std::to_string(result) +
               ");");
    StarterListener window;
    ClLinkApp app(Halvorack());
    Run(app, window.Handshake("1025,7,"));
    EXPECT_EQ(app.m_nResult, expected) << result;
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_EQ(window.Last(1000), "POST 1025 7 " + std::to_string(expected));
  }
}

TEST(EditionTest, TheThreeEditionsDifferOnlyByTheirTable) {
  const auto& h = res::Edition(res::EditionId::kHalvorack);
  const auto& d = res::Edition(res::EditionId::kDremmick);
  const auto& f = res::Edition(res::EditionId::kFennowal);
  EXPECT_EQ(h.app_type, 3);
  EXPECT_EQ(d.app_type, 0);
  EXPECT_EQ(f.app_type, 4);
  EXPECT_STREQ(h.settings_file, "Halvorack.env");
  EXPECT_STREQ(d.settings_file, "Dremmick.env");
  EXPECT_STREQ(f.settings_file, "Fennowal.env");
  EXPECT_STREQ(h.key_format, "%s/%d/%s:");
  EXPECT_STREQ(d.key_format, "%s/%s:");
  EXPECT_STREQ(f.key_format, "%s/%s:");
  EXPECT_EQ(res::DefaultProductName(h), win32::Sjis("Taliskor２２ Meridon"));
  EXPECT_EQ(res::DefaultProductName(d), win32::Sjis("Taliskor２２"));
  EXPECT_EQ(res::DefaultProductName(f), win32::Sjis("Taliskor２２ Sanvelle"));
}
