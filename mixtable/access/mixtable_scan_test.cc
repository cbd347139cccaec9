// Walking the sample data set: Scan, NavigateSubPrds, RebuildIdx.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "access/table_set_fixture.h"
#include "mixtable/mixtable.h"
#include "platform/env.h"
#include "platform/testing/fault_env.h"

namespace {

using Visit = std::tuple<int, int, int32_t, int32_t, uint8_t>;  // phase,
                                                                // table, prd,
                                                                // spd, level

struct Walk {
  CMixtable* ts;
  std::vector<Visit> visits;
  size_t stop_after = 0;  // 0: never stop
};

int Record(Wdbase* db, void* ctx, int phase, int table, int32_t prd,
           int32_t spd) {
  Walk* w = static_cast<Walk*>(ctx);
  EXPECT_EQ(w->ts->DbToI(db), table);
  EXPECT_TRUE(db->IsOpen(0));
  w->visits.emplace_back(phase, table, prd, spd, w->ts->GetCurLevel(db));
  return w->stop_after == 0 || w->visits.size() < w->stop_after;
}

class ScanTest : public SampleDataSetTest {
 protected:
  std::vector<Visit> Tables(const std::vector<Visit>& all, int phase) {
    std::vector<Visit> out;
    for (const Visit& v : all)
      if (std::get<0>(v) == phase) out.push_back(v);
    return out;
  }
};

TEST_F(ScanTest, VisitsEveryTableAtTheLevelItLivesAt) {
  ASSERT_TRUE(ts_.Create(Y_ARCHIVE));  // the local directory
  Walk w{&ts_.Mixtable(), {}, 0};
  ASSERT_EQ(ts_.Scan(Record, &w, 0), 1);

  std::set<int> root;
  for (const Visit& v : Tables(w.visits, 1)) {
    EXPECT_EQ(std::get<4>(v), Y_LEVEL_BASE);
    root.insert(std::get<1>(v));
  }
  EXPECT_EQ(root, (std::set<int>{Y_PRODUCTS, Y_CNTS, Y_BASES, Y_CNT_KS, Y_CANS,
                                 Y_FRM, Y_FRM_REFL, Y_PARAM}));
  // Product 3 shares product 1's directory and is left out.
  EXPECT_EQ(Tables(w.visits, 2),
            (std::vector<Visit>{{2, Y_SUBPRODS, 1, 0, Y_LEVEL_PRODUCT},
                                {2, Y_FRM, 1, 0, Y_LEVEL_PRODUCT},
                                {2, Y_SUBPRODS, 2, 0, Y_LEVEL_PRODUCT}}));
  EXPECT_EQ(Tables(w.visits, 3),
            (std::vector<Visit>{{3, Y_FRM, 1, 1, Y_LEVEL_SUBPRODUCT},
                                {3, Y_FRM_REFL, 1, 1, Y_LEVEL_SUBPRODUCT},
                                {3, Y_MASK, 1, 1, Y_LEVEL_SUBPRODUCT},
                                {3, Y_RULER, 1, 1, Y_LEVEL_SUBPRODUCT},
                                {3, Y_MASK, 2, 1, Y_LEVEL_SUBPRODUCT}}));
  EXPECT_EQ(Tables(w.visits, 4),
            (std::vector<Visit>{{4, Y_ARCHIVE, 0, 0, Y_LEVEL_LOCAL}}));
  for (int i = 0; i < Y_N_MAX; ++i) EXPECT_FALSE(ts_.Handle(i)->IsOpen(0));
}

TEST_F(ScanTest, AllVisitsProductsSharingADirectory) {
  Walk w{&ts_.Mixtable(), {}, 0};
  ASSERT_EQ(ts_.Scan(Record, &w, 1), 1);
  int product3 = 0;
  for (const Visit& v : w.visits) product3 += std::get<2>(v) == 3;
  EXPECT_EQ(product3, 2 + 4);  // SUBPRODS, FRM; FRM, FRM_REFL, MASK, RULER
}

TEST_F(ScanTest, ACallbackAnsweringZeroEndsTheScan) {
  Walk w{&ts_.Mixtable(), {}, 3};
  EXPECT_EQ(ts_.Scan(Record, &w, 0), 0);
  EXPECT_EQ(w.visits.size(), 3u);
  for (int i = 0; i < Y_N_MAX; ++i) EXPECT_FALSE(ts_.Handle(i)->IsOpen(0));
}

TEST_F(ScanTest, WithoutProductsOnlyTheRootIsScanned) {
  ASSERT_TRUE(ts_.Delete(Y_PRODUCTS));
  Walk w{&ts_.Mixtable(), {}, 0};
  EXPECT_EQ(ts_.Scan(Record, &w, 0), 1);
  for (const Visit& v : w.visits) EXPECT_EQ(std::get<0>(v), 1);
  EXPECT_FALSE(w.visits.empty());
}

struct PairWalk {
  std::vector<std::tuple<int32_t, int32_t, int>> pairs;
};

int RecordPair(Wdbase* frm, void* ctx, int level, int32_t prd, int32_t spd) {
  EXPECT_TRUE(frm->IsOpen(0));
  static_cast<PairWalk*>(ctx)->pairs.emplace_back(prd, spd, level);
  return 1;
}

TEST_F(ScanTest, NavigateSubPrdsGivesTheFormulasOfEveryPair) {
  PairWalk w;
  EXPECT_EQ(ts_.NavigateSubPrds(RecordPair, &w), 1);
  EXPECT_EQ(w.pairs, (std::vector<std::tuple<int32_t, int32_t, int>>{
                         {1, 1, Y_LEVEL_SUBPRODUCT},
                         {1, 2, Y_LEVEL_PRODUCT},
                         {2, 1, Y_LEVEL_BASE},
                         {3, 1, Y_LEVEL_SUBPRODUCT},
                         {3, 2, Y_LEVEL_PRODUCT}}));
}

struct Rebuild {
  CMixtable* ts;
  int calls = 0;
  int failed = 0;
  int nested = -1;
};

int CountRebuild(Wdbase* db, void* ctx, int rebuilt) {
  Rebuild* r = static_cast<Rebuild*>(ctx);
  EXPECT_TRUE(db->IsOpen(0));
  ++r->calls;
  if (!rebuilt) ++r->failed;
  if (r->nested < 0) r->nested = r->ts->RebuildIdx(CountRebuild, ctx);
  return 1;
}

TEST_F(ScanTest, RebuildIdxRebuildsEveryTableAndRefusesNesting) {
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> f;
  for (const char* stale :
       {"c:\\gdata\\SPF00001.NTX", "c:\\gdata\\p1\\s1\\spf12345.ntx"}) {
    ASSERT_TRUE(
        env->OpenFile(stale, platform::OpenMode::kCreateAlways, &f).ok());
    f.reset();
  }
  ASSERT_TRUE(env->CreateDir("c:\\gdata\\SPF00002.NTX").ok());  // a directory
  ASSERT_TRUE(env->DeleteFile("c:\\gdata\\cnts.ntx").ok());
  Rebuild r{&ts_.Mixtable(), 0, 0, -1};
  EXPECT_EQ(ts_.RebuildIdx(CountRebuild, &r), 1);
  EXPECT_EQ(r.nested, 0);
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(r.calls, 8 + 3 + 5);  // root, product, sub-product tables
  EXPECT_FALSE(env->FileExists("c:\\gdata\\SPF00001.NTX"));
  EXPECT_FALSE(env->FileExists("c:\\gdata\\p1\\s1\\spf12345.ntx"));
  EXPECT_TRUE(env->FileExists("c:\\gdata\\SPF00002.NTX"));
  EXPECT_TRUE(env->FileExists("c:\\gdata\\cnts.ntx"));
  // Without a callback it still works, and a second run is allowed.
  EXPECT_EQ(ts_.RebuildIdx(nullptr, nullptr), 1);
}

TEST_F(ScanTest, RebuildIdxReportsTablesThatFail) {
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  env.FailPath("bases.ntx",
               platform::FaultInjectionEnv::kWrite |
                   platform::FaultInjectionEnv::kTruncate,
               ENOSPC);
  Rebuild r{&ts_.Mixtable(), 0, 0, 0};
  EXPECT_EQ(ts_.RebuildIdx(CountRebuild, &r), 0);
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.calls, 16);  // the walk goes on after the failure
}

}  // namespace
