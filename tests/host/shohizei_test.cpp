// The consumption-tax settings set over the host database's companies.
#include "platform/shohizei.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/host_db.h"
#include "tests/support/host_fixture.h"

namespace {

class ShohizeiTest : public ::testing::Test {
 protected:
  // Get through the data manager's set object, as the conditions dialog does, on the given data ID.
  long Get(const char* data_id, StSHOHIZEIINFO* info) {
    auto* set = static_cast<ClSetShohizei*>(ClDataMgr::Inst()->GetSetObject(4, 1));
    EXPECT_NE(set, nullptr);
    if (set == nullptr) return -1;
    EXPECT_EQ(set->AttachSetMgr(ClDataMgr::Inst()->GetSetMgr()), 0);
    set->SetCurDataID(data_id);
    std::memset(info, 0xAA, sizeof *info);
    return set->Get(info);
  }

  TempDir dir_;
  HostBuilder host_{dir_};
  HostGuard guard_;
};

TEST_F(ShohizeiTest, ByteFiveIsTheCompanysTaxInclusiveFlagAndTheRestIsZero) {
  host_.Exec(
      "UPDATE companies SET tax_included = 1 WHERE data_no = 1;"
      "INSERT INTO companies (data_no, data_id, name, period_start, period_end, tax_included) VALUES "
      "(2, 'D0000002', 'Zero', 20230101, 20231231, 0), (3, 'D0000003', 'Five', 20230101, 20231231, 5);");
  OpenHost(host_);
  StSHOHIZEIINFO info;
  ASSERT_EQ(Get("D0000001", &info), 0);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&info);
  for (std::size_t i = 0; i < sizeof info; ++i) EXPECT_EQ(bytes[i], i == 5 ? 1 : 0) << "byte " << i;
  ASSERT_EQ(Get("D0000002", &info), 0);
  EXPECT_EQ(info.TaxIncluded, 0);
  ASSERT_EQ(Get("D0000003", &info), 0);
  EXPECT_EQ(info.TaxIncluded, 1);
}

TEST_F(ShohizeiTest, NoSettingsAnUnknownCompanyAndTheFaultAnswerNonZeroAndLeaveTheRecord) {
  host_.Exec("UPDATE companies SET tax_included = NULL WHERE data_no = 1;");
  OpenHost(host_);
  StSHOHIZEIINFO info;
  EXPECT_EQ(Get("D0000001", &info), kPlatformNoTaxSettings);
  EXPECT_EQ(info.TaxIncluded, 0xAA);
  EXPECT_EQ(Get("NOSUCH", &info), kPlatformNoCompany);
  EXPECT_EQ(info.TaxIncluded, 0xAA);
}

TEST_F(ShohizeiTest, TheShohizeiGetFaultAnswersItsResult) {
  host_.Exec("UPDATE companies SET tax_included = 1; INSERT INTO faults VALUES ('ShohizeiGet', 1, 77);");
  OpenHost(host_);
  StSHOHIZEIINFO info;
  EXPECT_EQ(Get("D0000001", &info), 0);
  EXPECT_EQ(info.TaxIncluded, 1);
  EXPECT_EQ(Get("D0000001", &info), 77);
  EXPECT_EQ(info.TaxIncluded, 0xAA);
}

}  // namespace
