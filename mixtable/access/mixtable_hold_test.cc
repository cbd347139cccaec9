// Holding tables for a run of lookups: the table set's own handle stays as
// the caller left it, a writer in another process is seen at once, a moved
// level opens the table again, and the last hold closes everything. The
// other process is a child entry of this binary (no fork).

#include <gtest/gtest.h>

#include <cstdlib>

#include "mixtable/mixtable_ex.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

// args: size. Writes NOM_Q=size into can 10 of "c:\gdata\".
KALVO_CHILD_MAIN(hold_write_can)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  CMixtableEx other;
  other.SetDataDir("c:\\gdata\\");
  Wdbase* cans = other.Handle(Y_CANS);
  const bool ok = other.Open(cans) && other.Select(cans, 10) &&
                  cans->WriteDouble("NOM_Q", std::atof(args[0].c_str())) &&
                  cans->Flush();
  return ok ? 0 : 1;
}

class TableHoldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows "c:\gdata\" is the real drive, kept from the test before.
    platform::Env::Current()->DeleteTree("c:\\gdata");
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    ASSERT_TRUE(b.AddProduct(1, "P1", "PRD1") &&
                b.AddProduct(2, "P2", "PRD2") &&
                b.AddSubProduct(1, 1, "S1", "SUB11") &&
                b.AddSubProduct(2, 1, "S1", "SUB21"))
        << b.error();
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(10)}, {"NOM_Q", "1000"}}));
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(11)}, {"NOM_Q", "946.353"}}));
    // A table of every level: one record in each sub-product.
    ASSERT_TRUE(b.Append(Y_CNT_KS, {{"ID", Id(5)}}, 1, 1));
    ASSERT_TRUE(b.Append(Y_CNT_KS, {{"ID", Id(6)}}, 2, 1));
    ts_.SetDataDir("c:\\gdata\\");
  }

  void Position(int32_t prd, int32_t spd) {
    Wdbase* p = ts_.Handle(Y_PRODUCTS);
    Wdbase* s = ts_.Handle(Y_SUBPRODS);
    if (!p->IsOpen(0)) {
      ASSERT_TRUE(ts_.Open(p));
    }
    ASSERT_TRUE(ts_.Select(p, prd));
    if (s->IsOpen(0)) s->Close();  // the sub-products of the product
    ASSERT_TRUE(ts_.Open(s));
    ASSERT_TRUE(ts_.Select(s, spd));
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
};

TEST_F(TableHoldTest, OwnHandleStaysClosedAndHoldEndsWithTheLast) {
  CMixtable& t = ts_.Mixtable();
  Wdbase* cans = ts_.Handle(Y_CANS);
  {
    CMixtable::TmpHold outer(&t);
    EXPECT_EQ(t.HoldCount(), 1);
    EXPECT_FALSE(t.IsHeld(Y_CANS));  // opened at the first lookup only
    {
      CMixtable::TmpHold inner(&t);
      EXPECT_EQ(t.CanSize(10), 1000);
      EXPECT_DOUBLE_EQ(t.DblCanSize(11), 946.353);
      EXPECT_EQ(t.CanSize(12), 0);
      EXPECT_TRUE(t.IsHeld(Y_CANS));
      EXPECT_FALSE(cans->IsOpen(0));
      EXPECT_EQ(t.CanSize(0), 0);  // still no current can
    }
    EXPECT_TRUE(t.IsHeld(Y_CANS));  // the outer hold keeps it
    // The caller opens the table: lookups use and restore the own handle.
    ASSERT_TRUE(ts_.Open(cans));
    ASSERT_TRUE(ts_.Select(cans, 11));
    const int32_t rec = cans->RecNo();
    EXPECT_EQ(t.CanSize(10), 1000);
    EXPECT_EQ(cans->RecNo(), rec);
    cans->Close();
    EXPECT_EQ(t.CanSize(11), 946);
  }
  EXPECT_EQ(t.HoldCount(), 0);
  EXPECT_FALSE(t.IsHeld(Y_CANS));
  EXPECT_FALSE(cans->IsOpen(0));
  CMixtable::TmpHold none(nullptr);  // holds nothing, harmless
  EXPECT_EQ(t.CanSize(10), 1000);
  EXPECT_FALSE(t.IsHeld(Y_CANS));
}

TEST_F(TableHoldTest, WriterInAnotherProcessIsSeenAtOnce) {
  CMixtable& t = ts_.Mixtable();
  CMixtable::TmpHold hold(&t);
  ASSERT_EQ(t.CanSize(10), 1000);
  ASSERT_TRUE(t.IsHeld(Y_CANS));
  for (const char* size : {"2000", "750"}) {
    ASSERT_EQ(0, platform::testing::RunChild("hold_write_can", {size}));
    EXPECT_EQ(t.CanSize(10), std::atoi(size));
    EXPECT_TRUE(t.IsHeld(Y_CANS));
  }
}

TEST_F(TableHoldTest, MovedLevelOpensTheTableAgain) {
  CMixtable& t = ts_.Mixtable();
  CMixtable::TmpHold hold(&t);
  Position(1, 1);
  {
    CMixtable::TmpLookup ks(&t, Y_CNT_KS, 5);
    ASSERT_NE(ks.db(), nullptr);
    EXPECT_EQ(ks.db()->ReadLong("ID"), 5);
  }
  EXPECT_TRUE(t.IsHeld(Y_CNT_KS));
  Position(2, 1);
  EXPECT_EQ(CMixtable::TmpLookup(&t, Y_CNT_KS, 5).db(), nullptr);
  EXPECT_NE(CMixtable::TmpLookup(&t, Y_CNT_KS, 6).db(), nullptr);
  // Closing the tables of a level closes what is held there.
  t.CloseAll(Y_LEVEL_SUBPRODUCT);
  EXPECT_FALSE(t.IsHeld(Y_CNT_KS));
  EXPECT_NE(CMixtable::TmpLookup(&t, Y_CNT_KS, 6).db(), nullptr);
  t.CloseAll();
  EXPECT_FALSE(t.IsHeld(Y_CNT_KS));
}

TEST_F(TableHoldTest, FormulaTablesAreNeverHeld) {
  CMixtable& t = ts_.Mixtable();
  CMixtable::TmpHold hold(&t);
  Position(1, 1);
  CMixtable::TmpLookup frm(&t, Y_FRM, 1);
  EXPECT_FALSE(t.IsHeld(Y_FRM));
  EXPECT_EQ(CMixtable::TmpLookup(&t, Y_N_MAX, 1).db(), nullptr);
  EXPECT_EQ(CMixtable::TmpLookup(nullptr, Y_CANS, 10).db(), nullptr);
}

}  // namespace
