// HFormula's setters: from the tables (on a copy of the caller's set, whose
// positions stay) and plain.

#include <gtest/gtest.h>

#include <string>

#include "formula/hformula_resolve_fixture.h"
#include "mixtable/hformula.h"

using resolve_testing::kDataId;

namespace {

class SettersTest : public resolve_testing::ResolveTest {
 protected:
  // The caller's tables: PRODUCTS open on product 2.
  void PositionCaller() {
    ASSERT_TRUE(ts().Open(ts().Handle(Y_PRODUCTS)));
    ASSERT_TRUE(ts().Select(ts().Handle(Y_PRODUCTS), 2));
  }
  void ExpectCallerKept() {
    Wdbase* prd = ts().Handle(Y_PRODUCTS);
    EXPECT_TRUE(prd->IsOpen(0));
    EXPECT_EQ(std::string(prd->Read("ID", 1, 1)), "2");
    for (int t = 0; t < Y_N_MAX; ++t)
      if (t != Y_PRODUCTS) {
        EXPECT_FALSE(ts().Handle(t)->IsOpen(0)) << t;
      }
  }
};

TEST_F(SettersTest, SetPrdReadsProductUnitsAndSubProduct) {
  PositionCaller();
  HFormula f;
  EXPECT_EQ(f.SetPrd(&ts(), 1, 2), 1);
  EXPECT_EQ(f.m_PrdId, 1);
  EXPECT_EQ(f.m_PrdName, "Interior");
  EXPECT_EQ(f.m_SpdId, 2);
  EXPECT_EQ(f.m_SpdName, "Gloss");
  EXPECT_EQ(f.m_WeightMode, 0);
  EXPECT_EQ(f.m_UnitName, "ml");
  EXPECT_DOUBLE_EQ(f.m_VlUnit, 1.5);
  EXPECT_DOUBLE_EQ(f.m_VlFraction, 2.0);
  EXPECT_DOUBLE_EQ(f.m_VlFraction2, 1.0);
  ExpectCallerKept();

  const struct {
    CMixtable* tables;
    int32_t prd, spd;
    int result;
    int32_t prd_after;
  } cases[] = {
      {&ts(), 1, 9, 0, 1},    // the sub-product is missing
      {&ts(), 9, 1, 0, 0},    // the product is missing
      {&ts(), 1, 0, 0, 0},    // exactly one id given
      {&ts(), 0, 0, 0, 0},    // none
      {nullptr, 1, 2, 0, 0},  // no tables
  };
  for (const auto& c : cases) {
    HFormula g;
    g.m_PrdName = "old";
    EXPECT_EQ(g.SetPrd(c.tables, c.prd, c.spd), c.result) << c.prd << c.spd;
    EXPECT_EQ(g.m_PrdId, c.prd_after);
    EXPECT_EQ(g.m_SpdId, 0);
    if (c.prd_after == 0) {
      EXPECT_EQ(g.m_PrdName, "");
    }
  }
  ExpectCallerKept();
}

TEST_F(SettersTest, SetBasSetCanSetClrAndSetDataId) {
  PositionCaller();
  HFormula f;
  EXPECT_EQ(f.SetBas(&ts(), 2), 1);
  EXPECT_EQ(f.m_BasId, 2);
  EXPECT_EQ(f.m_BasName, "Clear base");
  EXPECT_DOUBLE_EQ(f.m_Fill_W, 1.0);
  EXPECT_EQ(f.m_BaseFrm, "1,5,2,3");
  EXPECT_EQ(f.m_BaseFrmId, 2);
  EXPECT_EQ(f.SetBas(&ts(), 9), 0);
  EXPECT_EQ(f.m_BasId, 0);
  EXPECT_EQ(f.m_BasName, "");
  EXPECT_EQ(f.SetBas(&ts(), 0), 0);
  EXPECT_EQ(f.SetBas(nullptr, 2), 0);
  // A product that cannot be selected refuses the base.
  f.m_PrdId = 9;
  EXPECT_EQ(f.SetBas(&ts(), 2), 0);
  f.m_PrdId = 1, f.m_SpdId = 1;
  EXPECT_EQ(f.SetBas(&ts(), 1), 1);
  ExpectCallerKept();

  EXPECT_EQ(f.SetCan(&ts(), 3), 1);
  EXPECT_EQ(f.m_CanId, 3);
  EXPECT_EQ(f.m_CanName, "5 kg");
  EXPECT_DOUBLE_EQ(f.m_CanNomQ, 5000);
  EXPECT_EQ(f.m_CanWeight, 1);
  EXPECT_EQ(f.SetCan(&ts(), 9), 0);
  EXPECT_EQ(f.m_CanId, 0);
  EXPECT_EQ(f.m_CanNomQ, 0.0);
  EXPECT_EQ(f.SetCan(nullptr, 3), 0);
  ExpectCallerKept();

  HFormula c;
  c.m_Source = HF_SOURCE_STANDARD;
  c.m_Rfl[3] = 5;
  EXPECT_EQ(c.SetClr(&ts(), 5), 1);
  EXPECT_EQ(c.m_Frm, "1,10.5,2,3");
  EXPECT_DOUBLE_EQ(c.m_Rfl[0], 0.4);
  EXPECT_EQ(c.m_Rfl[3], 0.0);
  EXPECT_EQ(c.SetClr(&ts(), 77), 0);
  EXPECT_EQ(c.m_ClrId, 0);
  EXPECT_EQ(c.m_Source, HF_SOURCE_MANUAL);
  EXPECT_EQ(c.SetClr(nullptr, 5), 1);
  EXPECT_EQ(c.m_ClrId, 5);
  EXPECT_EQ(c.m_Frm, "");
  ExpectCallerKept();

  CMixtable catalogued;
  catalogued.SetDataId(kDataId);
  EXPECT_EQ(c.SetDataId(&catalogued, "text"), 1);
  EXPECT_EQ(c.m_DataId, kDataId);
  EXPECT_EQ(c.m_DataIdText, "text");
  EXPECT_EQ(c.SetDataId(&catalogued, nullptr), 1);
  EXPECT_EQ(c.m_DataIdText, "");
  EXPECT_EQ(c.SetDataId(nullptr, "x"), 0);
}

TEST(PlainSetters, ManualProductBaseAndCan) {
  HFormula f;
  f.m_PrdId = 4;
  EXPECT_EQ(f.SetPrd("P", nullptr, 0, 3), 1);
  EXPECT_EQ(f.m_PrdName, "P");
  EXPECT_EQ(f.m_PrdId, 4);
  EXPECT_EQ(f.m_SpdId, 3);
  f.m_BasId = 2, f.m_BaseFrm = "1,1", f.m_BaseFrmId = 2;
  f.m_BaseFrmWeight = 1, f.m_BaseDispensable = 0, f.m_Fill_W = 7;
  EXPECT_EQ(f.SetBas("Mine", 0.9, 0), 1);
  EXPECT_EQ(f.m_BasName, "Mine");
  EXPECT_EQ(f.m_BasId, 0);
  EXPECT_EQ(f.m_BaseFrm, "");
  EXPECT_EQ(f.m_BaseFrmId, 0);
  EXPECT_EQ(f.m_BaseFrmWeight, 0);
  EXPECT_EQ(f.m_BaseDispensable, 1);
  EXPECT_DOUBLE_EQ(f.m_Fill_Q, 0.9);
  EXPECT_DOUBLE_EQ(f.m_Fill_W, 7);
  f.m_CanId = 3, f.m_CanWeight = 1, f.m_CanNomQ = 5;
  EXPECT_EQ(f.SetCan("Jar", 0, -1), 1);
  EXPECT_EQ(f.m_CanId, 0);
  EXPECT_EQ(f.m_CanName, "Jar");
  EXPECT_EQ(f.m_CanNomQ, 5);
  EXPECT_EQ(f.m_CanWeight, 1);
  EXPECT_EQ(f.SetCan(nullptr, 750, 0), 1);
  EXPECT_EQ(f.m_CanName, "");
  EXPECT_EQ(f.m_CanNomQ, 750);
  EXPECT_EQ(f.m_CanWeight, 0);
}

}  // namespace
