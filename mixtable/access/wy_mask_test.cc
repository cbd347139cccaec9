// CWymask and the product and sub-product questions, on the sample data set.

#include "mixtable/wy_mask.h"

#include <gtest/gtest.h>

#include <string>

#include "access/table_set_fixture.h"
#include "mixtable/wy_product_levels.h"

namespace {

using mixtable_testing::Id;

TEST(CWymaskTest, EmptyMaskAllowsEverything) {
  CWymask m;
  EXPECT_EQ(m.GetLen(), 0);
  EXPECT_EQ(m.Inspect(0), 1);
  EXPECT_EQ(m.Inspect(7), 1);
  EXPECT_EQ(m[0], 0);
  EXPECT_EQ(m[-1], 0);
  EXPECT_EQ(m.Fill("B", static_cast<Wdbase*>(nullptr)), 0);
  EXPECT_EQ(m.Fill("BA", static_cast<Wdbase*>(nullptr)), 0);
}

using MaskTest = SampleDataSetTest;

TEST_F(MaskTest, FillFromTheSubProductMask) {
  Position(1, 1);
  CWymask m;
  EXPECT_EQ(m.Fill("BA", &ts_.Mixtable()), 1);
  ASSERT_EQ(m.GetLen(), 1);
  EXPECT_EQ(m[0], 1);
  EXPECT_EQ(m[1], 0);
  EXPECT_EQ(m.Inspect(1), 1);
  EXPECT_EQ(m.Inspect(2), 0);
  EXPECT_EQ(m.Inspect(0), 0);  // 0 only with the null flag
  m.SetNullFlag(1);
  EXPECT_EQ(m.GetNullFlag(), 1);
  EXPECT_EQ(m.Inspect(0), 1);
  EXPECT_TRUE(ts_.Handle(Y_MASK)->IsOpen(0));  // left open
  // The type matches on two characters, any case.
  EXPECT_EQ(m.Fill("co", &ts_.Mixtable()), 1);
  ASSERT_EQ(m.GetLen(), 1);
  EXPECT_EQ(m[0], 2);
  // A copy owns its ids.
  CWymask copy(m);
  m.Clear();
  EXPECT_EQ(copy.GetLen(), 1);
  EXPECT_EQ(copy[0], 2);
  EXPECT_EQ(copy.GetNullFlag(), 1);
  const CWymask& same = copy;
  copy = same;
  EXPECT_EQ(copy.GetLen(), 1);
  EXPECT_EQ(m.Fill("X", &ts_.Mixtable()), 0);
  EXPECT_EQ(m.Fill("ZZ", &ts_.Mixtable()), 0);  // no fallback table
}

TEST_F(MaskTest, FallbackToEveryIdOfTheTable) {
  // Product 2's mask has only CA rows: CO gives every colorant.
  Position(2, 1);
  CWymask m;
  EXPECT_EQ(m.Fill("CO", &ts_.Mixtable()), 1);
  ASSERT_EQ(m.GetLen(), 3);
  EXPECT_EQ(m[0], 1);
  EXPECT_EQ(m[2], 3);
  EXPECT_FALSE(ts_.Handle(Y_CNTS)->IsOpen(0));
  EXPECT_EQ(m.Fill("CA", &ts_.Mixtable()), 1);
  ASSERT_EQ(m.GetLen(), 1);
  // A sub-product without MASK.DBF: every base.
  Position(1, 2);
  EXPECT_EQ(m.Fill("BA", &ts_.Mixtable()), 1);
  EXPECT_EQ(m.GetLen(), 2);
}

TEST_F(MaskTest, PathFromLevelIds) {
  std::string out;
  EXPECT_TRUE(Wy_GetPathFromLevelIDs("c:\\gdata\\", 1, 1, out));
  EXPECT_EQ(out, "c:\\gdata\\P1\\S1\\");
  EXPECT_TRUE(Wy_GetPathFromLevelIDs("c:\\gdata\\", 2, 0, out));
  EXPECT_EQ(out, "c:\\gdata\\P2\\");
  EXPECT_FALSE(Wy_GetPathFromLevelIDs("c:\\gdata\\", 1, 9, out));
  EXPECT_EQ(out, "c:\\gdata\\P1\\");
  EXPECT_FALSE(Wy_GetPathFromLevelIDs("c:\\gdata\\", 0, 1, out));
  EXPECT_EQ(out, "c:\\gdata\\");
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.AddProduct(4, "..\\x", "OUT"));
  EXPECT_FALSE(Wy_GetPathFromLevelIDs("c:\\gdata\\", 4, 0, out));
  EXPECT_EQ(out, "c:\\gdata\\");
}

TEST_F(MaskTest, DefaultIdsAndAliases) {
  int32_t prd = -1, spd = -1;
  EXPECT_EQ(Wy_GetDefaultPrdSpdIds(0, nullptr, &spd), 0);
  EXPECT_EQ(Wy_GetDefaultPrdSpdIds(0, &prd, &spd),
            1);  // the default data directory
  EXPECT_EQ(prd, 1);
  EXPECT_EQ(spd, 1);

  EXPECT_EQ(Wy_IsAnAlias("c:\\gdata\\", 1, 1, 0), 0);
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.AddSubProduct(1, 3, "s1", "SUB13"));
  EXPECT_EQ(Wy_IsAnAlias("c:\\gdata\\", 1, 1, 0), 1);
  EXPECT_EQ(Wy_IsAnAlias("c:\\gdata\\", 1, 2, 0), 0);
  // A deleted alias counts only when deleted records are not skipped.
  Position(1, 1);
  Wdbase* sub = ts_.Handle(Y_SUBPRODS);
  ASSERT_TRUE(ts_.Select(sub, 3));
  ASSERT_TRUE(sub->Delete());
  ts_.CloseAll();
  EXPECT_EQ(Wy_IsAnAlias("c:\\gdata\\", 1, 1, 0), 1);
  EXPECT_EQ(Wy_IsAnAlias("c:\\gdata\\", 1, 1, 1), 0);
}

TEST_F(MaskTest, BasesModules) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  int first = 5, second = 5;
  EXPECT_EQ(Wy_CheckBasesModules(&ts_.Mixtable(), &first, &second), 0);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 5);
  ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(4)}, {"FTYPE", "a"}}));
  ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(5)}, {"FTYPE", "B"}}));
  ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(6)}, {"FTYPE", "A"}}));
  EXPECT_EQ(Wy_CheckBasesModules(&ts_.Mixtable(), &first, &second), 1);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 6);
  EXPECT_EQ(Wy_CheckBasesModules(&ts_.Mixtable(), nullptr, nullptr), 1);
  EXPECT_FALSE(ts_.Handle(Y_CNTS)->IsOpen(0));
}

}  // namespace
