// The fixed directories: defaults, the environment variables, creation, and
// the cache directory of a served data set.

#include <string>

#include "access/catalogue_test_util.h"
#include "gtest/gtest.h"
#include "mixtable/wy_catalog.h"

namespace mixtable {
namespace {

class FixedDirsTest : public ::testing::Test {
 protected:
  CatalogueEnv cenv;
};

bool IsDir(const std::string& path) {
  uint32_t attrs = 0;
  return env()->GetAttributes(path, &attrs).ok() &&
         (attrs & platform::kAttrDirectory) != 0;
}

TEST_F(FixedDirsTest, LocalPathDefaultsAndIsCreated) {
  std::string path;
  EXPECT_EQ(1, Wy_LocalPath(path));
  EXPECT_EQ("c:\\local\\", path);
  EXPECT_TRUE(IsDir(HostC(cenv, "local")));
}

TEST_F(FixedDirsTest, LocalPathFromTheEnvironment) {
#ifdef _WIN32
  // Needs a drive of its own beside c:, which only the drives root of
  // Linux gives a test; on Windows the drives are the host's.
  GTEST_SKIP() << "needs a private drive d:";
#endif
  const std::string host = cenv.drives.Host("machine/local");
  struct {
    std::string value;
    std::string want;
  } const cases[] = {
      {"d:\\loc  ", "d:\\loc\\"},
      {"d:\\loc2\\", "d:\\loc2\\"},
      {host, host + "\\"},
      {"   ", "c:\\local\\"},  // blank counts as unset
  };
  for (const auto& c : cases) {
    ScopedEnvVar local("LOCALDIR", c.value);
    std::string path;
    EXPECT_EQ(1, Wy_LocalPath(path));
    EXPECT_EQ(c.want, path) << c.value;
    EXPECT_TRUE(IsDir(path)) << path;
  }
}

TEST_F(FixedDirsTest, DispenserLocalPath) {
  std::string path;
  EXPECT_EQ(1, Wy_LocalPathEx(path));
  EXPECT_EQ("c:\\local\\", path);
  {
    ScopedEnvVar dsp("DSP", "  d:\\dsp ");
    EXPECT_EQ(1, Wy_LocalPathEx(path));
    EXPECT_EQ("d:\\dsp\\", path);
  }
  // A current directory holding the dispenser tables.
  const std::string here = env()->CurrentDir();
  const std::string dir = cenv.drives.Host("work");
  ASSERT_TRUE(env()->CreateDir(dir).ok());
  ASSERT_EQ(0, chdir(dir.c_str()));
  WriteFile("DISPS.DBF", "");
  EXPECT_EQ(1, Wy_LocalPathEx(path));
  EXPECT_EQ("c:\\local\\", path);  // TANKS.DBF is missing
  WriteFile("tanks.dbf", "");
  EXPECT_EQ(1, Wy_LocalPathEx(path));
  EXPECT_EQ("", path);
  ASSERT_EQ(0, chdir(here.c_str()));
}

TEST_F(FixedDirsTest, DataDir) {
  std::string path;
  EXPECT_EQ(1, Wy_DataDir(path));
  EXPECT_EQ("c:\\gdata\\", path);
}

TEST_F(FixedDirsTest, CachePaths) {
  std::string path;
  EXPECT_EQ(1, Wy_CachePath(path, nullptr, nullptr));
  EXPECT_EQ("c:\\wuser\\DBFCache\\", path);
  EXPECT_TRUE(IsDir("c:\\wuser\\DBFCache"));
  EXPECT_EQ(1, Wy_CachePath(path, "SRV", "C:\\GDATA001\\"));
  EXPECT_EQ("c:\\wuser\\DBFCache\\SRV\\C\\GDATA001\\", path);
  EXPECT_TRUE(IsDir(path));
  EXPECT_EQ(1, Wy_CachePath(path, "SRV", "d:\\sets\\one"));
  EXPECT_EQ("c:\\wuser\\DBFCache\\SRV\\d\\sets\\one\\", path);
  EXPECT_EQ(1, Wy_CachePath(path, "", "C:\\GDATA001\\"));  // no server
  EXPECT_EQ("c:\\wuser\\DBFCache\\", path);
  ScopedEnvVar cache("CACHEDIR", "  e:\\cache ");
  EXPECT_EQ(1, Wy_CachePath(path, "SRV", "C:\\GDATA001"));
  EXPECT_EQ("e:\\cache\\SRV\\C\\GDATA001\\", path);
}

TEST_F(FixedDirsTest, CachePathsThatWouldLeaveTheCacheAreRefused) {
  struct {
    const char* server;
    const char* path;
  } const cases[] = {
      {"..", "C:\\GDATA\\"},      {"a\\b", "C:\\GDATA\\"},
      {"a/b", "C:\\GDATA\\"},     {"c:", "C:\\GDATA\\"},
      {"SRV", "C:\\..\\..\\x\\"}, {"SRV", "C:\\GDATA\\..\\..\\"},
      {"SRV", "GDATA\\"},         {"SRV", "/srv/gdata"},
      {"SRV", "C:GDATA"},
  };
  for (const auto& c : cases) {
    std::string path = "x";
    EXPECT_EQ(0, Wy_CachePath(path, c.server, c.path)) << c.server << c.path;
    EXPECT_EQ("", path);
  }
  EXPECT_FALSE(env()->FileExists(cenv.drives.drives() + "/x"));
}

}  // namespace
}  // namespace mixtable
