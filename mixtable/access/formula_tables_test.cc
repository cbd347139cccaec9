// The formula text over the tables of a data set: read, ruler correction,
// conversions by specific weight and Wy_Frm::read.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_frm.h"
#include "mixtable/yformula.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;
using mixtable_testing::Values;

// Writes a field as the builder does: numbers through WriteDouble.
bool Write(Wdbase* db, const std::string& field, const std::string& text) {
  if (db->FieldType(field.c_str()) == 'N')
    return db->WriteDouble(field.c_str(), std::strtod(text.c_str(), nullptr));
  return db->WriteString(field.c_str(), text.c_str());
}

// A base formula of 31 pairs, 247 characters: longer than any cut would
// keep whole.
std::string LongFormula() {
  std::string t;
  for (int i = 1; i <= 31; ++i)
    t += (i > 1 ? "," : "") + std::string("1,0.125");
  return t;
}

class FormulaTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    ASSERT_TRUE(b.AddProduct(1, "P1", "PRD1") &&
                b.AddProduct(2, "P2", "PRD2") &&
                b.AddSubProduct(1, 1, "S1", "SUB11") &&
                b.AddSubProduct(2, 1, "S1", "SUB21"))
        << b.error();
    for (int32_t id : {1, 2})
      ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(id)}, {"SPEC_W", "1.25"}}));
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(3)}, {"SPEC_W", "0"}}));
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(10)},
                                  {"DESCR", "Can of one litre"},
                                  {"NOM_Q", "1000"},
                                  {"CAN_WEIGHT", "F"},
                                  {"H_MIN", "5"},
                                  {"H_MAX", "20"}}));
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(7)},
                                   {"CODE", "B7"},
                                   {"DESCR", std::string(40, 'd')},
                                   {"SPEC_W", "1.3"},
                                   {"FILL_Q", "900"},
                                   {"FILL_W", "1170"}}));
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(8)}, {"CODE", "B8"}}));
    ASSERT_TRUE(b.Append(
        Y_BASESFRM,
        {{"ID", Id(7)}, {"FORMULA", LongFormula()}, {"WEIGHTMODE", "T"}}));
    ASSERT_TRUE(b.Append(
        Y_CANS, {{"ID", Id(11)}, {"NOM_Q", "946.353"}, {"CAN_WEIGHT", "T"}}));
    // Product 1: units; product 2: a second fraction below 1.
    ASSERT_TRUE(Edit(Y_PRODUCTS, 1,
                     {{"UNIT", "2.5"},
                      {"FRACTION", "4"},
                      {"FRACTION2", "8"},
                      {"WEIGHTMODE", "T"},
                      {"UNIT_NAME", "ml"}}));
    ASSERT_TRUE(Edit(Y_PRODUCTS, 2, {{"UNIT", "1"}, {"FRACTION2", "0.5"}}));
    ASSERT_TRUE(b.Append(
        Y_RULER,
        {{"ID", Id(1)}, {"RTYPE", "BA"}, {"PTR_ID", Id(7)}, {"RULE", "2"}}, 1,
        1));
    ASSERT_TRUE(b.Append(
        Y_RULER,
        {{"ID", Id(2)}, {"RTYPE", "CO"}, {"PTR_ID", Id(1)}, {"RULE", "1.5"}}, 1,
        1));
    ASSERT_TRUE(b.Append(Y_FRM,
                         {{"ID", Id(1)},
                          {"FORMULA", "1,10,2,4"},
                          {"BASE_ID", Id(7)},
                          {"CAN_ID", Id(11)}},
                         1, 1));
    ASSERT_TRUE(b.Append(
        Y_FRM, {{"ID", Id(2)}, {"FORMULA", " 1,5 "}, {"CAN_ID", Id(99)}}, 1,
        1));
    // Product 2's sub-product has formulas but no ruler.
    ASSERT_TRUE(b.Append(Y_FRM,
                         {{"ID", Id(1)},
                          {"FORMULA", "1,10,2,4"},
                          {"BASE_ID", Id(7)},
                          {"CAN_ID", Id(10)}},
                         2, 1));
    ts_.SetDataDir("c:\\gdata\\");
  }

  // Writes values into the root table's record of id.
  bool Edit(int table, int32_t id, const Values& values) {
    CMixtableEx ts;
    ts.SetDataDir("c:\\gdata\\");
    Wdbase* db = ts.Handle(table);
    if (!ts.Open(db) || !ts.Select(db, id)) {
      ADD_FAILURE() << "cannot select " << id;
      return false;
    }
    for (const auto& [field, text] : values)
      if (!Write(db, field, text)) {
        ADD_FAILURE() << field << ": " << db->LastErrorText();
        return false;
      }
    return db->Flush() != 0;
  }

  void Position(int32_t prd, int32_t spd) {
    ts_.CloseAll();
    ASSERT_TRUE(ts_.Open(ts_.Handle(Y_PRODUCTS)));
    ASSERT_TRUE(ts_.Select(ts_.Handle(Y_PRODUCTS), prd));
    ASSERT_TRUE(ts_.Open(ts_.Handle(Y_SUBPRODS)));
    ASSERT_TRUE(ts_.Select(ts_.Handle(Y_SUBPRODS), spd));
  }

  Wdbase* OpenFrm(int32_t prd, int32_t spd, int32_t id) {
    Position(prd, spd);
    Wdbase* frm = ts_.Handle(Y_FRM);
    EXPECT_TRUE(ts_.Open(frm));
    EXPECT_TRUE(ts_.Select(frm, id));
    return frm;
  }

  // An archive record in the local directory, open and positioned.
  void AddArchive(const Values& values) {
    ASSERT_TRUE(ts_.Create(Y_ARCHIVE));
    Wdbase* arc = ts_.Handle(Y_ARCHIVE);
    ASSERT_TRUE(ts_.Open(arc));
    ASSERT_TRUE(arc->AppendBlank());
    for (const auto& [field, text] : values)
      ASSERT_TRUE(Write(arc, field, text));
    ASSERT_TRUE(arc->Flush());
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
};

TEST_F(FormulaTablesTest, ReadAppliesTheRulerOfTheFormulaTable) {
  Wdbase* frm = OpenFrm(1, 1, 1);
  Wdbase* ruler = ts_.Handle(Y_RULER);
  ASSERT_TRUE(ruler->IsOpen(0));  // opened with FRM
  yformula f;
  EXPECT_EQ(f.read(frm, ruler), 1);
  EXPECT_STREQ(f.get(), "1,30,2,8");
  // Without a ruler the stored text, trimmed.
  EXPECT_EQ(f.read(frm, nullptr), 1);
  EXPECT_STREQ(f.get(), "1,10,2,4");
  ASSERT_TRUE(ts_.Select(frm, 2));
  EXPECT_EQ(f.read(frm, ruler), 1);
  EXPECT_STREQ(f.get(), "1,7.5");  // no base: the colorant's factor alone
  // A closed or unpositioned table reads nothing and empties the text.
  frm->Goto(frm->RecCount() + 1);
  EXPECT_EQ(f.read(frm, ruler), 0);
  EXPECT_STREQ(f.get(), "");
  EXPECT_EQ(f.read(nullptr, ruler), 0);
  // A table without FORMULA or FRM.
  f.set("1,1");
  EXPECT_EQ(f.read(ts_.Handle(Y_PRODUCTS), ruler), 0);
  EXPECT_STREQ(f.get(), "");
}

TEST_F(FormulaTablesTest, RulerOnlyForFormulaTables) {
  // An archive record is read without the ruler, whatever is open.
  OpenFrm(1, 1, 1);
  AddArchive({{"ID", Id(1)}, {"FORMULA", "1,10"}, {"BASE_ID", Id(7)}});
  yformula f;
  EXPECT_EQ(f.read(ts_.Handle(Y_ARCHIVE), ts_.Handle(Y_RULER)), 1);
  EXPECT_STREQ(f.get(), "1,10");
}

TEST_F(FormulaTablesTest, SetAndRulerOverTheRulerTable) {
  OpenFrm(1, 1, 1);
  Wdbase* ruler = ts_.Handle(Y_RULER);
  ruler->SelectIdx(1);
  yformula f;
  f.set_and_ruler("1,10,2,4", 7, ruler, false);
  EXPECT_STREQ(f.get(), "1,30,2,8");
  f.set_and_ruler("1,10,2,4", 7, ruler, true);
  EXPECT_STREQ(f.get(), "1,3.33333,2,2");
  EXPECT_EQ(ruler->SelectedIdx(), 1);  // the caller's order is kept
  f.set_and_ruler_ex("1,10,2,4", 7, ruler, false, 10);
  EXPECT_STREQ(f.get(), "1,300,2,80");
  EXPECT_EQ(f.set_and_ruler_ex("1,10,2,4", 7, ruler, false, 0), 0);
  // An unknown base: factor 1 for the base, the colorant's own.
  f.set_and_ruler("1,10,2,4", 8, ruler, false);
  EXPECT_STREQ(f.get(), "1,15,2,4");
  // No ruler: set_and_ruler fails with the text set, _ex uses factor 1.
  ts_.CloseAll();
  EXPECT_EQ(f.set_and_ruler(" 1,10 ", 7, ruler, false), 0);
  EXPECT_STREQ(f.get(), "1,10");
  f.set_and_ruler_ex("1,10,2,4", 7, nullptr, false, 2);
  EXPECT_STREQ(f.get(), "1,20,2,8");
}

TEST_F(FormulaTablesTest, ConversionsBySpecificWeight) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  yformula f;
  f.set("1,2");
  EXPECT_EQ(f.to_volume(&ts_.Mixtable(), 1.0, 3, 0), 1);
  EXPECT_STREQ(f.get(), "1,1600");
  EXPECT_FALSE(cnts->IsOpen(0));  // closed again as found
  f.set("1,1000");
  EXPECT_EQ(f.to_weight(&ts_.Mixtable(), 1.0, 3, 0), 1);
  EXPECT_STREQ(f.get(), "1,1.25");
  // All colorants or nothing: a weight of 0, an unknown colorant.
  for (const char* text : {"1,1,3,1", "1,1,9,1", "1,1,2"}) {
    f.set(text);
    EXPECT_EQ(f.to_volume(&ts_.Mixtable(), 1.0, 3, 0), 0) << text;
    EXPECT_STREQ(f.get(), text);
  }
  f.set("1,1");
  EXPECT_EQ(f.to_volume(nullptr, 1.0, 3, 0), 0);
  EXPECT_EQ(f.to_volume(&ts_.Mixtable(), 0.0, 3, 0), 0);
  EXPECT_STREQ(f.get(), "1,1");
  // An open colorant table keeps its record.
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(ts_.Select(cnts, 2));
  const int32_t rec = cnts->RecNo();
  f.set("1,1,3,1");
  EXPECT_EQ(f.to_weight(&ts_.Mixtable(), 1.0, 3, 0), 0);
  EXPECT_EQ(cnts->RecNo(), rec);
}

TEST_F(FormulaTablesTest, FrmReadTakesUnitsAndCanReference) {
  OpenFrm(1, 1, 1);
  Wy_Frm f;
  f.m_SlaveId = 5;
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_FRM), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,30,2,8");
  EXPECT_EQ(f.m_Units.m_dUnit, 2.5);
  EXPECT_EQ(f.m_Units.m_dFraction, 4.0);
  EXPECT_EQ(f.m_Units.m_dFraction2, 8.0);
  EXPECT_EQ(f.m_Units.m_bWeightMode, 1);
  EXPECT_EQ(f.m_Units.m_sName, "ml");
  EXPECT_EQ(f.m_CanWeight0, 1);
  EXPECT_DOUBLE_EQ(f.m_Nom_Q0, 946.353);
  EXPECT_EQ(f.m_SlaveId, 5);
  // An unknown can gives no reference.
  ASSERT_TRUE(ts_.Select(ts_.Handle(Y_FRM), 2));
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_FRM), 1);
  EXPECT_EQ(f.m_CanWeight0, 0);
  EXPECT_EQ(f.m_Nom_Q0, 0.0);
  // Product 2: no ruler there; a second fraction below 1 counts as 1.
  OpenFrm(2, 1, 1);
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_FRM), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,10,2,4");
  EXPECT_EQ(f.m_Units.m_dFraction2, 1.0);
  EXPECT_EQ(f.m_CanWeight0, 0);
  EXPECT_EQ(f.m_Nom_Q0, 1000.0);
}

TEST_F(FormulaTablesTest, FrmReadFromTheArchive) {
  AddArchive({{"ID", Id(1)},
              {"FORMULA", "2,7"},
              {"UNIT", "3"},
              {"FRACTION", "2"},
              {"WEIGHTMODE", "T"},
              {"CAN_WEIGHT", "T"},
              {"NOM_Q0", "500"}});
  Wy_Frm f;
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_ARCHIVE), 1);
  EXPECT_STREQ(f.m_Frm.get(), "2,7");
  EXPECT_EQ(f.m_Units.m_dUnit, 3.0);
  EXPECT_EQ(f.m_Units.m_dFraction, 2.0);
  EXPECT_EQ(f.m_Units.m_dFraction2, 1.0);
  EXPECT_EQ(f.m_Units.m_bWeightMode, 1);
  EXPECT_EQ(f.m_CanWeight0, 1);
  EXPECT_EQ(f.m_Nom_Q0, 500.0);

  // A formula of FRM does not take the units or can of the open archive.
  OpenFrm(1, 1, 2);
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_ARCHIVE)));
  ASSERT_TRUE(ts_.Handle(Y_ARCHIVE)->Top());
  ts_.Handle(Y_PRODUCTS)->Close();
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_FRM), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,7.5");
  EXPECT_EQ(f.m_Units.m_dUnit, 1.0);
  EXPECT_EQ(f.m_Units.m_bWeightMode, 0);
  EXPECT_EQ(f.m_CanWeight0, 0);
  EXPECT_EQ(f.m_Nom_Q0, 0.0);
}

TEST_F(FormulaTablesTest, FrmReadFailuresLeaveTheObject) {
  Wy_Frm f;
  f.m_Frm.set("4,4");
  f.m_Nom_Q0 = 7;
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_CNTS), 0);
  EXPECT_EQ(f.read(nullptr, Y_FRM), 0);
  EXPECT_EQ(f.read(&ts_.Mixtable(), Y_FRM), 0);  // FRM closed
  EXPECT_STREQ(f.m_Frm.get(), "4,4");
  EXPECT_EQ(f.m_Nom_Q0, 7.0);
}

TEST_F(FormulaTablesTest, CanLoader) {
  Wy_Can can;
  EXPECT_EQ(can.Set(11, &ts_.Mixtable()), 1);
  EXPECT_EQ(can.CanWeight, 1);
  EXPECT_DOUBLE_EQ(can.Nom_Q, 946.353);
  EXPECT_EQ(can.Set(10, &ts_.Mixtable()), 1);
  EXPECT_EQ(can.CanId, 10);
  EXPECT_EQ(can.CanDescr, "Can of one litre");
  EXPECT_EQ(can.Nom_Q, 1000.0);
  EXPECT_EQ(can.CanWeight, 0);
  EXPECT_EQ(can.H_min, 5);
  EXPECT_EQ(can.H_max, 20);
  EXPECT_FALSE(ts_.Handle(Y_CANS)->IsOpen(0));
  for (int32_t id : {0, -1, 12}) {
    EXPECT_EQ(can.Set(id, &ts_.Mixtable()), 0) << id;
    EXPECT_EQ(can.CanId, 10);
  }
  EXPECT_EQ(can.Set(10, nullptr), 0);
}

TEST_F(FormulaTablesTest, BaseLoader) {
  Wy_Base base;
  base.Fill_QC = 5;
  EXPECT_EQ(base.Set(7, &ts_.Mixtable()), 1);
  EXPECT_EQ(base.BasId, 7);
  EXPECT_EQ(base.BaseCode, "B7");
  EXPECT_EQ(base.BaseDescr, std::string(40, 'd'));
  EXPECT_DOUBLE_EQ(base.Spec_W, 1.3);
  EXPECT_EQ(base.Fill_Q, 900.0);
  EXPECT_EQ(base.Fill_W, 1170.0);
  EXPECT_EQ(base.Fill_QC, 0.0);            // cleared
  EXPECT_EQ(base.BaseFrm, LongFormula());  // whole, never cut
  EXPECT_EQ(base.BaseWeightMode, 1);
  EXPECT_EQ(base.BaseFrmId, 7);
  EXPECT_EQ(base.BaseIsDispensable, 1);
  // A base without a base formula.
  EXPECT_EQ(base.Set(8, &ts_.Mixtable()), 1);
  EXPECT_EQ(base.BaseFrm, "");
  EXPECT_EQ(base.BaseFrmId, 0);
  EXPECT_EQ(base.Set(9, &ts_.Mixtable()), 0);
  EXPECT_EQ(base.BasId, 8);
}

TEST_F(FormulaTablesTest, BaseAndCanLoaderAndFillQuantity) {
  Wy_BaseAndCan bc;
  EXPECT_EQ(bc.Set(7, 10, &ts_.Mixtable()), 1);
  double q = 0, w = 0;
  EXPECT_EQ(bc.GetCurrentFillQuantity(&q, &w), 1);
  EXPECT_DOUBLE_EQ(q, 900.0);
  EXPECT_DOUBLE_EQ(w, 1.17);
  EXPECT_EQ(bc.Set(0, 11, &ts_.Mixtable()), 1);  // the can alone
  EXPECT_EQ(bc.CanId, 11);
  EXPECT_EQ(bc.Set(9, 10, &ts_.Mixtable()), 0);  // the base decides
  EXPECT_EQ(bc.CanId, 10);
  EXPECT_EQ(bc.Set(0, 0, &ts_.Mixtable()), 0);
}

TEST_F(FormulaTablesTest, CanSizes) {
  CMixtable& t = ts_.Mixtable();
  Wdbase* cans = ts_.Handle(Y_CANS);
  EXPECT_EQ(t.CanSize(10), 1000);
  EXPECT_EQ(t.CanSize(11), 946);
  EXPECT_DOUBLE_EQ(t.DblCanSize(11), 946.353);
  EXPECT_EQ(t.CanSize(12), 0);
  EXPECT_EQ(t.CanSize(0), 0);  // CANS closed: no current can
  EXPECT_FALSE(cans->IsOpen(0));
  // Open on a record: an unknown id leaves it there; id 0 reads it.
  ASSERT_TRUE(ts_.Open(cans));
  ASSERT_TRUE(ts_.Select(cans, 11));
  const int32_t rec = cans->RecNo();
  EXPECT_EQ(t.CanSize(12), 0);
  EXPECT_EQ(t.CanSize(10), 1000);
  EXPECT_EQ(cans->RecNo(), rec);
  EXPECT_DOUBLE_EQ(t.DblCanSize(0), 946.353);
  // The can of the current formula.
  EXPECT_EQ(t.FrmCanSize(), 0);  // FRM closed
  OpenFrm(1, 1, 1);
  EXPECT_EQ(t.FrmCanSize(), 946);
  OpenFrm(2, 1, 1);
  EXPECT_EQ(t.FrmCanSize(), 1000);
}

TEST_F(FormulaTablesTest, SpecificWeightNeedsOpenColorants) {
  CMixtable& t = ts_.Mixtable();
  EXPECT_EQ(t.SpecificWeight(1), 0.0);
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_CNTS)));
  EXPECT_EQ(t.SpecificWeight(2), 1.25);
  EXPECT_EQ(ts_.Handle(Y_CNTS)->ReadLong("ID"), 2);  // stays there
  EXPECT_EQ(t.SpecificWeight(9), 0.0);
}

TEST_F(FormulaTablesTest, ProductsAndUnits) {
  CMixtable& t = ts_.Mixtable();
  EXPECT_EQ(t.SingleProduct(), 0);
  double unit = 0, fraction = 0, fraction2 = 0;
  int wm = -1;
  std::string name = "x";
  // No product open: the first product's values.
  EXPECT_EQ(t.UnitAndFraction(&unit, &fraction, &fraction2, &wm, &name), 1);
  EXPECT_EQ(unit, 2.5);
  EXPECT_EQ(fraction, 4.0);
  EXPECT_EQ(fraction2, 8.0);
  EXPECT_EQ(wm, 1);
  EXPECT_EQ(name, "ml");
  EXPECT_FALSE(ts_.Handle(Y_PRODUCTS)->IsOpen(0));
  // The open product's.
  Position(2, 1);
  EXPECT_EQ(t.UnitAndFraction(&unit, nullptr, &fraction2, &wm, nullptr), 1);
  EXPECT_EQ(unit, 1.0);
  EXPECT_EQ(fraction2, 0.5);
  EXPECT_EQ(wm, 0);
}

TEST(ProductsWithoutTables, DefaultsAndSingleProduct) {
  platform::ScopedTempDrives drives;
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(1)}}));
  CMixtableEx ts;
  ts.SetDataDir("c:\\gdata\\");
  CMixtable& t = ts.Mixtable();
  EXPECT_EQ(t.SingleProduct(), 0);  // no PRODUCTS
  double unit = 0;
  std::string name = "x";
  EXPECT_EQ(t.UnitAndFraction(&unit, nullptr, nullptr, nullptr, &name), 0);
  EXPECT_EQ(unit, 1.0);
  EXPECT_EQ(name, "");
  std::string dir;
  EXPECT_EQ(t.GetHtmlDir(dir), 0);  // no PARAM
  EXPECT_EQ(dir, "C:\\HTMLDATA\\");
  ASSERT_TRUE(b.AddProduct(1, "P1", "PRD1"));
  EXPECT_EQ(t.SingleProduct(), 1);
  ASSERT_TRUE(b.Append(Y_PARAM, {{"KEY", "HTMLPATHX"}, {"VALUE", "e:\\x"}}));
  EXPECT_EQ(t.GetHtmlDir(dir), 0);  // another key
  ASSERT_TRUE(b.Append(Y_PARAM, {{"KEY", "HTMLPATH"}, {"VALUE", "d:\\web"}}));
  EXPECT_EQ(t.GetHtmlDir(dir), 1);
  EXPECT_EQ(dir, "d:\\web\\");
}

}  // namespace
