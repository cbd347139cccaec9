// mixtool create and id, in process, below a temporary drives root.

#include "identity_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_maintenance.h"
#include "platform/testing/temp_drives.h"
#include "testing/other_run.h"

namespace {

class IdentityCommandsTest : public ::testing::Test {
 protected:
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(IdentityCommandsTest, CreateThenId) {
  ASSERT_EQ(mixtool::Create("c:\\gdata001\\", "1.00  Description", out_, err_),
            0)
      << err_.str();
  EXPECT_NE(out_.str().find("created c:\\gdata001\\\n"), std::string::npos);
  EXPECT_NE(out_.str().find("FVERS.DAT   1.00  Description\n"),
            std::string::npos)
      << out_.str();
  CMixtableEx ts;
  ts.SetDataDir("c:\\gdata001\\");
  ASSERT_TRUE(ts.SetParam("DATAID", "3014567805", ""));
  ASSERT_TRUE(ts.SetParam("ABS_DATAID", "1234567890", ""));
  out_.str("");
  ASSERT_EQ(mixtool::Id("c:\\gdata001", out_, err_), 0);
  EXPECT_NE(out_.str().find("DATAID      3014567805  (3014567805)\n"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("VERSION     1.05 (from DATAID; FVERS.DAT 1.00)"),
            std::string::npos)
      << out_.str();
}

TEST_F(IdentityCommandsTest, RefusedAndBusy) {
  EXPECT_EQ(mixtool::Create("c:\\", "", out_, err_), 2);
  EXPECT_NE(err_.str().find("-1 the directory is refused"), std::string::npos);
  EXPECT_EQ(mixtool::Id("c:\\nothing", out_, err_), 2);
  ASSERT_EQ(mixtool::Create("c:\\set", "", out_, err_), 0);
  mixtable_testing::OtherMaintenanceRun other("c:\\set");
  ASSERT_TRUE(other.ok());
  EXPECT_EQ(mixtool::Create("c:\\set", "", out_, err_), 3);
  EXPECT_NE(err_.str().find("-4 busy"), std::string::npos);
}

}  // namespace
