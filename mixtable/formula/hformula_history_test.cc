// The history: every field of an append, the two XML documents, reading a
// record back, bringing older, wider and extended tables up to date without
// loss, the data-id rewrite, refusals and their trace lines.

#include "mixtable/hformula_history.h"

#include <gtest/gtest.h>

#include <string>

#include "exchange/xml_test_util.h"
#include "formula/hformula_history_test_util.h"

namespace {

using hftest::HistoryEnv;
using xmltest::ParseStrict;
using xmltest::ReadAll;

class HistoryTest : public HistoryEnv {
 protected:
  // The local history opened, on its last record.
  void OpenLast() {
    ASSERT_EQ(1, hformula_HistorySetDbPathAndName(&db_, nullptr));
    ASSERT_EQ(1, db_.Open());
    ASSERT_EQ(1, db_.Goto(db_.RecCount()));
  }
  std::string Field(const char* name) { return db_.Read(name); }
  std::string Trimmed(const char* name) { return db_.Read(name, 0, 1); }

  Wdbase db_;
};

TEST_F(HistoryTest, EveryFieldOfAnAppend) {
  Catalogue(4711, "12.50 Test\r\nsecond line\r\n", "3,7");
  ASSERT_EQ(1, hformula_CheckUpdateHistory(false, nullptr, 0, 1));
  EXPECT_TRUE(Traced("\nhformula_HistoryCreateDB Done."));
  Wy_Formula f = Sample(4711);
  f.m_Source = HF_SOURCE_CUSTOM;
  f.m_FrmCanWeight = 0;
  for (double& r : f.m_Rfl) r = 0.5;
  ASSERT_EQ(1, hformula_SaveInHistory(&f, nullptr, nullptr));
  OpenLast();
  EXPECT_EQ(Field("DATAID"), "      4711");
  EXPECT_EQ(db_.ReadDouble("DATAVER"), 12.5);
  EXPECT_EQ(Field("CLRID"), "    0");
  EXPECT_EQ(Trimmed("CLRDESCR"), "RED|DARK|X1|note");
  EXPECT_EQ(Field("DISP_ID"), "    3");
  EXPECT_EQ(Field("PRDID"), "    3");
  EXPECT_EQ(Field("SPDID"), "    4");
  EXPECT_EQ(Trimmed("FRM"), "5,1.25,6,0.5");
  EXPECT_EQ(db_.ReadDouble("NOM_Q0"), 1000);
  EXPECT_EQ(Field("CAN_WEIGH0"), "F");
  EXPECT_EQ(Field("WEIGHTMODE"), "F");
  EXPECT_EQ(db_.ReadDouble("UNIT"), 1);
  EXPECT_EQ(db_.ReadDouble("FRACTION"), 2);
  EXPECT_EQ(db_.ReadLong("NDISP"), 2);
  EXPECT_EQ(Field("BASID"), "    1");
  EXPECT_EQ(db_.ReadDouble("BAS_FQ"), 900);
  EXPECT_EQ(db_.ReadDouble("BAS_FW"), 1100);
  EXPECT_EQ(Field("CANID"), "    2");
  EXPECT_EQ(db_.ReadDouble("NOM_Q"), 1000);
  EXPECT_EQ(Trimmed("LOTID"), "");
  EXPECT_EQ(Field("DATA").size(), 8u);
  const std::string time = Field("TIME");
  ASSERT_EQ(time.size(), 8u);
  EXPECT_EQ(time[2], ':');
  EXPECT_EQ(time[5], ':');
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "50.000;";
  EXPECT_EQ(Trimmed("FRM_REFL"), sixteen);
  db_.Close();

  // A standard formula keeps its colour id; a custom can with a custom
  // fill: BAS_FQ from the custom fill, CANID 0 and the description.
  f.m_Source = HF_SOURCE_STANDARD;
  f.m_CanId = 0;
  f.m_CanName = "My pail";
  f.m_Fill_QC = 950;
  ASSERT_EQ(1, hformula_SaveInHistory(&f, nullptr, nullptr));
  OpenLast();
  EXPECT_EQ(Field("CLRID"), "    9");
  EXPECT_EQ(Field("CANID"), "    0");
  EXPECT_EQ(db_.ReadDouble("BAS_FQ"), 950);
  EXPECT_EQ(db_.ReadDouble("BAS_FW"), 1100);
  EXPECT_EQ(Trimmed("CUSCAN_DES"), "My pail");
}

TEST_F(HistoryTest, UncataloguedIdAndRefusals) {
  Wy_Formula f = Sample(999);
  ASSERT_EQ(1, hformula_SaveInHistory(&f, nullptr, nullptr));  // created
  OpenLast();
  EXPECT_EQ(Field("DATAID"), "       999");
  EXPECT_EQ(db_.ReadDouble("DATAVER"), 0);
  db_.Close();
  f.m_Frm = std::string(129, '1');
  EXPECT_EQ(0, hformula_SaveInHistory(&f, nullptr, nullptr));
  EXPECT_TRUE(Traced(
      "\nhformula_HistoryAppend ERROR in hformula_HistoryAddAndFillRecord."));
  OpenLast();
  EXPECT_EQ(db_.RecCount(), 1);
  db_.Close();
  // The XML documents are written even so: two formulas in each.
  const std::string xml = ReadAll(LocalHost("XMLHIST.XML"));
  std::string why;
  EXPECT_TRUE(ParseStrict(xml, &why)) << why;
  EXPECT_NE(xml.find(std::string(129, '1')), std::string::npos);

  EXPECT_EQ(0, hformula_SaveInHistory(nullptr, nullptr, nullptr));
  EXPECT_TRUE(
      Traced("\nhformula_SaveInHistory ERROR in the input parameters."));
  EXPECT_EQ(0, hformula_ReadFromHistory(nullptr, &db_));
  EXPECT_TRUE(
      Traced("\nhformula_ReadFromHistory ERROR in the input parameters."));
  Wy_Formula back;
  EXPECT_EQ(0, hformula_ReadFromHistory(&back, &db_));  // closed
  EXPECT_TRUE(Traced("\nERROR in hformula_HistoryRead."));
  EXPECT_EQ(0, hformula_HistorySetDbPathAndName(nullptr, nullptr));
  EXPECT_TRUE(Traced(
      "\nhformula_HistorySetDbPathAndName ERROR in HistoryDb.SetFiles."));
  EXPECT_EQ(0, hformula_CheckUpdateHistory(false, "c:\\nothere\\", 0, 0));
  EXPECT_EQ(0, hformula_HistoryXMLAppend(&f, nullptr, nullptr));
}

TEST_F(HistoryTest, XmlDocuments) {
  Wy_ShopData shop;
  shop.m_Shop1 = "Shop & Co";
  shop.m_Shop2 = "Main street";
  shop.m_UserId = "u1";
  Wy_DispenserData disp;
  disp.m_DispenserId = 3;
  disp.m_DispenserDescr = "Left";
  Wy_Formula f = Sample(0);
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(1, hformula_SaveInHistory(&f, &shop, &disp));
  EXPECT_EQ(0, hformula_HistoryXMLAppend(&f, &shop, &disp));
  const std::string hist = ReadAll(LocalHost("HISTORY.XML"));
  const std::string ex = ReadAll(LocalHost("XMLHIST.XML"));
  for (const std::string* doc : {&hist, &ex}) {
    std::string why, root;
    EXPECT_TRUE(ParseStrict(*doc, &why, &root)) << why << *doc;
    EXPECT_EQ(root, "HISTORY");
    EXPECT_EQ(doc->rfind("<?xml version=\"1.0\" encoding=", 0), 0u);
    size_t n = 0;
    for (size_t p = doc->find("</HISTORY>"); p != std::string::npos;
         p = doc->find("</HISTORY>", p + 1))
      ++n;
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(doc->substr(doc->size() - 10), "</HISTORY>");
    size_t formulas = 0;
    for (size_t p = doc->find("<FORMULA>"); p != std::string::npos;
         p = doc->find("<FORMULA>", p + 1))
      ++formulas;
    EXPECT_EQ(formulas, 4u);
  }
  EXPECT_NE(hist.find("<HISTORY>\r\n<SHOPINFO>(Shop &#x26; Co)(Main street)"),
            std::string::npos)
      << hist;
  EXPECT_EQ(ex.find("<SHOPINFO>"), std::string::npos);
  EXPECT_NE(ex.find("<DIS><ID>3</ID><DSC>Left</DSC>"), std::string::npos);
}

TEST_F(HistoryTest, DataVersionOfTheDescriptionLine) {
  // Only a version that begins the line counts: a number inside the
  // description ("2020") is not one, and would not fit DATAVER (N6.2).
  const struct {
    uint32_t id;
    const char* fvers;
    double dataver;
  } cases[] = {
      {5001, "3.5", 3.5},                // a lone version
      {5002, "1.00 Fandeck 2020", 1.0},  //
      {5003, "Fandeck 2020", 0},         // no version in front
      {5004, "", 0},                     // empty file
      {5005, "-1.00 Minus", 0},          // not a version
      {5006, "123.45 Too big", 0},       // beyond the version range
      {5007, "\r\n12.50 Second", 0},     // the first line is empty
  };
  for (const auto& c : cases) {
    Catalogue(c.id, c.fvers, "3");
    Wy_Formula f = Sample(c.id);
    ASSERT_EQ(1, hformula_SaveInHistory(&f, nullptr, nullptr)) << c.fvers;
    OpenLast();
    EXPECT_EQ(db_.ReadDouble("DATAVER"), c.dataver) << c.fvers;
    db_.Close();
  }
}

TEST_F(HistoryTest, ReadBack) {
  Catalogue(4711, "12.50 Test", "3,7");
  Wy_Formula f = Sample(4711);
  f.m_CanId = 0;
  f.m_CanName = "My pail";
  f.m_CanWeight = 1;
  f.m_FrmCanWeight = 1;
  f.m_CanNomQ = 2500;
  f.m_BasId = 0;
  f.m_BaseFrm = "1,500";
  f.m_BaseFrmWeight = 1;
  f.m_Spec_W = 1.25;
  f.SetUnit(1, 1.5, 3.0, 1.0);
  ASSERT_EQ(1, hformula_SaveInHistory(&f, nullptr, nullptr));
  OpenLast();
  EXPECT_EQ(Trimmed("FRM_REFL"),
            "0.000;0.000;0.000;0.000;0.000;0.000;0.000;"
            "0.000;0.000;0.000;0.000;0.000;0.000;0.000;"
            "0.000;0.000;");
  // An empty curve reads back as sixteen -1.
  ASSERT_EQ(1, db_.WriteString("FRM_REFL", " "));
  ASSERT_EQ(1, db_.WriteString("FRM_REFL", "                "));
  Wy_Formula back;
  ASSERT_EQ(1, hformula_ReadFromHistory(&back, &db_));
  EXPECT_FALSE(db_.IsOpen(0));
  EXPECT_EQ(back.m_DataId, 4711u);
  EXPECT_EQ(back.m_Frm, "5,1.25,6,0.5");
  EXPECT_EQ(back.m_FrmNomQ, 1000);
  EXPECT_EQ(back.m_FrmCanWeight, 1);
  EXPECT_EQ(back.m_ClrName, "RED|DARK|X1|note");
  EXPECT_EQ(back.m_WeightMode, 1);
  EXPECT_EQ(back.m_WgUnit, 1.5);
  EXPECT_EQ(back.m_WgFraction, 3.0);
  EXPECT_EQ(back.m_CanId, 0);
  EXPECT_EQ(back.m_CanName, "My pail");
  EXPECT_EQ(back.m_CanNomQ, 2500);
  EXPECT_EQ(back.m_CanWeight, 1);
  EXPECT_EQ(back.m_BasId, 0);
  EXPECT_EQ(back.m_BaseFrm, "1,500");
  EXPECT_EQ(back.m_BaseFrmWeight, 1);
  EXPECT_EQ(back.m_Spec_W, 1.25);
  EXPECT_EQ(back.m_Fill_Q, 900);
  EXPECT_EQ(back.m_Lqnt, 2);
  EXPECT_EQ(back.m_PrdId, 3);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(back.m_Rfl[i], -1.0) << i;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back.m_X02[i], -1.0);
    EXPECT_EQ(back.m_X10[i], -1.0);
  }
}

TEST_F(HistoryTest, ReflectanceTextsOfAnyShape) {
  ASSERT_EQ(1, hformula_CheckUpdateHistory(false, nullptr, 0, 1));
  Wy_Formula f = Sample(0);
  ASSERT_EQ(1, hformula_SaveInHistory(&f, nullptr, nullptr));
  struct Case {
    const char* text;
    double first, second, last;
  } const cases[] = {
      {"50;25.5;", 0.5, 0.255, -1},
      {"garbage;;7", -1, -1, -1},
      {"nan;inf;-5", -1, -1, -1},
      {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25;26;"
       "27;28;29;30;31;32;33;34;35;36;37;38;39;40;",
       0.01, 0.02, 0.16},
  };
  for (const Case& c : cases) {
    OpenLast();
    ASSERT_EQ(1, db_.WriteString("FRM_REFL", c.text));
    Wy_Formula back;
    ASSERT_EQ(1, hformula_ReadFromHistory(&back, &db_)) << c.text;
    EXPECT_DOUBLE_EQ(back.m_Rfl[0], c.first) << c.text;
    EXPECT_DOUBLE_EQ(back.m_Rfl[1], c.second) << c.text;
    EXPECT_DOUBLE_EQ(back.m_Rfl[15], c.last) << c.text;
  }
  OpenLast();
  EXPECT_EQ(Field("FRM_REFL").find("1;2;3"), 0u);
}

// A history of another layout, with records (one deleted).
void MakeHistory(const WDBASE_FIELD* fields) {
  Wdbase t;
  ASSERT_EQ(1, hformula_HistorySetDbPathAndName(&t, nullptr));
  ASSERT_EQ(1, t.CreateDb(fields));
  ASSERT_EQ(1, t.Open());
  const char* const ids[] = {"", "         0", "        17"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(1, t.AppendBlank());
    ASSERT_EQ(1, t.WriteString("FRM", std::string(90, 'A' + i).c_str()));
    if (*ids[i]) {
      ASSERT_EQ(1, t.WriteString("DATAID", ids[i]));
    }
    if (t.FieldNo("MINE")) {
      ASSERT_EQ(1, t.WriteString("MINE", "kept"));
    }
    if (t.FieldLen("CLRDESCR") > 100) {
      ASSERT_EQ(1, t.WriteString("CLRDESCR", std::string(120, 'w').c_str()));
    }
  }
  ASSERT_EQ(1, t.Goto(2));
  ASSERT_EQ(1, t.Delete());
  ASSERT_EQ(1, t.Close());
}

TEST_F(HistoryTest, OlderWiderAndExtendedTablesKeepEveryRecord) {
  struct Case {
    const char* what;
    std::vector<WDBASE_FIELD> fields;
  } cases[] = {
      {"older",
       {{"CLRID", 'C', 5, 0, 0},
        {"DATAID", 'C', 10, 0, 0},
        {"FRM", 'C', 96, 0, 0},
        {"LOTID", 'C', 24, 0, 0},
        {}}},
      {"wider", {}},
      {"extended", {}},
  };
  for (const WDBASE_FIELD* f = hformula_GetHistoryDef(); f->name[0]; ++f) {
    WDBASE_FIELD w = *f;
    if (std::string(w.name) == "CLRDESCR") w.len = 120;
    cases[1].fields.push_back(w);
    cases[2].fields.push_back(*f);
  }
  cases[1].fields.push_back({});
  cases[2].fields.insert(cases[2].fields.begin() + 2, {"MINE", 'C', 10, 0, 0});
  cases[2].fields.push_back({});
  for (Case& c : cases) {
    Wdbase old;
    ASSERT_EQ(1, hformula_HistorySetDbPathAndName(&old, nullptr));
    old.Unlink(0);
    MakeHistory(c.fields.data());
    ASSERT_EQ(1, hformula_CheckUpdateHistory(false, nullptr, 5, 0)) << c.what;
    Wdbase t;
    ASSERT_EQ(1, hformula_HistorySetDbPathAndName(&t, nullptr));
    ASSERT_EQ(1, t.Open());
    EXPECT_EQ(t.RecCount(), 3) << c.what;
    EXPECT_EQ(t.FieldLen("FRM"), 128) << c.what;
    EXPECT_GT(t.FieldNo("CUSCAN_DES"), 0) << c.what;
    ASSERT_EQ(1, t.Goto(1));
    EXPECT_EQ(std::string(t.Read("FRM", 0, 1)), std::string(90, 'A'));
    EXPECT_EQ(std::string(t.Read("DATAID")), "         5") << c.what;
    ASSERT_EQ(1, t.Goto(2));
    EXPECT_EQ(t.Deleted(), 1) << c.what;
    EXPECT_EQ(std::string(t.Read("DATAID")), "         5") << c.what;
    ASSERT_EQ(1, t.Goto(3));
    EXPECT_EQ(std::string(t.Read("DATAID")), "        17") << c.what;
    if (c.fields.size() > 10 && c.fields[2].name == std::string("MINE")) {
      EXPECT_EQ(std::string(t.Read("MINE", 0, 1)), "kept");
    }
    if (c.what == std::string("wider")) {
      EXPECT_EQ(t.FieldLen("CLRDESCR"), 120);
      EXPECT_EQ(std::string(t.Read("CLRDESCR", 0, 1)), std::string(120, 'w'));
    }
    // The index on DATAID is current.
    ASSERT_EQ(1, t.SelectIdx(2));
    EXPECT_EQ(1, t.Seek("        17"));
    EXPECT_EQ(t.RecNo(), 3);
    ASSERT_EQ(1, t.Close());
    // Up to date now: a second check changes nothing.
    ASSERT_EQ(1, hformula_CheckUpdateHistory(false, nullptr, 0, 0));
  }
}

TEST_F(HistoryTest, NeverCreatedOverAnExistingTable) {
  Wdbase t;
  ASSERT_EQ(1, hformula_HistorySetDbPathAndName(&t, nullptr));
  const std::string host = LocalHost("history.dbf");
  hftest::WriteFile("c:\\local\\history.dbf", "not a data file at all");
  EXPECT_EQ(0, hformula_CheckUpdateHistory(false, nullptr, 0, 1));
  EXPECT_EQ(ReadAll(host), "not a data file at all");
  Wy_Formula f = Sample(0);
  EXPECT_EQ(0, hformula_SaveInHistory(&f, nullptr, nullptr));
  EXPECT_EQ(ReadAll(host), "not a data file at all");
}

}  // namespace
