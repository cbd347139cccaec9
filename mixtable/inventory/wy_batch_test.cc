// CWy_Batch and CWy_FormulaInv: defaults, the modified flag, validation,
// quantity conversion, and the batch list (indexes, names, positions).

#include "mixtable/wy_batch.h"

#include <gtest/gtest.h>

#include <string>

#include "inventory/inventory_text.h"
#include "mixtable/wy_formula_inv.h"
#include "platform/env.h"

namespace {

tm Date(int y, int m, int d) {
  tm t{};
  t.tm_year = y;
  t.tm_mon = m;
  t.tm_mday = d;
  return t;
}

CWy_Batch Named(const std::string& name, int index = 0) {
  CWy_Batch b;
  b.SetBatchName(name);
  b.SetBatchIndex(index);
  return b;
}

TEST(CWyBatch, DefaultsAreEmptyAndToday) {
  const CWy_Batch b;
  EXPECT_EQ(b.GetBatchAbsID(), 0);
  EXPECT_EQ(b.GetBatchIndex(), 0);
  EXPECT_EQ(b.GetQuantity(), 0.0);
  EXPECT_FALSE(b.GetWeightMode());
  EXPECT_FALSE(b.IsModified());
  EXPECT_FALSE(b.UseFormulaRefl());
  EXPECT_EQ(b.GetToWeightConversionFactor(), 0.0);
  const platform::LocalTime local = platform::Env::Current()->Now();
  // Full year, month from 1.
  EXPECT_EQ(b.GetProdDate().tm_year, local.year);
  EXPECT_EQ(b.GetExpDate().tm_mon, local.month);
  EXPECT_EQ(b.GetReflSettingDate().tm_mday, local.day);
  EXPECT_TRUE(b.ValidateBatch());  // nothing required
}

TEST(CWyBatch, SettersMarkModifiedOnlyOnChange) {
  CWy_Batch b;
  b.SetBatchName("");
  b.SetQuantity(0.0);
  b.SetWeightMode(false);
  tm same = b.GetProdDate();
  same.tm_hour = (same.tm_hour + 3) % 24;  // the time of day does not count
  b.SetProdDate(same);
  EXPECT_FALSE(b.IsModified());
  b.SetLocationX("A");
  EXPECT_TRUE(b.IsModified());
  b.SetIsModify(false);
  b.SetExpDate(Date(2030, 1, 1));
  EXPECT_TRUE(b.IsModified());
  b.SetIsModify(false);
  b.SetBatchAbsID(7);
  EXPECT_TRUE(b.IsModified());
}

TEST(CWyBatch, SetFrmReflDatesTheReflectanceToday) {
  CWy_Batch b;
  b.SetReflSettingDate(Date(2001, 2, 3));
  b.SetFrmRefl("50.000;");
  EXPECT_EQ(b.GetReflSettingDate().tm_year, CWy_Batch::Today().tm_year);
  EXPECT_EQ(b.GetReflSettingDate().tm_mday, CWy_Batch::Today().tm_mday);
}

TEST(CWyBatch, ValidateBatchChecksWhatIsRequired) {
  struct Case {
    const char* what;
    void (*require)(CWy_Batch&);
    void (*fill)(CWy_Batch&);
  };
  const Case cases[] = {
      {"abs id", [](CWy_Batch& b) { b.RequireBatchAbsID(true); },
       [](CWy_Batch& b) { b.SetBatchAbsID(4); }},
      {"index", [](CWy_Batch& b) { b.RequireBatchIndex(true); },
       [](CWy_Batch& b) { b.SetBatchIndex(1); }},
      {"name", [](CWy_Batch& b) { b.RequireBatchName(true); },
       [](CWy_Batch& b) { b.SetBatchName("Red"); }},
      {"comment", [](CWy_Batch& b) { b.RequireComment(true); },
       [](CWy_Batch& b) { b.SetComment("c"); }},
      {"barcode", [](CWy_Batch& b) { b.RequireFrmBarCode(true); },
       [](CWy_Batch& b) { b.SetFrmBarCode("123"); }},
      {"refl", [](CWy_Batch& b) { b.RequireFrmRefl(true); },
       [](CWy_Batch& b) { b.SetFrmRefl("1.000;"); }},
      {"x", [](CWy_Batch& b) { b.RequireLocationX(true); },
       [](CWy_Batch& b) { b.SetLocationX("A"); }},
      {"y", [](CWy_Batch& b) { b.RequireLocationY(true); },
       [](CWy_Batch& b) { b.SetLocationY("B"); }},
      {"z", [](CWy_Batch& b) { b.RequireLocationZ(true); },
       [](CWy_Batch& b) { b.SetLocationZ("C"); }},
      {"quality", [](CWy_Batch& b) { b.RequireQuality(true); },
       [](CWy_Batch& b) { b.SetQuality("good"); }},
      {"quantity", [](CWy_Batch& b) { b.RequireQuantity(true); },
       [](CWy_Batch& b) { b.SetQuantity(0.5); }},
      {"prod date", [](CWy_Batch& b) { b.RequireProdDate(true); },
       [](CWy_Batch& b) { b.SetProdDate(Date(2026, 1, 1)); }},
      {"exp date", [](CWy_Batch& b) { b.RequireExpDate(true); },
       [](CWy_Batch& b) { b.SetExpDate(Date(2026, 1, 1)); }},
      {"refl date", [](CWy_Batch& b) { b.RequireReflSettingDate(true); },
       [](CWy_Batch& b) { b.SetReflSettingDate(Date(2026, 1, 1)); }},
  };
  for (const Case& c : cases) {
    CWy_Batch b;
    // A missing date is one whose day, month and year are all negative.
    b.SetProdDate(Date(-1, -1, -1));
    b.SetExpDate(Date(-1, -1, -1));
    b.SetReflSettingDate(Date(-1, -1, -1));
    EXPECT_TRUE(b.ValidateBatch()) << c.what;
    c.require(b);
    EXPECT_FALSE(b.ValidateBatch()) << c.what;
    c.fill(b);
    EXPECT_TRUE(b.ValidateBatch()) << c.what;
  }
  CWy_Batch b;
  b.RequireWeightMode(true);  // never checked
  EXPECT_TRUE(b.ValidateBatch());
  b.RequireProdDate(true);
  b.SetProdDate(Date(-1, 5, -1));  // only partly missing
  EXPECT_TRUE(b.ValidateBatch());
}

TEST(CWyBatch, ConvertQuantity) {
  CWy_Batch b;
  b.SetQuantity(2.0);
  EXPECT_TRUE(b.ConvertQuantity(false));  // already by volume
  EXPECT_FALSE(b.ConvertQuantity(true));  // factor 0
  EXPECT_EQ(b.GetQuantity(), 2.0);
  EXPECT_FALSE(b.GetWeightMode());
  b.SetToWeightConversionFactor(1.25);
  EXPECT_TRUE(b.ConvertQuantity(true));
  EXPECT_DOUBLE_EQ(b.GetQuantity(), 2.5);
  EXPECT_TRUE(b.GetWeightMode());
  EXPECT_TRUE(b.ConvertQuantity(false));
  EXPECT_DOUBLE_EQ(b.GetQuantity(), 2.0);
  EXPECT_FALSE(b.GetWeightMode());
}

TEST(CWyFormulaInv, InsertBatchMakesNamesUnique) {
  CWy_FormulaInv f;
  EXPECT_EQ(f.InsertBatch(Named("Red")), 0);
  EXPECT_EQ(f.InsertBatch(Named("Red")), 1);
  EXPECT_EQ(f.InsertBatch(Named("Red")), 2);
  CWy_Batch b;
  ASSERT_TRUE(f.GetBatch(b, 1));
  EXPECT_EQ(b.GetBatchName(), "Red 1");
  ASSERT_TRUE(f.GetBatch(b, 2));
  EXPECT_EQ(b.GetBatchName(), "Red 2");
  EXPECT_EQ(b.GetBatchIndex(), 3);
}

TEST(CWyFormulaInv, InsertBatchTakesTheSmallestFreeIndex) {
  CWy_FormulaInv f;
  f.InsertBatch(Named("a", 1));
  f.InsertBatch(Named("b", 3));
  CWy_Batch fresh = Named("c", 0);
  fresh.SetIsModify(false);
  f.InsertBatch(fresh);
  CWy_Batch b;
  ASSERT_TRUE(f.GetBatchByIndex(b, 2));
  EXPECT_EQ(b.GetBatchName(), "c");
  EXPECT_TRUE(b.IsModified());  // the index changed
  EXPECT_FALSE(f.GetBatchByIndex(b, 0));
  EXPECT_FALSE(f.GetBatchByIndex(b, -1));
  EXPECT_FALSE(f.GetBatchByIndex(b, 4));
}

TEST(CWyFormulaInv, InsertBatchWithTheFormulaReflectance) {
  CWy_FormulaInv f;
  Wy_Formula frm;
  for (double& r : frm.m_Rfl) r = 0.5;
  f.SetFormula(frm);
  CWy_Batch b = Named("r");
  b.SetUseFormulaRefl(true);
  f.InsertBatch(b);
  ASSERT_TRUE(f.GetBatch(b, 0));
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "50.000;";
  EXPECT_EQ(b.GetFrmRefl(), sixteen);
}

TEST(CWyFormulaInv, PositionsAndDeletion) {
  CWy_FormulaInv f;
  CWy_Batch b;
  EXPECT_FALSE(f.DeleteBatch(1));  // empty list
  EXPECT_FALSE(f.GetBatch(b, 0));
  f.InsertBatch(Named("a"));
  f.InsertBatch(Named("b"));
  EXPECT_FALSE(f.GetBatch(b, -1));
  EXPECT_FALSE(f.GetBatch(b, 2));
  EXPECT_FALSE(f.SetBatch(b, 2));
  EXPECT_TRUE(f.SetBatchByIndex(Named("B", 2), 2));
  EXPECT_FALSE(f.SetBatchByIndex(Named("x"), 9));
  ASSERT_TRUE(f.GetBatch(b, 1));
  EXPECT_EQ(b.GetBatchName(), "B");
  EXPECT_TRUE(f.DeleteBatch(9));  // no match is no failure
  EXPECT_EQ(f.GetNumberOfBatches(), 2);
  EXPECT_TRUE(f.DeleteBatch(1));
  EXPECT_EQ(f.GetNumberOfBatches(), 1);
  EXPECT_TRUE(f.DeleteAllBatches());
  EXPECT_EQ(f.GetNumberOfBatches(), 0);
}

TEST(InventoryText, ReflectanceTexts) {
  double v[16];
  mixtable_inventory::ParseRefl("", v);
  for (double x : v) EXPECT_EQ(x, -1.0);
  mixtable_inventory::ParseRefl("50;x;;12.5", v);
  EXPECT_DOUBLE_EQ(v[0], 0.5);
  EXPECT_EQ(v[1], -1.0);
  EXPECT_EQ(v[2], -1.0);
  EXPECT_DOUBLE_EQ(v[3], 0.125);
  EXPECT_EQ(v[4], -1.0);
  std::string forty;
  for (int i = 0; i < 40; ++i) forty += std::to_string(i) + ";";
  mixtable_inventory::ParseRefl(forty, v);
  EXPECT_DOUBLE_EQ(v[15], 0.15);
  double half[16];
  for (double& x : half) x = 0.005;
  EXPECT_EQ(mixtable_inventory::FormatRefl(half).substr(0, 12), "0.500;0.500;");
}

}  // namespace
