// The host database: the session, the companies, the drive table, texts and simulated failures.
#include "host/host_db.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "tests/support/host_fixture.h"
#include "tests/support/scripted_ui.h"
#include "win32/codepage.h"
#include "win32/drives.h"
#include "win32/ui_port.h"

namespace {
class HostDbTest : public ::testing::Test {
 protected:
  void TearDown() override {
    host::HostDb::Inst().Close();
    win32::Drives().Set({});
  }
  std::string OpenError() {
    host::HostDb::Inst().SetPath(host_.path());
    std::string error;
    EXPECT_FALSE(host::HostDb::Inst().Open(&error));
    return error;
  }
  TempDir dir_;
  HostBuilder host_{dir_};
};
}  // namespace

TEST_F(HostDbTest, ReadsTheSessionAndConvertsTexts) {
  OpenHost(host_);
  const auto& s = host::HostDb::Inst().session();
  EXPECT_EQ(s.user_id, "user1");
  EXPECT_EQ(s.selected_no, 7);
  EXPECT_EQ(s.selected_no2, 1);
  ASSERT_EQ(host::HostDb::Inst().companies().size(), 1u);
  EXPECT_EQ(host::HostDb::Inst().companies()[0].name, win32::Sjis("テスト商事"));
  std::string linux_path;
  ASSERT_TRUE(win32::Drives().ToLinux("C:\\x", &linux_path));
  EXPECT_EQ(linux_path, dir_.Sub("c/x"));  // relative roots are relative to the database's folder
}

TEST_F(HostDbTest, TakesABlobAsCodePage932Bytes) {
  host_.Exec("UPDATE companies SET name = X'955C83BF';");
  OpenHost(host_);
  EXPECT_EQ(host::HostDb::Inst().companies()[0].name, "\x95\x5C\x83\xBF");
}

TEST_F(HostDbTest, RefusesBadSessionsAndTextsWithAClearError) {
  host_.Exec("DELETE FROM session;");
  EXPECT_NE(OpenError().find("session table has no row"), std::string::npos);
  host_.Exec("INSERT INTO session VALUES ('a',1,1,'','',''), ('b',1,1,'','','');");
  EXPECT_NE(OpenError().find("more than one row"), std::string::npos);
  host_.Exec("DELETE FROM session WHERE user_id='b';");
  host_.Exec("UPDATE companies SET name = 'a😀';");
  const std::string no_form = OpenError();
  EXPECT_NE(no_form.find("companies row data_no 1 column name"), std::string::npos) << no_form;
  EXPECT_NE(no_form.find("Shift_JIS"), std::string::npos);
  host_.Exec("UPDATE companies SET name = printf('%.300c', 'x');");
  EXPECT_NE(OpenError().find("300 bytes, at most 259"), std::string::npos);
  host_.Exec("UPDATE companies SET name = 'ok', data_id = printf('%.40c', 'd');");
  EXPECT_NE(OpenError().find("column data_id"), std::string::npos);
  host_.Exec("UPDATE companies SET data_id = 'D1'; UPDATE session SET user_id = printf('%.100c', 'u');");
  EXPECT_NE(OpenError().find("column user_id"), std::string::npos);
  host_.Exec("UPDATE session SET user_id = 'u', app_folder = X'82';");
  EXPECT_NE(OpenError().find("not code page 932"), std::string::npos);
}

TEST_F(HostDbTest, ValuesBeyondTheirFieldAreRefusedByTableRowAndColumn) {
  const struct {
    const char* sql;
    const char* error;
  } cases[] = {
      {"UPDATE companies SET period_end = 20240230;",
       "companies row data_no 1 column period_end: 20240230 is no calendar date (yyyymmdd)"},
      {"UPDATE companies SET period_end = 20230331;",
       "companies row data_no 1 column period_end: 20230331 is before the period's start 20230401"},
      {"UPDATE companies SET period_start = 'abc';",
       "companies row data_no 1 column period_start: a text where a number is expected"},
      {"UPDATE companies SET period_option = 1.5;",
       "companies row data_no 1 column period_option: 1.5 is not a whole number"},
      {"UPDATE companies SET data_kind = 65635;",
       "companies row data_no 1 column data_kind: 65635 does not fit its field (-32768 to 32767)"},
      {"UPDATE session SET selected_no2 = 4294967297;",
       "session row 1 column selected_no2: 4294967297 does not fit its field (-2147483648 to 2147483647)"},
      {"UPDATE session SET package_name = 'P' || char(27);",
       "session row 1 column package_name: the text holds the control character 0x1B"},
      {"UPDATE companies SET name = 'a' || char(11) || 'b';",
       "companies row data_no 1 column name: the text holds the control character 0x0B"},
      // A key or a folder holds no tab or line break.
      {"UPDATE session SET user_id = 'u' || char(9);",
       "session row 1 column user_id: the text holds the control character 0x09"},
      {"UPDATE companies SET data_id = 'D' || char(10);",
       "companies row data_no 1 column data_id: the text holds the control character 0x0A"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    HostBuilder host(dir);
    host.Exec(c.sql);
    host::HostDb::Inst().SetPath(host.path());
    std::string error;
    EXPECT_FALSE(host::HostDb::Inst().Open(&error)) << c.sql;
    EXPECT_EQ(error, "host database " + host.path() + ": " + c.error) << c.sql;
  }
}

TEST_F(HostDbTest, MissingOrMalformedFilesFail) {
  host_.Exec("DROP TABLE companies;");
  EXPECT_NE(OpenError().find("no such table: companies"), std::string::npos);
  host::HostDb::Inst().SetPath(dir_.Sub("absent.sqlite"));
  std::string error;
  EXPECT_FALSE(host::HostDb::Inst().Open(&error));
  EXPECT_NE(error.find("no such file"), std::string::npos);
  host::HostDb::Inst().SetPath(dir_.Write("junk.sqlite", std::string(4096, 'j')));
  EXPECT_FALSE(host::HostDb::Inst().Open(&error));
  EXPECT_NE(error.find("junk.sqlite"), std::string::npos);
}

TEST_F(HostDbTest, WorksWithoutTheOptionalTables) {
  host_.Exec("DROP TABLE faults; DROP TABLE drives;");
  OpenHost(host_);
  long result = 0;
  EXPECT_FALSE(host::HostDb::Inst().Fault("ExpSysLink", &result));
  std::string out;
  EXPECT_FALSE(win32::Drives().ToLinux("C:\\x", &out));
  EXPECT_TRUE(win32::Drives().ToLinux("Z:\\x", &out));
}

TEST_F(HostDbTest, AFaultRowFailsTheOperationAfterItsSuccesses) {
  host_.Exec("INSERT INTO faults VALUES ('MoveNext', 2, 7);");
  OpenHost(host_);
  long result = 0;
  EXPECT_FALSE(host::HostDb::Inst().Fault("MoveNext", &result));
  EXPECT_FALSE(host::HostDb::Inst().Fault("MoveNext", &result));
  EXPECT_TRUE(host::HostDb::Inst().Fault("MoveNext", &result));
  EXPECT_EQ(result, 7);
  EXPECT_TRUE(host::HostDb::Inst().Fault("MoveNext", &result));
  EXPECT_FALSE(host::HostDb::Inst().Fault("GetSumCount", &result));
}

TEST_F(HostDbTest, PlatformObjectsDeliverTheSelectionAndFolders) {
  host_.Exec(
      "INSERT INTO companies (data_no, data_id, name, period_start, period_end, data_kind) "
      "VALUES (2, 'D2', 'second', 20230101, 20231231, 99);"
      "UPDATE session SET selected_no2 = 2, app_folder = X'433A5C955C', settings_folder = '';");
  OpenHost(host_);
  auto* data = static_cast<ClSetData*>(ClDataMgr::Inst()->GetSetObject(5, 1));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->GetSelectedInfo()->DataNo, 2);
  EXPECT_EQ(data->GetSelectedInfo()->DataKind, 99);
  char id[35];
  ClUtyDBHpr::Inst()->MakeIDStr(data->GetSelectedInfo(), id);
  EXPECT_STREQ(id, "D2");
  // A folder ending in a double-byte character whose trail byte is 0x5C still gets its backslash.
  EXPECT_EQ(ClFileMgr::Inst()->GetAppFolderPath(0), "C:\\\x95\x5C\\");
  EXPECT_EQ(ClFileMgr::Inst()->GetAppFolderPath(1), "");
  host::HostDb::Inst().Close();
  host_.Exec("UPDATE session SET selected_no2 = 5;");
  OpenHost(host_);
  StDATAINFO zero{};
  EXPECT_EQ(std::memcmp(data->GetSelectedInfo(), &zero, sizeof zero), 0);
}

TEST_F(HostDbTest, DispMsgNamesThePackageInPlaceOfThePlaceholder) {
  host_.Exec("UPDATE session SET package_name = 'Pkg';");
  OpenHost(host_);
  win32::ScriptedUi ui;
  win32::UiPort* old = win32::SetUi(&ui);
  ClAccConnect::Inst()->DispMsg(42, "ES_APRPACKAGENAME and ES_APRPACKAGENAME", "cap", 0x30);
  win32::SetUi(old);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Pkg and Pkg");
  EXPECT_EQ(ui.boxes[0].owner, 42u);
  EXPECT_EQ(ui.boxes[0].style, 0x30u);
}
