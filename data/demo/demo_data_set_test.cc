// The demo data set as the tables library sees it: tables at their levels
// with their record counts, every index sound, the identity, formulas that
// keep to their masks, and the same bytes on every build.

#include "demo_data_set.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "demo_test_util.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "xbase32/wdbase.h"

namespace {

using kalvo_demo::BuildDemoDataSet;
using kalvo_demo_testing::ReadAll;
using kalvo_demo_testing::TreeFiles;
using platform::Env;

constexpr const char* kDir = "c:\\gdata\\";

std::string Trim(const char* s) {
  std::string t = s ? s : "";
  while (!t.empty() && t.back() == ' ') t.pop_back();
  while (!t.empty() && t.front() == ' ') t.erase(0, 1);
  return t;
}

// The demo set is built once for the suite, below a temporary drives root.
class DemoDataSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives_ = new platform::ScopedTempDrives();
    std::string error;
    built_ = BuildDemoDataSet(kDir, &error);
    EXPECT_TRUE(built_) << error;
  }
  static void TearDownTestSuite() {
    delete drives_;
    drives_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(built_); }

  static platform::ScopedTempDrives* drives_;
  static bool built_;
};
platform::ScopedTempDrives* DemoDataSetTest::drives_ = nullptr;
bool DemoDataSetTest::built_ = false;

TEST_F(DemoDataSetTest, TablesOpenAtTheirLevelsWithTheirRecordCounts) {
  struct Want {
    int table;
    int32_t prd, spd;
    uint8_t level;
    int32_t count;
  };
  std::vector<Want> want = {
      {Y_PRODUCTS, 0, 0, Y_LEVEL_BASE, 3},  {Y_CNTS, 0, 0, Y_LEVEL_BASE, 12},
      {Y_CNT_KS, 0, 0, Y_LEVEL_BASE, 12},   {Y_BASES, 0, 0, Y_LEVEL_BASE, 9},
      {Y_CANS, 0, 0, Y_LEVEL_BASE, 4},      {Y_PARAM, 0, 0, Y_LEVEL_BASE, 3},
      {Y_CLRPRDS, 0, 0, Y_LEVEL_BASE, 300},
  };
  // Masks: 3 bases, the colorants (the facade leaves out 4 organic ones),
  // the cans (the enamel leaves out the 5 l can).
  const int32_t masks[] = {3 + 12 + 4, 3 + 8 + 4, 3 + 12 + 3};
  for (int32_t prd = 1; prd <= 3; ++prd) {
    want.push_back({Y_SUBPRODS, prd, 0, Y_LEVEL_PRODUCT, 2});
    for (int32_t spd = 1; spd <= 2; ++spd) {
      want.push_back({Y_FRM, prd, spd, Y_LEVEL_SUBPRODUCT, 50});
      want.push_back({Y_FRM_REFL, prd, spd, Y_LEVEL_SUBPRODUCT, 50});
      want.push_back({Y_MASK, prd, spd, Y_LEVEL_SUBPRODUCT, masks[prd - 1]});
      want.push_back({Y_RULER, prd, spd, Y_LEVEL_SUBPRODUCT, 5});
    }
  }
  CMixtableEx ts;
  ts.SetDataDir(kDir);
  for (const Want& w : want) {
    SCOPED_TRACE(std::string(WyGetFileInfo(w.table)->def.name) + " " +
                 std::to_string(w.prd) + "/" + std::to_string(w.spd));
    ts.CloseAll();
    if (w.prd) {
      ASSERT_TRUE(ts.Open(ts.Handle(Y_PRODUCTS)));
      ASSERT_TRUE(ts.Select(ts.Handle(Y_PRODUCTS), w.prd));
    }
    if (w.spd) {
      ASSERT_TRUE(ts.Open(ts.Handle(Y_SUBPRODS)));
      ASSERT_TRUE(ts.Select(ts.Handle(Y_SUBPRODS), w.spd));
    }
    Wdbase* db = ts.Handle(w.table);
    if (ts.GetCurLevel(db) == 0) {
      ASSERT_TRUE(ts.Open(db));
    }
    EXPECT_EQ(ts.GetCurLevel(db), w.level);
    EXPECT_EQ(db->RecCount(), w.count);
  }
  // One colour key per card colour that some sub-product carries.
  ts.CloseAll();
  ASSERT_TRUE(ts.Open(ts.Handle(Y_COLORKEY)));
  EXPECT_GE(ts.Handle(Y_COLORKEY)->RecCount(), 50);
  EXPECT_LE(ts.Handle(Y_COLORKEY)->RecCount(), kalvo_demo::kDemoColourCard);
}

TEST_F(DemoDataSetTest, EveryIndexOfEveryTableIsSound) {
  const kalvo_demo_testing::IndexCount n =
      kalvo_demo_testing::ExpectEveryIndexSound(kDir);
  // Root: 8 tables with 14 indexes; each product SUBPRODS; each
  // sub-product FRM (5), FRM_REFL, MASK and RULER (2).
  EXPECT_EQ(n.tables, 8 + 3 + 6 * 4);
  EXPECT_EQ(n.indexes, 14 + 3 + 6 * 9);
}

TEST_F(DemoDataSetTest, IdentityInParamAndVersionLine) {
  Wdbase param;
  param.SetFiles(&WyGetFileInfo(Y_PARAM)->def);
  param.SetPath(kDir);
  ASSERT_TRUE(param.Open());
  std::map<std::string, std::string> values;
  for (int ok = param.Top(); ok && !param.Eof(); ok = param.Next())
    values[Trim(param.Read("KEY"))] = Trim(param.Read("VALUE"));
  param.Close();
  EXPECT_EQ(values["ABS_DATAID"], "1765432100");
  // "3" + version integer part "01" + digits 3..7 of the absolute id +
  // version decimals "00".
  EXPECT_EQ(values["DATAID"], "3015432100");
  EXPECT_EQ(values["DATAID"], std::to_string(kalvo_demo::kDemoDataId));
  EXPECT_EQ(values["CODEPAGE"], "850");
  // Version "%-5.2f ", description "%-26.26s", trailing blanks removed, no
  // line end.
  EXPECT_EQ(ReadAll(std::string(kDir) + "FVERS.DAT"),
            "1.00  Kalvo demo colours");
}

TEST_F(DemoDataSetTest, FormulasKeepToTheirMasks) {
  CMixtableEx ts;
  ts.SetDataDir(kDir);
  std::set<int32_t> organic = {2, 4, 5, 6};
  int formulas = 0;
  for (int32_t prd = 1; prd <= 3; ++prd) {
    for (int32_t spd = 1; spd <= 2; ++spd) {
      SCOPED_TRACE(std::to_string(prd) + "/" + std::to_string(spd));
      ts.CloseAll();
      ASSERT_TRUE(ts.Open(ts.Handle(Y_PRODUCTS)));
      ASSERT_TRUE(ts.Select(ts.Handle(Y_PRODUCTS), prd));
      ASSERT_TRUE(ts.Open(ts.Handle(Y_SUBPRODS)));
      ASSERT_TRUE(ts.Select(ts.Handle(Y_SUBPRODS), spd));
      std::map<std::string, std::set<int32_t>> allowed;
      Wdbase* mask = ts.Handle(Y_MASK);
      ASSERT_TRUE(ts.Open(mask));
      for (int ok = mask->Top(); ok && !mask->Eof(); ok = mask->Next())
        allowed[mask->Read("TYPE")].insert(mask->ReadLong("PNT_ID"));
      if (prd == 2) {
        for (int32_t id : organic) EXPECT_EQ(allowed["CO"].count(id), 0u);
      }
      Wdbase* refl = ts.Handle(Y_FRM_REFL);
      Wdbase* frm = ts.Handle(Y_FRM);
      ASSERT_TRUE(ts.Open(frm));
      ASSERT_TRUE(ts.Open(refl));
      std::set<std::string> keys;
      for (int ok = frm->Top(); ok && !frm->Eof(); ok = frm->Next()) {
        ++formulas;
        const int32_t id = frm->ReadLong("ID");
        EXPECT_TRUE(keys.insert(Trim(frm->Read("KEY1"))).second);
        EXPECT_FALSE(Trim(frm->Read("KEY2")).empty());
        EXPECT_EQ(allowed["BA"].count(frm->ReadLong("BASE_ID")), 1u) << id;
        EXPECT_EQ(allowed["CA"].count(frm->ReadLong("CAN_ID")), 1u) << id;
        // "id,quantity,id,quantity...": ids the mask allows, quantities > 0.
        std::stringstream text(Trim(frm->Read("FORMULA")));
        std::string a, b;
        int pairs = 0;
        while (std::getline(text, a, ',')) {
          ASSERT_TRUE(std::getline(text, b, ',')) << id;
          EXPECT_EQ(allowed["CO"].count(std::stoi(a)), 1u) << id;
          EXPECT_GT(std::stod(b), 0.0) << id;
          ++pairs;
        }
        EXPECT_GE(pairs, 1);
        EXPECT_LE(pairs, 5);
        // Its reflectance curve: percentages, found by the formula id.
        refl->SelectIdx(1);
        char key[8];
        std::snprintf(key, sizeof key, "%5d", static_cast<int>(id));
        ASSERT_EQ(refl->Seek(key), 1) << id;
        for (int nm = 400; nm <= 700; nm += 20) {
          const double r =
              refl->ReadDouble(("R_" + std::to_string(nm)).c_str());
          EXPECT_GT(r, 0.0);
          EXPECT_LE(r, 100.0);
        }
      }
    }
  }
  EXPECT_EQ(formulas, 300);
}

TEST_F(DemoDataSetTest, TwoBuildsWriteTheSameBytes) {
  ASSERT_TRUE(BuildDemoDataSet("c:\\again\\", nullptr));
  std::map<std::string, std::string> first = TreeFiles(kDir),
                                     second = TreeFiles("c:\\again\\");
  EXPECT_EQ(first.size(), 107u);
  EXPECT_TRUE(first == second);
  // Table headers carry the demo date (bytes 1..3: year - 1900, month, day).
  const std::string& hdr = first["PRODUCTS.DBF"];
  ASSERT_GT(hdr.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(hdr[1]), 2026 - 1900);
  EXPECT_EQ(hdr[2], 1);
  EXPECT_EQ(hdr[3], 15);
}

TEST_F(DemoDataSetTest, RefusesADirectoryHoldingADataSet) {
  const std::map<std::string, std::string> before = TreeFiles(kDir);
  std::string error;
  EXPECT_FALSE(BuildDemoDataSet(kDir, &error));
  EXPECT_NE(error.find("PRODUCTS"), std::string::npos) << error;
  EXPECT_TRUE(before == TreeFiles(kDir));
}

// The data set the build generated (KALVO_DEMO_GDATA, set by CTest) is what
// a fresh build writes, byte for byte.
TEST_F(DemoDataSetTest, ShippedDataSetIsAFreshBuild) {
  std::string shipped;
  if (!Env::Current()->GetEnv("KALVO_DEMO_GDATA", &shipped) || shipped.empty())
    GTEST_SKIP() << "KALVO_DEMO_GDATA not set";
  const std::map<std::string, std::string> fresh = TreeFiles(kDir);
  std::map<std::string, std::string> built = TreeFiles(shipped);
  EXPECT_EQ(built.size(), fresh.size());
  for (const auto& [name, bytes] : fresh)
    EXPECT_TRUE(built[name] == bytes) << name << " differs";
}

}  // namespace
