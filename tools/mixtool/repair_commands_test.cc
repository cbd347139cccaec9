// mixtool tree and repair on the sample data set, in process.

#include "repair_commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "testing/other_run.h"
#include "testing/table_rows.h"

namespace mixtool {
namespace {

using mixtable_testing::Id;

class RepairCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
    platform::Env::Current()->UnsetEnv("LOCALDIR");
  }
  void Write(const std::string& path) {
    ASSERT_TRUE(Wy_MkDir(path.substr(0, path.find_last_of('\\'))));
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(platform::Env::Current()
                    ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
                    .ok());
  }
  bool Exists(const std::string& p) {
    return platform::Env::Current()->FileExists(p);
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(RepairCommandsTest, TreeDryRunThenActing) {
  Write("c:\\gdata\\ORPHAN\\x.txt");
  Write("c:\\gdata\\notes.txt");
  TreeArgs args;
  args.prune = args.clean = args.dry_run = true;
  EXPECT_EQ(Tree("c:\\gdata\\", args, out_, err_), 0);
  EXPECT_NE(out_.str().find("c:\\gdata\\ORPHAN\n"), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("c:\\gdata\\notes.txt\n"), std::string::npos);
  EXPECT_NE(out_.str().find("tree check: 0 done\n"), std::string::npos);
  EXPECT_TRUE(Exists("c:\\gdata\\ORPHAN\\x.txt"));
  EXPECT_TRUE(Exists("c:\\gdata\\notes.txt"));

  out_.str("");
  args.dry_run = false;
  EXPECT_EQ(Tree("c:\\gdata\\", args, out_, err_), 0);
  EXPECT_NE(out_.str().find("c:\\gdata\\ORPHAN *\n"), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("c:\\gdata\\notes.txt *\n"), std::string::npos);
  EXPECT_NE(out_.str().find("PRD1 : SUB11\n"), std::string::npos);
  EXPECT_FALSE(Exists("c:\\gdata\\ORPHAN"));
  EXPECT_FALSE(Exists("c:\\gdata\\notes.txt"));
}

TEST_F(RepairCommandsTest, TreeExitStatuses) {
  ASSERT_TRUE(Wy_MkDir("c:\\empty\\"));
  EXPECT_EQ(Tree("c:\\empty\\", {}, out_, err_), 2);
  EXPECT_NE(out_.str().find("tree check: 1 not a data set"), std::string::npos);
  EXPECT_EQ(Tree("c:\\missing\\", {}, out_, err_), 2);
  mixtable_testing::OtherMaintenanceRun other("c:\\gdata\\");
  ASSERT_TRUE(other.ok());
  EXPECT_EQ(Tree("c:\\gdata\\", {}, out_, err_), 3);
  EXPECT_EQ(Repair("c:\\gdata\\", "all", out_, err_), 3);
}

TEST_F(RepairCommandsTest, RepairGroupsAndUnknownNames) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(9)}}));
  EXPECT_EQ(Repair("c:\\gdata\\", "colorimetry", out_, err_), 0);
  EXPECT_EQ(out_.str(),
            "colorants colorimetry: done\nbases colorimetry: done\n");
  EXPECT_TRUE(
      convert_testing::ReadTable("c:\\gdata\\CNT_BLND.DBF").rows.empty());
  out_.str("");
  EXPECT_EQ(Repair("c:\\gdata\\", "all", out_, err_), 0) << out_.str();
  EXPECT_NE(out_.str().find("force factors: done\n"), std::string::npos);
  // An empty colorants table: the repairs that need it fail.
  {
    Wdbase c;
    ASSERT_TRUE(c.SetFiles("c:\\gdata\\", "CNTS", 0, nullptr, nullptr));
    ASSERT_TRUE(c.Open());
    ASSERT_TRUE(c.Zap());
  }
  out_.str("");
  EXPECT_EQ(Repair("c:\\gdata\\", "hue", out_, err_), 1);
  EXPECT_EQ(out_.str(), "colorants hue: FAILED\nbases hue: done\n");
  EXPECT_EQ(Repair("c:\\gdata\\", "everything", out_, err_), 2);
  EXPECT_NE(err_.str().find("unknown repair everything"), std::string::npos);
}

}  // namespace
}  // namespace mixtool
