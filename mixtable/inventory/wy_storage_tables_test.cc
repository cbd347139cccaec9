// CWy_StorageManager: the inventory directory, structure checks and
// upgrades, bad input, trace lines and two processes at once.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "inventory/storage_test_util.h"
#include "inventory/table_check.h"
#include "mixtable/hformula_history.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_storage_manager.h"
#include "mixtable/wy_util.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"

namespace {

using namespace inventory_testing;

TEST_F(StorageManagerTest, DefaultDirectoryAndMissingDirectories) {
  CWy_StorageManager local;  // the local directory
  ASSERT_TRUE(local.IsReady());
  std::string dir;
  Wy_LocalPath(dir);
  EXPECT_EQ(local.GetInventoryDir(), dir);
  CWy_StorageManager null(nullptr);
  EXPECT_TRUE(null.IsReady());
  CWy_StorageManager deep("c:\\a\\b\\c");  // created, backslash added
  ASSERT_TRUE(deep.IsReady());
  EXPECT_EQ(deep.GetInventoryDir(), "c:\\a\\b\\c\\");
  CWy_StorageManager relative("relative\\dir");
  EXPECT_FALSE(relative.IsReady());
  CWy_FormulaInv inv = Stored("X", 1);
  EXPECT_EQ(relative.InsertFormula(inv, false), 0);
  EXPECT_FALSE(relative.Begin());
  EXPECT_EQ(relative.GetSize(), 0);
  EXPECT_FALSE(relative.DeleteCurrentFormula());
  EXPECT_FALSE(relative.EraseDeletedFormulas());
  EXPECT_FALSE(relative.UpdateFormulaBatch(inv, 1, false, true));
}

std::string g_trace;
void KeepTrace(int, const char* text) { g_trace += text; }

TEST_F(StorageManagerTest, FailuresLeaveATraceLine) {
  g_trace.clear();
  platform::TraceHook old = platform::SetTraceHook(KeepTrace);
  CWy_StorageManager relative("relative\\dir");
  CWy_FormulaInv inv = Stored("X", 1);
  relative.InsertFormula(inv, false);
  platform::SetTraceHook(old);
  EXPECT_NE(g_trace.find("\nCWy_StorageManager::DBInit ERROR"),
            std::string::npos)
      << g_trace;
  EXPECT_NE(g_trace.find("\nCWy_StorageManager::InsertFormula ERROR"),
            std::string::npos)
      << g_trace;
}

TEST_F(StorageManagerTest, NotADataFileIsNeverReplaced) {
  ASSERT_TRUE(Wy_MkDir(kDir));
  const std::string host = HostInv("INVENT.dbf");
  FILE* f = std::fopen(host.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a table", f);
  std::fclose(f);
  CWy_StorageManager m(kDir);
  EXPECT_FALSE(m.IsReady());
  CWy_FormulaInv inv = Stored("X", 1);
  EXPECT_EQ(m.InsertFormula(inv, false), 0);
  f = std::fopen(host.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buf[32] = {};
  std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  EXPECT_STREQ(buf, "not a table");
}

TEST_F(StorageManagerTest, ATableSetAsideIsNeverCreatedAnew) {
  {
    CWy_StorageManager m(kDir);
    CWy_FormulaInv inv = Stored("ASIDE", 2);
    ASSERT_EQ(m.InsertFormula(inv, false), 1);
  }
  // What a replacement interrupted after moving the old files aside leaves.
  const std::string host = HostInv("");
  ASSERT_EQ(0, std::rename((host + "invent.dbf").c_str(),
                           (host + "invent.dbf.old").c_str()));
  CWy_StorageManager m;
  ASSERT_TRUE(m.SetInventoryPath(kDir));
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv back;
  ASSERT_TRUE(m.GetCurrentFormula(back, true));
  EXPECT_EQ(back.GetNumberOfBatches(), 2);  // the old table, moved back
}

TEST_F(StorageManagerTest, UpgradesInventWithoutLoss) {
  ASSERT_TRUE(Wy_MkDir(kDir));
  // An older INVENT: a field of its own, a wider name, no LAST_READ.
  std::vector<WDBASE_FIELD> old;
  for (const WDBASE_FIELD* f = CWy_StorageManager::GetInventoryDef();
       f->name[0]; ++f) {
    if (std::string(f->name) == "LAST_READ") continue;
    WDBASE_FIELD c = *f;
    if (std::string(f->name) == "BATCH_NAME") c.len = 80;
    old.push_back(c);
  }
  old.push_back({"EXTRA", 'C', 10, 0, 0});
  old.push_back({});
  {
    Wdbase db;
    ASSERT_EQ(1, db.SetFiles(kDir, "INVENT", 0, nullptr, nullptr));
    ASSERT_EQ(1, db.CreateDb(old.data()));
    ASSERT_EQ(1, db.Open());
    for (int i = 1; i <= 3; ++i) {
      ASSERT_EQ(1, db.AppendBlank());
      db.WriteString("ID", ("    " + std::to_string(i)).c_str());
      db.WriteString("FRM_ID", "    1");
      db.WriteString("BATCH_NAME", (std::string(70, 'n') + "end").c_str());
      db.WriteString("EXTRA", ("x" + std::to_string(i)).c_str());
    }
    db.Goto(2);
    ASSERT_EQ(1, db.Delete());
    db.Close();
  }
  CWy_StorageManager m(kDir);
  ASSERT_TRUE(m.IsReady());
  Raw raw("INVENT");
  ASSERT_EQ(raw.db.RecCount(), 3);
  EXPECT_EQ(raw.db.FieldLen("BATCH_NAME"), 80);    // never shrinks
  EXPECT_EQ(raw.db.FieldLen("LAST_READ"), 8);      // added
  EXPECT_EQ(raw.Field(3, "EXTRA"), "x3        ");  // kept
  EXPECT_EQ(raw.Field(1, "BATCH_NAME").substr(70, 3), "end");
  // The manager reads the wider name whole.
  ASSERT_TRUE(m.SeekBatch(1));
  CWy_Batch b;
  ASSERT_TRUE(m.GetCurrentBatch(b));
  EXPECT_EQ(b.GetBatchName(), std::string(70, 'n') + "end");
}

TEST_F(StorageManagerTest, UpdateKeepsDeletedMarksAndExtraFields) {
  ASSERT_TRUE(Wy_MkDir(kDir));
  // An FRMINV of its own making: the archive layout without CUSCAN_DES,
  // with a field of its own; one record deleted.
  std::vector<WDBASE_FIELD> old;
  for (const WDBASE_FIELD* f = hformula_GetArchiveDef(); f->name[0]; ++f)
    if (std::string(f->name) != "CUSCAN_DES") old.push_back(*f);
  old.push_back({"MINE", 'N', 6, 1, 0});
  old.push_back({});
  Wdbase def;
  const char* names[] = {"FRMINV"};
  const char* exprs[] = {"ID"};
  ASSERT_EQ(1, def.SetFiles(kDir, "FRMINV", 1, names, exprs));
  {
    Wdbase db;
    ASSERT_EQ(1, db.SetFiles(kDir, "FRMINV", 0, nullptr, nullptr));
    ASSERT_EQ(1, db.CreateDb(old.data()));
    ASSERT_EQ(1, db.Open());
    for (int i = 1; i <= 2; ++i) {
      ASSERT_EQ(1, db.AppendBlank());
      db.WriteString("ID", ("    " + std::to_string(i)).c_str());
      db.WriteDouble("MINE", 12.5 * i);
    }
    db.Goto(1);
    ASSERT_EQ(1, db.Delete());
    db.Close();
  }
  namespace mi = mixtable_inventory;
  EXPECT_EQ(mi::CheckTable(def, hformula_GetArchiveDef()),
            mi::TableState::kDiffers);
  ASSERT_TRUE(mi::UpdateTable(def, hformula_GetArchiveDef()));
  EXPECT_EQ(mi::CheckTable(def, hformula_GetArchiveDef()),
            mi::TableState::kMatches);
  Wdbase db;
  ASSERT_EQ(1, db.SetFiles(kDir, "FRMINV", 0, nullptr, nullptr));
  ASSERT_EQ(1, db.Open());
  ASSERT_EQ(db.RecCount(), 2);
  EXPECT_GT(db.FieldNo("CUSCAN_DES"), 0);
  db.Goto(1);
  EXPECT_EQ(db.Deleted(), 1);
  EXPECT_DOUBLE_EQ(db.ReadDouble("MINE"), 12.5);
  db.Goto(2);
  EXPECT_EQ(db.Deleted(), 0);
  EXPECT_DOUBLE_EQ(db.ReadDouble("MINE"), 25.0);
  db.Close();
  // A missing table is reported as such and created only then.
  Wdbase none;
  ASSERT_EQ(1, none.SetFiles(kDir, "NONE", 0, nullptr, nullptr));
  EXPECT_EQ(mi::CheckTable(none, hformula_GetArchiveDef()),
            mi::TableState::kMissing);
  EXPECT_TRUE(mi::CreateTable(none, hformula_GetArchiveDef()));
  EXPECT_FALSE(mi::CreateTable(none, hformula_GetArchiveDef()));
}

TEST_F(StorageManagerTest, EachDirectoryIsCheckedOnItsOwn) {
  CWy_StorageManager first(kDir);
  ASSERT_TRUE(first.IsReady());
  // Another directory with an INVENT lacking a field: a manager on it
  // checks (and updates) it although the first one was checked.
  const char* other = "c:\\inv2\\";
  ASSERT_TRUE(Wy_MkDir(other));
  {
    Wdbase db;
    WDBASE_FIELD few[] = {{"ID", 'C', 5, 0, 0}, {"FRM_ID", 'C', 5, 0, 0}, {}};
    ASSERT_EQ(1, db.SetFiles(other, "INVENT", 0, nullptr, nullptr));
    ASSERT_EQ(1, db.CreateDb(few));
  }
  CWy_StorageManager second(other);
  ASSERT_TRUE(second.IsReady());
  Raw raw("INVENT", other);
  EXPECT_EQ(raw.db.FieldCount(), 17);
}

constexpr int kEach = 40;

// Stores kEach formulas named tag0, tag1, ... with two batches each;
// answers how many were stored.
int StoreFormulas(const std::string& tag) {
  CWy_StorageManager m(kDir);
  int ok = 0;
  for (int i = 0; i < kEach; ++i) {
    CWy_FormulaInv inv = Stored(tag + std::to_string(i), 2);
    if (m.InsertFormula(inv, false) > 0) ++ok;
  }
  return ok;
}

// args: tag. 0 when all kEach formulas were stored.
KALVO_CHILD_MAIN(storage_store)(const std::vector<std::string>& args) {
  return args.size() == 1 && StoreFormulas(args[0]) == kEach ? 0 : 1;
}

TEST_F(StorageManagerTest, TwoProcessesGetUniqueIds) {
  { CWy_StorageManager init(kDir); }
  std::unique_ptr<platform::Process> child;
  ASSERT_TRUE(
      platform::testing::StartChild("storage_store", {"child"}, &child).ok());
  EXPECT_EQ(StoreFormulas("parent"), kEach);
  EXPECT_EQ(platform::testing::WaitChild(child.get()), 0);
  CWy_StorageManager m(kDir);
  EXPECT_EQ(m.GetSize(), 2 * kEach);
  std::set<int32_t> frmIds, batchIds;
  int batches = 0;
  for (bool ok = m.Begin(); ok && !m.IsEof(); ok = m.GoNext()) {
    CWy_FormulaInv inv;
    ASSERT_TRUE(m.GetCurrentFormula(inv, true));
    frmIds.insert(inv.GetFrmInvID());
    EXPECT_EQ(inv.GetNumberOfBatches(), 2);
    for (int i = 0; i < inv.GetNumberOfBatches(); ++i) {
      CWy_Batch b;
      inv.GetBatch(b, i);
      batchIds.insert(b.GetBatchAbsID());
      ++batches;
    }
  }
  EXPECT_EQ(frmIds.size(), 2u * kEach);
  EXPECT_EQ(batches, 4 * kEach);
  EXPECT_EQ(batchIds.size(), 4u * kEach);
}

}  // namespace
