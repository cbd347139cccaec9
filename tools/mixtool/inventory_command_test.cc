// mixtool inventory list, show and check on inventories built in a
// temporary drives root.

#include "inventory_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "mixtable/wy_storage_manager.h"
#include "platform/testing/temp_drives.h"

namespace {

constexpr const char* kDir = "c:\\inv\\";

class InventoryCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CWy_StorageManager m(kDir);
    ASSERT_TRUE(m.IsReady());
    CWy_FormulaInv inv;
    Wy_Formula f;
    f.m_ClrName = "RED|DARK|X1|note";
    f.m_Frm = "1,10,2,20";
    f.m_FrmNomQ = 1000;
    f.m_CanNomQ = 1000;
    f.m_CanId = 1;
    f.m_BasId = 1;
    f.SetUnit(0, 1.0, 1.0, 1.0);
    inv.SetFormula(f);
    CWy_Batch b;
    b.SetBatchName("Red");
    b.SetQuantity(1.5);
    b.SetLocationX("A");
    b.SetFrmBarCode("L1");
    tm d{};
    d.tm_year = 2026, d.tm_mon = 3, d.tm_mday = 4;
    b.SetProdDate(d);
    inv.InsertBatch(b);
    ASSERT_EQ(m.InsertFormula(inv, false), 1);
  }

  int Run(int (*fn)(const std::string&, std::ostream&, std::ostream&),
          const std::string& dir) {
    out_.str("");
    err_.str("");
    return fn(dir, out_, err_);
  }

  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(InventoryCommandTest, ListsFormulasWithBatches) {
  ASSERT_EQ(Run(mixtool::InventoryList, kDir), 0) << err_.str();
  const std::string out = out_.str();
  EXPECT_NE(out.find("formula 1 data 0 \"RED|DARK|X1|note\" 1,10,2,20"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  batch 1 index 1 name \"Red\" quantity 1.50 ml "
                     "location \"A//\" produced 2026-03-04"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("barcode \"L1\""), std::string::npos);
  EXPECT_NE(out.find("1 formulas, 1 batches"), std::string::npos);
}

TEST_F(InventoryCommandTest, ShowsOneFormula) {
  std::ostringstream out, err;
  ASSERT_EQ(mixtool::InventoryShow(kDir, "1", out, err), 0) << err.str();
  EXPECT_NE(out.str().find("@"), std::string::npos);
  EXPECT_NE(out.str().find("  batch 1 "), std::string::npos);
  EXPECT_EQ(mixtool::InventoryShow(kDir, "2", out, err), 1);
  EXPECT_EQ(err.str(), "mixtool: no stored formula 2\n");
  std::ostringstream err2;
  EXPECT_EQ(mixtool::InventoryShow(kDir, "x", out, err2), 1);
  EXPECT_EQ(err2.str(), "mixtool: not a formula id: x\n");
}

TEST_F(InventoryCommandTest, CheckFindsOrphans) {
  ASSERT_EQ(Run(mixtool::InventoryCheck, kDir), 0) << err_.str();
  EXPECT_NE(out_.str().find("1 formulas (0 deleted), 1 batches (0 deleted), "
                            "0 faults"),
            std::string::npos)
      << out_.str();
  {
    Wdbase inv;
    const char* names[] = {"INVENT", "FRMIDINV"};
    const char* exprs[] = {"ID", "FRM_ID"};
    ASSERT_EQ(1, inv.SetFiles(kDir, "INVENT", 2, names, exprs));
    ASSERT_EQ(1, inv.Open());
    ASSERT_EQ(1, inv.AppendBlank());
    inv.WriteString("ID", "    5");
    inv.WriteString("FRM_ID", "    9");
    inv.Close();
  }
  EXPECT_EQ(Run(mixtool::InventoryCheck, kDir), 1);
  EXPECT_NE(out_.str().find("batch 5: formula 9 is not stored"),
            std::string::npos);
  EXPECT_EQ(err_.str(), "mixtool: the inventory has faults\n");
  EXPECT_EQ(Run(mixtool::InventoryList, "relative"), 1);
  EXPECT_NE(err_.str().find("cannot be opened"), std::string::npos);
}

}  // namespace
