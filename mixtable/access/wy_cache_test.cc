// Cache directories of served data sets and dispenser error texts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Env::Current()->UnsetEnv("CACHEDIR"); }
  platform::ScopedTempDrives drives_;
};

TEST_F(CacheTest, CachePathsAndTheirInformationFiles) {
  platform::Env* env = platform::Env::Current();
  std::string path;
  EXPECT_EQ(Wy_CachePath(path, nullptr, nullptr), 1);
  EXPECT_EQ(path, "c:\\wuser\\DBFCache\\");
  EXPECT_TRUE(env->FileExists("c:\\wuser\\DBFCache"));
  EXPECT_EQ(Wy_CachePath(path, "SRV", "C:\\GDATA001\\"), 1);
  EXPECT_EQ(path, "c:\\wuser\\DBFCache\\SRV\\C\\GDATA001\\");
  EXPECT_TRUE(env->FileExists(path));

  const std::vector<std::string> info = {"first", "", "third line"};
  ASSERT_TRUE(Wy_WriteCacheInfo(info, "C:\\GDATA001\\", "SRV"));
  EXPECT_TRUE(env->FileExists("c:\\wuser\\DBFCache\\SRV_C_GDATA001.INF"));
  std::vector<std::string> back = {"old"};
  ASSERT_TRUE(Wy_ReadCacheInfo(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(back, info);

  // This machine, no server, no path, a missing file.
  EXPECT_FALSE(Wy_WriteCacheInfo(info, "C:\\GDATA001\\", "localhost"));
  EXPECT_FALSE(Wy_WriteCacheInfo(info, "C:\\GDATA001\\", ""));
  EXPECT_FALSE(Wy_WriteCacheInfo(info, "C:\\GDATA001\\", nullptr));
  EXPECT_FALSE(Wy_ReadCacheInfo(back, "", "SRV"));
  EXPECT_FALSE(Wy_ReadCacheInfo(back, "C:\\OTHER.X\\", "SRV"));

  ASSERT_TRUE(env->SetEnv("CACHEDIR", "  c:\\cache  ").ok());
  EXPECT_EQ(Wy_CachePath(path, "SRV", "d:\\data.set"), 1);
  EXPECT_EQ(path, "c:\\cache\\SRV\\d\\data.set\\");
  ASSERT_TRUE(Wy_WriteCacheInfo(info, "d:\\data.set", "SRV"));
  EXPECT_TRUE(env->FileExists("c:\\cache\\SRV_d_data_set.INF"));
  env->UnsetEnv("CACHEDIR");
}

TEST_F(CacheTest, NamesLeadingOutOfTheCacheAreRefused) {
  std::string path = "x";
  for (const auto& [server, data] :
       std::vector<std::pair<const char*, const char*>>{
           {"..", "C:\\GDATA\\"},
           {"a\\b", "C:\\GDATA\\"},
           {"a/b", "C:\\GDATA\\"},
           {"SRV", "C:\\..\\..\\x\\"},
           {"SRV", "GDATA"},
           {"SRV", "\\\\host\\share"}}) {
    SCOPED_TRACE(std::string(server) + " " + data);
    EXPECT_EQ(Wy_CachePath(path, server, data), 0);
    EXPECT_EQ(path, "");
    std::vector<std::string> lines;
    EXPECT_FALSE(Wy_WriteCacheInfo({"x"}, data, server));
  }
  EXPECT_FALSE(platform::Env::Current()->FileExists("c:\\wuser\\x"));
}

TEST_F(CacheTest, DispenserErrorTexts) {
  Wdbase msg;
  std::string language = "FRANCAIS";
  ASSERT_TRUE(Wy_SetSlaveMsgDbHandle(&msg, &language, true));
  EXPECT_STREQ(msg.GetPath(), "c:\\wuser\\kalvodspserver17\\msgslave\\");
  EXPECT_STREQ(msg.GetName(0), "english.dbf");  // no FRANCAIS table there
  EXPECT_EQ(Wy_SetSlaveMsgDbHandle(nullptr, nullptr, false), 0);
  WDBASE_FIELD fields[] = {{"ID", 'C', 5, 0, 0},
                           {"PROG", 'C', 3, 0, 0},
                           {"STRING", 'C', 60, 0, 0},
                           {"", 0, 0, 0, 0}};
  ASSERT_TRUE(Wy_MkDir("c:\\wuser\\kalvodspserver17\\MSGSLAVE"));
  ASSERT_TRUE(msg.CreateDb(fields));
  ASSERT_TRUE(msg.Open());
  for (const auto& [id, text] :
       std::vector<std::pair<const char*, const char*>>{
           {"  513", "Valve stuck  "}, {"  512", "Pump"}, {"   12", "Low"}}) {
    ASSERT_TRUE(msg.AppendBlank());
    ASSERT_TRUE(msg.WriteString("ID", id));
    ASSERT_TRUE(msg.WriteString("STRING", text));
  }
  EXPECT_STREQ(Wy_GetHwErrorString(513, 0, &msg, nullptr, nullptr),
               "0201\t (513) Valve stuck");
  EXPECT_STREQ(Wy_GetHwErrorString(513, 4, &msg, ": ", nullptr),
               "0201: Valve stuck N.   4");
  EXPECT_STREQ(Wy_GetHwErrorString(99, 0, &msg, ": ", "unknown"),
               "0063: unknown");
  int32_t high = 0, low = 0;
  EXPECT_STREQ(
      Wy_GetHwErrorString(true, 0x020C, &msg, ": ", nullptr, &high, &low),
      "020C: Pump N.  12");
  EXPECT_EQ(high, 0x0200);
  EXPECT_EQ(low, 12);
  EXPECT_STREQ(Wy_GetHwErrorString(true, 12, &msg, ": ", nullptr, &high, &low),
               "000C: Low");
  EXPECT_EQ(high, 0);
  EXPECT_STREQ(Wy_GetHwErrorString(true, 0x9001, &msg, ": ", "?", &high, &low),
               "9001: ?");
  EXPECT_EQ(high, -1);
  EXPECT_EQ(low, 0);
  EXPECT_STREQ(
      Wy_GetHwErrorString(false, 513, &msg, ": ", nullptr, nullptr, nullptr),
      "0201: Valve stuck");
  msg.Close();
  EXPECT_STREQ(Wy_GetHwErrorString(513, 0, &msg, ": ", nullptr), "0201: ");
}

}  // namespace
