// The catalogue of data sets and the fixed directories.

#include "mixtable/wy_catalog.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/mixtable.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Values;

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = platform::Env::Current();
    for (const char* v : {"LOCALDIR", "DSP", "CACHEDIR"}) {
      std::string old;
      if (env_->GetEnv(v, &old)) saved_.emplace_back(v, old);
      env_->UnsetEnv(v);
    }
    Wy_ResetAbsDataIdCache();
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) env_->SetEnv(name, value);
    Wy_ResetAbsDataIdCache();
  }

  void WriteFile(const std::string& path, const std::string& text) {
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(
        env_->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok());
    ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
  }

  // A data set directory: CNTS.DBF, and PARAM keys when given.
  void DataSet(const std::string& dir, uint32_t own_id = 0, uint32_t abs_id = 0,
               bool hidden = false) {
    mixtable_testing::DataSetBuilder b(dir);
    ASSERT_TRUE(b.Create(Y_CNTS)) << b.error();
    ASSERT_TRUE(b.Create(Y_PARAM)) << b.error();
    Values params;
    if (own_id) params.push_back({"DATAID", std::to_string(own_id)});
    if (abs_id) params.push_back({"ABS_DATAID", std::to_string(abs_id)});
    if (hidden) params.push_back({"FRM_HIDDEN", "1"});
    for (const auto& [key, value] : params) {
      ASSERT_TRUE(b.Append(Y_PARAM, {{"KEY", key}, {"VALUE", value}}));
    }
  }

  // Sets a field of the record of id directly.
  void SetField(uint32_t id, const char* field, const char* value) {
    Wdbase db;
    ASSERT_TRUE(Wy_SetDatactlDbHandle(&db));
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(db.SelectIdx(1));
    char key[16];
    std::snprintf(key, sizeof key, "%10u", id);
    ASSERT_EQ(db.Seek(key), 1);
    ASSERT_TRUE(db.WriteString(field, value));
    db.Close();
  }

  int Update(uint32_t id, const char* path, const char* descr,
             uint32_t abs_id = 0) {
    std::vector<char> buf(path, path + std::strlen(path) + 1);
    return Wy_UpdateDatactl(id, abs_id, buf.data(), descr);
  }

  platform::ScopedTempDrives drives_;
  platform::Env* env_ = nullptr;
  std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(CatalogTest, FixedDirectories) {
  std::string dir;
  EXPECT_EQ(Wy_LocalPath(dir), 1);
  EXPECT_EQ(dir, "c:\\local\\");
  EXPECT_TRUE(env_->FileExists("c:\\local"));
  ASSERT_TRUE(env_->SetEnv("LOCALDIR", "c:\\here  ").ok());
  Wy_LocalPath(dir);
  EXPECT_EQ(dir, "c:\\here\\");
  EXPECT_TRUE(env_->FileExists("c:\\here"));
  Wy_LocalPathEx(dir);
  EXPECT_EQ(dir, "c:\\here\\");
  ASSERT_TRUE(env_->SetEnv("DSP", " c:\\dsp ").ok());
  Wy_LocalPathEx(dir);
  EXPECT_EQ(dir, "c:\\dsp\\");
  Wy_DataDir(dir);
  EXPECT_EQ(dir, "c:\\gdata\\");
}

TEST_F(CatalogTest, DataPathWithoutCatalogueOrId) {
  std::string path = "x", descr = "y";
  EXPECT_FALSE(Wy_DataPath(0, path, descr));
  EXPECT_EQ(path, "c:\\gdata\\");
  EXPECT_EQ(descr, "");
  EXPECT_FALSE(Wy_DataPath(5, path, descr));  // no catalogue yet
  EXPECT_EQ(path, "c:\\gdata\\");
  int hidden = 7;
  EXPECT_EQ(Wy_CheckCatalogueId(0, &path, &descr, &hidden), 1);
  EXPECT_EQ(hidden, 0);
  EXPECT_EQ(Wy_GetAbsDataId(5), 5u);
  EXPECT_EQ(Wy_SlaveId(5), 0u);
}

TEST_F(CatalogTest, CreatedOnFirstUseInTheLocalDirectory) {
  Wy_CheckDatactl(false, nullptr);
  ASSERT_TRUE(env_->FileExists("c:\\local\\datactl.dbf"));
  Wdbase db;
  ASSERT_TRUE(Wy_SetDatactlDbHandle(&db));
  ASSERT_TRUE(db.Open());
  ASSERT_EQ(db.FieldCount(), 10);
  for (int k = 1; k <= 10; ++k) {
    char name[16], type;
    int len, dec;
    ASSERT_TRUE(db.FieldInfo(k, name, &type, &len, &dec));
    EXPECT_STREQ(name, kWyDatactlFields[k - 1].name);
    EXPECT_EQ(type, 'C');
    EXPECT_EQ(len, kWyDatactlFields[k - 1].width);
  }
  EXPECT_EQ(db.RecCount(), 0);
  db.Close();
  EXPECT_EQ(Wy_SetDatactlDbHandle(nullptr), 0);
  std::string path, descr;
  EXPECT_FALSE(Wy_DataPath(5, path, descr));  // catalogued nowhere
  EXPECT_EQ(path, "");
  EXPECT_EQ(Wy_CheckCatalogueId(0, &path, nullptr, nullptr), 0);
}

TEST_F(CatalogTest, UpdateAppendsUpdatesAndRecalls) {
  char path[] = "c:\\gdata001";
  EXPECT_EQ(Wy_UpdateDatactl(7, 0, path, "First"), 2);
  EXPECT_STREQ(path, "C:\\GDATA001");  // upper-cased for the caller too
  EXPECT_EQ(Update(7, "c:\\gdata002", "Second", 3), 1);
  std::string p, d;
  ASSERT_TRUE(Wy_DataPath(7, p, d));
  EXPECT_EQ(p, "C:\\GDATA002\\");
  EXPECT_EQ(d, "Second");
  EXPECT_EQ(Wy_GetAbsDataId(7), 3u);
  // Delete the record: the lookup by id still finds it, the check does not.
  {
    Wdbase db;
    ASSERT_TRUE(Wy_SetDatactlDbHandle(&db));
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(db.Top());
    ASSERT_TRUE(db.Delete());
    db.Close();
  }
  EXPECT_TRUE(Wy_DataPath(7, p, d));
  EXPECT_EQ(Wy_CheckCatalogueId(7, &p, &d, nullptr), 0);
  EXPECT_EQ(Wy_GetDefaultGDataId(), 0u);
  EXPECT_EQ(Update(7, "c:\\gdata003", "Third"), 3);
  EXPECT_EQ(Wy_CheckCatalogueId(7, &p, &d, nullptr), 1);
  EXPECT_EQ(p, "C:\\GDATA003\\");
  EXPECT_EQ(Wy_GetDefaultGDataId(), 7u);
}

TEST_F(CatalogTest, AnOlderCatalogueGetsTheMissingFields) {
  Wdbase db;
  ASSERT_TRUE(Wy_SetDatactlDbHandle(&db));
  WDBASE_FIELD old[] = {{"DATAID", 'C', 10, 0, 0},
                        {"PATH", 'C', 80, 0, 0},
                        {"DISP_ID", 'C', 48, 0, 0},
                        {"DESCR", 'C', 32, 0, 0},
                        {"", 0, 0, 0, 0}};
  ASSERT_TRUE(db.CreateDb(old));
  ASSERT_TRUE(db.Open());
  ASSERT_TRUE(db.AppendBlank());
  ASSERT_TRUE(db.WriteString("DATAID", "         4"));
  ASSERT_TRUE(db.WriteString("PATH", "C:\\OLD"));
  db.Close();
  Wy_CheckDatactl(false, nullptr);
  ASSERT_TRUE(db.Open());
  ASSERT_EQ(db.FieldCount(), 10);
  EXPECT_EQ(db.FieldNo("CACHE_TYPE"), 10);
  EXPECT_EQ(db.FieldNo("ABS_DATAID"), 5);
  db.Close();
  std::string p, d;
  ASSERT_TRUE(Wy_DataPath(4, p, d));
  EXPECT_EQ(p, "C:\\OLD\\");
}

TEST_F(CatalogTest, DispenserIds) {
  ASSERT_EQ(Update(5, "c:\\a", "A"), 2);
  ASSERT_EQ(Update(6, "c:\\b", "B"), 2);
  SetField(5, "DISP_ID", "3,7");
  SetField(6, "DISP_ID", "9,");
  EXPECT_EQ(Wy_SlaveId(5), 3u);
  std::vector<uint32_t> list;
  ASSERT_TRUE(Wy_SlaveListId(5, &list));
  EXPECT_EQ(list, (std::vector<uint32_t>{3, 7}));
  list.clear();
  ASSERT_TRUE(Wy_SlaveListId(6, &list));
  EXPECT_EQ(list, (std::vector<uint32_t>{9, 0}));
  EXPECT_FALSE(Wy_SlaveListId(8, &list));
  EXPECT_EQ(Wy_DataIdFromSlaveId(7), 5u);
  EXPECT_EQ(Wy_DataIdFromSlaveId(9), 6u);
  EXPECT_EQ(Wy_DataIdFromSlaveId(4), 0u);
}

TEST_F(CatalogTest, FamiliesDuplicatesServersAndTheDefaultPath) {
  ASSERT_EQ(Update(10, "c:\\gdata", "Main"), 2);
  ASSERT_EQ(Update(11, "c:\\child1", "Child", 10), 2);
  ASSERT_EQ(Update(12, "c:\\child2", "Child", 10), 2);
  ASSERT_EQ(Update(13, "c:\\other", "Other"), 2);
  uint32_t ids[4] = {};
  EXPECT_EQ(Wy_GetDataIdListFamily(10, ids), 3);
  EXPECT_EQ(ids[0], 10u);
  EXPECT_EQ(ids[2], 12u);
  EXPECT_EQ(Wy_GetDataIdListFamily(0, nullptr), 0);
  EXPECT_EQ(Wy_GetGDataIdForGDataPath(), 10u);
  EXPECT_EQ(Wy_CheckDatactlForMultipleIds(0), 0);
  EXPECT_EQ(Wy_CheckDatactlForServerData(0), 0);
  SetField(13, "SERVER_ID", "localhost");
  EXPECT_EQ(Wy_CheckDatactlForServerData(0), 0);
  SetField(13, "SERVER_ID", "SRV");
  EXPECT_EQ(Wy_CheckDatactlForServerData(0), 1);
  EXPECT_EQ(Wy_CheckDatactlForServerData(12), 0);
  SetField(13, "DATAID", "        11");
  EXPECT_EQ(Wy_CheckDatactlForMultipleIds(11), 1);
  EXPECT_EQ(Wy_CheckDatactlForMultipleIds(10), 0);
  EXPECT_EQ(Wy_CheckDatactlForMultipleIds(0), 1);
}

TEST_F(CatalogTest, HiddenDataSets) {
  DataSet("c:\\shown\\");
  DataSet("c:\\hidden\\", 0, 0, true);
  ASSERT_EQ(Update(1, "c:\\shown", "Shown"), 2);
  ASSERT_EQ(Update(2, "c:\\hidden", "Hidden"), 2);
  EXPECT_EQ(Wy_IsAnHiddenGdata(1), 0);
  EXPECT_EQ(Wy_IsAnHiddenGdata(2), 1);
  int hidden = 0;
  EXPECT_EQ(Wy_CheckCatalogueId(2, nullptr, nullptr, &hidden), 0);
  EXPECT_EQ(hidden, 1);
  EXPECT_EQ(Wy_CheckCatalogueId(1, nullptr, nullptr, &hidden), 1);
  EXPECT_EQ(hidden, 0);
  EXPECT_EQ(Wy_IsThereAnHiddenGdata(), 1);
}

TEST_F(CatalogTest, ATableSetFindsItsDataSetById) {
  ASSERT_EQ(Update(21, "c:\\other", "Other"), 2);
  CMixtable ts;
  ts.SetDataId(21);
  EXPECT_EQ(ts.GetDataDir(), "C:\\OTHER\\");
  ts.SetDataId(22);  // not catalogued: no directory, nothing opens
  EXPECT_EQ(ts.GetDataDir(), "");
  DataSet("c:\\gdata\\");
  EXPECT_FALSE(ts.Open(ts.Handle(Y_CNTS)));
  ts.SetDataId(0);
  EXPECT_EQ(ts.GetDataDir(), "c:\\gdata\\");
  EXPECT_TRUE(ts.Open(ts.Handle(Y_CNTS)));
}

TEST_F(CatalogTest, TheScanRegistersDataSetsInNameOrder) {
  DataSet("c:\\gdata\\", 2);  // carries its own id
  WriteFile("c:\\gdata\\FVERS.DAT", "0.00\r\n");
  DataSet("c:\\beta\\");
  DataSet("c:\\Alpha\\", 0, 2);
  WriteFile("c:\\Alpha\\fvers.dat", "  Alpha set  \r\nsecond line\r\n");
  DataSet("c:\\gcspaces\\");
  DataSet("c:\\GDATATMP\\");
  ASSERT_TRUE(env_->CreateDir("c:\\nodata").ok());
  WriteFile("c:\\file.txt", "x");
#ifndef _WIN32
  // A link to a data set is one more data set; a link to a file is none.
  // Windows: symbolic links need a privilege (and cannot be made under
  // wine), so only the plain directories are scanned there.
  std::string host_beta, host_link;
  ASSERT_TRUE(env_->HostPath("c:\\beta", &host_beta).ok());
  ASSERT_TRUE(env_->HostPath("c:\\zlink", &host_link).ok());
  ASSERT_EQ(symlink(host_beta.c_str(), host_link.c_str()), 0);
  ASSERT_EQ(symlink("file.txt", (host_link + "f").c_str()), 0);
  const uint32_t kFirstFree = 5;
#else
  const uint32_t kFirstFree = 4;
#endif

  const std::string roots = "c:\\";
  Wy_CheckDatactl(true, &roots);
  struct Want {
    uint32_t id;
    const char* path;
    const char* descr;
  } wants[] = {{1, "C:\\ALPHA\\", "Alpha set"},
               {3, "C:\\BETA\\", ""},
               {2, "C:\\GDATA\\", ""},
               {4, "C:\\ZLINK\\", ""}};
  for (const Want& w : wants) {
    if (w.id >= kFirstFree) continue;
    SCOPED_TRACE(w.path);
    std::string p, d;
    ASSERT_TRUE(Wy_DataPath(w.id, p, d));
    EXPECT_EQ(p, w.path);
    EXPECT_EQ(d, w.descr);
  }
  EXPECT_EQ(Wy_GetAbsDataId(1), 2u);
  std::string p, d;
  EXPECT_FALSE(Wy_DataPath(kFirstFree, p, d));
  // Only a new catalogue is filled by a scan.
  Wy_CheckDatactl(true, &roots);
  EXPECT_FALSE(Wy_DataPath(kFirstFree, p, d));
}

TEST_F(CatalogTest, TheScanHandsOutAtMostOneHundredIds) {
  for (int i = 0; i < 103; ++i) {
    char dir[32];
    std::snprintf(dir, sizeof dir, "c:\\root\\d%03d", i);
    ASSERT_TRUE(Wy_MkDir(dir));
    WriteFile(std::string(dir) + "\\CNTS.DBF", "");
  }
  const std::string roots = "c:\\root;c:\\missing";
  Wy_CheckDatactl(true, &roots);
  Wdbase db;
  ASSERT_TRUE(Wy_SetDatactlDbHandle(&db));
  ASSERT_TRUE(db.Open());
  EXPECT_EQ(db.RecCount(), 100);
  db.Close();
  std::string p, d;
  ASSERT_TRUE(Wy_DataPath(100, p, d));
  EXPECT_EQ(p, "C:\\ROOT\\D099\\");
}

}  // namespace
