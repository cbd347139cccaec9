// Repairs against the sample data set, and the data-set type.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access/table_set_fixture.h"
#include "mixtable/wy_repairs.h"
#include "platform/env.h"
#include "platform/testing/fault_env.h"
#include "testing/table_rows.h"

namespace {

using mixtable_testing::Id;
using mixtable_testing::Values;

class RepairsTest : public SampleDataSetTest {
 protected:
  bool Append(int table, const Values& v, int32_t prd = 0, int32_t spd = 0) {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    const bool ok = b.Append(table, v, prd, spd);
    EXPECT_TRUE(ok) << b.error();
    return ok;
  }
  // Live records of the table at path: the trimmed values of the fields.
  std::vector<std::string> Rows(const std::string& path,
                                const std::vector<std::string>& fields) {
    convert_testing::TableRows t = convert_testing::ReadTable(path);
    EXPECT_TRUE(t.ok) << path;
    std::vector<std::string> out;
    for (const auto& r : t.rows) {
      EXPECT_FALSE(r.deleted) << path << " not packed";
      std::string line;
      for (const std::string& f : fields) {
        for (size_t k = 0; k < t.fields.size(); ++k) {
          if (t.fields[k].name != f) continue;
          std::string v = r.values[k];
          v.erase(0, v.find_first_not_of(' '));
          v.erase(v.find_last_not_of(' ') + 1);
          line += (line.empty() ? "" : "/") + v;
        }
      }
      out.push_back(line);
    }
    return out;
  }
  void DeleteRecord(const char* dir, const char* name, int32_t recno) {
    Wdbase t;
    ASSERT_TRUE(t.SetFiles(dir, name, 0, nullptr, nullptr));
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(t.Goto(recno));
    ASSERT_TRUE(t.Delete());
    t.Close();
  }
  CMixtable* T() { return &ts_.Mixtable(); }
};

TEST_F(RepairsTest, ColorimetryRemovesOrphansAndProductKeys) {
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(2)}}));
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(9)}}));
  ASSERT_TRUE(Append(Y_CNT_KS, {{"ID", Id(3)}, {"PROD_KEY", Id(7)}}));
  ASSERT_TRUE(Append(Y_CNT_KS, {{"ID", Id(9)}}));
  // Sub-product 5 of product 1 does not exist; sub-product 2 does.
  ASSERT_TRUE(Append(
      Y_CNT_KS, {{"ID", Id(3)}, {"PROD_KEY", Id(1)}, {"SUBP_KEY", Id(5)}}));
  ASSERT_TRUE(Append(
      Y_CNT_KS, {{"ID", Id(3)}, {"PROD_KEY", Id(1)}, {"SUBP_KEY", Id(2)}}));
  // A product-level blend is checked too.
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(2)}, {"PTR_ID", Id(8)}}, 1));
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(2)}, {"PTR_ID", Id(3)}}, 1));

  ASSERT_EQ(Wdbase::FlushSet(1), Wdbase::FlushGet());
  EXPECT_EQ(Wy_UpdateCntsColorimetry(T(), nullptr), 0);
  EXPECT_EQ(Wdbase::FlushGet(), 1);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_BLND.DBF", {"ID", "PTR_ID"}),
            (std::vector<std::string>{"1/2"}));
  EXPECT_EQ(Rows("c:\\gdata\\P1\\CNT_BLND.DBF", {"ID", "PTR_ID"}),
            (std::vector<std::string>{"2/3"}));
  EXPECT_EQ(
      Rows("c:\\gdata\\CNT_KS.DBF", {"ID", "PROD_KEY", "SUBP_KEY"}),
      (std::vector<std::string>{"1/0/0", "1/1/0", "1/1/1", "2/0/0", "3/1/2"}));
  // The index was rebuilt with the pack.
  Wdbase ks;
  ASSERT_TRUE(ks.SetFiles(&WyGetFileInfo(Y_CNT_KS)->def));
  ASSERT_TRUE(ks.SetPath("c:\\gdata\\"));
  ASSERT_TRUE(ks.Open());
  ASSERT_EQ(ks.SelectIdx(1), 1);
  EXPECT_EQ(ks.Seek("    3"), 1);
  EXPECT_EQ(ks.Seek("    9"), 3);
}

TEST_F(RepairsTest, EmptyOrDamagedReferenceDeletesNothing) {
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(2)}}));
  const auto before = Rows("c:\\gdata\\CNT_KS.DBF", {"ID", "PROD_KEY"});
  {
    Wdbase c;
    ASSERT_TRUE(c.SetFiles("c:\\gdata\\", "CNTS", 0, nullptr, nullptr));
    ASSERT_TRUE(c.Open());
    ASSERT_TRUE(c.Zap());
    c.Close();
  }
  Wdbase::FlushSet(1);
  EXPECT_EQ(Wy_UpdateCntsColorimetry(T(), nullptr), -1);
  EXPECT_EQ(Wy_UpdateCntsHue(T(), nullptr), -1);
  EXPECT_EQ(Wy_UpdateForceFactors(T(), nullptr), -1);
  EXPECT_FALSE(Wy_UpdateMasksAndRulers(T(), nullptr, 2));
  EXPECT_EQ(Wdbase::FlushGet(), 1);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_KS.DBF", {"ID", "PROD_KEY"}), before);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_BLND.DBF", {"PTR_ID"}),
            (std::vector<std::string>{"2"}));
  // Missing reference table, no table set, unknown mode.
  ASSERT_TRUE(
      platform::Env::Current()->DeleteFile("c:\\gdata\\BASES.DBF").ok());
  EXPECT_EQ(Wy_UpdateBasesHue(T(), nullptr), -1);
  EXPECT_EQ(Wy_UpdateBarcodes(T(), nullptr), -1);
  EXPECT_EQ(Wy_UpdateBasesColorimetry(nullptr, nullptr), -1);
  EXPECT_FALSE(Wy_UpdateMasksAndRulers(nullptr, nullptr, 0));
  EXPECT_FALSE(Wy_UpdateMasksAndRulers(T(), nullptr, 3));
}

TEST_F(RepairsTest, AFailureRestoresEveryTableAlreadyChanged) {
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(9)}}));
  ASSERT_TRUE(Append(Y_CNT_KS, {{"ID", Id(9)}}));
  const auto blends = Rows("c:\\gdata\\CNT_BLND.DBF", {"ID", "PTR_ID"});
  const auto ks = Rows("c:\\gdata\\CNT_KS.DBF", {"ID", "PROD_KEY"});
  {
    // The blends are cleaned first; saving the K/S table then fails.
    platform::FaultInjectionEnv env(platform::Env::Default());
    platform::ScopedEnv use(&env);
    env.FailPath("$UPGRADE\\CNT_KS", platform::FaultInjectionEnv::kAll, ENOSPC);
    Wdbase::FlushSet(1);
    EXPECT_EQ(Wy_UpdateCntsColorimetry(T(), nullptr), -1);
    EXPECT_EQ(Wdbase::FlushGet(), 1);
  }
  EXPECT_EQ(Rows("c:\\gdata\\CNT_BLND.DBF", {"ID", "PTR_ID"}), blends);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_KS.DBF", {"ID", "PROD_KEY"}), ks);
  EXPECT_EQ(Wy_MaintenanceState("c:\\gdata\\"), kWyMaintenanceFree);
  // Without the fault the same repair goes through.
  EXPECT_EQ(Wy_UpdateCntsColorimetry(T(), nullptr), 0);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_BLND.DBF", {"ID"}).size(), 0u);
}

TEST_F(RepairsTest, DeletedReferenceRecordsStillCount) {
  DeleteRecord("c:\\gdata\\", "CNTS", 2);  // colorant 2
  ASSERT_TRUE(Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(2)}}));
  EXPECT_EQ(Wy_UpdateCntsColorimetry(T(), nullptr), 0);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_BLND.DBF", {"PTR_ID"}),
            (std::vector<std::string>{"2"}));
}

TEST_F(RepairsTest, MasksAndRulersCompareTrimmedTypesInAnyCase) {
  ASSERT_TRUE(Append(Y_MASK, {{"TYPE", "CO"}, {"PNT_ID", Id(9)}}, 1, 1));
  ASSERT_TRUE(Append(Y_MASK, {{"TYPE", "co"}, {"PNT_ID", Id(9)}}, 1, 1));
  ASSERT_TRUE(Append(Y_MASK, {{"TYPE", "XX"}, {"PNT_ID", Id(9)}}, 1, 1));
  ASSERT_TRUE(Append(Y_MASK, {{"TYPE", "ca"}, {"PNT_ID", Id(1)}}, 1, 1));
  ASSERT_TRUE(Append(Y_RULER, {{"RTYPE", "BA"}, {"PTR_ID", Id(9)}}, 1, 1));
  ASSERT_TRUE(Append(Y_RULER, {{"RTYPE", "Ba"}, {"PTR_ID", Id(2)}}, 1, 1));
  // A wider TYPE ("co " with a trailing blank) in product 2's mask.
  convert_testing::MakeTable("c:\\gdata\\P2\\S1\\MASK.DBF",
                             {{"TYPE", 'C', 3}, {"PNT_ID", 'C', 5}},
                             {{"co ", Id(9)}, {" CA", Id(2)}, {"COX", Id(9)}});

  EXPECT_TRUE(Wy_UpdateMasksAndRulers(T(), nullptr, 0));  // masks only
  EXPECT_EQ(Rows("c:\\gdata\\P1\\S1\\MASK.DBF", {"TYPE", "PNT_ID"}),
            (std::vector<std::string>{"BA/1", "CO/2", "XX/9", "ca/1"}));
  EXPECT_EQ(Rows("c:\\gdata\\P2\\S1\\MASK.DBF", {"TYPE", "PNT_ID"}),
            (std::vector<std::string>{"CA/2", "COX/9"}));
  EXPECT_EQ(Rows("c:\\gdata\\P1\\S1\\RULER.DBF", {"RTYPE", "PTR_ID"}).size(),
            2u);
  EXPECT_TRUE(Wy_UpdateMasksAndRulers(T(), nullptr, 1));  // rulers only
  EXPECT_EQ(Rows("c:\\gdata\\P1\\S1\\RULER.DBF", {"RTYPE", "PTR_ID"}),
            (std::vector<std::string>{"Ba/2"}));
}

TEST_F(RepairsTest, BarcodesCheckBasesCansAndFormulasOfTheirLevel) {
  struct Row {
    int prd, spd, base, can, frm;
    bool kept;
  };
  const Row rows[] = {
      {0, 0, 9, 0, 0, false},   // no base 9
      {0, 0, 0, 9, 0, false},   // no can 9
      {0, 0, 0, 0, 0, true},    // no references at all
      {1, 1, 1, 2, 20, true},   // formula of P1\S1
      {1, 1, 0, 0, 10, false},  // 10 is product 1's, not P1\S1's
      {1, 2, 0, 0, 10, true},   // P1\S2 has no FRM: product level
      {2, 1, 0, 0, 1, true},    // P2 has no FRM: the root's
      {7, 0, 0, 0, 1, false},   // no product 7
      {1, 5, 0, 0, 10, false},  // no sub-product 5 of product 1
      {0, 0, 0, 0, 3, false},   // no root formula 3
  };
  int id = 1;
  for (const Row& r : rows) {
    Values v{{"ID", Id(id++)},       {"BASE_ID", r.base ? Id(r.base) : ""},
             {"CAN_ID", Id(r.can)},  {"FRM_ID", r.frm ? Id(r.frm) : "     "},
             {"PROD_ID", Id(r.prd)}, {"SUBP_ID", Id(r.spd)}};
    ASSERT_TRUE(Append(Y_TBLCODE, v));
  }
  EXPECT_EQ(Wy_UpdateBarcodes(T(), nullptr), 0);
  std::vector<std::string> expected;
  id = 1;
  for (const Row& r : rows) {
    if (r.kept) expected.push_back(std::to_string(id));
    ++id;
  }
  EXPECT_EQ(Rows("c:\\gdata\\TBLCODE.DBF", {"ID"}), expected);
}

TEST_F(RepairsTest, EmptyFormulaTableOfALevelDeletesNothing) {
  ASSERT_TRUE(Append(Y_TBLCODE, {{"ID", Id(1)},
                                 {"FRM_ID", Id(99)},
                                 {"PROD_ID", Id(1)},
                                 {"SUBP_ID", Id(1)}}));
  {
    Wdbase f;
    ASSERT_TRUE(f.SetFiles("c:\\gdata\\P1\\S1\\", "FRM", 0, nullptr, nullptr));
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.Zap());
    f.Close();
  }
  EXPECT_EQ(Wy_UpdateBarcodes(T(), nullptr), -1);
  EXPECT_EQ(Rows("c:\\gdata\\TBLCODE.DBF", {"ID"}).size(), 1u);
}

TEST_F(RepairsTest, HueAndForceFactorsUseKeysOnlyWhereTheTableHasThem) {
  ASSERT_TRUE(Append(Y_CNT_HUE, {{"ID", Id(1)}, {"PROD_KEY", Id(7)}}));
  ASSERT_TRUE(Append(Y_CNT_HUE, {{"ID", Id(1)}, {"PROD_KEY", Id(2)}}));
  ASSERT_TRUE(Append(Y_CNT_HUE, {{"ID", Id(4)}}));
  convert_testing::MakeTable("c:\\gdata\\BAS_HUE.DBF",
                             {{"ID", 'C', 5}, {"HUE", 'N', 7, 2}},
                             {{Id(1), "  10.00"}, {Id(3), "  20.00"}});
  ASSERT_TRUE(Append(Y_CNT_FF, {{"ID", Id(3)}}));
  ASSERT_TRUE(Append(Y_CNT_FF, {{"ID", Id(4)}}));
  ASSERT_TRUE(Append(Y_BAS_FF, {{"ID", Id(2)}, {"SUBP_KEY", Id(9)}}));
  ASSERT_TRUE(Append(Y_BAS_FF, {{"ID", Id(3)}}));

  EXPECT_EQ(Wy_UpdateCntsHue(T(), nullptr), 0);
  EXPECT_EQ(Wy_UpdateBasesHue(T(), nullptr), 0);
  EXPECT_EQ(Wy_UpdateForceFactors(T(), nullptr), 0);
  EXPECT_EQ(Rows("c:\\gdata\\CNT_HUE.DBF", {"ID", "PROD_KEY"}),
            (std::vector<std::string>{"1/2"}));
  EXPECT_EQ(Rows("c:\\gdata\\BAS_HUE.DBF", {"ID"}),
            (std::vector<std::string>{"1"}));
  EXPECT_EQ(Rows("c:\\gdata\\CNT_FF.DBF", {"ID"}),
            (std::vector<std::string>{"3"}));
  // A sub-product key without a product key names nothing to check.
  EXPECT_EQ(Rows("c:\\gdata\\BAS_FF.DBF", {"ID", "SUBP_KEY"}),
            (std::vector<std::string>{"2/9"}));
}

// ---- data-set type ----------------------------------------------------------

class GDataTypeTest : public ::testing::Test {
 protected:
  void Make(const char* file, const std::vector<convert_testing::Field>& f) {
    ASSERT_TRUE(platform::Env::Current()->CreateDir("c:\\set").ok() ||
                platform::Env::Current()->FileExists("c:\\set"));
    ASSERT_TRUE(
        convert_testing::MakeTable(std::string("c:\\set\\") + file, f, {}));
  }
  platform::ScopedTempDrives drives_;
};

TEST_F(GDataTypeTest, LastPassingTestWinsAndAFailedCheckStops) {
  ASSERT_TRUE(platform::Env::Current()->CreateDir("c:\\set").ok());
  EXPECT_EQ(Wy_GetGDataType("c:\\set", true), YTABLE_GDATATYPE_NONE);
  Make("PARAM.DBF", {{"KEY", 'C', 16}, {"VALUE", 'C', 128}});
  EXPECT_EQ(Wy_GetGDataType("  c:\\set  ", true), YTABLE_GDATATYPE_PARAM);
  // PRODUCTS without PATH keeps the previous value.
  Make("PRODUCTS.DBF", {{"ID", 'C', 5}, {"CODE", 'C', 10}, {"DESCR", 'C', 40}});
  EXPECT_EQ(Wy_GetGDataType("c:\\set\\", true), YTABLE_GDATATYPE_PARAM);
  EXPECT_EQ(Wy_GetGDataType("c:\\set\\", false), YTABLE_GDATATYPE_PRODUCTS);
  // A colorants table without SPEC_W stops the tests at once.
  Make("CNTS.DBF", {{"ID", 'C', 5}, {"CODE", 'C', 10}, {"DESCR", 'C', 40}});
  EXPECT_EQ(Wy_GetGDataType("c:\\set\\", true), YTABLE_GDATATYPE_NONE);
  Make("CNTS.DBF", {{"ID", 'C', 5},
                    {"CODE", 'C', 10},
                    {"DESCR", 'C', 40},
                    {"SPEC_W", 'N', 8, 2}});
  EXPECT_EQ(Wy_GetGDataType("c:\\set\\", true), YTABLE_GDATATYPE_PARAM);
  // Not a table at all.
  ASSERT_TRUE(platform::Env::Current()->DeleteFile("c:\\set\\PARAM.DBF").ok());
  {
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(platform::Env::Current()
                    ->OpenFile("c:\\set\\PARAM.DBF",
                               platform::OpenMode::kCreateAlways, &f)
                    .ok());
    ASSERT_TRUE(f->WriteAt(0, "garbage", 7).ok());
  }
  EXPECT_EQ(Wy_GetGDataType("c:\\set\\", true), YTABLE_GDATATYPE_CNTS);
}

}  // namespace
