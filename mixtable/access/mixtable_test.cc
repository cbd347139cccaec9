// The table set on the sample data set: levels, selection by id, temporary
// opens, freezing.

#include "mixtable/mixtable.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>  // symlink
#endif

#include <memory>
#include <string>
#include <vector>

#include "access/table_set_fixture.h"
#include "platform/env.h"

namespace {

using mixtable_testing::Id;

class TableSetTest : public SampleDataSetTest {};

TEST_F(TableSetTest, OpensAtTheMostSpecificExistingLevel) {
  struct Case {
    int32_t prd, spd;
    uint8_t level;
    const char* key1;
  } cases[] = {
      {1, 1, Y_LEVEL_SUBPRODUCT, "SUB11A"},
      {1, 2, Y_LEVEL_PRODUCT, "PRD1"},
      {2, 1, Y_LEVEL_BASE, "ROOT1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.prd) + "/" + std::to_string(c.spd));
    Position(c.prd, c.spd);
    Wdbase* frm = ts_.Handle(Y_FRM);
    ASSERT_TRUE(ts_.Open(frm));
    EXPECT_EQ(ts_.GetCurLevel(frm), c.level);
    ASSERT_TRUE(frm->Top());
    EXPECT_EQ(Trimmed(frm, "KEY1"), c.key1);
    // RULER comes along with FRM where the sub-product directory has one.
    EXPECT_EQ(ts_.Handle(Y_RULER)->IsOpen(0) != 0,
              c.level == Y_LEVEL_SUBPRODUCT);
    EXPECT_FALSE(ts_.Open(frm));  // already open
  }
}

TEST_F(TableSetTest, ProductLevelNeedsAPositionedProduct) {
  EXPECT_FALSE(ts_.Open(ts_.Handle(Y_SUBPRODS)));  // PRODUCTS closed
  EXPECT_EQ(ts_.GetCurLevel(ts_.Handle(Y_SUBPRODS)), 0);
  EXPECT_STREQ(ts_.Handle(Y_SUBPRODS)->GetPath(), ".\\");
  Wdbase foreign;
  EXPECT_FALSE(ts_.Open(&foreign));
  EXPECT_FALSE(ts_.Open(nullptr));
}

TEST_F(TableSetTest, ReflectancesOpenOnlyBesideTheirFormulas) {
  Position(1, 2);  // FRM of the product, FRM_REFL only at the root
  EXPECT_FALSE(ts_.Open(ts_.Handle(Y_FRM_REFL)));
  Position(1, 1);  // both in the sub-product directory
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_FRM_REFL)));
  EXPECT_EQ(ts_.GetCurLevel(ts_.Handle(Y_FRM_REFL)), Y_LEVEL_SUBPRODUCT);
  Position(2, 1);  // both at the root
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_FRM_REFL)));
  EXPECT_EQ(ts_.GetCurLevel(ts_.Handle(Y_FRM_REFL)), Y_LEVEL_BASE);
}

TEST_F(TableSetTest, SelectPrefersProductAndSubProductVariants) {
  struct Case {
    int32_t prd, spd;
    int32_t want_prd_key, want_spd_key;
  } cases[] = {{1, 1, 1, 1}, {1, 2, 1, 0}, {2, 1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.prd) + "/" + std::to_string(c.spd));
    Position(c.prd, c.spd);
    Wdbase* ks = ts_.Handle(Y_CNT_KS);
    ASSERT_TRUE(ts_.Open(ks));
    ASSERT_TRUE(ts_.Select(ks, 1));
    EXPECT_EQ(ks->ReadLong("ID"), 1);
    EXPECT_EQ(ks->ReadLong("PROD_KEY"), c.want_prd_key);
    EXPECT_EQ(ks->ReadLong("SUBP_KEY"), c.want_spd_key);
    EXPECT_EQ(ks->SelectedIdx(), 0);  // the caller's order is kept
  }
}

TEST_F(TableSetTest, SelectOfAMissingIdKeepsThePosition) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(cnts->Goto(2));
  EXPECT_FALSE(ts_.Select(cnts, 99));
  EXPECT_EQ(cnts->RecNo(), 2);
  EXPECT_FALSE(ts_.Select(cnts, -1));
  EXPECT_FALSE(ts_.Select(ts_.Handle(Y_BASES), 1));  // closed
  ASSERT_TRUE(ts_.Select(cnts, 3));
  EXPECT_EQ(Trimmed(cnts, "CODE"), "C3");
}

TEST_F(TableSetTest, FirstAndNextVisitEachIdOnce) {
  Position(1, 1);
  Wdbase* ks = ts_.Handle(Y_CNT_KS);
  ASSERT_TRUE(ts_.Open(ks));
  std::vector<int32_t> ids;
  for (int ok = ts_.First(ks); ok; ok = ts_.Next(ks)) {
    ids.push_back(ks->ReadLong("ID"));
    if (ids.back() == 1) {
      EXPECT_EQ(ks->ReadLong("SUBP_KEY"), 1);
    }
    ASSERT_LT(ids.size(), 10u);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{1, 2}));
}

TEST_F(TableSetTest, NextFreeId) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  EXPECT_EQ(ts_.GetNextFreeId(cnts), 0);  // closed
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(cnts->Goto(1));
  EXPECT_EQ(ts_.GetNextFreeId(cnts), 4);
  EXPECT_EQ(cnts->RecNo(), 1);
  ASSERT_TRUE(ts_.Create(Y_UCOAT));
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_UCOAT)));
  EXPECT_EQ(ts_.GetNextFreeId(ts_.Handle(Y_UCOAT)), 0);  // empty
  ASSERT_TRUE(ts_.Create(Y_FRMCODES));
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_FRMCODES)));
  EXPECT_EQ(ts_.GetNextFreeId(ts_.Handle(Y_FRMCODES)), 0);  // no index
}

TEST_F(TableSetTest, TmpOpenOfAClosedTableClosesItAgain) {
  Wdbase* cans = ts_.Handle(Y_CANS);
  uint32_t state = 0;
  ASSERT_TRUE(ts_.TmpOpen(cans, &state));
  EXPECT_EQ(state, 0xFFFFu);
  EXPECT_TRUE(cans->IsOpen(0));
  ASSERT_TRUE(ts_.TmpClose(cans, &state));
  EXPECT_FALSE(cans->IsOpen(0));
  EXPECT_FALSE(ts_.TmpOpen(nullptr, &state));
  EXPECT_FALSE(ts_.TmpClose(nullptr, &state));
}

TEST_F(TableSetTest, TmpOpenOfAnOpenTableRestoresIndexAndRecord) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(cnts->SelectIdx(1));
  ASSERT_TRUE(ts_.Select(cnts, 2));
  uint32_t outer = 0, inner = 0;
  ASSERT_TRUE(ts_.TmpOpen(cnts, &outer));
  EXPECT_EQ(outer, (1u << 16) | 2u);
  EXPECT_EQ(cnts->SelectedIdx(), 0);
  EXPECT_EQ(cnts->RecNo(), 1);
  cnts->Goto(3);
  ASSERT_TRUE(ts_.TmpOpen(cnts, &inner));  // nested
  ASSERT_TRUE(ts_.TmpClose(cnts, &inner));
  EXPECT_EQ(cnts->RecNo(), 3);
  ASSERT_TRUE(ts_.TmpClose(cnts, &outer));
  EXPECT_EQ(cnts->SelectedIdx(), 1);
  EXPECT_EQ(cnts->RecNo(), 2);
  // At the end of the table.
  cnts->Bottom();
  cnts->Next();
  ASSERT_TRUE(cnts->Eof());
  ASSERT_TRUE(ts_.TmpOpen(cnts, &outer));
  EXPECT_FALSE(cnts->Eof());
  ASSERT_TRUE(ts_.TmpClose(cnts, &outer));
  EXPECT_TRUE(cnts->Eof());
}

TEST_F(TableSetTest, TmpCloseReturnsToRecordsBeyond65534) {
  ASSERT_TRUE(ts_.Create(Y_NCSCORR));
  Wdbase* t = ts_.Handle(Y_NCSCORR);
  ASSERT_TRUE(ts_.Open(t));
  const int32_t kCount = 65540;
  const int flush = Wdbase::FlushSet(0);
  ASSERT_TRUE(t->Lock());
  for (int32_t i = 0; i < kCount; ++i) ASSERT_TRUE(t->AppendBlank());
  ASSERT_TRUE(t->Unlock());
  Wdbase::FlushSet(flush);
  ASSERT_EQ(t->RecCount(), kCount);
  for (int32_t rec : {65535, 65536, 65539}) {
    SCOPED_TRACE(rec);
    ASSERT_TRUE(t->Goto(rec));
    uint32_t state = 0;
    ASSERT_TRUE(ts_.TmpOpen(t, &state));
    EXPECT_NE(state & 0xFFFFu, 0xFFFFu);  // never taken for "was closed"
    t->Goto(5);
    ASSERT_TRUE(ts_.TmpClose(t, &state));
    EXPECT_TRUE(t->IsOpen(0));
    EXPECT_EQ(t->RecNo(), rec);
  }
}

TEST_F(TableSetTest, FriezeAndDefriezeRestorePositions) {
  Position(1, 1);
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  Wdbase* frm = ts_.Handle(Y_FRM);
  Wdbase* bases = ts_.Handle(Y_BASES);
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(cnts->SelectIdx(1));
  ASSERT_TRUE(ts_.Select(cnts, 3));
  ASSERT_TRUE(ts_.Open(frm));
  ASSERT_TRUE(frm->Goto(2));
  ASSERT_TRUE(ts_.Open(bases));
  bases->Bottom();
  bases->Next();
  ASSERT_TRUE(ts_.Frieze());
  for (int i = 0; i < Y_N_MAX; ++i) EXPECT_FALSE(ts_.Handle(i)->IsOpen(0));
  ASSERT_TRUE(ts_.Defrieze());
  EXPECT_EQ(cnts->SelectedIdx(), 1);
  EXPECT_EQ(cnts->ReadLong("ID"), 3);
  EXPECT_EQ(frm->RecNo(), 2);
  EXPECT_EQ(Trimmed(frm, "KEY1"), "SUB11B");  // the sub-product's FRM again
  EXPECT_EQ(ts_.GetCurLevel(frm), Y_LEVEL_SUBPRODUCT);
  EXPECT_TRUE(bases->Eof());
  EXPECT_EQ(ts_.Handle(Y_SUBPRODS)->ReadLong("ID"), 1);
}

TEST_F(TableSetTest, CopiesNeverShareOpenTables) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  ASSERT_TRUE(ts_.Open(cnts));
  {
    CMixtable copy(ts_.Mixtable());
    EXPECT_FALSE(copy.Handle(Y_CNTS)->IsOpen(0));
    EXPECT_EQ(copy.GetDataDir(), ts_.GetDataDir());
    EXPECT_STREQ(copy.Handle(Y_CNTS)->GetPath(), cnts->GetPath());
    ASSERT_TRUE(copy.Open(copy.Handle(Y_CNTS)));
    CMixtable assigned;
    assigned = copy;
    EXPECT_FALSE(assigned.Handle(Y_CNTS)->IsOpen(0));
  }
  EXPECT_TRUE(cnts->IsOpen(0));
  EXPECT_TRUE(cnts->Top());
}

TEST_F(TableSetTest, PathsLeavingTheDataSetAreNotFound) {
  platform::Env* env = platform::Env::Current();
  // A product whose directory is a link out of the data set, with a FRM
  // behind it, and products with a parent step, a drive and a separator.
  mixtable_testing::DataSetBuilder b("c:\\outside\\");
  ASSERT_TRUE(b.Append(Y_FRM, {{"ID", Id(1)}, {"KEY1", "OUTSIDE"}}));
  mixtable_testing::DataSetBuilder g("c:\\gdata\\");
  std::vector<int32_t> products = {8, 9, 10};
#ifndef _WIN32
  // The link case on Linux only: a Windows shop's data sets hold no links
  // (and making one needs a privilege there).
  std::string host_out, host_link;
  ASSERT_TRUE(env->HostPath("c:\\outside", &host_out).ok());
  ASSERT_TRUE(env->HostPath("c:\\gdata\\LNK", &host_link).ok());
  ASSERT_EQ(symlink(host_out.c_str(), host_link.c_str()), 0);
  ASSERT_TRUE(g.AddProduct(7, "LNK", "LINK"));
  products.push_back(7);
#endif
  ASSERT_TRUE(g.AddProduct(8, "..\\outside", "PARENT"));
  ASSERT_TRUE(g.AddProduct(9, "c:\\outside", "DRIVE"));
  ASSERT_TRUE(g.AddProduct(10, "P1\\..\\..\\outside", "SEPARATOR"));
  for (int32_t prd : products) {
    SCOPED_TRACE(prd);
    Position(prd, 0);
    Wdbase* frm = ts_.Handle(Y_FRM);
    ASSERT_TRUE(ts_.Open(frm));
    EXPECT_EQ(ts_.GetCurLevel(frm), Y_LEVEL_BASE);  // the root's FRM
    EXPECT_EQ(Trimmed(frm, "KEY1"), "ROOT1");
    ts_.CloseAll();
    Position(prd, 0);
    EXPECT_FALSE(ts_.Create(Y_SUBPRODS));
  }
  EXPECT_FALSE(env->FileExists("c:\\outside\\subprods.dbf"));
}

TEST_F(TableSetTest, ATableThatIsNoDataFileDoesNotOpen) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(platform::Env::Current()
                  ->OpenFile("c:\\gdata\\ucoat.dbf",
                             platform::OpenMode::kCreateAlways, &f)
                  .ok());
  ASSERT_TRUE(f->WriteAt(0, "not a table", 11).ok());
  f.reset();
  EXPECT_FALSE(ts_.Open(ts_.Handle(Y_UCOAT)));
  EXPECT_TRUE(ts_.Exist(Y_CNTS));
  EXPECT_FALSE(ts_.Exist(Y_UCOAT));
  EXPECT_FALSE(ts_.Exist(Y_SPECPROC));  // missing
}

}  // namespace
