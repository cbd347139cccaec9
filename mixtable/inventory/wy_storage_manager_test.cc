// CWy_StorageManager on inventories in a temporary drives root: ids,
// duplicates, reading back, rewriting and erasing batches, the location
// check, copies.

#include "mixtable/wy_storage_manager.h"

#include <gtest/gtest.h>

#include <string>

#include "inventory/storage_test_util.h"
#include "mixtable/mixtable.h"
#include "testing/data_set_builder.h"

namespace {

using namespace inventory_testing;

TEST_F(StorageManagerTest, FirstIdsAndWhatTheBatchesCarry) {
  CWy_StorageManager m(kDir);
  ASSERT_TRUE(m.IsReady());
  EXPECT_EQ(m.GetSize(), 0);
  EXPECT_FALSE(m.Begin());
  EXPECT_FALSE(m.End());
  CWy_FormulaInv a = Stored("RED|DARK|X1|note", 2);
  EXPECT_EQ(m.InsertFormula(a, false), 1);
  EXPECT_EQ(a.GetFrmInvID(), 1);
  CWy_Batch b;
  ASSERT_TRUE(a.GetBatch(b, 0));
  EXPECT_EQ(b.GetBatchAbsID(), 1);  // the first batch ever stored
  EXPECT_FALSE(b.IsModified());
  EXPECT_FALSE(b.GetFrmBarCode().empty());  // the time, as "%u"
  CWy_FormulaInv c = Stored("BLUE", 1);
  EXPECT_EQ(m.InsertFormula(c, false), 2);
  ASSERT_TRUE(c.GetBatch(b, 0));
  EXPECT_EQ(b.GetBatchAbsID(), 3);
  Raw inv("INVENT");
  ASSERT_EQ(inv.db.RecCount(), 3);
  EXPECT_EQ(inv.Field(1, "ID"), "    1");
  EXPECT_EQ(inv.Field(1, "BATCH_INDX"), "    1");
  EXPECT_EQ(inv.Field(2, "BATCH_INDX"), "    2");
  EXPECT_EQ(inv.Field(3, "FRM_ID"), "    2");
  EXPECT_EQ(inv.Field(3, "DATAID"), "0         ");  // "%u"
  EXPECT_EQ(inv.Field(1, "BATCH_NAME").substr(0, 4), "B   ");
  EXPECT_EQ(inv.Field(2, "BATCH_NAME").substr(0, 4), "B 1 ");
  Raw frm("FRMINV");
  EXPECT_EQ(frm.Field(2, "ID"), "    2");
  EXPECT_EQ(frm.Field(1, "KEY2").substr(0, 5), "DARK ");
}

TEST_F(StorageManagerTest, DuplicatesCompareAsStored) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv a = Stored("RED|DARK|X1|note", 1);
  ASSERT_EQ(m.InsertFormula(a, false), 1);
  CWy_FormulaInv again = Stored("RED|DARK|X1|note", 1);
  EXPECT_EQ(m.InsertFormula(again, false), -1);
  EXPECT_EQ(again.GetFrmInvID(), 0);
  EXPECT_EQ(m.GetSize(), 1);
  // Keys are cut to 24 characters when stored.
  const std::string longKey(24, 'K');
  CWy_FormulaInv l1 = Stored(longKey + "A|x", 1);
  CWy_FormulaInv l2 = Stored(longKey + "B|x", 1);
  ASSERT_EQ(m.InsertFormula(l1, false), 2);
  EXPECT_EQ(m.InsertFormula(l2, false), -1);
  EXPECT_EQ(m.InsertFormula(l2, true), 3);  // allowed on request
  // Another comment is another formula.
  CWy_FormulaInv other = Stored("RED|DARK|X1|other", 1);
  EXPECT_EQ(m.InsertFormula(other, false), 4);
}

TEST_F(StorageManagerTest, ReadsBackWhatWasStored) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv;
  Wy_Formula f = MakeFormula("RED|DARK|X1|note", "1,12.5,3,0.25");
  f.m_CanId = 0;  // a custom can
  f.m_CanName = "Tin";
  f.m_CanNomQ = 750;
  f.m_Fill_QC = 700;
  inv.SetFormula(f);
  CWy_Batch b = MakeBatch("Red", "A1", 2.25);
  tm prod{};
  prod.tm_year = 2025, prod.tm_mon = 11, prod.tm_mday = 30;
  b.SetProdDate(prod);
  b.SetFrmBarCode("LABEL-7");
  b.SetWeightMode(true);
  b.SetComment("kept");
  inv.InsertBatch(b);
  ASSERT_EQ(m.InsertFormula(inv, false), 1);

  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv back;
  ASSERT_TRUE(m.GetCurrentFormula(back, true));
  EXPECT_EQ(back.GetFrmInvID(), 1);
  const Wy_Formula& g = back.GetFormula();
  EXPECT_EQ(g.m_ClrName, "RED|DARK|X1|note");
  EXPECT_EQ(g.m_Frm, "1,12.5,3,0.25");
  EXPECT_EQ(g.m_FrmNomQ, 750);
  EXPECT_EQ(g.m_CanId, 0);
  EXPECT_EQ(g.m_CanName, "Tin");
  EXPECT_EQ(g.m_CanNomQ, 750);
  EXPECT_EQ(g.m_Fill_QC, 700);
  EXPECT_EQ(g.m_PrdId, 1);
  EXPECT_EQ(g.m_SpdId, 1);
  EXPECT_EQ(g.m_BasId, 1);
  EXPECT_EQ(g.m_X10[0], -1.0);
  EXPECT_EQ(g.m_X02[2], -1.0);
  EXPECT_EQ(g.m_Rfl[0], 0.0);  // the formula's curve of zeros was stored
  ASSERT_EQ(back.GetNumberOfBatches(), 1);
  CWy_Batch r;
  ASSERT_TRUE(back.GetBatch(r, 0));
  EXPECT_FALSE(r.IsModified());
  EXPECT_EQ(r.GetBatchAbsID(), 1);
  EXPECT_EQ(r.GetBatchIndex(), 1);
  EXPECT_EQ(r.GetBatchName(), "Red");
  EXPECT_EQ(r.GetLocationX(), "A1");
  EXPECT_EQ(r.GetLocationY(), "row 2");
  EXPECT_EQ(r.GetQuality(), "good");
  EXPECT_EQ(r.GetComment(), "kept");
  EXPECT_EQ(r.GetFrmBarCode(), "LABEL-7");  // its own code, not the time
  EXPECT_DOUBLE_EQ(r.GetQuantity(), 2.25);
  EXPECT_TRUE(r.GetWeightMode());
  EXPECT_EQ(r.GetProdDate().tm_year, 2025);
  EXPECT_EQ(r.GetProdDate().tm_mon, 11);
  EXPECT_EQ(r.GetProdDate().tm_mday, 30);
  EXPECT_FALSE(m.GoNext() && !m.IsEof());
  EXPECT_TRUE(m.IsEof());
  EXPECT_FALSE(m.GetCurrentFormula(back, false));  // at end of file
}

TEST_F(StorageManagerTest, AnUncataloguedDataIdReadsBackAsWritten) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv = Stored("U", 1);
  inv.GetFormula().m_DataId = 777;
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  {
    Raw raw("INVENT");
    EXPECT_EQ(raw.Field(1, "DATAID"), "777       ");
  }
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv back;
  ASSERT_TRUE(m.GetCurrentFormula(back, true));
  const Wy_Formula& g = back.GetFormula();
  EXPECT_EQ(g.m_DataId, 777u);
  EXPECT_EQ(g.m_BasId, 1);  // no data set to ask: the record's ids
  EXPECT_EQ(g.m_CanId, 1);
  EXPECT_EQ(g.m_CanNomQ, 1000);
  ASSERT_EQ(back.GetNumberOfBatches(), 1);
  CWy_Batch b;
  back.GetBatch(b, 0);
  EXPECT_EQ(b.GetToWeightConversionFactor(), 0.0);  // no colorants known
}

TEST_F(StorageManagerTest, EmptyReflectanceReadsAsMinusOne) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv = Stored("A", 1);
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  {
    Raw frm("FRMINV");
    frm.db.Goto(1);
    ASSERT_EQ(1, frm.db.WriteString("FRM_REFL", " "));
  }
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv back;
  ASSERT_TRUE(m.GetCurrentFormula(back, false));
  for (double v : back.GetFormula().m_Rfl) EXPECT_EQ(v, -1.0);
  EXPECT_EQ(back.GetNumberOfBatches(), 0);
}

TEST_F(StorageManagerTest, ToWeightFactorFromTheDataSet) {
  std::string error;
  ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
      << error;
  {
    Wdbase cnts;
    cnts.SetFiles("c:\\gdata\\", "CNTS", 0, nullptr, nullptr);
    ASSERT_EQ(1, cnts.Open());
    ASSERT_EQ(1, cnts.Goto(2));
    ASSERT_EQ(1, cnts.WriteDouble("SPEC_W", 2000.0));
    cnts.Close();
  }
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv = Stored("W", 2);
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv back;
  ASSERT_TRUE(m.GetCurrentFormula(back, true));
  CMixtable tables;
  tables.SetDataId(0);
  const Wy_Formula& g = back.GetFormula();
  const double vol = g.CalcolateTotalQuantity(&tables, false, false);
  const double wgt = g.CalcolateTotalQuantity(&tables, true, false);
  ASSERT_GT(vol, 0);
  ASSERT_GT(wgt, 0);
  ASSERT_EQ(back.GetNumberOfBatches(), 2);
  for (int i = 0; i < 2; ++i) {
    CWy_Batch b;
    back.GetBatch(b, i);
    EXPECT_DOUBLE_EQ(b.GetToWeightConversionFactor(), wgt / vol);
  }
}

TEST_F(StorageManagerTest, ErasingTheLastBatchRemovesTheFormula) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv keep = Stored("KEEP", 1);
  CWy_FormulaInv inv = Stored("GO", 2);
  ASSERT_EQ(m.InsertFormula(keep, false), 1);
  ASSERT_EQ(m.InsertFormula(inv, false), 2);
  // Stand on the other formula: the erase must seek its own record.
  ASSERT_TRUE(m.Begin());
  EXPECT_TRUE(m.UpdateFormulaBatch(inv, 1, true, false));
  EXPECT_EQ(inv.GetNumberOfBatches(), 1);
  EXPECT_EQ(m.GetSize(), 2);
  EXPECT_TRUE(m.UpdateFormulaBatch(inv, 1, true, false));  // already gone
  EXPECT_TRUE(m.UpdateFormulaBatch(inv, 2, true, false));
  EXPECT_EQ(m.GetSize(), 1);
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv left;
  ASSERT_TRUE(m.GetCurrentFormula(left, true));
  EXPECT_EQ(left.GetFrmInvID(), 1);
  EXPECT_EQ(left.GetNumberOfBatches(), 1);
  Raw raw("INVENT");
  EXPECT_EQ(raw.db.RecCount(), 1);
}

TEST_F(StorageManagerTest, RewriteAndAppendBatches) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv = Stored("RW", 1);
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  CWy_Batch b;
  ASSERT_TRUE(inv.GetBatch(b, 0));
  const std::string label = b.GetFrmBarCode();
  b.SetQuantity(0.75);
  b.SetQuality("");  // a cleared text is stored cleared
  inv.SetBatch(b, 0);
  EXPECT_TRUE(m.UpdateFormulaBatch(inv, 1, false, false));
  EXPECT_FALSE(m.UpdateFormulaBatch(inv, 5, false, false));  // no batch 5
  inv.InsertBatch(MakeBatch("New", "B9"));
  EXPECT_TRUE(m.UpdateFormulaBatch(inv, 2, false, true));
  ASSERT_TRUE(inv.GetBatchByIndex(b, 2));
  EXPECT_EQ(b.GetBatchAbsID(), 2);
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv back;
  ASSERT_TRUE(m.GetCurrentFormula(back, true));
  ASSERT_EQ(back.GetNumberOfBatches(), 2);
  ASSERT_TRUE(back.GetBatchByIndex(b, 1));
  EXPECT_EQ(b.GetBatchAbsID(), 1);
  EXPECT_DOUBLE_EQ(b.GetQuantity(), 0.75);
  EXPECT_EQ(b.GetQuality(), "");
  EXPECT_EQ(b.GetFrmBarCode(), label);  // a rewrite keeps the label
  // The record keeps its id even when the object has lost it.
  b.SetBatchAbsID(0);
  back.SetBatchByIndex(b, 1);
  EXPECT_TRUE(m.UpdateFormulaBatch(back, 1, false, false));
  ASSERT_TRUE(back.GetBatchByIndex(b, 1));
  EXPECT_EQ(b.GetBatchAbsID(), 1);
  ASSERT_TRUE(m.SeekBatch(1));
  // A batch erased meanwhile (by another manager) is not rewritten.
  CWy_StorageManager other(kDir);
  CWy_FormulaInv copy = back;
  ASSERT_TRUE(other.UpdateFormulaBatch(copy, 2, true, false));
  EXPECT_FALSE(m.UpdateFormulaBatch(back, 2, false, false));
}

TEST_F(StorageManagerTest, SkippedBatchesKeepIdZero) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv;
  inv.SetFormula(MakeFormula("SKIP"));
  CWy_Batch plain = MakeBatch("stored");
  CWy_Batch untouched = MakeBatch("untouched");
  CWy_Batch invalid = MakeBatch("invalid");
  invalid.RequireComment(true);
  inv.InsertBatch(plain);
  inv.InsertBatch(untouched);
  inv.InsertBatch(invalid);
  CWy_Batch clean;
  ASSERT_TRUE(inv.GetBatch(clean, 1));
  clean.SetIsModify(false);
  inv.SetBatch(clean, 1);
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  CWy_Batch b;
  inv.GetBatch(b, 0);
  EXPECT_EQ(b.GetBatchAbsID(), 1);
  inv.GetBatch(b, 1);
  EXPECT_EQ(b.GetBatchAbsID(), 0);
  inv.GetBatch(b, 2);
  EXPECT_EQ(b.GetBatchAbsID(), 0);
  Raw raw("INVENT");
  EXPECT_EQ(raw.db.RecCount(), 1);
}

TEST_F(StorageManagerTest, AFailedInsertLeavesNothingBehind) {
  CWy_StorageManager m(kDir);
  // A formula text the archive layout cannot hold whole.
  CWy_FormulaInv tooLong = Stored("LONG", 1);
  tooLong.GetFormula().m_Frm = std::string(97, '1');
  EXPECT_EQ(m.InsertFormula(tooLong, false), 0);
  EXPECT_EQ(m.GetSize(), 0);
  // Batch ids exhausted: the formula record goes again.
  {
    Raw raw("INVENT");
    ASSERT_EQ(1, raw.db.AppendBlank());
    ASSERT_EQ(1, raw.db.WriteString("ID", "99999"));
    ASSERT_EQ(1, raw.db.WriteString("FRM_ID", "  500"));
  }
  CWy_FormulaInv inv = Stored("FULL", 2);
  EXPECT_EQ(m.InsertFormula(inv, false), 0);
  EXPECT_EQ(m.GetSize(), 0);
  EXPECT_EQ(inv.GetFrmInvID(), 0);
  {
    Raw raw("INVENT");
    EXPECT_EQ(raw.db.RecCount(), 1);
    raw.db.Goto(1);
    ASSERT_EQ(1, raw.db.Delete());
    ASSERT_EQ(1, raw.db.Pack());
  }
  // A retry meets no half of the first attempt.
  EXPECT_EQ(m.InsertFormula(inv, false), 1);
}

TEST_F(StorageManagerTest, DeletedRecordsAreRecalledOrErased) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv a = Stored("A", 2);
  CWy_FormulaInv b = Stored("B", 1);
  ASSERT_EQ(m.InsertFormula(a, false), 1);
  ASSERT_EQ(m.InsertFormula(b, false), 2);
  ASSERT_TRUE(m.Begin());
  ASSERT_TRUE(m.DeleteCurrentFormula());
  EXPECT_TRUE(m.IsCurrentFormulaDeleted());
  {
    // Another handle sees the mark while the manager still stands on it.
    Raw raw("FRMINV");
    ASSERT_EQ(1, raw.db.Goto(1));
    EXPECT_EQ(1, raw.db.Deleted());
  }
  // A new initialisation recalls what was not erased.
  ASSERT_TRUE(m.SetInventoryPath(kDir));
  ASSERT_TRUE(m.Begin());
  EXPECT_FALSE(m.IsCurrentFormulaDeleted());
  EXPECT_EQ(m.GetSize(), 2);
  // Erased: the formula and its batches go.
  ASSERT_TRUE(m.DeleteCurrentFormula());
  ASSERT_TRUE(m.EraseDeletedFormulas());
  EXPECT_EQ(m.GetSize(), 1);
  {
    Raw raw("INVENT");
    ASSERT_EQ(raw.db.RecCount(), 1);
    EXPECT_EQ(raw.Field(1, "FRM_ID"), "    2");
    // A batch marked deleted elsewhere: erasing deleted batches takes the
    // formula left without any along.
    raw.db.Goto(1);
    ASSERT_EQ(1, raw.db.Delete());
  }
  ASSERT_TRUE(m.EraseDeletedBatches());
  EXPECT_EQ(m.GetSize(), 0);
}

TEST_F(StorageManagerTest, CheckUniqueLocation) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv = Stored("LOC", 1);  // at "shelf 0", "row 2", "z"
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  CWy_Batch stored;
  inv.GetBatch(stored, 0);
  EXPECT_TRUE(m.CheckUniqueLocation(stored));  // itself
  CWy_Batch other = MakeBatch("o", "shelf 0");
  EXPECT_FALSE(m.CheckUniqueLocation(other));
  other.SetLocationZ("y");
  EXPECT_TRUE(m.CheckUniqueLocation(other));
  EXPECT_TRUE(m.CheckUniqueLocation(MakeBatch("e", "")));  // no X
}

TEST_F(StorageManagerTest, GetCurrentBatchAndItsFormula) {
  CWy_StorageManager m(kDir);
  CWy_FormulaInv inv = Stored("CB", 2);
  ASSERT_EQ(m.InsertFormula(inv, false), 1);
  ASSERT_TRUE(m.SeekBatch(2));
  CWy_Batch b;
  ASSERT_TRUE(m.GetCurrentBatch(b));
  EXPECT_EQ(b.GetBatchName(), "B 1");
  CWy_FormulaInv f;
  ASSERT_TRUE(m.GetFormulaOfCurrentBatch(f));
  EXPECT_EQ(f.GetFrmInvID(), 1);
  EXPECT_EQ(f.GetNumberOfBatches(), 0);
  EXPECT_FALSE(m.SeekBatch(3));
  EXPECT_FALSE(m.SeekFormula(0));
  // A batch whose FRM_ID names no formula, blank dates.
  {
    Raw raw("INVENT");
    ASSERT_EQ(1, raw.db.AppendBlank());
    ASSERT_EQ(1, raw.db.WriteString("ID", "    9"));
    ASSERT_EQ(1, raw.db.WriteString("FRM_ID", "   77"));
  }
  ASSERT_TRUE(m.SeekBatch(9));
  ASSERT_TRUE(m.GetCurrentBatch(b));
  EXPECT_EQ(b.GetProdDate().tm_year, -1);
  EXPECT_EQ(b.GetExpDate().tm_mon, -1);
  EXPECT_EQ(b.GetReflSettingDate().tm_mday, -1);
  EXPECT_FALSE(m.GetFormulaOfCurrentBatch(f));
}

TEST_F(StorageManagerTest, CopiesOpenTheirOwnHandles) {
  auto* first = new CWy_StorageManager(kDir);
  CWy_FormulaInv inv = Stored("COPY", 1);
  ASSERT_EQ(first->InsertFormula(inv, false), 1);
  CWy_StorageManager copy(*first);
  CWy_StorageManager assigned;
  assigned = *first;
  delete first;
  ASSERT_TRUE(copy.IsReady());
  EXPECT_EQ(copy.GetInventoryPath(), kDir);
  ASSERT_TRUE(copy.Begin());
  CWy_FormulaInv back;
  EXPECT_TRUE(copy.GetCurrentFormula(back, true));
  EXPECT_EQ(assigned.GetSize(), 1);
}

}  // namespace
