// Wy_Formula: the record exchange and its refusals, resizing to a can,
// totals, base expansion, and adding and subtracting formulas (colorants and
// bases), on a small built data set.

#include "mixtable/wy_formula.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_util.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

std::vector<std::string>* g_trace = nullptr;

void RecordTrace(int /*category*/, const char* text) {
  if (g_trace != nullptr) g_trace->push_back(text);
}

class WyFormulaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    struct Row {
      int32_t id;
      const char* code;
      const char* spec_w;
    } const cnts[] = {
        {5, "R&D", "1000"}, {6, "BLK", "2000"}, {7, "WHT", "500"}};
    for (const Row& r : cnts)
      ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(r.id)},
                                    {"CODE", r.code},
                                    {"SPEC_W", r.spec_w},
                                    {"LOADING", "100"}}))
          << b.error();
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)}, {"SPEC_W", "1200"}}))
        << b.error();
    ts_.SetDataDir("c:\\gdata\\");
    old_hook_ = platform::SetTraceHook(RecordTrace);
    g_trace = &trace_;
  }
  void TearDown() override {
    platform::SetTraceHook(old_hook_);
    g_trace = nullptr;
  }

  bool Traced(const std::string& part) const {
    for (const std::string& t : trace_)
      if (t.find(part) != std::string::npos) return true;
    return false;
  }

  // A volume formula '<text>' for a can of nomQ by volume, base 1 filled to
  // 900 of 1000.
  static Wy_Formula Make(const char* text, double nomQ, int32_t canId = 1) {
    Wy_Formula f;
    f.m_BasId = 1;
    f.m_BasName = "Base 1";
    f.m_Fill_Q = 900;
    f.m_Fill_W = 1100;
    f.m_Spec_W = 1200;
    f.m_CanId = canId;
    f.m_CanName = "Can";
    f.m_CanNomQ = nomQ;
    f.m_CanWeight = 0;
    f.SetFrm(text, nomQ, "Red", 42);
    f.m_FrmCanWeight = 0;
    return f;
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
  std::vector<std::string> trace_;
  platform::TraceHook old_hook_ = nullptr;
};

TEST_F(WyFormulaTest, RecordsRoundTripByTheMapping) {
  Wy_Formula f = Make("5,1", 1000);
  f.m_BaseFrm = "5,1,6,2";
  f.m_BaseFrmWeight = 1;
  f.m_BaseFrmId = 1;
  Wy_BaseAndCan bc;
  ASSERT_EQ(f.GetBaseAndCan(bc), 1);
  EXPECT_EQ(bc.BaseCode, "Base 1");
  EXPECT_EQ(bc.BaseDescr, "Base 1");
  EXPECT_EQ(bc.Fill_Q, 900);
  EXPECT_EQ(bc.BaseFrm, "5,1,6,2");
  EXPECT_EQ(bc.BaseWeightMode, 1);
  EXPECT_EQ(bc.Nom_Q, 1000);
  bc.BaseDescr = "Described";
  bc.CanDescr = "Big";
  Wy_Formula g = Make("5,1", 1000);
  ASSERT_EQ(g.SetBaseAndCan(bc), 1);
  EXPECT_EQ(g.m_BasName, "Described");
  EXPECT_EQ(g.m_CanName, "Big");
  EXPECT_EQ(g.m_BaseFrmId, 1);

  Wy_Frm v;
  std::string name;
  ASSERT_EQ(f.GetYFrm(v, &name), 1);
  EXPECT_STREQ(v.m_Frm.get(), "5,1");
  EXPECT_EQ(v.m_Nom_Q0, 1000);
  EXPECT_EQ(name, "Red");
  v.m_Frm.set("6,3");
  v.m_Nom_Q0 = 4000;
  v.m_CanWeight0 = 0;
  EXPECT_EQ(f.SetYFrm(v, nullptr, 0), 1);
  EXPECT_EQ(f.m_Frm, "6,3");
  EXPECT_EQ(f.m_FrmNomQ, 4000);
  EXPECT_EQ(f.m_ClrId, 0);
  EXPECT_EQ(f.m_ClrName, "Red");
  EXPECT_EQ(f.SetYFrm(v, "Blue", 9), 1);
  EXPECT_EQ(f.m_ClrId, 9);
  EXPECT_EQ(f.m_ClrName, "Blue");
}

TEST_F(WyFormulaTest, CanRefusals) {
  Wy_Formula f = Make("5,1", 1000);
  Wy_BaseAndCan bc;
  ASSERT_EQ(f.GetBaseAndCan(bc), 1);
  bc.CanWeight = 1;
  EXPECT_EQ(f.SetBaseAndCan(bc), 0);
  EXPECT_TRUE(Traced("Mismatch in CanWeight flags"));
  EXPECT_EQ(f.m_CanWeight, 0);
  Wy_Can can;
  can.Nom_Q = 500;
  can.CanWeight = 1;
  EXPECT_EQ(f.SetYCan(can), 0);

  trace_.clear();
  f.m_Fill_QC = 800;
  ASSERT_EQ(f.GetBaseAndCan(bc), 1);
  bc.CanId = 3;
  EXPECT_EQ(f.SetBaseAndCan(bc), 0);
  EXPECT_TRUE(Traced("Prefilled Cansize in custom Fill level"));
  bc.CanId = 0;  // a custom can takes the custom fill
  EXPECT_EQ(f.SetBaseAndCan(bc), 1);

  // Quantities of a volume can, can record by weight: the record is cleared.
  f.m_CanWeight = 1;
  bc.BasId = 77;
  EXPECT_EQ(f.GetBaseAndCan(bc), 0);
  EXPECT_EQ(bc.BasId, 0);
  // An empty formula takes any can.
  Wy_Formula e;
  can.CanId = 4;
  EXPECT_EQ(e.SetYCan(can), 1);
  EXPECT_EQ(e.m_CanWeight, 1);
}

TEST_F(WyFormulaTest, ResizeToTwiceTheCan) {
  Wy_Formula f = Make("5,1.25,6,0.3333333", 1000);
  ASSERT_EQ(ResizeFormulaToCan(&f, nullptr, 2000, 0), 1);
  EXPECT_EQ(f.m_Frm, "5,2.5,6,0.6666666");
  EXPECT_EQ(f.m_ClrId, 0);
  EXPECT_EQ(f.m_FrmNomQ, 2000);
  EXPECT_EQ(f.m_CanNomQ, 2000);

  // Refused can: formula unchanged, result 0.
  Wy_Formula g = Make("5,1", 1000);
  EXPECT_EQ(ResizeFormulaToCan(&g, nullptr, 2000, 1), 0);
  EXPECT_EQ(g.m_Frm, "5,1");
  EXPECT_EQ(g.m_ClrId, 42);
  EXPECT_EQ(g.m_CanNomQ, 1000);
}

TEST_F(WyFormulaTest, TotalQuantity) {
  Wy_Formula e = Make("", 1000);
  EXPECT_DOUBLE_EQ(e.CalcolateTotalQuantity(&ts_.Mixtable(), false, false),
                   900);
  EXPECT_DOUBLE_EQ(e.CalcolateTotalQuantity(nullptr, false, true), 0);

  Wy_Formula f = Make("5,10,6,20", 1000);
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), false, true), 30);
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), false, false),
                   930);
  // By weight: 10 x 1.0 + 20 x 2.0, the base 900 x 1.2.
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), true, true), 50);
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), true, false),
                   50 + 1080);
  // Units in tenths: the quantities are a tenth.
  f.SetUnit(0, 1, 10, 1);
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), false, true), 3);

  // Failures: no table set for a weight total, a colorant unknown, units 0.
  EXPECT_EQ(f.CalcolateTotalQuantity(nullptr, true, true), -1);
  Wy_Formula u = Make("99,1", 1000);
  EXPECT_EQ(u.CalcolateTotalQuantity(&ts_.Mixtable(), true, true), -1);
  u.SetUnit(0, 0, 1, 1);
  EXPECT_EQ(u.CalcolateTotalQuantity(&ts_.Mixtable(), false, true), -1);
}

TEST_F(WyFormulaTest, SumAndDifferenceWithoutBaseFormulas) {
  Wy_Formula a = Make("5,1", 1000);
  Wy_Formula b = Make("5,0.5,6,2", 1000);
  ASSERT_TRUE(a.SumAformula(b, false));
  EXPECT_EQ(a.m_Frm, "5,1.5,6,2");
  EXPECT_EQ(a.m_ClrId, 0);
  EXPECT_DOUBLE_EQ(a.m_Fill_Q, 1800);  // twice the base
  EXPECT_DOUBLE_EQ(a.m_Fill_QC, 1800);
  EXPECT_EQ(a.m_FrmNomQ, 1000);

  // Back again.
  ASSERT_TRUE(a.SubtractAformula(b, false));
  EXPECT_EQ(a.m_Frm, "5,1");

  // Below zero: refused, nothing changed.
  Wy_Formula c = Make("5,1", 1000);
  Wy_Formula d = Make("5,2", 1000);
  EXPECT_FALSE(c.SubtractAformula(d, false));
  Wy_Formula big = Make("5,0.5", 4000);
  EXPECT_FALSE(c.SubtractAformula(big, false));  // g below zero
  EXPECT_EQ(c.m_Frm, "5,1");
  EXPECT_EQ(c.m_Fill_Q, 900);
  EXPECT_EQ(c.m_ClrId, 42);

  // Other base: not combinable.
  Wy_Formula o = Make("5,1", 1000);
  o.m_BasId = 2;
  EXPECT_FALSE(c.SumAformula(o, false));

  // Resized to this can first: '5,1' in 500 becomes '5,2' in 1000.
  Wy_Formula h = Make("5,1", 500);
  Wy_Formula k = Make("5,1", 1000);
  ASSERT_TRUE(k.SumAformula(h, true));
  EXPECT_EQ(k.m_Frm, "5,3");
}

TEST_F(WyFormulaTest, BaseFormulasMergedByComponent) {
  Wy_Formula a = Make("5,1", 1000);
  a.m_BaseFrm = "5,1,6,1";  // volume parts
  a.m_BaseFrmWeight = 0;
  a.m_BaseFrmId = 1;
  Wy_Formula b = Make("6,1", 1000);
  b.m_BaseFrm = "6,1,7,2";
  b.m_BaseFrmWeight = 0;
  b.m_BaseFrmId = 2;
  ASSERT_TRUE(a.SumAformula(b, false));
  EXPECT_EQ(a.m_Frm, "5,1,6,1");
  // a: 450 + 450; b: 300 + 600 -> 5: 450, 6: 750, 7: 600 of 1800.
  EXPECT_EQ(a.m_BaseFrm, "5,0.250000,6,0.416667,7,0.333333,");
  EXPECT_DOUBLE_EQ(a.m_Fill_Q, 1800);
  EXPECT_EQ(a.m_Fill_W, 0);
  EXPECT_EQ(a.m_BasId, 0);
  EXPECT_EQ(a.m_BaseFrmId, 0);
  EXPECT_EQ(a.m_BasName, "");
  // Volume parts: 1000 x (0.25 x 1 + 0.416667 x 2 + 0.333333 x 0.5).
  EXPECT_NEAR(a.m_Spec_W, 1000 * (0.25 + 2 * 750.0 / 1800 + 0.5 * 600.0 / 1800),
              1e-6);

  // One with, one without a base formula: refused.
  Wy_Formula c = Make("5,1", 1000);
  EXPECT_FALSE(c.SumAformula(b, false));
  EXPECT_EQ(c.m_BaseFrm, "");
}

// Quantities by weight: GetBaseYFrm in weight and volume units for a can by
// weight, and sums of formulas whose units or cans are by weight.
TEST_F(WyFormulaTest, BaseExpansionForACanByWeight) {
  Wy_Formula f = Make("5,1", 1000);
  f.m_CanWeight = 1;
  f.m_FrmCanWeight = 1;
  f.m_Fill_W = 900;  // 900 x 1000 / 1000 of base, 1080 by weight at 1.2
  f.m_BaseFrm = "5,1,6,1";
  f.m_BaseFrmWeight = 1;  // parts by weight
  struct Case {
    int mode;
    double fraction;
    const char* want;
  } const cases[] = {
      {1, 1, "5,540,6,540"},     // halves of 1080 by weight
      {1, 10, "5,5400,6,5400"},  // in tenths
      {0, 1, "5,540,6,270"},     // by volume: colorant 6 weighs 2.0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    f.SetUnit(c.mode, 1, c.fraction, 1);
    Wy_Frm v;
    double q = -1, w = -1;
    ASSERT_EQ(f.GetBaseYFrm(v, nullptr, &q, &w), 1);
    EXPECT_DOUBLE_EQ(q, 900);
    EXPECT_DOUBLE_EQ(w, 1080);
    EXPECT_STREQ(v.m_Frm.get(), c.want);
    EXPECT_EQ(v.m_Nom_Q0, 900);
    EXPECT_EQ(v.m_Units.m_bWeightMode, c.mode);
    EXPECT_EQ(v.m_Units.m_dFraction, c.fraction);
  }
  // Weight units without a unit: nothing to express the amounts in.
  f.SetUnit(1, 0, 1, 1);
  Wy_Frm v;
  double q = -1;
  EXPECT_EQ(f.GetBaseYFrm(v, nullptr, &q, nullptr), 0);
  EXPECT_EQ(q, 0);
  EXPECT_TRUE(v.IsEmpty());
}

TEST_F(WyFormulaTest, TotalOfACanByWeightIsTheFillQuantity) {
  // The base of a can by weight: the fill times the can, by weight further
  // times the specific weight, as the can's fill quantity says.
  Wy_Formula f = Make("", 1000);
  f.m_CanWeight = 1;
  f.m_FrmCanWeight = 1;
  f.m_Fill_W = 900;
  Wy_BaseAndCan bc;
  ASSERT_EQ(f.GetBaseAndCan(bc), 1);
  double q = 0, w = 0;
  ASSERT_EQ(bc.GetCurrentFillQuantity(&q, &w), 1);
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), false, false), q);
  EXPECT_DOUBLE_EQ(f.CalcolateTotalQuantity(&ts_.Mixtable(), true, false), w);
  EXPECT_DOUBLE_EQ(w, 1080);
}

TEST_F(WyFormulaTest, SumsInWeightUnits) {
  // This formula by weight in tenths of a gram, the other by volume: its
  // 10 of colorant 6 (2.0) are 20 g, 200 tenths.
  Wy_Formula a = Make("5,100,6,40", 1000);
  a.SetUnit(1, 1, 10, 1);
  Wy_Formula b = Make("6,10", 1000);
  ASSERT_TRUE(a.SumAformula(b, false));
  EXPECT_EQ(a.m_Frm, "5,100,6,240");
  EXPECT_EQ(a.m_WeightMode, 1);
  ASSERT_TRUE(a.SubtractAformula(b, false));
  EXPECT_EQ(a.m_Frm, "5,100,6,40");

  // The other way round: 20 g of colorant 6 by weight are 10 ml.
  Wy_Formula c = Make("6,5", 1000);
  Wy_Formula d = Make("6,20", 1000);
  d.SetUnit(1, 1, 1, 1);
  ASSERT_TRUE(c.SumAformula(d, false));
  EXPECT_EQ(c.m_Frm, "6,15");

  // A colorant without a specific weight cannot be converted: refused.
  Wy_Formula e = Make("99,1", 1000);
  e.SetUnit(1, 1, 1, 1);
  Wy_Formula g = Make("5,1", 1000);
  EXPECT_FALSE(g.SumAformula(e, false));
  EXPECT_EQ(g.m_Frm, "5,1");
}

TEST_F(WyFormulaTest, SumsInCansByWeight) {
  auto byWeight = [](Wy_Formula f) {
    f.m_CanWeight = 1;
    f.m_FrmCanWeight = 1;
    f.m_Fill_W = 900;
    return f;
  };
  // Without base formulas the weight fill follows the cans.
  Wy_Formula a = byWeight(Make("5,1", 1000));
  Wy_Formula b = byWeight(Make("5,0.5,6,2", 1000));
  ASSERT_TRUE(a.SumAformula(b, false));
  EXPECT_EQ(a.m_Frm, "5,1.5,6,2");
  EXPECT_DOUBLE_EQ(a.m_Fill_W, 1800);
  EXPECT_DOUBLE_EQ(a.m_Fill_WC, 1800);
  EXPECT_DOUBLE_EQ(a.m_Fill_Q, 900);  // the other kind untouched
  EXPECT_EQ(a.m_CanWeight, 1);

  // With base formulas: the same formula twice holds twice the base.
  Wy_Formula c = byWeight(Make("5,1", 1000));
  c.m_BaseFrm = "5,1,6,1";  // volume parts
  c.m_BaseFrmId = 1;
  Wy_Formula d = c;
  ASSERT_TRUE(c.SumAformula(d, false));
  EXPECT_EQ(c.m_Frm, "5,2");
  EXPECT_EQ(c.m_BaseFrm, "5,0.500000,6,0.500000,");
  EXPECT_DOUBLE_EQ(c.m_Fill_W, 1800);
  EXPECT_EQ(c.m_Fill_Q, 0);
  EXPECT_NEAR(c.m_Spec_W, 1000 * (0.5 * 1.0 + 0.5 * 2.0), 1e-6);

  // The bases' own specific weights do not weight the merge: 900 of one
  // and 900 of the other are halves, whatever each weighs.
  Wy_Formula e = byWeight(Make("5,1", 1000));
  e.m_BaseFrm = "5,1";
  e.m_BaseFrmId = 1;
  e.m_Spec_W = 1000;
  Wy_Formula h = byWeight(Make("6,1", 1000));
  h.m_BaseFrm = "6,1";
  h.m_BaseFrmId = 2;
  h.m_Spec_W = 2000;
  ASSERT_TRUE(e.SumAformula(h, false));
  EXPECT_EQ(e.m_BaseFrm, "5,0.500000,6,0.500000,");
  EXPECT_DOUBLE_EQ(e.m_Fill_W, 1800);
  // And taken out again: the base of e alone.
  ASSERT_TRUE(e.SubtractAformula(h, false));
  EXPECT_EQ(e.m_BaseFrm, "5,1.000000,");
  EXPECT_DOUBLE_EQ(e.m_Fill_W, 900);
}

TEST_F(WyFormulaTest, BaseExpansionAndDummy) {
  Wy_Formula f = Make("5,1", 1000);
  f.m_BaseFrm = "5,1,6,3";
  f.m_BaseFrmWeight = 0;
  Wy_Frm v;
  yformula text;
  double q = -1, w = -1;
  ASSERT_EQ(f.GetBaseYFrm(v, &text, &q, &w), 1);
  EXPECT_STREQ(text.get(), "5,1,6,3");
  EXPECT_DOUBLE_EQ(q, 900);
  EXPECT_DOUBLE_EQ(w, 1080);
  EXPECT_STREQ(v.m_Frm.get(), "5,225,6,675");
  EXPECT_EQ(v.m_Nom_Q0, 900);

  Wy_Formula n = Make("5,1", 1000);
  EXPECT_EQ(n.GetBaseYFrm(v, nullptr, &q, nullptr), 0);
  EXPECT_EQ(q, 0);

  EXPECT_EQ(n.DummyFill(), 0);
  EXPECT_EQ(n.m_ClrName, "Key N.1|Key N.2|Key N.3|-- Comment --");
  EXPECT_EQ(n.m_BasName, "Base ");
  EXPECT_EQ(n.m_Frm, "");
}

}  // namespace
