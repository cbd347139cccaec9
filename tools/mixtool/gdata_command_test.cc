#include "gdata_command.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace mixtool {
namespace {

class GdataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(GdataTest, ListsTheTablesOfEveryLevel) {
  ASSERT_EQ(0, Gdata("c:\\gdata", out_, err_)) << err_.str();
  const std::string s = out_.str();
  for (const char* want :
       {"data set c:\\gdata\\\n", "phase 1, root: c:\\gdata\\\n",
        "  PRODUCTS          3 records\n", "  CNT_KS            4 records\n",
        "phase 2, product 1: c:\\gdata\\p1\\\n",
        "phase 3, product 1, sub-product 1: c:\\gdata\\p1\\s1\\\n",
        "  FRM               2 records\n", "  RULER             0 records\n",
        "phase 3, product 2, sub-product 1: c:\\gdata\\p2\\s1\\\n",
        "  MASK              1 record\n"})
    EXPECT_NE(s.find(want), std::string::npos) << want << "\n" << s;
  EXPECT_EQ(s.find("do not open"), std::string::npos);
  EXPECT_EQ(err_.str(), "");
}

TEST_F(GdataTest, ReportsTablesThatDoNotOpen) {
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(env->OpenFile("c:\\gdata\\p1\\s2\\frm_refl.dbf",
                            platform::OpenMode::kCreateAlways, &f)
                  .ok());
  ASSERT_TRUE(f->WriteAt(0, "garbage", 7).ok());
  f.reset();
  ASSERT_TRUE(env->CopyFile("c:\\gdata\\frm_refl.dbf",
                            "c:\\gdata\\p2\\frm_refl.dbf", false)
                  .ok());
  EXPECT_EQ(1, Gdata("c:\\gdata\\", out_, err_));
  const std::string s = out_.str();
  EXPECT_NE(
      s.find("tables that do not open:\n  c:\\gdata\\p1\\s2\\frm_refl.dbf: "),
      std::string::npos)
      << s;
  EXPECT_NE(
      s.find("c:\\gdata\\p2\\frm_refl.dbf: not beside the FRM.DBF in use"),
      std::string::npos)
      << s;
  EXPECT_EQ(err_.str(), "mixtool: 2 tables do not open\n");
}

TEST_F(GdataTest, AMissingDirectoryIsOneLine) {
  EXPECT_EQ(1, Gdata("c:\\nothing", out_, err_));
  EXPECT_EQ(err_.str(), "mixtool: no directory c:\\nothing\n");
  EXPECT_EQ(out_.str(), "");
}

}  // namespace
}  // namespace mixtool
