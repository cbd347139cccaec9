#include "catalog_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "mixtable/wy_catalog.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace mixtool {
namespace {

class CatalogCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->UnsetEnv("LOCALDIR");
    Wy_ResetAbsDataIdCache();
  }
  void DataSet(const std::string& dir, bool hidden) {
    mixtable_testing::DataSetBuilder b(dir);
    ASSERT_TRUE(b.Create(Y_CNTS));
    ASSERT_TRUE(b.Create(Y_PARAM));
    if (hidden) {
      ASSERT_TRUE(b.Append(Y_PARAM, {{"KEY", "FRM_HIDDEN"}, {"VALUE", "1"}}));
    }
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(CatalogCommandTest, ScanThenList) {
  EXPECT_EQ(1, Catalog(out_, err_));
  EXPECT_EQ(err_.str(), "mixtool: no catalogue c:\\local\\datactl.dbf\n");
  DataSet("c:\\roots\\alpha\\", false);
  DataSet("c:\\roots\\beta\\", true);
  std::ostringstream scan, list;
  err_.str("");
  ASSERT_EQ(0, CatalogScan("c:\\roots", scan, err_)) << err_.str();
  EXPECT_NE(scan.str().find("C:\\ROOTS\\ALPHA"), std::string::npos);
  EXPECT_NE(scan.str().find("2 data sets registered\n"), std::string::npos);
  char path[] = "c:\\served";
  ASSERT_EQ(2, Wy_UpdateDatactl(9, 1, path, "Served"));
  ASSERT_EQ(0, Catalog(list, err_)) << err_.str();
  const std::string s = list.str();
  EXPECT_NE(s.find("         1  C:\\ROOTS\\ALPHA"), std::string::npos) << s;
  EXPECT_NE(s.find("hidden\n"), std::string::npos) << s;
  EXPECT_NE(s.find("         9  C:\\SERVED"), std::string::npos) << s;
  EXPECT_NE(s.find("local      1"), std::string::npos) << s;
  EXPECT_EQ(1, CatalogScan("c:\\roots", scan, err_));
  EXPECT_NE(err_.str().find("exists"), std::string::npos);
}

}  // namespace
}  // namespace mixtool
