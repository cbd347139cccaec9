// HFormula resolution against the tables of a data set: a formula by id,
// products by id, name and code, bases, cans and shelf positions, archive
// formulas, optional formula fields, data sets that lack tables, and that
// nothing stays open afterwards.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "formula/hformula_resolve_fixture.h"
#include "mixtable/hformula.h"
#include "platform/testing/open_files.h"

namespace {

using mixtable_testing::Id;
using resolve_testing::AllClosed;
using resolve_testing::AppendIn;
using resolve_testing::ResolveTest;

TEST_F(ResolveTest, FormulaIdAloneBringsProductIndependentContent) {
  HFormula f = Resolved("@SRC 0\n@CLR #5 \"stale name\"\n@FRM \"9,9\"\n");
  EXPECT_EQ(f.m_ClrId, 5);
  EXPECT_EQ(f.m_Source, HF_SOURCE_STANDARD);
  EXPECT_EQ(f.m_ClrName, "RAL|9010||Pure white|");
  EXPECT_EQ(f.m_Frm, "1,10.5,2,3");
  EXPECT_EQ(f.m_BasId, 1);
  EXPECT_EQ(f.m_BasName, "White base");
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.9);
  EXPECT_DOUBLE_EQ(f.m_Fill_W, 1.1);
  EXPECT_EQ(f.m_BaseFrmId, 0);  // base 1 has no base formula
  EXPECT_DOUBLE_EQ(f.m_FrmNomQ, 1000);
  EXPECT_EQ(f.m_FrmCanWeight, 0);
  EXPECT_DOUBLE_EQ(f.m_Rfl[0], 0.40);
  EXPECT_DOUBLE_EQ(f.m_Rfl[1], 0.42);
  EXPECT_DOUBLE_EQ(f.m_Rfl[2], 0.0);
  EXPECT_DOUBLE_EQ(f.m_Rfl[15], 0.70);
  EXPECT_DOUBLE_EQ(f.m_X02[0], 1.5);
  EXPECT_DOUBLE_EQ(f.m_X02[2], 3.5);
  EXPECT_DOUBLE_EQ(f.m_X10[1], 5.5);
  // No product: the units are the defaults.
  EXPECT_EQ(f.m_PrdId, 0);
  EXPECT_EQ(f.m_WeightMode, 0);
  EXPECT_DOUBLE_EQ(f.m_VlUnit, 1.0);
  EXPECT_DOUBLE_EQ(f.m_VlFraction, 1.0);
  // No target can: shelf positions without heights, pouring count 1.
  EXPECT_EQ(f.m_CanId, 0);
  EXPECT_EQ(f.m_ShlPos[0], -1);
  EXPECT_EQ(f.m_ShlPos[1], 0);
  EXPECT_EQ(f.m_ShlPos[2], -1);
  EXPECT_EQ(f.m_Pnc, 1);
}

TEST_F(ResolveTest, MissingFormulaIdMakesTheFormulaManual) {
  HFormula f = Resolved("@SRC 8\n@CLR #77 \"RED\"\n@FRM \"1,1\"\n");
  EXPECT_EQ(f.m_ClrId, 0);
  EXPECT_EQ(f.m_Source, HF_SOURCE_MANUAL);
  EXPECT_EQ(f.m_Frm, "");
  EXPECT_EQ(f.m_FrmNomQ, 0.0);
  // A manual formula keeps its text.
  HFormula m = Resolved("@SRC 2\n@FRM \"1,1\"\n");
  EXPECT_EQ(m.m_Frm, "1,1");
  EXPECT_EQ(m.m_Source, HF_SOURCE_MANUAL);
}

TEST_F(ResolveTest, ProductsByIdNameAndCode) {
  const struct {
    const char* text;
    int32_t prd, spd;
    const char* prd_name;
    const char* spd_name;
  } cases[] = {
      {"@PRD #1 #2", 1, 2, "Interior", "Gloss"},
      {"@PRD \"interior\" \" matt \"", 1, 1, "Interior", "Matt"},
      {"@PRD \"UNQ\"", 3, 0, "Wood", ""},              // a unique CODE
      {"@PRD \"SHR\" \"Matt\"", 0, 0, "SHR", "Matt"},  // a shared CODE
      {"@PRD #9 #1", 0, 0, "", ""},                    // no such product
      {"@PRD #1 #9", 1, 0, "Interior", ""},            // no such sub-product
      {"@PRD #2 #1", 2, 0, "Exterior", ""},            // no SUBPRODS
  };
  for (const auto& c : cases) {
    HFormula f = Resolved(c.text);
    EXPECT_EQ(f.m_PrdId, c.prd) << c.text;
    EXPECT_EQ(f.m_SpdId, c.spd) << c.text;
    EXPECT_EQ(f.m_PrdName, c.prd_name) << c.text;
    EXPECT_EQ(f.m_SpdName, c.spd_name) << c.text;
  }
}

TEST_F(ResolveTest, SingleProductTakesALoneIdAsSubProduct) {
  for (int32_t only : {1, 3}) {
    const std::string dir = "c:\\single" + std::to_string(only) + "\\";
    mixtable_testing::DataSetBuilder b(dir);
    ASSERT_TRUE(b.AddProduct(only, "P", "Only")) << b.error();
    ASSERT_TRUE(b.AddSubProduct(only, 7, "S7", "Seven")) << b.error();
    CMixtableEx set;
    set.SetDataDir(dir.c_str());
    HFormula f;
    ASSERT_EQ(f.TxtReadText("@PRD #7", 7), 1);
    ASSERT_EQ(f.Resolve(&set.Mixtable()), 1);
    EXPECT_EQ(f.m_PrdId, only);
    EXPECT_EQ(f.m_SpdId, 7);
    EXPECT_EQ(f.m_SpdName, "Seven");
    EXPECT_TRUE(AllClosed(set.Mixtable()));
  }
}

TEST_F(ResolveTest, UnitsComeFromTheProductForAFormulaId) {
  HFormula f = Resolved("@PRD #2\n@CLR #5\n@WGH 0\n@UNT 7 7\n");
  EXPECT_EQ(f.m_WeightMode, 1);
  EXPECT_DOUBLE_EQ(f.m_WgUnit, 0.5);
  EXPECT_DOUBLE_EQ(f.m_WgFraction, 4.0);
  EXPECT_EQ(f.m_Frm, "1,10.5,2,3");
  // Without a formula id, usable units of the text stay.
  HFormula g = Resolved("@PRD #2\n@WGH 0\n@UNT 7 3\n");
  EXPECT_EQ(g.m_WeightMode, 0);
  EXPECT_DOUBLE_EQ(g.m_VlUnit, 7.0);
  EXPECT_DOUBLE_EQ(g.m_VlFraction, 3.0);
  // An unknown mode is read from the product.
  HFormula h = Resolved("@PRD #1 #1\n@WGH -1\n");
  EXPECT_EQ(h.m_WeightMode, 0);
  EXPECT_DOUBLE_EQ(h.m_VlUnit, 1.5);
  EXPECT_DOUBLE_EQ(h.m_VlFraction, 2.0);
}

TEST_F(ResolveTest, BasesByIdAndNameWithTheirBaseFormula) {
  HFormula f = Resolved("@BAS \"clear BASE\"\n");
  EXPECT_EQ(f.m_BasId, 2);
  EXPECT_EQ(f.m_BasName, "Clear base");
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.95);
  EXPECT_DOUBLE_EQ(f.m_Spec_W, 1.05);
  EXPECT_EQ(f.m_BaseFrmId, 2);
  EXPECT_EQ(f.m_BaseFrm, "1,5,2,3");
  EXPECT_EQ(f.m_BaseFrmWeight, 1);
  EXPECT_EQ(f.m_BaseDispensable, 1);
  HFormula g = Resolved("@BAS #9 \"gone\"\n");
  EXPECT_EQ(g.m_BasId, 0);
}

TEST_F(ResolveTest, ShelfPositionsFromTheCan) {
  const struct {
    const char* text;
    int32_t can;
    int pos[3];
  } cases[] = {
      {"@CAN #1", 1, {-2, -2, -2}},           // FLAGS "1"
      {"@CAN #2", 2, {-1, 3, -1}},            // ZERO_FLAG, FLAGS empty
      {"@CAN #3", 3, {7, 2, -3}},             // FLAGS "0"
      {"@CAN #9", 0, {-1, 0, -1}},            // no such can
      {"@CAN #1\n@SHL 1 2 3", 1, {1, 2, 3}},  // given positions stay
  };
  for (const auto& c : cases) {
    HFormula f = Resolved(c.text);
    EXPECT_EQ(f.m_CanId, c.can) << c.text;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(f.m_ShlPos[i], c.pos[i]) << c.text;
  }
  HFormula f = Resolved("@CAN #3 \"x\" 1");
  EXPECT_EQ(f.m_CanName, "5 kg");
  EXPECT_DOUBLE_EQ(f.m_CanNomQ, 5000);
  EXPECT_EQ(f.m_CanWeight, 1);
  HFormula g = Resolved("@CAN #9 \"x\" 1");
  EXPECT_EQ(g.m_CanNomQ, 0.0);
}

TEST_F(ResolveTest, CustomCanOfAFormulaRecord) {
  HFormula f = Resolved("@CLR #6\n");
  EXPECT_EQ(f.m_Frm, "3,1");
  EXPECT_DOUBLE_EQ(f.m_FrmNomQ, 2500);
  EXPECT_EQ(f.m_FrmCanWeight, 1);
  EXPECT_EQ(f.m_BasId, 2);
  EXPECT_EQ(f.m_BaseFrm, "1,5,2,3");
}

TEST_F(ResolveTest, ArchiveFormulaWithCustomCanAndManualBase) {
  HFormula f = Resolved("@SRC 1\n@CLR #100\n");
  EXPECT_EQ(f.m_Source, HF_SOURCE_CUSTOM);
  EXPECT_EQ(f.m_ClrId, 100);
  EXPECT_EQ(f.m_ClrName, "CUSTOM|||mine|");
  EXPECT_EQ(f.m_Frm, "3,7");
  // The quantities refer to the custom can the record describes.
  EXPECT_DOUBLE_EQ(f.m_FrmNomQ, 2500);
  EXPECT_EQ(f.m_FrmCanWeight, 1);
  // Units of the archive record: no product is selected.
  EXPECT_EQ(f.m_WeightMode, 1);
  EXPECT_DOUBLE_EQ(f.m_WgUnit, 2.0);
  EXPECT_DOUBLE_EQ(f.m_WgFraction, 1.0);
  EXPECT_EQ(f.m_BasId, 0);
  EXPECT_EQ(f.m_BaseFrm, "1,2");
  EXPECT_EQ(f.m_BaseFrmWeight, 1);
  EXPECT_DOUBLE_EQ(f.m_Spec_W, 1.2);
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.8);
  EXPECT_DOUBLE_EQ(f.m_Fill_W, 0.95);
  EXPECT_EQ(f.GetSub(), 4);
  EXPECT_DOUBLE_EQ(f.m_Rfl[0], 0.1);
  EXPECT_DOUBLE_EQ(f.m_Rfl[2], 0.3);
  EXPECT_DOUBLE_EQ(f.m_Rfl[3], 0.0);
  EXPECT_DOUBLE_EQ(f.m_X10[0], 9.0);

  HFormula g = Resolved("@SRC 1\n@CLR #101\n");
  EXPECT_EQ(g.m_Frm, "1,1");
  EXPECT_DOUBLE_EQ(g.m_FrmNomQ, 5000);  // can 3
  EXPECT_EQ(g.m_FrmCanWeight, 1);
  EXPECT_EQ(g.m_BaseFrmId, 2);
  EXPECT_EQ(g.m_BaseFrm, "1,5,2,3");
  EXPECT_DOUBLE_EQ(g.m_Fill_Q, 0.7);

  // An archive id that does not exist.
  HFormula h = Resolved("@SRC 1\n@CLR #5\n");
  EXPECT_EQ(h.m_ClrId, 0);
  EXPECT_EQ(h.m_Source, HF_SOURCE_MANUAL);
}

TEST_F(ResolveTest, ReflectanceOnlyFromTheFormulaTablesLevel) {
  HFormula f = Resolved("@PRD #1 #1\n@CLR #20\n");
  EXPECT_EQ(f.m_Frm, "2,4");
  EXPECT_DOUBLE_EQ(f.m_FrmNomQ, 4000);
  for (double v : f.m_Rfl) EXPECT_EQ(v, 0.0);
  // Read at the root (no sub-product), formula 20 does not exist.
  HFormula g = Resolved("@CLR #20\n");
  EXPECT_EQ(g.m_ClrId, 0);
}

// A data set whose tables lack the optional fields and several tables.
TEST_F(ResolveTest, LeanDataSetWithoutOptionalFieldsAndTables) {
  const std::string dir = "c:\\lean\\";
  static const WDBASE_FIELD kFrm[] = {
      {"ID", 'C', 5, 0, 0},        {"KEY1", 'C', 24, 0, 0},
      {"KEY2", 'C', 24, 0, 0},     {"KEY3", 'C', 24, 0, 0},
      {"NCS", 'C', 8, 0, 0},       {"COMMENT", 'C', 24, 0, 0},
      {"BASE_ID", 'C', 5, 0, 0},   {"CAN_ID", 'C', 5, 0, 0},
      {"FORMULA", 'C', 128, 0, 0}, {}};
  static const WDBASE_FIELD kCans[] = {
      {"ID", 'C', 5, 0, 0},    {"DESCR", 'C', 40, 0, 0},
      {"NOM_Q", 'N', 9, 3, 0}, {"H_MIN", 'N', 3, 0, 0},
      {"H_MAX", 'N', 3, 0, 0}, {}};
  ASSERT_TRUE(AppendIn(Y_FRM, dir,
                       {{"ID", Id(5)},
                        {"KEY1", "LEAN"},
                        {"BASE_ID", Id(1)},
                        {"CAN_ID", Id(0)},
                        {"FORMULA", "1,2"}},
                       kFrm));
  ASSERT_TRUE(AppendIn(Y_CANS, dir,
                       {{"ID", Id(1)},
                        {"DESCR", "Tin"},
                        {"NOM_Q", "500"},
                        {"H_MIN", "4"},
                        {"H_MAX", "6"}},
                       kCans));
  ASSERT_TRUE(AppendIn(Y_BASES, dir, {{"ID", Id(1)}, {"DESCR", "Lean base"}}));
  CMixtableEx set;
  set.SetDataDir(dir.c_str());
  HFormula f;
  const std::string text = "@PRD #1 #1\n@CLR #5\n@CAN #1\n";
  ASSERT_EQ(f.TxtReadText(text.data(), text.size()), 1);
  ASSERT_EQ(f.Resolve(&set.Mixtable()), 1);
  EXPECT_TRUE(AllClosed(set.Mixtable()));
  EXPECT_EQ(f.m_PrdId, 0);  // no PRODUCTS
  EXPECT_EQ(f.m_SpdId, 0);
  EXPECT_EQ(f.m_Frm, "1,2");
  EXPECT_EQ(f.m_ClrName, "LEAN||||");
  EXPECT_EQ(f.m_FrmNomQ, 0.0);  // no NOM_Q0
  EXPECT_EQ(f.m_FrmCanWeight, 0);
  for (double v : f.m_X10) EXPECT_EQ(v, 0.0);
  for (double v : f.m_Rfl) EXPECT_EQ(v, 0.0);  // no FRM_REFL
  EXPECT_EQ(f.m_BasId, 1);
  EXPECT_EQ(f.m_BaseFrmId, 0);  // no BASESFRM
  // Cans without FLAGS and ZERO_FLAG: heights only.
  EXPECT_EQ(f.m_CanId, 1);
  EXPECT_EQ(f.m_ShlPos[0], 6);
  EXPECT_EQ(f.m_ShlPos[1], 4);
  EXPECT_EQ(f.m_ShlPos[2], -3);
}

// A stream that reads text: a temporary file (fmemopen is POSIX only).
FILE* TextFile(const std::string& text) {
  FILE* f = std::tmpfile();
  if (f == nullptr) return nullptr;
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

TEST_F(ResolveTest, ReadResolvesOnTheCataloguedDataSet) {
  const std::string text =
      "@GDT #42\n@PRD \"Interior\" \"Gloss\"\n@CLR #5\n@CAN #2\n@END\n";
  FILE* f = TextFile(text);
  ASSERT_NE(f, nullptr);
  HFormula h;
  EXPECT_EQ(h.Read(f), 1);
  std::fclose(f);
  EXPECT_EQ(h.m_DataIdText, "Demo set");
  EXPECT_EQ(h.m_PrdId, 1);
  EXPECT_EQ(h.m_SpdId, 2);
  EXPECT_EQ(h.m_Frm, "1,10.5,2,3");
  EXPECT_EQ(h.m_CanId, 2);
  EXPECT_DOUBLE_EQ(h.m_VlUnit, 1.5);

  // Py_Read by path; an uncatalogued id resolves against nothing.
  const std::string path = "c:\\f.txt";
  {
    HFormula w;
    w.m_DataId = 999;
    w.m_ClrId = 5;
    w.m_PrdId = 1;
    w.m_CanId = 1;
    w.m_BasId = 1;
    ASSERT_EQ(w.Py_Write(path.c_str(), nullptr), 1);
  }
  HFormula r;
  const int before = platform::OpenFileCount();
  EXPECT_EQ(r.Py_Read(path.c_str()), 1);
  EXPECT_EQ(platform::OpenFileCount(), before);
  EXPECT_EQ(r.m_DataId, 999u);
  EXPECT_EQ(r.m_DataIdText, "");
  EXPECT_EQ(r.m_PrdId, 0);
  EXPECT_EQ(r.m_ClrId, 0);
  EXPECT_EQ(r.m_Source, HF_SOURCE_MANUAL);
  EXPECT_EQ(r.m_BasId, 0);
  EXPECT_EQ(r.m_CanId, 0);
  EXPECT_EQ(r.Py_Read("c:\\missing.txt"), 0);
  EXPECT_EQ(r.Py_Read(nullptr), 0);
  // A text that reads nothing is not resolved.
  HFormula e;
  e.m_ClrId = 5;
  const std::string end = "@END\n";
  FILE* g = TextFile(end);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(e.Read(g), 0);
  std::fclose(g);
}

TEST_F(ResolveTest, ColorantListOnlyWithoutAFormula) {
  HFormula f = Resolved("@CNT #1 10 #2\n@CNT 5\n");
  EXPECT_EQ(f.m_Frm, "1,10,2,5");
  EXPECT_EQ(f.m_Cnt, "");
  EXPECT_EQ(f.LastCntMessage(), "");
  HFormula g = Resolved("@CNT \"Colorant 3\" 2 RED 1\n");
  EXPECT_EQ(g.m_Frm, "");
  EXPECT_EQ(g.LastCntMessage(), HFormula::kCntWrongIdentifier);
  // A formula id wins over the list.
  HFormula h = Resolved("@CLR #5\n@CNT #3 1\n");
  EXPECT_EQ(h.m_Frm, "1,10.5,2,3");
  EXPECT_EQ(h.m_Cnt, "");
}

TEST_F(ResolveTest, ThousandResolutionsLeaveNoDescriptorBehind) {
  const std::string text = "@PRD #1 #2\n@CLR #5\n@BAS #2\n@CAN #1\n";
  {
    HFormula warm;  // first use may open process-wide files
    warm.TxtReadText(text.data(), text.size());
    warm.Resolve(&ts());
  }
  const int before = platform::OpenFileCount();
  ASSERT_GT(before, 0);
#ifdef _WIN32
  // A resolution opens its tables through the wine server there (about
  // 0.14 s each): a hundred show a handle left per resolution as well.
  constexpr int kResolutions = 100;
#else
  constexpr int kResolutions = 1000;
#endif
  for (int i = 0; i < kResolutions; ++i) {
    HFormula f;
    f.TxtReadText(text.data(), text.size());
    ASSERT_EQ(f.Resolve(&ts()), 1);
    ASSERT_EQ(f.m_ClrId, 5);
  }
  EXPECT_EQ(platform::OpenFileCount(), before);
  EXPECT_TRUE(AllClosed(ts()));
  HFormula f;
  EXPECT_EQ(f.Resolve(nullptr), 0);
}

}  // namespace
