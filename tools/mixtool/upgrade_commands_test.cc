// mixtool check and upgrade on the sample data set, in process: exit
// statuses, the summary, one progress line per table off a terminal, and
// the restore of an interrupted run.

#include "upgrade_commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "mixtable/wy_maintenance.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "testing/other_run.h"

namespace mixtool {
namespace {

// The data set and the log of these tests. Windows has no drives root (c:
// is the wine prefix's own drive, shared by every test of a run): a
// directory of their own, emptied before and after each test.
constexpr const char* kTop = "c:\\mixupg";

// Writes text into the file path.
void Write(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(platform::Env::Current()
                  ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
                  .ok())
      << path;
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok()) << path;
}

class UpgradeCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env* env = platform::Env::Current();
    env->DeleteTree(kTop);
    std::string error;
    ASSERT_TRUE(
        mixtable_testing::BuildSampleDataSet("c:\\mixupg\\gdata\\", &error))
        << error;
    env->CreateDir("c:\\mixupg\\log");
    env->SetEnv("KALVO_LOGDIR", "c:\\mixupg\\log\\");
  }
  void TearDown() override {
    platform::Env::Current()->UnsetEnv("KALVO_LOGDIR");
    platform::Env::Current()->DeleteTree(kTop);
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(UpgradeCommandsTest, UpgradeThenCheckAreCleanWithProgressLines) {
  EXPECT_EQ(CheckOrUpgrade("c:\\mixupg\\gdata", 1, out_, err_), 0)
      << err_.str();
  EXPECT_NE(out_.str().find("mode 1: "), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("signature recorded"), std::string::npos);
  EXPECT_NE(out_.str().find("log: c:\\mixupg\\log\\MIXTABLE.LOG"),
            std::string::npos);
  // Not a terminal: one line per table ("PERCENT% PATH").
  EXPECT_NE(err_.str().find("% c:\\mixupg\\gdata\\"), std::string::npos)
      << err_.str();
  EXPECT_EQ(err_.str().find('\r'), std::string::npos);
  out_.str("");
  EXPECT_EQ(CheckOrUpgrade("c:\\mixupg\\gdata", 0, out_, err_), 0);
  EXPECT_NE(out_.str().find("mode 0: "), std::string::npos) << out_.str();
}

TEST_F(UpgradeCommandsTest, RefusedBusyAndUnrestorable) {
  EXPECT_EQ(CheckOrUpgrade("c:\\mixupg\\none", 1, out_, err_), 2);
  EXPECT_NE(err_.str().find("-1 the directory does not exist"),
            std::string::npos);
  {
    // Another process holds the run.
    mixtable_testing::OtherMaintenanceRun other("c:\\mixupg\\gdata");
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(CheckOrUpgrade("c:\\mixupg\\gdata", 0, out_, err_), 3);
    EXPECT_EQ(RestoreInterrupted("c:\\mixupg\\gdata", out_, err_), 3);
  }
  // A journal naming a path outside the set.
  const std::string area = "c:\\mixupg\\gdata\\$UPGRADE";
  platform::Env::Current()->CreateDir(area);  // it may be there already
  Write(area + "\\JOURNAL", "saved ..\\x.dbf\n");
  EXPECT_EQ(CheckOrUpgrade("c:\\mixupg\\gdata", 0, out_, err_), 4);
  EXPECT_EQ(RestoreInterrupted("c:\\mixupg\\gdata", out_, err_), 4);
  EXPECT_EQ(Wy_MaintenanceState("c:\\mixupg\\gdata"),
            kWyMaintenanceInterrupted);
  // A journal that only says what was created: restored.
  Write(area + "\\JOURNAL", "created NEW.DBF\n");
  Write("c:\\mixupg\\gdata\\NEW.DBF", "x");
  out_.str("");
  EXPECT_EQ(RestoreInterrupted("c:\\mixupg\\gdata", out_, err_), 0);
  EXPECT_NE(out_.str().find("interrupted run restored"), std::string::npos)
      << out_.str();
  EXPECT_FALSE(
      platform::Env::Current()->FileExists("c:\\mixupg\\gdata\\NEW.DBF"));
  out_.str("");
  EXPECT_EQ(RestoreInterrupted("c:\\mixupg\\gdata", out_, err_), 0);
  EXPECT_EQ(out_.str(), "nothing to restore\n");
}

}  // namespace
}  // namespace mixtool
