// HFormula::Frieze and Defrieze on a built data set: a formula captured from
// FRM and from the archive (with the recovery of the archive's product),
// custom cans and manual bases, the positions Defrieze restores, what it
// leaves closed, and the trace texts of both.

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mixtable/hformula.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_util.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;
using mixtable_testing::Values;

std::vector<std::string>* g_trace = nullptr;

void RecordTrace(int /*category*/, const char* text) {
  if (g_trace != nullptr) g_trace->push_back(text);
}

bool Traced(const std::vector<std::string>& trace, const std::string& part) {
  for (const std::string& t : trace)
    if (t.find(part) != std::string::npos) return true;
  return false;
}

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

class FriezeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    bool ok = b.AddProduct(1, "P1", "PRD1") && b.AddProduct(2, "P2", "PRD2") &&
              b.AddSubProduct(1, 1, "S1", "SUB11") &&
              b.AddSubProduct(2, 1, "S1", "SUB21");
    ok = ok &&
         b.Append(Y_BASES, {{"ID", Id(1)},
                            {"DESCR", "Base 1"},
                            {"FILL_Q", "0.9"},
                            {"FILL_W", "1.1"},
                            {"SPEC_W", "1.3"}}) &&
         b.Append(Y_BASES, {{"ID", Id(2)}, {"DESCR", "Base 2"}}) &&
         b.Append(Y_BASESFRM,
                  {{"ID", Id(2)}, {"FORMULA", "1,5"}, {"WEIGHTMODE", "T"}}) &&
         b.Append(Y_CANS, {{"ID", Id(1)},
                           {"DESCR", "Can 1"},
                           {"NOM_Q", "1000"},
                           {"CAN_WEIGHT", "F"}}) &&
         b.Append(Y_CANS, {{"ID", Id(2)},
                           {"DESCR", "Can 2"},
                           {"NOM_Q", "4000"},
                           {"CAN_WEIGHT", "T"}});
    ok = ok &&
         b.Append(Y_FRM,
                  {{"ID", Id(20)},
                   {"KEY1", "RED"},
                   {"KEY2", "K2"},
                   {"COMMENT", "note"},
                   {"BASE_ID", Id(1)},
                   {"CAN_ID", Id(2)},
                   {"FORMULA", "1,10,2,4"},
                   {"X_02", "1.5"},
                   {"Y_02", "2.5"},
                   {"Z_02", "3.5"},
                   {"X_10", "4.5"},
                   {"Y_10", "5.5"},
                   {"Z_10", "6.5"}},
                  1, 1) &&
         b.Append(Y_FRM,
                  {{"ID", Id(21)},
                   {"KEY1", "CUSTOM CAN"},
                   {"BASE_ID", Id(0)},
                   {"CAN_ID", Id(0)},
                   {"CAN_WEIGHT", "T"},
                   {"NOM_Q0", "750"},
                   {"FORMULA", "3,1"}},
                  1, 1) &&
         b.Append(Y_FRM_REFL,
                  {{"FRM_ID", Id(20)}, {"R_400", "50"}, {"R_700", "80"}}, 1, 1);
    ASSERT_TRUE(ok) << b.error();
    ts_.SetDataDir("c:\\gdata\\");
    g_trace = &trace_;
    old_ = platform::SetTraceHook(RecordTrace);
  }
  void TearDown() override {
    platform::SetTraceHook(old_);
    g_trace = nullptr;
  }

  // Product prd, sub-product spd and record id of table (FRM or ARCHIVE)
  // opened and selected on ts_.
  void Position(int32_t prd, int32_t spd, int table, int32_t id) {
    Wdbase* p = ts_.Handle(Y_PRODUCTS);
    Wdbase* s = ts_.Handle(Y_SUBPRODS);
    ASSERT_TRUE(ts_.Open(p) && ts_.Select(p, prd));
    ASSERT_TRUE(ts_.Open(s) && ts_.Select(s, spd));
    Wdbase* t = ts_.Handle(table);
    ASSERT_TRUE(ts_.Open(t));
    ASSERT_TRUE(ts_.Select(t, id));
  }

  // One archive record in the local directory.
  void AddArchive(const Values& values) {
    CMixtableEx ts;
    ts.SetDataDir("c:\\gdata\\");
    if (!ts.Exist(Y_ARCHIVE)) {
      ASSERT_TRUE(ts.Create(Y_ARCHIVE));
    }
    Wdbase* arc = ts.Handle(Y_ARCHIVE);
    ASSERT_TRUE(ts.Open(arc));
    ASSERT_TRUE(arc->AppendBlank());
    for (const auto& [field, text] : values) {
      const int ok =
          arc->FieldType(field.c_str()) == 'N'
              ? arc->WriteDouble(field.c_str(), std::strtod(text.c_str(), 0))
              : arc->WriteString(field.c_str(), text.c_str());
      ASSERT_TRUE(ok) << field;
    }
    ts.CloseAll();
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
  std::vector<std::string> trace_;
  platform::TraceHook old_ = nullptr;
};

TEST_F(FriezeTest, CapturesAFormulaOfFrm) {
  Position(1, 1, Y_FRM, 20);
  const int32_t rec = ts_.Handle(Y_FRM)->RecNo();
  HFormula f;
  f.m_Frt = "left over";
  EXPECT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  EXPECT_EQ(f.m_Frt, "");  // cleared first
  EXPECT_EQ(f.m_PrdId, 1);
  EXPECT_EQ(f.m_PrdName, "PRD1");
  EXPECT_EQ(f.m_SpdId, 1);
  EXPECT_EQ(f.m_SpdName, "SUB11");
  EXPECT_EQ(f.m_ClrId, 20);
  EXPECT_EQ(f.m_ClrName, "RED|K2||note|");
  EXPECT_EQ(f.m_Source, HF_SOURCE_STANDARD);
  EXPECT_EQ(f.m_Frm, "1,10,2,4");
  EXPECT_EQ(f.m_BasId, 1);
  EXPECT_EQ(f.m_BasName, "Base 1");
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.9);
  EXPECT_DOUBLE_EQ(f.m_Fill_W, 1.1);
  EXPECT_DOUBLE_EQ(f.m_Spec_W, 1.3);
  EXPECT_EQ(f.m_CanId, 2);
  EXPECT_EQ(f.m_CanName, "Can 2");
  EXPECT_EQ(f.m_CanNomQ, 4000);
  EXPECT_EQ(f.m_CanWeight, 1);
  EXPECT_EQ(f.m_FrmNomQ, 4000);  // the can the quantities refer to
  EXPECT_EQ(f.m_FrmCanWeight, 1);
  EXPECT_DOUBLE_EQ(f.m_Rfl[0], 0.5);
  EXPECT_DOUBLE_EQ(f.m_Rfl[1], 0.0);
  EXPECT_DOUBLE_EQ(f.m_Rfl[15], 0.8);
  EXPECT_DOUBLE_EQ(f.m_X02[2], 3.5);
  EXPECT_DOUBLE_EQ(f.m_X10[0], 4.5);
  // The caller's tables stay where they were; the temporary ones closed.
  EXPECT_EQ(ts_.Handle(Y_FRM)->RecNo(), rec);
  for (int t : {Y_FRM_REFL, Y_BASES, Y_CANS, Y_BASESFRM, Y_ARCHIVE})
    EXPECT_FALSE(ts_.Handle(t)->IsOpen(0)) << t;
  EXPECT_TRUE(Traced(trace_, "HFormula::Frieze  WY_HfrFrieze "));
  EXPECT_TRUE(Traced(trace_, " Prd 1 Spd 1 \n"));
  EXPECT_FALSE(Traced(trace_, "h__CustomRecover"));

  // An archive open on no record: the formula of FRM is read, and the
  // product is not "recovered" from a record that was never read.
  {
    CMixtableEx ts;
    ts.SetDataDir("c:\\gdata\\");
    ASSERT_TRUE(ts.Create(Y_ARCHIVE));
  }
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_ARCHIVE)));
  HFormula g;
  EXPECT_EQ(g.Frieze(&ts_.Mixtable()), 1);
  EXPECT_EQ(g.m_Frm, "1,10,2,4");
  EXPECT_EQ(g.m_PrdId, 1);
  EXPECT_EQ(g.m_SpdId, 1);
  EXPECT_EQ(g.m_ClrId, 0);  // neither table alone is open
  ts_.Handle(Y_ARCHIVE)->Close();

  // A formula of another data set's FRM keeps its source.
  f.m_Source = static_cast<HF_DATASOURCE_TYPE>(8);
  EXPECT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  EXPECT_EQ(static_cast<int>(f.m_Source), 8);
}

TEST_F(FriezeTest, CustomCanAndNoBase) {
  Position(1, 1, Y_FRM, 21);
  HFormula f;
  ASSERT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  EXPECT_EQ(f.m_Frm, "3,1");
  EXPECT_EQ(f.m_CanId, 0);
  EXPECT_EQ(f.m_CanNomQ, 750);
  EXPECT_EQ(f.m_CanWeight, 1);
  EXPECT_EQ(f.m_FrmNomQ, 750);
  EXPECT_EQ(f.m_BasId, 0);
  EXPECT_EQ(f.m_BaseFrmId, 0);
  EXPECT_EQ(f.m_BaseDispensable, 1);
  EXPECT_EQ(f.m_Rfl[0], 0.0);  // no reflectance record
}

TEST_F(FriezeTest, NothingPositioned) {
  HFormula f;
  EXPECT_EQ(f.Frieze(nullptr), 0);
  f.m_Frm = "1,1";
  EXPECT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  EXPECT_EQ(f.m_Frm, "");
  EXPECT_EQ(f.m_ClrId, 0);
  EXPECT_EQ(f.m_PrdId, 0);
  EXPECT_TRUE(Traced(trace_, "HFormula: failed reading from FRM"));
}

TEST_F(FriezeTest, ArchiveFormulaWithTheCustomRecovery) {
  AddArchive({{"ID", Id(5)},
              {"PROD_ID", Id(2)},
              {"SUBP_ID", Id(1)},
              {"KEY1", "ARC"},
              {"FORMULA", "2,3"},
              {"BASE_ID", Id(0)},
              {"FRM_BASEID", Id(0)},
              {"FRM_BASE", "1,2"},
              {"BAS_WEIGHT", "T"},
              {"BASFILLQ", "0.8"},
              {"BASFILLW", "0.85"},
              {"BASSPEC_W", "1.4"},
              {"FILL_QC", "0.5"},
              {"CAN_ID", Id(0)},
              {"CAN_WEIGHT", "F"},
              {"NOM_Q0", "946.353"},
              {"CUSCAN_DES", "Quart can"},
              {"FRM_REFL", "10;20;30"},
              {"X_10", "9"}});
  AddArchive({{"ID", Id(6)},
              {"PROD_ID", Id(1)},
              {"SUBP_ID", Id(1)},
              {"FORMULA", "1,1"},
              {"FRM_BASEID", Id(2)},
              {"BASFILLQ", "0.7"},
              {"CAN_ID", Id(1)}});
  Position(1, 1, Y_ARCHIVE, 5);
  HFormula f;
  ASSERT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  EXPECT_EQ(f.m_Source, HF_SOURCE_CUSTOM);
  EXPECT_EQ(f.m_ClrId, 5);
  EXPECT_EQ(f.m_ClrName, "ARC||||");
  EXPECT_EQ(f.m_Frm, "2,3");
  // The manual base of the record.
  EXPECT_EQ(f.m_BasId, 0);
  EXPECT_EQ(f.m_BaseFrm, "1,2");
  EXPECT_EQ(f.m_BaseFrmWeight, 1);
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.8);
  EXPECT_DOUBLE_EQ(f.m_Fill_W, 0.85);
  EXPECT_DOUBLE_EQ(f.m_Fill_QC, 0.5);
  EXPECT_DOUBLE_EQ(f.m_Spec_W, 1.4);
  // The custom can.
  EXPECT_EQ(f.m_CanId, 0);
  EXPECT_EQ(f.m_CanName, "Quart can");
  EXPECT_DOUBLE_EQ(f.m_CanNomQ, 946.353);
  EXPECT_DOUBLE_EQ(f.m_FrmNomQ, 946.353);
  EXPECT_DOUBLE_EQ(f.m_Rfl[0], 0.1);
  EXPECT_DOUBLE_EQ(f.m_Rfl[2], 0.3);
  EXPECT_DOUBLE_EQ(f.m_Rfl[3], 0.0);
  EXPECT_DOUBLE_EQ(f.m_X10[0], 9.0);
  // Stored under product 2 / 1 while 1 / 1 was selected.
  EXPECT_EQ(f.m_PrdId, 2);
  EXPECT_EQ(f.m_PrdName, "PRD2");
  EXPECT_EQ(f.m_SpdId, 1);
  EXPECT_EQ(f.m_SpdName, "SUB21");
  EXPECT_TRUE(Traced(trace_, "HFormula::Frieze  WY_HfrFrieze "));
  EXPECT_TRUE(Traced(trace_, " h__CustomRecover!!\n"));
  EXPECT_TRUE(Traced(trace_, "2 != this->1; 1 != this->1\n"));
  // The caller's product is still selected.
  EXPECT_EQ(ts_.Handle(Y_PRODUCTS)->ReadLong("ID"), 1);

  // A base formula by id: the base's formula, the record's fills.
  trace_.clear();
  ASSERT_TRUE(ts_.Select(ts_.Handle(Y_ARCHIVE), 6));
  ASSERT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  EXPECT_FALSE(Traced(trace_, "h__CustomRecover"));
  EXPECT_EQ(f.m_BasId, 0);
  EXPECT_EQ(f.m_BaseFrmId, 2);
  EXPECT_EQ(f.m_BaseFrm, "1,5");
  EXPECT_EQ(f.m_BaseFrmWeight, 1);
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.7);
  EXPECT_EQ(f.m_CanId, 1);
  EXPECT_EQ(f.m_CanName, "Can 1");

  // Defrieze finds the archive record again, without a reflectance table.
  CMixtableEx other;
  other.SetDataDir("c:\\gdata\\");
  EXPECT_EQ(f.Defrieze(&other.Mixtable()), 1);
  EXPECT_EQ(other.Handle(Y_ARCHIVE)->ReadLong("ID"), 6);
  EXPECT_FALSE(other.Handle(Y_FRM)->IsOpen(0));
  EXPECT_FALSE(other.Handle(Y_FRM_REFL)->IsOpen(0));
}

TEST_F(FriezeTest, RoundTripRestoresPositions) {
  Position(1, 1, Y_FRM, 20);
  HFormula f;
  ASSERT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  const int32_t prd_rec = ts_.Handle(Y_PRODUCTS)->RecNo();
  const int32_t spd_rec = ts_.Handle(Y_SUBPRODS)->RecNo();
  const int32_t frm_rec = ts_.Handle(Y_FRM)->RecNo();

  CMixtableEx other;
  other.SetDataDir("c:\\gdata\\");
  ASSERT_EQ(f.Defrieze(&other.Mixtable()), 1);
  EXPECT_EQ(other.Handle(Y_PRODUCTS)->RecNo(), prd_rec);
  EXPECT_EQ(other.Handle(Y_SUBPRODS)->RecNo(), spd_rec);
  EXPECT_EQ(other.Handle(Y_FRM)->RecNo(), frm_rec);
  EXPECT_EQ(other.Handle(Y_FRM_REFL)->ReadLong("FRM_ID"), 20);
  EXPECT_EQ(other.Handle(Y_BASES)->ReadLong("ID"), 1);
  EXPECT_EQ(other.Handle(Y_CANS)->ReadLong("ID"), 2);
  // Capturing again from the positioned set gives the same formula.
  HFormula g;
  ASSERT_EQ(g.Frieze(&other.Mixtable()), 1);
  EXPECT_EQ(g.WriteText(nullptr), f.WriteText(nullptr));

  // No reflectance record: FRM_REFL stands past its end.
  ASSERT_TRUE(ts_.Select(ts_.Handle(Y_FRM), 21));
  ASSERT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  ASSERT_EQ(f.Defrieze(&other.Mixtable()), 1);
  Wdbase* refl = other.Handle(Y_FRM_REFL);
  EXPECT_TRUE(refl->IsOpen(0));
  EXPECT_TRUE(refl->Eof());
  EXPECT_FALSE(other.Handle(Y_BASES)->IsOpen(0));  // no base id
}

TEST_F(FriezeTest, DefriezeFailures) {
  HFormula f;
  EXPECT_EQ(f.Defrieze(nullptr), 0);

  // A missing sub-product: 0, SUBPRODS closed, the product positioned.
  f.m_PrdId = 1;
  f.m_SpdId = 9;
  EXPECT_EQ(f.Defrieze(&ts_.Mixtable()), 0);
  EXPECT_FALSE(ts_.Handle(Y_SUBPRODS)->IsOpen(0));
  EXPECT_EQ(ts_.Handle(Y_PRODUCTS)->ReadLong("ID"), 1);
  EXPECT_TRUE(Traced(trace_, "HFormula::Defrieze WY_HfrFrieze "));
  EXPECT_TRUE(Traced(trace_, " could not resolve Prd/Spd. 1 9 \n"));

  // A missing formula, base and can.
  trace_.clear();
  f.m_SpdId = 1;
  f.m_ClrId = 99;
  f.m_BasId = 7;
  f.m_CanId = 8;
  EXPECT_EQ(f.Defrieze(&ts_.Mixtable()), 0);
  EXPECT_FALSE(Traced(trace_, "Prd/Spd"));
  EXPECT_TRUE(Traced(trace_, " could not resolve Frm Id 99.\n"));
  for (int t : {Y_FRM, Y_FRM_REFL, Y_BASES, Y_CANS})
    EXPECT_FALSE(ts_.Handle(t)->IsOpen(0)) << t;
  EXPECT_TRUE(ts_.Handle(Y_SUBPRODS)->IsOpen(0));
}

TEST_F(FriezeTest, LeanFormulaTable) {
  // FRM without CAN_WEIGHT, NOM_Q0 and the coordinates, and no FRM_REFL.
  static const WDBASE_FIELD kFrm[] = {{"ID", 'C', 5, 0, 0},
                                      {"KEY1", 'C', 24, 0, 0},
                                      {"KEY2", 'C', 24, 0, 0},
                                      {"KEY3", 'C', 24, 0, 0},
                                      {"NCS", 'C', 8, 0, 0},
                                      {"BASE_ID", 'C', 5, 0, 0},
                                      {"CAN_ID", 'C', 5, 0, 0},
                                      {"FORMULA", 'C', 128, 0, 0},
                                      {}};
  Wdbase db;
  db.SetFiles(&WyGetFileInfo(Y_FRM)->def);
  db.SetPath("c:\\lean\\");
  ASSERT_TRUE(Wy_MkDir("c:\\lean\\"));
  ASSERT_TRUE(db.CreateDb(kFrm));
  ASSERT_TRUE(db.Open());
  for (int32_t id : {5, 0}) {
    ASSERT_TRUE(db.AppendBlank());
    ASSERT_TRUE(db.WriteString("ID", Id(id).c_str()));
    ASSERT_TRUE(db.WriteString("KEY1", "LEAN"));
    ASSERT_TRUE(db.WriteString("CAN_ID", Id(0).c_str()));
    ASSERT_TRUE(db.WriteString("FORMULA", "1,2"));
  }
  db.Close();
  CMixtableEx lean;
  lean.SetDataDir("c:\\lean\\");
  Wdbase* frm = lean.Handle(Y_FRM);
  ASSERT_TRUE(lean.Open(frm));
  for (int rec : {1, 2}) {
    ASSERT_TRUE(frm->Goto(rec));
    HFormula f;
    f.m_Rfl[0] = 7;
    ASSERT_EQ(f.Frieze(&lean.Mixtable()), 1);
    EXPECT_EQ(f.m_ClrName, "LEAN||||");
    EXPECT_EQ(f.m_Frm, "1,2");
    EXPECT_EQ(f.m_FrmNomQ, 0.0);
    EXPECT_EQ(f.m_CanWeight, 0);
    EXPECT_EQ(f.m_Rfl[0], 0.0);
    EXPECT_EQ(f.m_X10[0], 0.0);
    EXPECT_FALSE(lean.Handle(Y_FRM_REFL)->IsOpen(0));
  }
}

TEST_F(FriezeTest, NoDescriptorLeftBehind) {
  Position(1, 1, Y_FRM, 20);
  HFormula f;
  ASSERT_EQ(f.Frieze(&ts_.Mixtable()), 1);
  ts_.CloseAll();
  const int before = OpenDescriptors();
  CMixtableEx other;
  other.SetDataDir("c:\\gdata\\");
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(f.Defrieze(&other.Mixtable()), 1);
    HFormula g;
    ASSERT_EQ(g.Frieze(&other.Mixtable()), 1);
  }
  other.CloseAll();
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
