// The catalogue scan: which directories it registers, in which order, with
// which ids and descriptions, and its limit.

#include <cstdint>
#include <string>
#include <vector>

#include "access/catalogue_test_util.h"
#include "gtest/gtest.h"
#include "mixtable/wy_catalog.h"
#include "platform/hooks.h"

namespace mixtable {
namespace {

class CatalogueScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // The scan walks whole drive roots (c:, e:): it needs the empty, private
    // drives of Linux's drives root. On Windows the drives are the host's
    // (c: holds the system's own directories).
    GTEST_SKIP() << "needs private drive roots";
#endif
  }

  CatalogueEnv cenv;
};

// The layer offers no way to make a symbolic link, so the tests ask ln.
void MakeSymlink(const std::string& target, const std::string& link) {
  std::string host_target, host_link;
  ASSERT_TRUE(env()->HostPath(target, &host_target).ok());
  ASSERT_TRUE(env()->HostPath(link, &host_link).ok());
  platform::ProcessSpec launch;
  launch.program = "/bin/ln";
  launch.args = {"-s", host_target, host_link};
  std::unique_ptr<platform::Process> p;
  ASSERT_TRUE(env()->StartProcess(launch, &p).ok());
  int code = -1;
  ASSERT_TRUE(p->Wait(-1, &code));
  ASSERT_EQ(code, 0);
}

struct Row {
  uint32_t id;
  std::string path;
  std::string descr;
  uint32_t abs_id;
};

std::vector<Row> Catalogue() {
  std::vector<Row> rows;
  Wdbase db;
  if (!OpenDatactl(&db)) return rows;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    Row r;
    r.id = std::stoul(db.Read("DATAID"));
    r.path = db.Read("PATH", 1, 1);
    r.descr = db.Read("DESCR", 1, 1);
    const std::string abs = db.Read("ABS_DATAID", 1, 1);
    r.abs_id = abs.empty() ? 0 : std::stoul(abs);
    rows.push_back(r);
  }
  return rows;
}

TEST_F(CatalogueScanTest, RegistersDataSetsInNameOrderAndSkipsTheRest) {
  MakeDataSet("c:\\GDATA", "1.00  Oxide paints", 3000000001u, 3000000000u);
  MakeDataSet("c:\\alpha", "0.00");
  MakeDataSet("c:\\Beta", "2.50  Wood stains\r\nsecond line\r\n");
  MakeDataSet("c:\\gcspaces", "work area");
  MakeDataSet("c:\\GDataTmp", "backup copy");
  ASSERT_TRUE(env()->CreateDir("c:\\notdata").ok());
  WriteFile("c:\\file.txt", "x");
  ASSERT_TRUE(env()->CreateDir("d:\\").ok() || env()->FileExists("d:\\"));
  ASSERT_TRUE(env()->CreateDir("f:\\store").ok());
  MakeDataSet("f:\\store\\elsewhere");
  MakeSymlink("f:\\store\\elsewhere", "c:\\linked");
  MakeSymlink("c:\\file.txt", "c:\\linkfile");
  MakeDataSet("d:\\zeta", "Zeta");

  const std::string roots = "c:\\; d:";
  Wy_CheckDatactl(true, &roots);
  const std::vector<Row> rows = Catalogue();
  ASSERT_EQ(5u, rows.size());
  EXPECT_EQ(1u, rows[0].id);
  EXPECT_EQ("C:\\ALPHA", rows[0].path);
  EXPECT_EQ("", rows[0].descr);  // "0.00" is no description
  EXPECT_EQ(2u, rows[1].id);
  EXPECT_EQ("C:\\BETA", rows[1].path);
  EXPECT_EQ("2.50  Wood stains", rows[1].descr);
  EXPECT_EQ(3000000001u, rows[2].id);  // its own id
  EXPECT_EQ(3000000000u, rows[2].abs_id);
  EXPECT_EQ("C:\\GDATA", rows[2].path);
  EXPECT_EQ("1.00  Oxide paints", rows[2].descr);
  EXPECT_EQ(3u, rows[3].id);
  EXPECT_EQ("C:\\LINKED", rows[3].path);  // a link to a directory counts
  EXPECT_EQ(4u, rows[4].id);
  EXPECT_EQ("D:\\ZETA", rows[4].path);
  EXPECT_EQ(0u, rows[4].abs_id);

  // A catalogue that exists is not scanned again.
  MakeDataSet("c:\\newer");
  Wy_CheckDatactl(true, &roots);
  EXPECT_EQ(5u, Catalogue().size());
}

TEST_F(CatalogueScanTest, NumbersSkipIdsCarriedByDataSets) {
  MakeDataSet("c:\\a");
  MakeDataSet("c:\\b");
  MakeDataSet("c:\\c", nullptr, 2);  // carries the id 2
  MakeDataSet("c:\\d");
  const std::string roots = "c:\\";
  Wy_CheckDatactl(true, &roots);
  const std::vector<Row> rows = Catalogue();
  ASSERT_EQ(4u, rows.size());
  EXPECT_EQ("C:\\A", rows[0].path);
  EXPECT_EQ(1u, rows[0].id);
  EXPECT_EQ(3u, rows[1].id);  // b is not given 2
  EXPECT_EQ(2u, rows[2].id);
  EXPECT_EQ(4u, rows[3].id);
}

TEST_F(CatalogueScanTest, NumbersAtMostOneHundredDataSets) {
  ASSERT_TRUE(env()->CreateDir("e:\\").ok() || env()->FileExists("e:\\"));
  for (int i = 0; i < 105; ++i) {
    char name[32];
    snprintf(name, sizeof name, "e:\\set%03d", i);
    MakeDataSet(name);
  }
  const std::string roots = "e:\\";
  Wy_CheckDatactl(true, &roots);
  const std::vector<Row> rows = Catalogue();
  ASSERT_EQ(100u, rows.size());
  EXPECT_EQ("E:\\SET000", rows.front().path);
  EXPECT_EQ(1u, rows.front().id);
  EXPECT_EQ("E:\\SET099", rows.back().path);
  EXPECT_EQ(100u, rows.back().id);
}

TEST_F(CatalogueScanTest, DefaultRootIsDriveC) {
  MakeDataSet("c:\\gdata", "Default");
  Wy_CheckDatactl(true, nullptr);
  const std::vector<Row> rows = Catalogue();
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ("C:\\GDATA", rows[0].path);
  EXPECT_EQ(1u, Wy_GetGDataIdForGDataPath());
}

}  // namespace
}  // namespace mixtable
