// HFormula::ClrTok, GetFrd and StatusEx: the colour keys, the correction
// difference with its fixed-width quantities, and every bit of the extended
// status, the mask bits against the masks of a built data set.

#include <gtest/gtest.h>

#include <string>

#include "mixtable/hformula.h"
#include "mixtable/mixtable_ex.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

TEST(ClrTokTest, SplitsTheColourKeys) {
  struct {
    const char* name;
    const char* k1;
    const char* k2;
    const char* k3;
    const char* comment;
  } const cases[] = {
      {"K1|K2|K3|Note|", "K1", "K2", "K3", "Note"},
      {"||||", "", "", "", ""},
      {"WHOLE NAME", "WHOLE NAME", "", "", ""},
      {"A|B", "A", "B", "", ""},
      {"A||C|Note|extra|", "A", "", "C", "Note"},
      {"A|B|C|Note", "A", "B", "C", "Note"},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    HFormula f;
    f.m_ClrName = c.name;
    std::string k1 = "x", k2 = "x", k3 = "x", comment = "x";
    EXPECT_EQ(f.ClrTok(&k1, &k2, &k3, &comment), 1);
    EXPECT_EQ(k1, c.k1) << c.name;
    EXPECT_EQ(k2, c.k2) << c.name;
    EXPECT_EQ(k3, c.k3) << c.name;
    EXPECT_EQ(comment, c.comment) << c.name;
  }
  HFormula f;
  f.m_ClrName = "K1|K2|K3|C|";
  std::string k2;
  EXPECT_EQ(f.ClrTok(nullptr, &k2, nullptr, nullptr), 1);
  EXPECT_EQ(k2, "K2");
}

TEST(GetFrdTest, CorrectionDifference) {
  struct {
    const char* frm;
    const char* frt;
    int result;
    const char* text;
  } const cases[] = {
      {"1,2", "1,2.5,3,1", 1, "1,0.50000000000,3,1.00000000000"},
      {"1,2", "1,1.5", 0, ""},
      {"1,2", "", 1, ""},
      {"", "4,1.25", 1, "4,1.25"},
      {"1,2,3,1", "1,2.5", 0, ""},      // fewer pairs
      {"1,2,3,1", "1,2.5,4,1", 0, ""},  // colorant 3 missing
      {"1,2,3,1", "3,1,1,2", 1, ""},    // nothing to add
      {"1,2", "1,12347.5", 1, "1,12345.5000000"},
      {"1,2", "1,2,9,0.125", 1, "9,0.12500000000"},
      {"1,2,3", "1,3", 0, ""},  // malformed formula
      {"1,2", "1,3,4", 0, ""},  // malformed correction
  };
  for (const auto& c : cases) {
    HFormula f;
    f.m_Frm = c.frm;
    f.m_Frt = c.frt;
    f.m_FrmNomQ = 946.353;
    std::string text = "old";
    double nomQ = 0;
    EXPECT_EQ(f.GetFrd(&text, &nomQ), c.result) << c.frm << " / " << c.frt;
    EXPECT_EQ(text, c.text) << c.frm << " / " << c.frt;
    EXPECT_EQ(nomQ, 946.353);
  }
  HFormula f;
  f.m_FrmNomQ = 5;
  double nomQ = 0;
  EXPECT_EQ(f.GetFrd(nullptr, &nomQ), 1);
  EXPECT_EQ(nomQ, 5);
}

TEST(StatusExTest, TextBitsByKind) {
  constexpr int kIds = 0x1 | 0x2 | 0x4;
  HFormula f;
  // Nothing at all: no ids, no pair, no quantity, no base formula.
  EXPECT_EQ(f.StatusEx(0), kIds | 0x40 | 0x80 | 0x200 | 0x400);
  struct {
    const char* text;
    int bits;
  } const cases[] = {
      {"1,2", 0},
      {"1,0,2,0", 0x80},
      {"1,-1", 0x80},
      {"", 0x40 | 0x80},
      {"1,2,3", 0x40 | 0x80 | 0x100},
      {"1,abc", 0x80},  // a quantity that is not a number reads as 0
  };
  for (const auto& c : cases) {
    HFormula g;
    g.m_BasId = 1;
    g.m_CanId = 1;
    g.m_ClrId = 1;
    g.m_BaseFrm = "5,1";
    g.m_Frm = c.text;
    EXPECT_EQ(g.StatusEx(0), c.bits) << c.text;
    EXPECT_EQ(g.StatusEx(1), 0x40 | 0x80) << c.text;  // m_Frt is empty
    g.m_Frt = c.text;
    g.m_Frm.clear();
    EXPECT_EQ(g.StatusEx(1), c.bits) << c.text;
    // The base formula takes the base bits.
    g.m_Frm = "1,1";
    g.m_BaseFrm = c.text;
    const int base = (c.bits & 0x40 ? 0x400 : 0) | (c.bits & 0x80 ? 0x200 : 0) |
                     (c.bits & 0x100 ? 0x800 : 0);
    EXPECT_EQ(g.StatusEx(0), base) << c.text;
  }
  // Kind 2: the correction difference.
  HFormula g;
  g.m_BasId = g.m_CanId = g.m_ClrId = 1;
  g.m_BaseFrm = "5,1";
  g.m_Frm = "1,2";
  g.m_Frt = "1,2.5";
  EXPECT_EQ(g.StatusEx(2), 0);
  g.m_Frt = "1,2";  // nothing to add
  EXPECT_EQ(g.StatusEx(2), 0x40 | 0x80);
  g.m_Frt = "1,1";  // refused difference
  EXPECT_EQ(g.StatusEx(2), 0x40 | 0x80);
}

class StatusExMaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
    ts_.SetDataDir("c:\\gdata\\");
  }
  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
};

TEST_F(StatusExMaskTest, MaskBitsOfTheSubProduct) {
  // Product 1 / sub-product 1 allows base 1 and colorant 2; it has no can
  // mask, so every can of CANS (1, 2) is allowed and can 0 is not.
  struct {
    int32_t prd, spd, bas, can;
    const char* frm;
    int mask_bits;
  } const cases[] = {
      {1, 1, 1, 1, "2,1", 0},
      {1, 1, 2, 1, "2,1", 0x8},
      {1, 1, 1, 2, "2,1,3,1", 0x20},
      {1, 1, 1, 0, "2,1", 0x10},
      {1, 1, 0, 1, "2,1", 0x8},   // id 0 asked as it stands
      {2, 1, 1, 1, "1,1", 0x10},  // product 2 / 1 allows can 2 only
      {2, 1, 1, 2, "1,1", 0},
      {1, 0, 2, 0, "3,1", 0},  // no sub-product: masks not examined
  };
  for (const auto& c : cases) {
    HFormula f;
    f.m_PrdId = c.prd;
    f.m_SpdId = c.spd;
    f.m_BasId = c.bas;
    f.m_CanId = c.can;
    f.m_ClrId = 5;
    f.m_Frm = c.frm;
    f.m_BaseFrm = "1,1";
    const int plain = (c.bas == 0 ? 0x1 : 0) | (c.can == 0 ? 0x2 : 0);
    // The caller's set (made for a directory) and the data id (0: the
    // default directory, the same here) give the same answer.
    EXPECT_EQ(f.StatusEx(0, &ts_.Mixtable()), plain | c.mask_bits)
        << c.prd << "/" << c.spd << " " << c.bas << " " << c.can << " "
        << c.frm;
    EXPECT_EQ(f.StatusEx(0), plain | c.mask_bits);
  }
  // Nothing of the caller's set is opened.
  for (int t = 0; t < Y_N_MAX; ++t) EXPECT_FALSE(ts_.Handle(t)->IsOpen(0)) << t;
}

TEST_F(StatusExMaskTest, CallerPositionsStay) {
  Wdbase* prd = ts_.Handle(Y_PRODUCTS);
  ASSERT_TRUE(ts_.Open(prd));
  ASSERT_TRUE(ts_.Select(prd, 2));
  const int32_t rec = prd->RecNo();
  HFormula f;
  f.m_PrdId = 1;
  f.m_SpdId = 1;
  f.m_BasId = 2;
  f.m_CanId = 1;
  f.m_Frm = "2,1";
  f.m_BaseFrm = "1,1";
  EXPECT_EQ(f.StatusEx(0, &ts_.Mixtable()), 0x4 | 0x8);
  EXPECT_TRUE(prd->IsOpen(0));
  EXPECT_EQ(prd->RecNo(), rec);
}

}  // namespace
