// The catalogue DATACTL: creation, layout, registration, the field upgrade
// of older catalogues and every lookup, in a temporary drives root. The
// other processes are child entries of this binary (no fork).

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "access/catalogue_test_util.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "mixtable/wy_catalog.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"
#include "xbase32/wdbase.h"

namespace mixtable {
namespace {

using platform::testing::RunChild;
using platform::testing::StartChild;
using platform::testing::WaitChild;
using ::testing::ElementsAre;

// args: none. Rewrites ABS_DATAID of the catalogue's first record to 40.
KALVO_CHILD_MAIN(catalogue_write_abs)(const std::vector<std::string>& args) {
  Wdbase db;
  if (!args.empty() || !OpenDatactl(&db) || !db.Top()) return 1;
  return db.WriteString("ABS_DATAID", "        40") ? 0 : 2;
}

// args: first id, count, "new" or "any". Registers "c:\setID" for count ids
// from the first; with "new" each must be a new record (2), with "any" it
// only must not fail.
KALVO_CHILD_MAIN(catalogue_register)(const std::vector<std::string>& args) {
  if (args.size() != 3) return 9;
  platform::SetLockRetryIntervalMs(2);
  const uint32_t first = static_cast<uint32_t>(std::stoul(args[0]));
  const uint32_t count = static_cast<uint32_t>(std::stoul(args[1]));
  for (uint32_t id = first; id < first + count; ++id) {
    std::string path = "c:\\set" + std::to_string(id);
    const int r = Wy_UpdateDatactl(id, 0, path.data(), "");
    if (args[2] == "new" ? r != 2 : r == 0) return 1;
  }
  return 0;
}

// Runs the catalogue_register children of args_of at once; answers their
// exit statuses.
std::vector<int> RegisterAtOnce(
    const std::vector<std::vector<std::string>>& args_of) {
  std::vector<std::unique_ptr<platform::Process>> kids(args_of.size());
  std::vector<int> codes;
  for (size_t i = 0; i < args_of.size(); ++i) {
    if (!StartChild("catalogue_register", args_of[i], &kids[i]).ok()) {
      kids[i].reset();
    }
  }
  for (auto& kid : kids) {
    codes.push_back(kid ? WaitChild(kid.get(), 120000)
                        : platform::testing::kChildNotRun);
  }
  return codes;
}

class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueEnv cenv;
};

TEST_F(CatalogueTest, IsCreatedInTheDefaultLocalDirectoryOnFirstUse) {
  ASSERT_FALSE(env()->FileExists("c:\\local"));
  Wy_CheckDatactl(false, nullptr);
  EXPECT_TRUE(env()->FileExists("c:\\local\\DATACTL.DBF"));
  EXPECT_TRUE(env()->FileExists(HostC(cenv, "local/datactl.dbf")));
  EXPECT_TRUE(env()->FileExists("c:\\local\\CTLID.NTX"));
  EXPECT_TRUE(env()->FileExists("c:\\local\\CTLPATH.NTX"));
  // No work file is left behind.
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(env()->ListDir("c:\\local", "$*", &entries).ok());
  EXPECT_TRUE(entries.empty());
}

TEST_F(CatalogueTest, HasTheTenFieldsInOrderAndBothIndexes) {
  Wy_CheckDatactl(false, nullptr);
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  struct {
    const char* name;
    int len;
  } const want[] = {{"DATAID", 10},     {"PATH", 80},       {"DISP_ID", 48},
                    {"DESCR", 32},      {"ABS_DATAID", 10}, {"SERVER_ID", 32},
                    {"PROCESS_ID", 32}, {"USER_NAME", 32},  {"PASSWORD", 32},
                    {"CACHE_TYPE", 32}};
  ASSERT_EQ(10, db.FieldCount());
  for (int k = 1; k <= 10; ++k) {
    char name[16];
    char type = 0;
    int len = 0, dec = 0;
    ASSERT_TRUE(db.FieldInfo(k, name, &type, &len, &dec));
    EXPECT_STREQ(want[k - 1].name, name);
    EXPECT_EQ('C', type);
    EXPECT_EQ(want[k - 1].len, len) << name;
  }
  EXPECT_EQ(2, db.GetIdxCount());
  EXPECT_STREQ("DATAID", db.GetIdxExpr(1));
  EXPECT_STREQ("PATH", db.GetIdxExpr(2));
  db.Close();
  // Header: 32 bytes, ten 32-byte descriptors, the terminator; records of
  // 1 + 340 bytes.
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(env()
                  ->OpenFile("c:\\local\\datactl.dbf",
                             platform::OpenMode::kReadOnly, &f)
                  .ok());
  unsigned char h[12];
  size_t got = 0;
  ASSERT_TRUE(f->ReadAt(0, h, sizeof h, &got).ok());
  EXPECT_EQ(32u + 10u * 32u + 1u, h[8] | (h[9] << 8));
  EXPECT_EQ(341u, h[10] | (h[11] << 8));
}

TEST_F(CatalogueTest, FollowsLocalDir) {
#ifdef _WIN32
  // Needs a drive of its own beside c:, which only the drives root of
  // Linux gives a test; on Windows the drives are the host's.
  GTEST_SKIP() << "needs a private drive d:";
#endif
  ScopedEnvVar local("LOCALDIR", "d:\\mine  ");
  Wy_CheckDatactl(false, nullptr);
  EXPECT_TRUE(env()->FileExists("d:\\mine\\datactl.dbf"));
  EXPECT_FALSE(env()->FileExists("c:\\local\\datactl.dbf"));
}

TEST_F(CatalogueTest, DataPathOfIdZeroIsTheDefaultDataDirectory) {
  std::string path = "x", descr = "y";
  EXPECT_FALSE(Wy_DataPath(0, path, descr));  // no catalogue
  EXPECT_EQ("c:\\gdata\\", path);
  EXPECT_EQ("", descr);
  EXPECT_FALSE(Wy_DataPath(4, path, descr));  // no catalogue
  EXPECT_EQ("c:\\gdata\\", path);
  ASSERT_EQ(2, Register(4, "c:\\gdata", "Oxides"));
  EXPECT_FALSE(Wy_DataPath(0, path, descr));
  EXPECT_EQ("c:\\gdata\\", path);
  EXPECT_TRUE(Wy_DataPath(4, path, descr));
  EXPECT_EQ("C:\\GDATA\\", path);
  EXPECT_EQ("Oxides", descr);
  EXPECT_FALSE(Wy_DataPath(5, path, descr));
  EXPECT_EQ("", path);
  EXPECT_EQ("", descr);
}

TEST_F(CatalogueTest, UpdateAppendsUpdatesAndRecalls) {
  std::string buf = "c:\\gdata001\\";
  EXPECT_EQ(2, Wy_UpdateDatactl(7, 0, buf.data(), "First"));
  EXPECT_EQ("C:\\GDATA001\\", buf);  // upper case in the caller's buffer
  EXPECT_EQ(1, Register(7, "c:\\gdata002", "Second", 3));
  std::string path, descr;
  ASSERT_TRUE(Wy_DataPath(7, path, descr));
  EXPECT_EQ("C:\\GDATA002\\", path);
  EXPECT_EQ("Second", descr);
  EXPECT_EQ(3u, Wy_GetAbsDataId(7));
  // A later update without an absolute id keeps the one stored.
  EXPECT_EQ(1, Wy_UpdateDatactl(7, 0, buf.data(), nullptr));
  EXPECT_EQ(3u, Wy_GetAbsDataId(7));
  ASSERT_TRUE(Wy_DataPath(7, path, descr));
  EXPECT_EQ("Second", descr);  // a null description leaves DESCR
  DeleteRecord(7);
  EXPECT_EQ(0, Wy_CheckCatalogueId(7, nullptr, nullptr, nullptr));
  EXPECT_EQ(3, Register(7, "c:\\gdata003", "Third"));
  EXPECT_EQ(1, Wy_CheckCatalogueId(7, &path, &descr, nullptr));
  EXPECT_EQ("C:\\GDATA003\\", path);
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  EXPECT_EQ(1, db.RecCount());
  db.Goto(1);
  EXPECT_STREQ("         7", db.Read("DATAID"));
  EXPECT_FALSE(db.Deleted());
}

TEST_F(CatalogueTest, UpdateRefusesWhatCannotBeStored) {
  EXPECT_EQ(0, Register(0, "c:\\gdata"));
  EXPECT_EQ(0, Wy_UpdateDatactl(5, 0, nullptr, "x"));
  const std::string long_path = "C:\\" + std::string(78, 'A');  // 81 chars
  EXPECT_EQ(0, Register(5, long_path));
  EXPECT_EQ(2, Register(5, long_path.substr(0, 80)));
  std::string path, descr;
  ASSERT_TRUE(Wy_DataPath(5, path, descr));
  EXPECT_EQ(long_path.substr(0, 80) + "\\", path);
}

TEST_F(CatalogueTest, OlderCataloguesGetTheMissingFieldsAppended) {
  // A catalogue of the first generation: four fields.
  const WDBASE_FIELD old_fields[] = {{"DATAID", 'C', 10, 0, 0},
                                     {"PATH", 'C', 80, 0, 0},
                                     {"DISP_ID", 'C', 48, 0, 0},
                                     {"DESCR", 'C', 32, 0, 0},
                                     {"", 0, 0, 0, 0}};
  std::string local;
  Wy_LocalPath(local);
  {
    Wdbase db;
    ASSERT_TRUE(Wy_SetDatactlDbHandle(&db));
    ASSERT_TRUE(db.CreateDb(old_fields));
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(db.AppendBlank());
    db.WriteString("DATAID", "         9");
    db.WriteString("PATH", "C:\\GDATA");
    db.WriteString("DISP_ID", "4");
    db.WriteString("DESCR", "Kept");
    db.Close();
  }
  Wy_CheckDatactl(false, nullptr);
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  const char* want[] = {"DATAID",     "PATH",      "DISP_ID",    "DESCR",
                        "ABS_DATAID", "SERVER_ID", "PROCESS_ID", "USER_NAME",
                        "PASSWORD",   "CACHE_TYPE"};
  ASSERT_EQ(10, db.FieldCount());
  for (int k = 1; k <= 10; ++k) {
    char name[16], type;
    int len, dec;
    db.FieldInfo(k, name, &type, &len, &dec);
    EXPECT_STREQ(want[k - 1], name);
  }
  ASSERT_EQ(1, db.RecCount());
  db.Close();
  std::string path, descr;
  ASSERT_TRUE(Wy_DataPath(9, path, descr));
  EXPECT_EQ("C:\\GDATA\\", path);
  EXPECT_EQ("Kept", descr);
  EXPECT_EQ(4u, Wy_SlaveId(9));
  // A catalogue lacking only the last field.
  {
    Wdbase drop;
    ASSERT_TRUE(OpenDatactl(&drop));
    ASSERT_TRUE(drop.FieldRemove(10));
    ASSERT_EQ(9, drop.FieldCount());
  }
  Wy_CheckDatactl(false, nullptr);
  Wdbase again;
  ASSERT_TRUE(OpenDatactl(&again));
  EXPECT_EQ(10, again.FieldNo("CACHE_TYPE"));
}

TEST_F(CatalogueTest, DispenserIdLists) {
  ASSERT_EQ(2, Register(12, "c:\\gdata"));
  ASSERT_EQ(2, Register(13, "c:\\gdata2"));
  SetField(12, "DISP_ID", "3,7");
  SetField(13, "DISP_ID", "5,,8");
  EXPECT_EQ(3u, Wy_SlaveId(12));
  std::vector<uint32_t> ids;
  EXPECT_NE(0, Wy_SlaveListId(12, &ids));
  EXPECT_THAT(ids, ElementsAre(3u, 7u));
  EXPECT_NE(0, Wy_SlaveListId(13, &ids));  // appended
  EXPECT_THAT(ids, ElementsAre(3u, 7u, 5u, 0u, 8u));
  EXPECT_EQ(12u, Wy_DataIdFromSlaveId(7));
  EXPECT_EQ(12u, Wy_DataIdFromSlaveId(3));
  EXPECT_EQ(13u, Wy_DataIdFromSlaveId(8));
  EXPECT_EQ(0u, Wy_DataIdFromSlaveId(9));
  EXPECT_EQ(0u, Wy_DataIdFromSlaveId(0));
  EXPECT_EQ(0u, Wy_SlaveId(99));
  EXPECT_EQ(0, Wy_SlaveListId(99, &ids));
}

std::string g_trace;
void RecordTrace(int, const char* text) { g_trace += text; }

TEST_F(CatalogueTest, DispenserLookupsWithoutACatalogueSayWhy) {
  g_trace.clear();
  platform::TraceHook old = platform::SetTraceHook(RecordTrace);
  std::vector<uint32_t> ids;
  EXPECT_EQ(0u, Wy_SlaveId(1));
  EXPECT_EQ(0, Wy_SlaveListId(1, &ids));
  EXPECT_EQ(0u, Wy_DataIdFromSlaveId(1));
  platform::SetTraceHook(old);
  std::string want;
  for (int i = 0; i < 3; ++i) want += "\nWy_SlaveId: Could not open DataCtl.";
  EXPECT_EQ(want, g_trace);
}

TEST_F(CatalogueTest, CheckCatalogueIdAndHiddenDataSets) {
  std::string path = "x";
  int hidden = 5;
  EXPECT_EQ(1, Wy_CheckCatalogueId(0, &path, nullptr, &hidden));
  EXPECT_EQ("c:\\gdata\\", path);
  EXPECT_EQ(0, hidden);
  MakeDataSet("c:\\open", nullptr, 0, 0, 0);
  MakeDataSet("c:\\secret", nullptr, 0, 0, 1);
  ASSERT_EQ(2, Register(1, "c:\\open", "Open"));
  ASSERT_EQ(2, Register(2, "c:\\secret", "Secret"));
  EXPECT_EQ(0, Wy_CheckCatalogueId(0, &path, nullptr, &hidden));
  EXPECT_EQ("", path);
  std::string descr;
  EXPECT_EQ(1, Wy_CheckCatalogueId(1, &path, &descr, &hidden));
  EXPECT_EQ("C:\\OPEN\\", path);
  EXPECT_EQ("Open", descr);
  EXPECT_EQ(0, hidden);
  EXPECT_EQ(0, Wy_CheckCatalogueId(2, &path, &descr, &hidden));
  EXPECT_EQ(1, hidden);
  EXPECT_EQ(0, Wy_CheckCatalogueId(3, &path, &descr, &hidden));
  EXPECT_EQ(0, Wy_IsAnHiddenGdata(1));
  EXPECT_EQ(1, Wy_IsAnHiddenGdata(2));
  EXPECT_EQ(0, Wy_IsAnHiddenGdata(3));  // not catalogued
  EXPECT_EQ(1, Wy_IsThereAnHiddenGdata());
  DeleteRecord(2);
  EXPECT_EQ(0, Wy_IsThereAnHiddenGdata());
}

TEST_F(CatalogueTest, FamiliesAndRepeatedIds) {
  ASSERT_EQ(2, Register(10, "c:\\a"));
  ASSERT_EQ(2, Register(11, "c:\\b", "", 10));
  ASSERT_EQ(2, Register(13, "c:\\c", "", 99));
  ASSERT_EQ(2, Register(12, "c:\\d", "", 10));
  ASSERT_EQ(2, Register(14, "c:\\e", "", 10));
  DeleteRecord(14);
  uint32_t ids[8] = {77, 77, 77, 77};
  EXPECT_EQ(3, Wy_GetDataIdListFamily(10, ids));
  EXPECT_EQ(10u, ids[0]);
  EXPECT_EQ(11u, ids[1]);
  EXPECT_EQ(12u, ids[2]);
  EXPECT_EQ(77u, ids[3]);
  EXPECT_EQ(3, Wy_GetDataIdListFamily(10, nullptr));
  EXPECT_EQ(0, Wy_GetDataIdListFamily(0, ids));
  EXPECT_EQ(10u, Wy_GetAbsDataId(11));
  EXPECT_EQ(10u, Wy_GetAbsDataId(10));
  EXPECT_EQ(50u, Wy_GetAbsDataId(50));  // unknown: itself
  EXPECT_EQ(0, Wy_CheckDatactlForMultipleIds(0));
  EXPECT_EQ(0, Wy_CheckDatactlForMultipleIds(10));
  // A second record of 14 (the first one is deleted): 14 occurs twice.
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  ASSERT_TRUE(db.AppendBlank());
  db.WriteString("DATAID", "        14");
  db.Close();
  EXPECT_EQ(1, Wy_CheckDatactlForMultipleIds(14));
  EXPECT_EQ(1, Wy_CheckDatactlForMultipleIds(0));
  EXPECT_EQ(0, Wy_CheckDatactlForMultipleIds(10));
}

TEST_F(CatalogueTest, ServedDataSets) {
  ASSERT_EQ(2, Register(1, "c:\\a"));
  ASSERT_EQ(2, Register(2, "c:\\b"));
  ASSERT_EQ(2, Register(3, "c:\\c"));
  SetField(2, "SERVER_ID", "localhost");
  EXPECT_EQ(0, Wy_CheckDatactlForServerData(0));
  SetField(3, "SERVER_ID", "SHOP-SERVER");
  SetField(3, "PASSWORD", "secret");
  EXPECT_EQ(1, Wy_CheckDatactlForServerData(0));
  EXPECT_EQ(1, Wy_CheckDatactlForServerData(3));
  EXPECT_EQ(0, Wy_CheckDatactlForServerData(2));
  EXPECT_EQ(0, Wy_CheckDatactlForServerData(1));
}

TEST_F(CatalogueTest, DefaultDataSetIds) {
  EXPECT_EQ(0u, Wy_GetGDataIdForGDataPath());
  EXPECT_EQ(0u, Wy_GetDefaultGDataId());
  ASSERT_EQ(2, Register(5, "c:\\other"));
  ASSERT_EQ(2, Register(6, "C:\\GDATA"));
  ASSERT_EQ(2, Register(8, "c:/gdata//"));
  EXPECT_EQ(5u, Wy_GetDefaultGDataId());
  EXPECT_EQ(6u, Wy_GetGDataIdForGDataPath());
  DeleteRecord(5);
  DeleteRecord(6);
  EXPECT_EQ(8u, Wy_GetDefaultGDataId());
  EXPECT_EQ(8u, Wy_GetGDataIdForGDataPath());
}

TEST_F(CatalogueTest, AbsoluteIdFollowsEveryWriter) {
  ASSERT_EQ(2, Register(21, "c:\\a", "", 20));
  EXPECT_EQ(20u, Wy_GetAbsDataId(21));
  ASSERT_EQ(1, Register(21, "c:\\a", "", 30));  // this library's write
  EXPECT_EQ(30u, Wy_GetAbsDataId(21));
  // Another process rewrites the field behind the library's back.
  ASSERT_EQ(0, RunChild("catalogue_write_abs", {}));
  EXPECT_EQ(40u, Wy_GetAbsDataId(21));
  EXPECT_EQ(40u, Wy_GetAbsDataId(21));
}

TEST_F(CatalogueTest, TwoProcessesRegisterAtOnce) {
  EXPECT_THAT(RegisterAtOnce({{"100", "10", "new"}, {"200", "10", "new"}}),
              ElementsAre(0, 0));
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  EXPECT_EQ(20, db.RecCount());
  db.Close();
  for (uint32_t id : {100u, 109u, 200u, 209u}) {
    std::string path, descr;
    EXPECT_TRUE(Wy_DataPath(id, path, descr)) << id;
    EXPECT_EQ("C:\\SET" + std::to_string(id) + "\\", path);
  }
}

TEST_F(CatalogueTest, TwoProcessesRegisteringTheSameIdsMakeOneRecordEach) {
  EXPECT_THAT(RegisterAtOnce({{"300", "10", "any"}, {"300", "10", "any"}}),
              ElementsAre(0, 0));
  EXPECT_EQ(0, Wy_CheckDatactlForMultipleIds(0));
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  EXPECT_EQ(10, db.RecCount());
}

TEST_F(CatalogueTest, PreparesNoHandleForNull) {
  EXPECT_EQ(0, Wy_SetDatactlDbHandle(nullptr));
}

}  // namespace
}  // namespace mixtable
