// Bulk appends to indexed tables under Lock with auto-flush off: long runs
// of equal keys (beyond what the index file held on disk when the lock was
// taken), special filters (every non-matching record shares one key), key
// changes and undos of records not yet merged into the tree, reads in the
// middle of a batch, and a second process reading afterwards. Every tree is
// checked after.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ntx_file.h"
#include "spf_filter_fixture.h"
#include "test_util.h"
#include "wdbase_order.h"
#include "xbase32/wdbase.h"

namespace xbase32 {
namespace {

using testing::Fields;
using testing::Fld;

// Opens table b of dir with its three indexes (no creation).
bool OpenBIn(const std::string& dir, Wdbase* w) {
  const char* names[] = {"bname", "bn", "bsame"};
  const char* exprs[] = {"NAME", "N", "\"SAME\""};
  return w->SetFiles(dir.c_str(), "b", 3, names, exprs) == 1 && w->Open() == 1;
}

// args: dir, "during" or "after". During the writer's lock the index bn
// holds the tree of its last release (1000 entries) and is sound; after the
// release a seek and the bottom find records 4321 and 5000.
KALVO_CHILD_MAIN(ntx_bulk_reader)(const std::vector<std::string>& args) {
  testing::ChildSetUp();
  Wdbase r;
  if (args.size() != 2 || !OpenBIn(args[0], &r)) return 2;
  if (args[1] == "during") {
    int64_t n = -1;
    const bool sound =
        IndexOf(&r, 2)->CheckTree([&](const char*, uint32_t) { ++n; }).empty();
    return sound && n + 1 == 1000 ? 0 : 1;
  }
  const int code = r.SelectIdx(2) == 1 && r.Seek("    4321") == 1 &&
                           r.RecNo() == 4321 && r.Bottom() == 1 &&
                           r.RecNo() == 5000
                       ? 0
                       : 1;
  r.Close();
  return code;
}

class NtxBulkTest : public testing::EngineTest {
 protected:
  // Table "b": NAME C(10), N N(8); indexes on NAME (few distinct values),
  // on N (all distinct) and on a constant key (one run of equal keys).
  bool Open(Wdbase* w, bool create) {
    const char* names[] = {"bname", "bn", "bsame"};
    const char* exprs[] = {"NAME", "N", "\"SAME\""};
    if (w->SetFiles(dir_.c_str(), "b", 3, names, exprs) != 1) return false;
    if (create) {
      auto f = Fields({Fld("NAME", 'C', 10), Fld("N", 'N', 8)});
      if (w->CreateDb(f.data()) != 1) return false;
    }
    return w->Open() == 1;
  }
  // Record numbers in order of index k, checking the tree on the way.
  std::vector<int32_t> Order(Wdbase* w, int k) {
    NtxFile* ix = IndexOf(w, k);
    std::vector<int32_t> v;
    if (!ix) return v;
    EXPECT_EQ("", ix->CheckTree([&](const char*, uint32_t r) {
      v.push_back(static_cast<int32_t>(r));
    })) << "index "
        << k;
    return v;
  }
  // Most records keep a blank NAME: the run of blank keys grows, and each
  // named record leaves it (its blank key is found and removed).
  static std::string Name(int i) {
    return i % 10 == 0 ? "K" + std::to_string(i % 7) : std::string();
  }
};

// Key changes, deletions of keys and appends interleaved under one lock,
// with seeks between them: the result equals a model kept in memory.
TEST_F(NtxBulkTest, ChangesOfRecordsNotYetInTheTree) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, true));
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w.Lock());
  std::vector<int> n(1, 0);  // model: the N of each record
  for (int i = 1; i <= 6000; ++i) {
    ASSERT_EQ(1, w.AppendBlank());
    ASSERT_EQ(1, w.WriteLong(2, i * 3));
    n.push_back(i * 3);
    if (i % 3 == 0) {
      // Rewrite an earlier record (sometimes one of this batch).
      const int r = std::max(1, i - (i % 11));
      ASSERT_EQ(1, w.Goto(r));
      ASSERT_EQ(1, w.WriteLong(2, 100000 + r));
      n[static_cast<size_t>(r)] = 100000 + r;
      ASSERT_EQ(1, w.Goto(i));
    }
    if (i % 1000 == 0) {
      ASSERT_EQ(1, w.SelectIdx(2));
      char key[16];
      std::snprintf(key, sizeof key, "%8d", n[static_cast<size_t>(i / 2)]);
      ASSERT_EQ(1, w.Seek(key)) << i;
      ASSERT_EQ(i / 2, w.RecNo());
      ASSERT_EQ(1, w.SelectIdx(0));
    }
  }
  ASSERT_EQ(1, w.Unlock());
  std::vector<int32_t> model;
  for (size_t r = 1; r < n.size(); ++r)
    model.push_back(static_cast<int32_t>(r));
  std::stable_sort(model.begin(), model.end(), [&](int32_t a, int32_t b) {
    return n[static_cast<size_t>(a)] < n[static_cast<size_t>(b)];
  });
  EXPECT_EQ(model, Order(&w, 2));
  EXPECT_EQ(6000u, Order(&w, 1).size());
  Wdbase::FlushSet(1);
}

// 30 000 appends in one lock: the runs of equal keys grow far beyond the
// pages the files had on disk; every walk along them stays within bounds.
// With the default budgets the entries reach the trees in one merge; with
// small ones in many merges into full trees, with changed pages spilled.
struct Budgets {
  size_t staged_bytes;
  size_t cache_pages;
};

class NtxBulkBudgetTest : public NtxBulkTest,
                          public ::testing::WithParamInterface<Budgets> {
 protected:
  void SetUp() override {
    NtxBulkTest::SetUp();
    if (GetParam().staged_bytes) {
      old_budget_ = NtxFile::SetStagedKeyBudget(GetParam().staged_bytes);
    }
    if (GetParam().cache_pages) {
      old_cache_ = NtxFile::SetCacheCapacity(GetParam().cache_pages);
    }
  }
  void TearDown() override {
    if (old_budget_) NtxFile::SetStagedKeyBudget(old_budget_);
    if (old_cache_) NtxFile::SetCacheCapacity(old_cache_);
    NtxBulkTest::TearDown();
  }
  size_t old_budget_ = 0;
  size_t old_cache_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Budgets, NtxBulkBudgetTest,
                         ::testing::Values(Budgets{0, 0}, Budgets{4096, 16},
                                           Budgets{64 << 10, 64}));

TEST_P(NtxBulkBudgetTest, LongRunsOfEqualKeysUnderLock) {
  constexpr int kRecords = 30000;
  Wdbase w;
  ASSERT_TRUE(Open(&w, true));
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w.Lock());
  ASSERT_EQ(1, w.SelectIdx(3));  // navigation relocates along the run
  for (int i = 1; i <= kRecords; ++i) {
    ASSERT_EQ(1, w.AppendBlank()) << "append " << i;
    if (!Name(i).empty()) {
      ASSERT_EQ(1, w.WriteString(1, Name(i).c_str())) << i;
    }
    ASSERT_EQ(1, w.WriteLong(2, kRecords - i)) << i;
    if (i % 5000 == 0) {
      // A read in the middle of the batch sees every record so far.
      ASSERT_EQ(1, w.Bottom()) << i;
      EXPECT_EQ(i, w.RecNo());
    }
  }
  ASSERT_EQ(1, w.Unlock());
  ASSERT_EQ(1, w.Flush());
  Wdbase::FlushSet(1);
  // Equal keys keep the order of insertion (record order here).
  std::vector<int32_t> same = Order(&w, 3);
  ASSERT_EQ(static_cast<size_t>(kRecords), same.size());
  for (int i = 0; i < kRecords; ++i) ASSERT_EQ(i + 1, same[i]);
  std::vector<int32_t> byname = Order(&w, 1);
  ASSERT_EQ(static_cast<size_t>(kRecords), byname.size());
  for (size_t i = 1; i < byname.size(); ++i) {
    const std::string a = Name(byname[i - 1]);
    const std::string b = Name(byname[i]);
    ASSERT_TRUE(a < b || (a == b && byname[i - 1] < byname[i])) << i;
  }
  std::vector<int32_t> byn = Order(&w, 2);
  ASSERT_EQ(static_cast<size_t>(kRecords), byn.size());
  for (int i = 0; i < kRecords; ++i) ASSERT_EQ(kRecords - i, byn[i]);
  // Another handle (another process's view) finds the same.
  Wdbase other;
  ASSERT_TRUE(Open(&other, false));
  ASSERT_EQ(1, other.SelectIdx(1));
  EXPECT_EQ(1, other.Seek("K3"));
  EXPECT_EQ(10, other.RecNo());
  ASSERT_EQ(1, other.SelectIdx(2));
  EXPECT_EQ(1, other.Seek("       7"));
  EXPECT_EQ(kRecords - 7, other.RecNo());
}

// A second process reads the tree of the last release while entries are
// staged, and the whole batch after the release.
TEST_F(NtxBulkTest, AnotherProcessSeesTheBatchAfterUnlock) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, true));
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w.Lock());
  for (int i = 1; i <= 5000; ++i) {
    ASSERT_EQ(1, w.AppendBlank());
    ASSERT_EQ(1, w.WriteLong(2, i));
    if (i == 1000) {
      ASSERT_EQ(1, w.Unlock());
      ASSERT_EQ(1, w.Lock());
    }
  }
#ifdef _WIN32
  // Windows reports no writes to watch, so a reader elsewhere cannot prove
  // an unlocked read sound and reads under the index lock: one started
  // during the batch waits for the release and then sees all of it.
  std::unique_ptr<platform::Process> waiting;
  ASSERT_TRUE(platform::testing::StartChild("ntx_bulk_reader", {dir_, "after"},
                                            &waiting)
                  .ok());
  EXPECT_EQ(platform::testing::kChildNotRun,
            platform::testing::WaitChild(waiting.get(), 2000));
  ASSERT_EQ(1, w.Unlock());
  EXPECT_EQ(0, platform::testing::WaitChild(waiting.get(), 120000));
#else
  // While the lock is held the files keep the whole tree of the last
  // release: a reader elsewhere finds it sound, without the staged entries.
  EXPECT_EQ(0, testing::RunChild("ntx_bulk_reader", {dir_, "during"}));
  ASSERT_EQ(1, w.Unlock());
#endif
  Wdbase::FlushSet(1);
  // The same end on every host: the whole batch, seen by a later reader.
  EXPECT_EQ(0, testing::RunChild("ntx_bulk_reader", {dir_, "after"}));
}

// Appends under a special filter: every record that does not match shares
// the filter's high key.
class NtxBulkSpecialFilterTest : public testing::SpecialFilterFixture {};

TEST_F(NtxBulkSpecialFilterTest, AppendsUnderAFilterKeepTheIndexSound) {
  Make(50);
  ASSERT_EQ(1, w_.SelectIdx(2));
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 15", false, false));
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w_.Lock());
  for (int i = 0; i < 20000; ++i) {
    testing::SpfRow row;
    row.name = "A" + std::to_string(i % 13);
    row.qty = (i % 10 == 0) ? 16 + (i % 50) : (i % 30) - 15;
    row.born = "20100101";
    ASSERT_NO_FATAL_FAILURE(Append(row)) << "append " << i;
  }
  ASSERT_EQ(1, w_.Unlock());
  ASSERT_EQ(1, w_.Flush());
  Wdbase::FlushSet(1);
  auto cond = [](const testing::SpfRow& r) { return r.qty > 15; };
  const std::vector<int32_t> want = Visible(2, false, cond);
  EXPECT_EQ(want, Forward(&w_));
  EXPECT_EQ(static_cast<int32_t>(want.size()), w_.GetLastPosition());
  for (int k = 1; k <= 4; ++k) {
    NtxFile* ix = IndexOf(&w_, k);
    ASSERT_NE(nullptr, ix);
    int64_t n = 0;
    EXPECT_EQ("", ix->CheckTree([&](const char*, uint32_t) { ++n; }));
    EXPECT_EQ(20050, n);
  }
}

}  // namespace
}  // namespace xbase32
