// The archive and history layouts and record writers on tables built from
// the layouts in a temporary drives root: field lists, ids, refusals before
// the append, every field of an archive record.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixtable/hformula_history.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "platform/testing/temp_drives.h"

namespace {

struct FieldRow {
  const char* name;
  char type;
  int len, dec;
};

std::string Layout(const WDBASE_FIELD* f) {
  std::string s;
  for (; f->name[0] != '\0'; ++f)
    s += std::string(f->name) + " " + f->type + std::to_string(f->len) + "." +
         std::to_string(f->dec) + ",";
  return s;
}

TEST(HformulaLayout, ArchiveAndHistoryFieldLists) {
  const std::string archive = Layout(hformula_GetArchiveDef());
  const std::string head =
      "ID C5.0,CUS_ID C5.0,DATAID C10.0,PROD_ID C5.0,SUBP_ID C5.0,UNIT N8.3,"
      "FRACTION N8.3,WEIGHTMODE L1.0,KEY1 C24.0,KEY2 C24.0,KEY3 C24.0,NCS "
      "C8.0,COMMENT C24.0,BASE_ID C5.0,FILL_QC N11.4,FILL_WC N11.4,CAN_ID "
      "C5.0,CAN_WEIGHT L1.0,NOM_Q0 N9.3,FORMULA C";
  EXPECT_EQ(archive.substr(0, head.size()), head);
  EXPECT_NE(archive.find(",PART N1.0,UNDCOAT_ID C5.0,SPROC_ID C5.0,SUBSTR_ID "
                         "C5.0,FRM_REFL C128.0,X_02"),
            std::string::npos);
  EXPECT_NE(archive.find(",X_02 N6.2,Y_02 N6.2,Z_02 N6.2,X_10 N6.2,Y_10 "
                         "N6.2,Z_10 N6.2,DATA1 D8.0,DATA2 D8.0,FRM_BASEID "
                         "C5.0,FRM_BASE C128.0,BAS_WEIGHT L1.0,BASFILLQ "
                         "N11.4,BASFILLW N11.4,BASSPEC_W N7.2,CUSCAN_DES "
                         "C24.0,"),
            std::string::npos);
  int n = 0;
  for (const WDBASE_FIELD* f = hformula_GetArchiveDef(); f->name[0]; ++f) ++n;
  EXPECT_EQ(n, 40);
  EXPECT_EQ(Layout(hformula_GetHistoryDef()),
            "CLRID C5.0,CUS_ID C5.0,DISP_ID C5.0,DATAID C10.0,FRM C128.0,"
            "DATAVER N6.2,PRDID C5.0,SPDID C5.0,UNIT N8.3,FRACTION N8.3,"
            "WEIGHTMODE L1.0,CLRDESCR C100.0,BASID C5.0,BAS_FQ N11.4,BAS_FW "
            "N11.4,CANID C5.0,NOM_Q0 N9.3,CAN_WEIGH0 L1.0,NOM_Q N9.3,"
            "CAN_WEIGHT L1.0,LOTID C24.0,NDISP N5.0,DATA D8.0,TIME C8.0,"
            "FRM_BASEID C5.0,FRM_BASE C128.0,BAS_WEIGHT L1.0,BASFILLQ N11.4,"
            "BASFILLW N11.4,BASSPEC_W N7.2,FRM_REFL C128.0,CUSCAN_DES C24.0,");
}

// An archive-layout table "arc" in c:\local\ with the layout as it stands.
class ArchiveRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string local;
    ASSERT_EQ(1, Wy_LocalPath(local));  // the directory is created
    const char* names[] = {"ARC"};
    const char* exprs[] = {"ID"};
    ASSERT_EQ(1, db_.SetFiles("c:\\local\\", "arc", 1, names, exprs));
    ASSERT_EQ(1, db_.CreateDb(hformula_GetArchiveDef()));
    ASSERT_EQ(1, db_.Open());
    f_.m_DataId = 0;
    f_.m_PrdId = 3;
    f_.m_SpdId = 4;
    f_.m_ClrId = 9;
    f_.m_ClrName = "RED|DARK|X1|note";
    f_.m_BasId = 1;
    f_.m_Fill_Q = 900;
    f_.m_Fill_W = 1100;
    f_.m_CanId = 2;
    f_.m_CanName = "1 L";
    f_.m_CanNomQ = 1000;
    f_.m_Frm = "5,1.25,6,0.5";
    f_.m_FrmNomQ = 1000;
    f_.SetUnit(0, 1.0, 2.0, 1.0);
    f_.m_Source = HF_SOURCE_CUSTOM;
  }

  std::string Field(const char* name) { return db_.Read(name); }

  platform::ScopedTempDrives drives_;
  Wdbase db_;
  Wy_Formula f_;
};

TEST_F(ArchiveRecordTest, IdsFollowTheIdOrderNotThePhysicalOne) {
  int32_t id = -1;
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_, &id));
  EXPECT_EQ(id, 1);
  EXPECT_EQ(Field("ID"), "    1");
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_, &id));
  EXPECT_EQ(id, 2);
  // Physically later, lower id: the next id still follows the highest.
  ASSERT_EQ(1, db_.Goto(1));
  ASSERT_EQ(1, db_.WriteString("ID", "   40"));
  ASSERT_EQ(1, db_.Goto(2));
  ASSERT_EQ(1, db_.WriteString("ID", "    7"));
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_, &id));
  EXPECT_EQ(id, 41);
  EXPECT_EQ(db_.RecNo(), 3);
  EXPECT_EQ(db_.SelectedIdx(), 0);  // the caller's order is kept
  // Without an index on ID every record is looked at.
  Wdbase plain;
  ASSERT_EQ(1, db_.Close());
  ASSERT_EQ(1, plain.SetFiles("c:\\local\\", "arc", 0, nullptr, nullptr));
  ASSERT_EQ(1, plain.Open());
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &plain, &id));
  EXPECT_EQ(id, 42);
}

TEST_F(ArchiveRecordTest, EveryFieldOfARecord) {
  f_.m_X10[0] = 20.5, f_.m_X10[1] = 21, f_.m_X10[2] = 22;
  for (double& r : f_.m_Rfl) r = 0.5;
  Wy_Substrate sub;
  sub.SetID(3);
  f_.SetSub(sub);
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_));
  EXPECT_EQ(Field("DATAID"), "         0");
  EXPECT_EQ(Field("PROD_ID"), "    3");
  EXPECT_EQ(Field("SUBP_ID"), "    4");
  EXPECT_EQ(Field("BASE_ID"), "    1");
  EXPECT_EQ(Field("CAN_ID"), "    2");
  EXPECT_EQ(db_.ReadDouble("NOM_Q0"), 1000);
  EXPECT_EQ(db_.ReadDouble("FILL_QC"), 0);
  EXPECT_EQ(Field("SUBSTR_ID"), "    3");
  EXPECT_EQ(std::string(db_.Read("FORMULA", 0, 1)), "5,1.25,6,0.5");
  EXPECT_EQ(Field("WEIGHTMODE"), "F");
  EXPECT_EQ(db_.ReadDouble("UNIT"), 1.0);
  EXPECT_EQ(db_.ReadDouble("FRACTION"), 2.0);
  EXPECT_EQ(std::string(db_.Read("KEY1", 0, 1)), "RED");
  EXPECT_EQ(std::string(db_.Read("KEY2", 0, 1)), "DARK");
  EXPECT_EQ(std::string(db_.Read("KEY3", 0, 1)), "X1");
  EXPECT_EQ(std::string(db_.Read("COMMENT", 0, 1)), "note");
  EXPECT_EQ(Field("X_02"), " -1.00");
  EXPECT_EQ(Field("Z_02"), " -1.00");
  EXPECT_EQ(Field("X_10"), " 20.50");
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "50.000;";
  EXPECT_EQ(std::string(db_.Read("FRM_REFL", 0, 1)), sixteen);
  EXPECT_EQ(std::string(db_.Read("FRM_BASE", 0, 1)), "");
  EXPECT_EQ(std::string(db_.Read("DATA1")).size(), 8u);
  EXPECT_NE(std::string(db_.Read("DATA1")), "        ");
}

TEST_F(ArchiveRecordTest, CustomCanAndManualBase) {
  f_.m_CanId = 0;
  f_.m_CanName = "My pail";
  f_.m_Fill_QC = 950;
  f_.m_BasId = 0;
  f_.m_BaseFrm = "1,500";
  f_.m_BaseFrmWeight = 1;
  f_.m_Spec_W = 1.25;
  for (double& r : f_.m_Rfl) r = -1;  // no curve: stored empty
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_));
  EXPECT_EQ(Field("CAN_ID"), "    0");
  EXPECT_EQ(db_.ReadDouble("FILL_QC"), 950);
  EXPECT_EQ(std::string(db_.Read("CUSCAN_DES", 0, 1)), "My pail");
  EXPECT_EQ(Field("BASE_ID"), "    0");
  EXPECT_EQ(std::string(db_.Read("FRM_BASE", 0, 1)), "1,500");
  EXPECT_EQ(Field("BAS_WEIGHT"), "T");
  EXPECT_EQ(db_.ReadDouble("BASSPEC_W"), 1.25);
  EXPECT_EQ(db_.ReadDouble("BASFILLQ"), 900);
  EXPECT_EQ(db_.ReadDouble("BASFILLW"), 1100);
  EXPECT_EQ(std::string(db_.Read("FRM_REFL", 0, 1)), "");
  // A base formula by id writes the id, not the text.
  f_.m_BaseFrmId = 12;
  ASSERT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_));
  EXPECT_EQ(Field("FRM_BASEID"), "   12");
  EXPECT_EQ(std::string(db_.Read("FRM_BASE", 0, 1)), "");
}

TEST_F(ArchiveRecordTest, RefusalsAppendNothing) {
  struct Case {
    const char* what;
    void (*spoil)(Wy_Formula&);
  } const cases[] = {
      {"empty text", [](Wy_Formula& f) { f.m_Frm.clear(); }},
      {"97 characters", [](Wy_Formula& f) { f.m_Frm = std::string(97, '1'); }},
      {"base text too long",
       [](Wy_Formula& f) {
         f.m_BasId = 0;
         f.m_BaseFrm = std::string(129, '2');
       }},
      {"weight units unknown",
       [](Wy_Formula& f) { f.m_WeightMode = 1, f.m_WgUnit = -1; }},
      {"mode unknown", [](Wy_Formula& f) { f.m_WeightMode = -1; }},
  };
  for (const Case& c : cases) {
    Wy_Formula f = f_;
    c.spoil(f);
    EXPECT_EQ(0, hformula_ArchiveAddAndFillRecord(&f, &db_)) << c.what;
    EXPECT_EQ(db_.RecCount(), 0) << c.what;
  }
  EXPECT_EQ(0, hformula_ArchiveAddAndFillRecord(nullptr, &db_));
  EXPECT_EQ(0, hformula_ArchiveAddAndFillRecord(&f_, nullptr));
  // 96 characters fit exactly.
  f_.m_Frm = std::string(96, '1');
  EXPECT_EQ(1, hformula_ArchiveAddAndFillRecord(&f_, &db_));
  // No id above 99999.
  ASSERT_EQ(1, db_.WriteString("ID", "99999"));
  int32_t id = -1;
  EXPECT_EQ(0, hformula_ArchiveAddAndFillRecord(&f_, &db_, &id));
  EXPECT_EQ(id, 0);
  EXPECT_EQ(db_.RecCount(), 1);
  Wdbase closed;
  EXPECT_EQ(0, hformula_ArchiveAddAndFillRecord(&f_, &closed));
}

}  // namespace
