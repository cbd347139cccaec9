// The maintenance log: entry forms, restart above the limit, location.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_maintenance_log.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

// The host's name of a path ("c:\\x" names the real drive on Windows).
std::string Host(const std::string& path) {
  std::string host;
  EXPECT_TRUE(platform::Env::Current()->HostPath(path, &host).ok()) << path;
  return host;
}

std::string Read(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  std::stringstream b;
  b << in.rdbuf();
  return b.str();
}

class MaintenanceLogTest : public ::testing::Test {
 protected:
  platform::ScopedTempDrives drives_;
};

TEST_F(MaintenanceLogTest, TheThreeFormsAndTheirSuffixes) {
  Wy_MaintenanceLog log("c:\\log\\MIXTABLE.LOG");
  ASSERT_TRUE(platform::Env::Current()->CreateDir("c:\\log").ok());
  const std::string s = "2026-01-02 (03:04:05)";
  EXPECT_TRUE(log.Converted(s, 1, "c:\\gdata\\", "PARAM.DBF", false));
  EXPECT_TRUE(log.Converted(s, 2, "c:\\gdata\\P1\\", "FRM.DBF", true));
  EXPECT_TRUE(log.ConvertLine(s, 3, "c:\\gdata\\P1\\S1\\", "FRM.DBF",
                              "INSERT: NOTE       C  10.0", false));
  EXPECT_TRUE(
      log.ConvertLine(s, 1, "c:\\gdata\\", "CNTS.DBF", "EXTRA: X", true));
  EXPECT_TRUE(log.Merged(s, 2, "c:\\gdata\\P1\\", "CNT_BLND.DBF", false));
  EXPECT_TRUE(log.Merged(s, 3, "c:\\gdata\\P1\\S1\\", "CNT_KS.DBF", true));
  EXPECT_EQ(Read(Host("c:\\log\\MIXTABLE.LOG")),
            "2026-01-02 (03:04:05): (1) \"c:\\gdata\\PARAM.DBF\"\n"
            "2026-01-02 (03:04:05): (2) \"c:\\gdata\\P1\\FRM.DBF\" ***** "
            "PATCH DBASE ERROR *****\n"
            "2026-01-02 (03:04:05): (3) \"c:\\gdata\\P1\\S1\\FRM.DBF\" "
            "[INSERT: NOTE       C  10.0]\n"
            "2026-01-02 (03:04:05): (1) \"c:\\gdata\\CNTS.DBF\" [EXTRA: X] "
            "***** PATCH DBASE ERROR *****\n"
            "2026-01-02 (03:04:05): (2) \"c:\\gdata\\P1\\CNT_BLND.DBF\" (Mdb "
            "Conversion)\n"
            "2026-01-02 (03:04:05): (3) \"c:\\gdata\\P1\\S1\\CNT_KS.DBF\" (Mdb "
            "Conversion) ***** MDB CONVERT ERROR *****\n");
  EXPECT_TRUE(
      std::regex_match(Wy_MaintenanceLog::Stamp(),
                       std::regex(R"(\d{4}-\d\d-\d\d \(\d\d:\d\d:\d\d\))")));
}

TEST_F(MaintenanceLogTest, ALogAboveTheLimitStartsAfresh) {
  const std::string host = Host("c:\\MIXTABLE.LOG");
  Wy_MaintenanceLog log("c:\\MIXTABLE.LOG");
  ASSERT_TRUE(log.Append("x"));
  std::ofstream(host, std::ios::binary)
      << std::string(kWyMaintenanceLogLimit, 'a');
  EXPECT_TRUE(log.Append("kept"));  // exactly the limit: not above it
  EXPECT_EQ(Read(host).size(), kWyMaintenanceLogLimit + 5);
  EXPECT_TRUE(log.Note("restarted"));
  const std::string now = Read(host);
  EXPECT_EQ(now.find("aaaa"), std::string::npos);
  EXPECT_EQ(now.substr(now.size() - 12), ": restarted\n");
}

TEST_F(MaintenanceLogTest, LocationRule) {
  platform::Env* env = platform::Env::Current();
  ASSERT_TRUE(env->SetEnv("KALVO_LOGDIR", "c:\\logs").ok());
  EXPECT_EQ(Wy_LogDirectory(), "c:\\logs\\");
  EXPECT_EQ(Wy_MaintenanceLog().path(), "c:\\logs\\MIXTABLE.LOG");
  ASSERT_TRUE(env->SetEnv("KALVO_LOGDIR", "/tmp/x/").ok());
  EXPECT_EQ(Wy_LogDirectory(), "/tmp/x/");
  ASSERT_TRUE(env->UnsetEnv("KALVO_LOGDIR").ok());
  const std::string dir = Wy_LogDirectory();
#ifdef _WIN32
  // Windows: the build tree is a path of the host that built the library,
  // never the library's own directory here: the local directory.
  std::string local;
  Wy_LocalPath(local);
  if (!local.empty() && local.back() != '\\') local += '\\';
  EXPECT_EQ(dir, local);
#else
  // The tests run the library from its build tree: beside the library.
  EXPECT_TRUE(env->FileExists(dir + "DataBase.DCT")) << dir;
#endif
  // A log that cannot be written answers false.
  EXPECT_FALSE(Wy_MaintenanceLog("c:\\missing\\dir\\MIXTABLE.LOG").Append("x"));
}

}  // namespace
