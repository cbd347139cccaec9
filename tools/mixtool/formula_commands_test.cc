#include "formula_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace mixtool {
namespace {

class FormulaCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(FormulaCommandsTest, Frm) {
  ASSERT_EQ(0, Frm("c:\\gdata\\", 1, 1, 20, out_, err_)) << err_.str();
  const std::string s = out_.str();
  EXPECT_NE(s.find("stored   1 10.0\n"), std::string::npos) << s;
  EXPECT_NE(s.find("read     1,10  (after the ruler)\n"), std::string::npos)
      << s;
  EXPECT_EQ(1, Frm("c:\\gdata\\", 1, 1, 99, out_, err_));
  EXPECT_EQ(err_.str(), "mixtool: no formula 99\n");
}

TEST_F(FormulaCommandsTest, Mask) {
  ASSERT_EQ(0, Mask("c:\\gdata\\", 1, 1, "BA", out_, err_)) << err_.str();
  EXPECT_EQ(out_.str(), "1\n");
  out_.str("");
  ASSERT_EQ(0, Mask("c:\\gdata\\", 2, 1, "CO", out_, err_));
  EXPECT_EQ(out_.str(), "1 2 3\n");
  out_.str("");
  EXPECT_EQ(1, Mask("c:\\gdata\\", 2, 1, "XX", out_, err_));
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "mixtool: unknown mask type \"XX\" (BA, CO or CA)\n");
  EXPECT_EQ(1, Mask("c:\\gdata\\", 7, 1, "BA", out_, err_));
}

TEST_F(FormulaCommandsTest, ColorKeysAndCans) {
  ASSERT_EQ(0, ColorKeys("c:\\gdata\\", out_, err_)) << err_.str();
  EXPECT_NE(out_.str().find("COLORKEY 5 records\n"), std::string::npos)
      << out_.str();
  out_.str("");
  ASSERT_EQ(0, Cans("c:\\gdata\\", out_, err_)) << err_.str();
  const std::string s = out_.str();
  EXPECT_NE(s.find("can 1 size 0 exact 0 by volume"), std::string::npos) << s;
  EXPECT_NE(s.find("single product 0\n"), std::string::npos) << s;
  EXPECT_NE(s.find("html C:\\HTMLDATA\\ (default)\n"), std::string::npos) << s;
}

}  // namespace
}  // namespace mixtool
