// Cache information files: names, round trips and refusals.

#include <string>
#include <vector>

#include "access/catalogue_test_util.h"
#include "gtest/gtest.h"
#include "mixtable/wy_catalog.h"
#include "platform/line_reader.h"

namespace mixtable {
namespace {

class CacheInfoTest : public ::testing::Test {
 protected:
  CatalogueEnv cenv;
};

TEST_F(CacheInfoTest, FileNamesAreTheFlatCacheDirectory) {
  ASSERT_TRUE(Wy_WriteCacheInfo({"x"}, "C:\\GDATA001\\", "SRV"));
  EXPECT_TRUE(env()->FileExists("c:\\wuser\\DBFCache\\SRV_C_GDATA001.INF"));
  ASSERT_TRUE(Wy_WriteCacheInfo({"x"}, "D:\\SETS\\V1.2", "SRV.LAN"));
  EXPECT_TRUE(
      env()->FileExists("c:\\wuser\\DBFCache\\SRV_LAN_D_SETS_V1_2.INF"));
  EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, "C:\\..\\GDATA\\", "SRV"));
}

TEST_F(CacheInfoTest, WriteThenReadGivesTheLinesBack) {
  const std::vector<std::string> lines = {"first", "", "third line",
                                          std::string(1500, 'x')};
  ASSERT_TRUE(Wy_WriteCacheInfo(lines, "C:\\GDATA001\\", "SRV"));
  std::vector<std::string> text;
  ASSERT_TRUE(
      platform::ReadLines("c:\\wuser\\DBFCache\\SRV_C_GDATA001.INF", &text)
          .ok());
  EXPECT_EQ(lines, text);
  std::vector<std::string> back = {"stale"};
  ASSERT_TRUE(Wy_ReadCacheInfo(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(lines, back);
  // A file written on another system with CRLF line ends.
  WriteFile("c:\\wuser\\DBFCache\\SRV_C_GDATA001.INF", "a\r\nb\r\n");
  ASSERT_TRUE(Wy_ReadCacheInfo(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), back);
  // Rewriting replaces the contents.
  ASSERT_TRUE(Wy_WriteCacheInfo({"only"}, "C:\\GDATA001\\", "SRV"));
  ASSERT_TRUE(Wy_ReadCacheInfo(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(std::vector<std::string>{"only"}, back);
}

TEST_F(CacheInfoTest, LocalOrMissingIsRefused) {
  std::vector<std::string> lines = {"x"};
  EXPECT_FALSE(Wy_ReadCacheInfo(lines, "C:\\GDATA\\", "SRV"));  // no file
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, "", "SRV"));
  EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, "C:\\GDATA\\", nullptr));
  EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, "C:\\GDATA\\", ""));
  EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, "C:\\GDATA\\", "LOCALHOST"));
  EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, "C:\\GDATA\\", "..\\up"));
  EXPECT_FALSE(Wy_ReadCacheInfo(lines, "C:\\GDATA\\", "localhost"));
}

}  // namespace
}  // namespace mixtable
