// The shared lookups of formula resolution: names by DESCR then CODE with
// variants counted once, colour-key texts, reflectance from the table and
// from an archive text.

#include "formula/hformula_lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "access/table_set_fixture.h"
#include "testing/data_set_builder.h"

namespace hi = hformula_internal;
using mixtable_testing::Id;

namespace {

class LookupTest : public SampleDataSetTest {};

TEST_F(LookupTest, NamesByDescrThenCodeUniqueById) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  // Base 5 twice (a variant), two bases sharing a code, a code equal to
  // another record's description.
  ASSERT_TRUE(
      b.Append(Y_BASES, {{"ID", Id(5)}, {"CODE", "V"}, {"DESCR", "Var"}}));
  ASSERT_TRUE(
      b.Append(Y_BASES, {{"ID", Id(5)}, {"CODE", "V"}, {"DESCR", "Var"}}));
  ASSERT_TRUE(
      b.Append(Y_BASES, {{"ID", Id(6)}, {"CODE", "SH"}, {"DESCR", "Six"}}));
  ASSERT_TRUE(
      b.Append(Y_BASES, {{"ID", Id(7)}, {"CODE", "SH"}, {"DESCR", "Seven"}}));
  ASSERT_TRUE(
      b.Append(Y_BASES, {{"ID", Id(8)}, {"CODE", "Six"}, {"DESCR", "Eight"}}));
  Wdbase* db = ts_.Handle(Y_BASES);
  ASSERT_TRUE(ts_.Open(db));
  ASSERT_TRUE(db->SelectIdx(1));
  const struct {
    const char* name;
    int32_t id;
  } cases[] = {
      {"Base 2", 2}, {"  base 2\t", 2}, {"BASE", 0}, {"Base 22", 0},
      {"var", 5},    {"v", 5},          {"SH", 0},   {"Six", 6},
      {"eight", 8},  {"", 0},           {"   ", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hi::LookupByName(db, c.name), c.id) << c.name;
    if (c.id != 0) {
      EXPECT_EQ(Trimmed(db, "ID"), std::to_string(c.id));
    }
    EXPECT_EQ(db->SelectedIdx(), 1);
  }
  EXPECT_EQ(hi::LookupByName(db, nullptr), 0);
  EXPECT_EQ(hi::LookupByName(nullptr, "Base 1"), 0);
  ts_.CloseAll();
  EXPECT_EQ(hi::LookupByName(db, "Base 1"), 0);
}

TEST_F(LookupTest, ColorKeyTextTrimsAndCuts) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.Append(Y_FRM, {{"ID", Id(30)},
                               {"KEY1", " Red "},
                               {"KEY2", ""},
                               {"KEY3", "K3"},
                               {"COMMENT", "c\tm"}}));
  Wdbase* frm = ts_.Handle(Y_FRM);
  ASSERT_TRUE(ts_.Open(frm));
  ASSERT_TRUE(ts_.Select(frm, 30));
  EXPECT_EQ(hi::ColorKeyText(frm), "Red||K3|c\tm|");
  ASSERT_TRUE(frm->Goto(frm->RecCount()));
  frm->Next();  // past the end: no record
  EXPECT_EQ(hi::ColorKeyText(frm), "");
  EXPECT_EQ(hi::ColorKeyText(nullptr), "");
  ts_.CloseAll();
}

TEST_F(LookupTest, ReflectanceFromTable) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(
      b.Append(Y_FRM_REFL,
               {{"FRM_ID", Id(2)}, {"R_400", "50.000"}, {"R_700", "100.000"}}));
  Wdbase* refl = ts_.Handle(Y_FRM_REFL);
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_FRM)));
  ASSERT_TRUE(ts_.Open(refl));
  double rfl[hi::kReflValues];
  for (double& v : rfl) v = 7.0;
  EXPECT_EQ(hi::ReadReflFromTable(refl, 3, rfl), 0);
  EXPECT_EQ(rfl[0], 7.0);
  EXPECT_EQ(hi::ReadReflFromTable(refl, 0, rfl), 0);
  EXPECT_EQ(hi::ReadReflFromTable(refl, 2, rfl), 1);
  EXPECT_DOUBLE_EQ(rfl[0], 0.5);
  EXPECT_DOUBLE_EQ(rfl[1], 0.0);
  EXPECT_DOUBLE_EQ(rfl[15], 1.0);
  ts_.CloseAll();
  EXPECT_EQ(hi::ReadReflFromTable(refl, 2, rfl), 0);
}

TEST(ReflText, SemicolonListTimesOneHundredth) {
  double rfl[hi::kReflValues];
  EXPECT_EQ(hi::ParseReflText("10;20.5; 30 ;", rfl), 3);
  EXPECT_DOUBLE_EQ(rfl[0], 0.1);
  EXPECT_DOUBLE_EQ(rfl[1], 0.205);
  EXPECT_DOUBLE_EQ(rfl[2], 0.3);
  EXPECT_EQ(rfl[3], 0.0);
  EXPECT_EQ(hi::ParseReflText("", rfl), 0);
  // Seventeen values: the sixteen first are taken.
  std::string many;
  for (int i = 1; i <= 17; ++i) many += std::to_string(i) + ";";
  EXPECT_EQ(hi::ParseReflText(many, rfl), 16);
  EXPECT_DOUBLE_EQ(rfl[15], 0.16);
  // An empty item in the middle counts as 0.
  EXPECT_EQ(hi::ParseReflText("1;;3", rfl), 3);
  EXPECT_DOUBLE_EQ(rfl[2], 0.03);
}

}  // namespace
