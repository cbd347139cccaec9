#include "mixtable/wy_frm.h"

#include <gtest/gtest.h>

#include "mixtable/wy_base_can.h"

namespace {

Wy_Frm Make(const char* text, int can_weight = 0, double nom = 0.0) {
  Wy_Frm f;
  f.m_Frm.set(text);
  f.m_CanWeight0 = can_weight;
  f.m_Nom_Q0 = nom;
  return f;
}

TEST(WyFrm, DefaultsClearAndAssign) {
  Wy_Frm f = Make(" 1,2 ", 1, 500);
  f.m_SlaveId = 4;
  f.m_Units.m_sName = "ml";
  f.m_Units.m_dUnit = 3;
  Wy_Frm g;
  g = f;
  EXPECT_STREQ(g.m_Frm.get(), "1,2");
  EXPECT_EQ(g.m_SlaveId, 4);
  EXPECT_EQ(g.GetUnits().m_sName, "ml");
  EXPECT_EQ(g.m_Nom_Q0, 500);
  g = g;
  EXPECT_STREQ(g.m_Frm.get(), "1,2");
  EXPECT_FALSE(g.IsEmpty());
  g.Clear();
  EXPECT_TRUE(g.IsEmpty());
  EXPECT_EQ(g.m_SlaveId, 0);
  EXPECT_EQ(g.m_CanWeight0, 0);
  EXPECT_EQ(g.m_Nom_Q0, 0.0);
  EXPECT_EQ(g.m_Units.m_dUnit, 1.0);
  Wy_Units u;
  u.m_sName = "g";
  u.m_dFraction2 = 2;
  u.m_bWeightMode = 1;
  g.SetUnits(u);
  EXPECT_EQ(g.GetUnits().m_dFraction2, 2);
  u.Clear();
  EXPECT_EQ(u.m_sName, "g");
  EXPECT_EQ(u.m_dFraction2, 1.0);
  EXPECT_EQ(u.m_bWeightMode, 0);
}

TEST(WyFrm, AddAndSubtract) {
  Wy_Frm a = Make("1,1.5,2,2");
  a += Make("2,1,3,0.5");
  EXPECT_STREQ(a.m_Frm.get(), "1,1.5,2,3,3,0.5");
  Wy_Frm b = Make("1,1.5,2,2");
  b -= Make("2,2,4,1");
  EXPECT_STREQ(b.m_Frm.get(), "1,1.5");
  Wy_Frm c = Make("1,1");
  c -= Make("1,0.99995");
  EXPECT_STREQ(c.m_Frm.get(), "");
  Wy_Frm d = Make("1,1.5");
  d += d;
  EXPECT_STREQ(d.m_Frm.get(), "1,3");
  Wy_Frm e;
  e += Make("7,1", 1, 250);
  EXPECT_STREQ(e.m_Frm.get(), "7,1");
  EXPECT_EQ(e.m_Nom_Q0, 250);
}

TEST(WyFrm, AddAndSubtractLeaveMalformedOrMismatched) {
  struct {
    Wy_Frm left, right;
  } cases[] = {
      {Make("1,2"), Make("1,2,3")},
      {Make("1,2,3"), Make("1,2")},
      {Make("1,2", 1), Make("1,2", 0)},
      {Make("1,2", 0, 100), Make("1,2", 0, 200)},
  };
  for (auto& c : cases) {
    std::string before = c.left.m_Frm.get();
    c.left += c.right;
    EXPECT_EQ(before, c.left.m_Frm.get());
    c.left -= c.right;
    EXPECT_EQ(before, c.left.m_Frm.get());
  }
  Wy_Frm big = Make("1,2");  // the sum cannot be written: nothing changes
  big += Make("1,1e300");
  EXPECT_STREQ(big.m_Frm.get(), "1,2");
  Wy_Frm empty;
  empty -= Make("1,2");
  EXPECT_TRUE(empty.IsEmpty());
}

Wy_BaseAndCan Target(int32_t can, double nom, int weight, double fq, double fw,
                     double fqc = 0, double fwc = 0) {
  Wy_BaseAndCan t;
  t.CanId = can;
  t.Nom_Q = nom;
  t.CanWeight = weight;
  t.Fill_Q = fq;
  t.Fill_W = fw;
  t.Fill_QC = fqc;
  t.Fill_WC = fwc;
  return t;
}

TEST(WyFrm, ResizeSteps) {
  // Step 1: no nominal quantity.
  Wy_Frm f = Make("1,10", 0, 1000);
  EXPECT_EQ(f.resize(Target(1, 0, 0, 0, 0)), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,10");
  // Step 6 only: volume can to volume can.
  EXPECT_EQ(f.resize(Target(1, 500, 0, 900, 0)), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,5");
  EXPECT_EQ(f.m_Nom_Q0, 500);
  // Step 3: volume to weight, Fill_Q 900 -> Fill_W 1170, then 500 -> 1000.
  f = Make("1,9", 0, 500);
  EXPECT_EQ(f.resize(Target(2, 1000, 1, 900, 1170)), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,23.4");
  EXPECT_EQ(f.m_CanWeight0, 1);
  EXPECT_EQ(f.m_Nom_Q0, 1000);
  // Step 4: weight to volume, custom volume fill used, then step 5 back to
  // the standard fill: 1170 -> 800 -> 900.
  f = Make("1,11.7", 1, 1000);
  EXPECT_EQ(f.resize(Target(2, 1000, 0, 900, 1170, 800)), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,9");
  EXPECT_EQ(f.m_CanWeight0, 0);
  // Step 5 by weight: custom weight fill 1000 -> standard 1170.
  f = Make("1,10", 1, 1000);
  EXPECT_EQ(f.resize(Target(3, 1000, 1, 0, 1170, 0, 1000)), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,11.7");
  // Step 5 skipped for a custom can (id 0).
  f = Make("1,10", 1, 1000);
  EXPECT_EQ(f.resize(Target(0, 1000, 1, 0, 1170, 0, 1000)), 1);
  EXPECT_STREQ(f.m_Frm.get(), "1,10");
}

TEST(WyFrm, ResizeFailuresChangeNothing) {
  // Step 2: different measures without both fills.
  Wy_Frm f = Make("1,9", 0, 500);
  EXPECT_EQ(f.resize(Target(2, 1000, 1, 900, 0)), 0);
  EXPECT_STREQ(f.m_Frm.get(), "1,9");
  // Step 6 fails (no reference can) after step 3 converted: all undone.
  f = Make("1,9", 0, 0);
  EXPECT_EQ(f.resize(Target(2, 1000, 1, 900, 1170)), 0);
  EXPECT_STREQ(f.m_Frm.get(), "1,9");
  EXPECT_EQ(f.m_CanWeight0, 0);
  EXPECT_EQ(f.m_Nom_Q0, 0);
  // A malformed text is never rewritten.
  f = Make("1,9,2", 0, 500);
  EXPECT_EQ(f.resize(Target(2, 1000, 0, 900, 0)), 0);
  EXPECT_STREQ(f.m_Frm.get(), "1,9,2");
  EXPECT_EQ(f.m_Nom_Q0, 500);
}

}  // namespace
