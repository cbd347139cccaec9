// mixtool check and upgrade on the sample data set, in process: exit
// statuses, the summary, one progress line per table off a terminal, and
// the restore of an interrupted run.

#include "upgrade_commands.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "mixtable/wy_maintenance.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace mixtool {
namespace {

class UpgradeCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
    platform::Env::Current()->CreateDir("c:\\log");
    platform::Env::Current()->SetEnv("KALVO_LOGDIR", "c:\\log\\");
  }
  void TearDown() override {
    platform::Env::Current()->UnsetEnv("KALVO_LOGDIR");
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(UpgradeCommandsTest, UpgradeThenCheckAreCleanWithProgressLines) {
  EXPECT_EQ(CheckOrUpgrade("c:\\gdata", 1, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("mode 1: "), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("signature recorded"), std::string::npos);
  EXPECT_NE(out_.str().find("log: c:\\log\\MIXTABLE.LOG"), std::string::npos);
  // Not a terminal: one line per table ("PERCENT% PATH").
  EXPECT_NE(err_.str().find("% c:\\gdata\\"), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find('\r'), std::string::npos);
  out_.str("");
  EXPECT_EQ(CheckOrUpgrade("c:\\gdata", 0, out_, err_), 0);
  EXPECT_NE(out_.str().find("mode 0: "), std::string::npos) << out_.str();
}

TEST_F(UpgradeCommandsTest, RefusedBusyAndUnrestorable) {
  EXPECT_EQ(CheckOrUpgrade("c:\\none", 1, out_, err_), 2);
  EXPECT_NE(err_.str().find("-1 the directory does not exist"),
            std::string::npos);
  // Another process holds the run.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    Wy_MaintenanceGuard g("c:\\gdata");
    const char c = g.Begin(false) == 1 ? '1' : '0';
    (void)!write(fds[1], &c, 1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(fds[0], &c, 1), 1);
  EXPECT_EQ(CheckOrUpgrade("c:\\gdata", 0, out_, err_), 3);
  EXPECT_EQ(RestoreInterrupted("c:\\gdata", out_, err_), 3);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(fds[0]);
  close(fds[1]);
  // A journal naming a path outside the set.
  const std::string area = drives_.drives() + "/c/gdata/$UPGRADE";
  mkdir(area.c_str(), 0755);
  std::ofstream(area + "/JOURNAL") << "saved ..\\x.dbf\n";
  EXPECT_EQ(CheckOrUpgrade("c:\\gdata", 0, out_, err_), 4);
  EXPECT_EQ(RestoreInterrupted("c:\\gdata", out_, err_), 4);
  EXPECT_EQ(Wy_MaintenanceState("c:\\gdata"), kWyMaintenanceInterrupted);
  // A journal that only says what was created: restored.
  std::ofstream(area + "/JOURNAL") << "created NEW.DBF\n";
  std::ofstream(drives_.drives() + "/c/gdata/NEW.DBF") << "x";
  out_.str("");
  EXPECT_EQ(RestoreInterrupted("c:\\gdata", out_, err_), 0);
  EXPECT_NE(out_.str().find("interrupted run restored"), std::string::npos)
      << out_.str();
  EXPECT_FALSE(platform::Env::Current()->FileExists("c:\\gdata\\NEW.DBF"));
  out_.str("");
  EXPECT_EQ(RestoreInterrupted("c:\\gdata", out_, err_), 0);
  EXPECT_EQ(out_.str(), "nothing to restore\n");
}

}  // namespace
}  // namespace mixtool
