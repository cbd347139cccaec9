// Record filters on Wdbase tables: random move sequences against a
// brute-force model in natural and index orders, with and without the
// cache; SetFilter's answers, both callback forms, the cache operations,
// filtered Seek, RecallAll and Close.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filter_test_model.h"
#include "test_util.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {
namespace {

int HideUnlisted(const Wdbase* w, void* user) {
  const auto* acc = static_cast<const std::vector<bool>*>(user);
  const int32_t r = w->RecNo();
  if (r < 1 || r >= static_cast<int32_t>(acc->size())) return 1;
  return (*acc)[static_cast<size_t>(r)] ? 0 : 1;
}

int HideOdd(const Wdbase* w) { return w->RecNo() % 2; }
int HideAll(const Wdbase*) { return 1; }

class FilterTest : public ::testing::Test {
 protected:
  static constexpr int kRecords = 300;

  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
    const char* names[] = {"byname", "byqty", "byborn"};
    const char* exprs[] = {"NAME", "QTY", "BORN"};
    ASSERT_EQ(1, w_.SetFiles(dir_.c_str(), "t", 3, names, exprs));
    auto f = Fields(
        {Fld("NAME", 'C', 6), Fld("QTY", 'N', 6, 1), Fld("BORN", 'D', 8)});
    ASSERT_EQ(1, w_.CreateDb(f.data()));
    ASSERT_EQ(1, w_.Open());
    std::mt19937 rng(11);
    Wdbase::FlushSet(0);
    for (int i = 1; i <= kRecords; ++i) {
      ASSERT_EQ(1, w_.AppendBlank());
      const std::string name = "N" + std::to_string(rng() % 50);
      ASSERT_EQ(1, w_.WriteString(1, name.c_str()));
      ASSERT_EQ(1, w_.WriteDouble(2, static_cast<double>(
                                         static_cast<int>(rng() % 400) - 200) /
                                         10.0));
      ASSERT_EQ(1, w_.WriteString(
                       3, Wdbase::MakeDate(2000 + rng() % 10, 1 + rng() % 12,
                                           1 + rng() % 28)));
    }
    ASSERT_EQ(1, w_.Flush());
    Wdbase::FlushSet(1);
  }
  void TearDown() override { Wdbase::FlushSet(1); }

  // The records of order k without any filter.
  std::vector<int32_t> OrderOf(int k) {
    EXPECT_EQ(1, w_.SelectIdx(k));
    std::vector<int32_t> v;
    for (int more = w_.Top(); more; more = w_.Next()) v.push_back(w_.RecNo());
    return v;
  }

  platform::ScopedTempDrives drives_;
  std::string dir_;
  Wdbase w_;
};

// Runs random moves with the filter installed and compares every answer,
// position and end-of-file state with the model.
void RunMoves(Wdbase* w, FilterModel* m, std::mt19937* rng, int steps) {
  for (int step = 0; step < steps; ++step) {
    const int op = static_cast<int>((*rng)() % 6);
    int got = 0, want = 0;
    switch (op) {
      case 0:
        got = w->Top();
        want = m->Top();
        break;
      case 1:
        got = w->Bottom();
        want = m->Bottom();
        break;
      case 2:
        got = w->Next();
        want = m->Skip(1);
        break;
      case 3:
        got = w->Previous();
        want = m->Skip(-1);
        break;
      case 4: {
        const int32_t k = static_cast<int32_t>((*rng)() % 31) - 15;
        if (k == 0) continue;
        got = w->Skip(k);
        want = m->Skip(k);
        if (k < 0 && want == 0 && !m->vis.empty()) {
          ASSERT_EQ(1, w->Bof());
        }
        break;
      }
      default:
        // Goto a visible record: the cache finds its place again.
        if (m->vis.empty()) continue;
        m->idx = static_cast<int>((*rng)() % m->vis.size());
        ASSERT_EQ(1, w->Goto(m->recno()));
        continue;
    }
    SCOPED_TRACE(::testing::Message() << "step " << step << " op " << op);
    ASSERT_EQ(want, got);
    if (m->idx < 0) {
      ASSERT_EQ(1, w->Eof());
    } else {
      ASSERT_EQ(0, w->Eof());
      ASSERT_EQ(m->recno(), w->RecNo());
    }
  }
}

TEST_F(FilterTest, MovesFollowTheModelInEveryOrderWithAndWithoutCache) {
  std::mt19937 rng(3);
  for (int order = 0; order <= 3; ++order) {
    ASSERT_EQ(1, w_.SetFilter(nullptr));
    const std::vector<int32_t> all = OrderOf(order);
    ASSERT_EQ(static_cast<size_t>(kRecords), all.size());
    for (int kind = 0; kind < 4; ++kind) {
      std::vector<bool> acc(kRecords + 1, false);
      for (int r = 1; r <= kRecords; ++r) {
        acc[static_cast<size_t>(r)] = kind == 1   ? true
                                      : kind == 2 ? rng() % 3 == 0
                                      : kind == 3 ? r == 150
                                                  : false;
      }
      for (int cache : {0, 2, 8, 64}) {
        SCOPED_TRACE(::testing::Message() << "order " << order << " kind "
                                          << kind << " cache " << cache);
        FilterModel m;
        for (int32_t r : all) {
          if (acc[static_cast<size_t>(r)]) m.vis.push_back(r);
        }
        ASSERT_EQ(1, w_.SetFilter(nullptr));
        ASSERT_EQ(1, w_.Top());
        // Installed on the first record of the order: it moves to the
        // first visible record when that one is hidden.
        const int answer = w_.SetFilter(HideUnlisted, &acc, cache);
        EXPECT_EQ(m.vis.empty() ? 0 : 1, answer);
        m.Top();
        if (m.vis.empty()) {
          EXPECT_EQ(1, w_.Eof());
        } else {
          EXPECT_EQ(m.recno(), w_.RecNo());
        }
        RunMoves(&w_, &m, &rng, 300);
      }
    }
  }
  ASSERT_EQ(1, w_.SetFilter(nullptr));
}

// Random walks that start with a Goto to any record (hidden ones too): a
// cached handle answers exactly as an uncached one on the same table.
TEST_F(FilterTest, CachedHandleAgreesWithUncachedAfterGotoToHiddenRecords) {
  Wdbase u;
  const char* names[] = {"byname", "byqty", "byborn"};
  const char* exprs[] = {"NAME", "QTY", "BORN"};
  ASSERT_EQ(1, u.SetFiles(dir_.c_str(), "t", 3, names, exprs));
  ASSERT_EQ(1, u.Open());
  std::mt19937 rng(13);
  std::vector<bool> acc(kRecords + 1, false);
  for (int run = 0; run < 2000; ++run) {
    if (run % 50 == 0) {
      const int order = (run / 50) % 4;
      ASSERT_EQ(1, w_.SelectIdx(order));
      ASSERT_EQ(1, u.SelectIdx(order));
      const unsigned every = 2 + rng() % 6;
      for (int r = 1; r <= kRecords; ++r) {
        acc[static_cast<size_t>(r)] = rng() % every == 0;
      }
      ASSERT_EQ(1, w_.SetFilter(nullptr));
      ASSERT_EQ(1, u.SetFilter(nullptr));
      w_.SetFilter(HideUnlisted, &acc, 2 << (run / 50 % 3));
      u.SetFilter(HideUnlisted, &acc, 0);
    }
    const int32_t start = 1 + static_cast<int32_t>(rng() % kRecords);
    ASSERT_EQ(1, w_.Goto(start));
    ASSERT_EQ(1, u.Goto(start));
    for (int step = 0; step < 12; ++step) {
      const int op = static_cast<int>(rng() % 6);
      int got = 0, want = 0;
      switch (op) {
        case 0:
          got = w_.Top();
          want = u.Top();
          break;
        case 1:
          got = w_.Bottom();
          want = u.Bottom();
          break;
        case 2:
          got = w_.Next();
          want = u.Next();
          break;
        case 3:
          got = w_.Previous();
          want = u.Previous();
          break;
        case 4: {
          const int32_t k = static_cast<int32_t>(rng() % 21) - 10;
          got = w_.Skip(k);
          want = u.Skip(k);
          break;
        }
        default: {
          const int32_t r = 1 + static_cast<int32_t>(rng() % kRecords);
          got = w_.Goto(r);
          want = u.Goto(r);
          break;
        }
      }
      SCOPED_TRACE(::testing::Message() << "run " << run << " step " << step
                                        << " op " << op << " start " << start);
      ASSERT_EQ(want, got);
      ASSERT_EQ(u.Eof(), w_.Eof());
      if (!u.Eof()) {
        ASSERT_EQ(u.RecNo(), w_.RecNo());
      }
    }
  }
  ASSERT_EQ(1, w_.SetFilter(nullptr));
}

TEST_F(FilterTest, SetFilterAnswersAndQueries) {
  int size = -1;
  EXPECT_EQ(nullptr, w_.GetFilter(&size));
  EXPECT_EQ(0, size);
  EXPECT_EQ(0,
            w_.GetFilterCacheInfo(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0, w_.FillFilterCacheFromCurrentPosition());
  EXPECT_EQ(0, w_.AligneFilterCache());

  // A filter that hides every record: 0 and end of file.
  EXPECT_EQ(0, w_.SetFilter(HideAll));
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(0, w_.Top());
  EXPECT_EQ(0, w_.Bottom());
  EXPECT_EQ(0, w_.Previous());
  EXPECT_EQ(1, w_.Eof());

  // The plain form with a cache of 5 slots (rounded up to 6).
  ASSERT_EQ(1, w_.Goto(1));
  EXPECT_EQ(1, w_.SetFilter(HideOdd, 5));
  EXPECT_EQ(2, w_.RecNo());
  EXPECT_EQ(HideOdd, w_.GetFilter(&size));
  EXPECT_EQ(6, size);
  void* user = &size;
  EXPECT_EQ(nullptr, w_.GetFilterWithData(&user, &size));
  EXPECT_EQ(nullptr, user);
  int at_start = -1, at_end = -1, current = -1;
  const int32_t* slots = nullptr;
  ASSERT_EQ(1,
            w_.GetFilterCacheInfo(&size, &at_start, &at_end, &current, &slots));
  EXPECT_EQ(6, size);
  EXPECT_EQ(1, at_start);
  EXPECT_EQ(0, at_end);
  EXPECT_EQ(0, current);
  EXPECT_EQ(std::vector<int32_t>({2, 4, 6, 8, 10, 12}),
            std::vector<int32_t>(slots, slots + 6));
  // Goto away from the window; Align tells, the refill follows.
  ASSERT_EQ(1, w_.Goto(100));
  EXPECT_EQ(0, w_.AligneFilterCache());
  EXPECT_EQ(1, w_.FillFilterCacheFromCurrentPosition());
  ASSERT_EQ(1,
            w_.GetFilterCacheInfo(nullptr, nullptr, nullptr, &current, &slots));
  EXPECT_EQ(100, slots[0]);
  EXPECT_EQ(110, slots[5]);
  ASSERT_EQ(1, w_.Skip(3));
  EXPECT_EQ(106, w_.RecNo());
  EXPECT_EQ(1, w_.AligneFilterCache());
  ASSERT_EQ(
      1, w_.GetFilterCacheInfo(nullptr, nullptr, nullptr, &current, nullptr));
  EXPECT_EQ(3, current);

  // The form with a pointer: the callback receives it.
  std::vector<bool> acc(kRecords + 1, false);
  acc[7] = acc[9] = true;
  ASSERT_EQ(1, w_.SetFilter(HideUnlisted, &acc));
  EXPECT_EQ(7, w_.RecNo());
  EXPECT_EQ(nullptr, w_.GetFilter(&size));
  EXPECT_EQ(0, size);
  EXPECT_EQ(HideUnlisted, w_.GetFilterWithData(&user, nullptr));
  EXPECT_EQ(&acc, user);
  EXPECT_EQ(1, w_.Next());
  EXPECT_EQ(9, w_.RecNo());
  EXPECT_EQ(0, w_.Next());
  // At end of file no record is hidden: the table stays there.
  ASSERT_EQ(1, w_.Eof());
  EXPECT_EQ(1, w_.SetFilter(HideOdd, 4));
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(1, w_.SetFilter(HideUnlisted, &acc));
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(1, w_.Previous());
  EXPECT_EQ(9, w_.RecNo());

  // Too large a cache is refused and changes nothing.
  EXPECT_EQ(0, w_.SetFilter(HideOdd, (1 << 20) + 1));
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
  EXPECT_EQ(HideUnlisted, w_.GetFilterWithData(nullptr, nullptr));

  // A closed table refuses.
  EXPECT_EQ(1, w_.SetFilter(nullptr));
  ASSERT_EQ(1, w_.Close());
  EXPECT_EQ(0, w_.SetFilter(HideOdd));
}

TEST_F(FilterTest, SeekMovesOnToTheFirstAcceptedRecord) {
  ASSERT_EQ(1, w_.SelectIdx(1));
  // The names in index order, to pick keys with hidden first entries.
  std::vector<std::pair<std::string, int32_t>> keys;
  for (int more = w_.Top(); more; more = w_.Next()) {
    keys.push_back({w_.Read(1, 0, 1), w_.RecNo()});
  }
  std::vector<bool> acc(kRecords + 1, true);
  // Hide every record of the first name: the seek lands on the next name.
  const std::string first = keys[0].first;
  size_t i = 0;
  for (; i < keys.size() && keys[i].first == first; ++i) {
    acc[static_cast<size_t>(keys[i].second)] = false;
  }
  ASSERT_LT(i, keys.size());
  ASSERT_EQ(1, w_.SetFilter(HideUnlisted, &acc));
  EXPECT_EQ(2, w_.Seek(first.c_str()));
  EXPECT_EQ(keys[i].second, w_.RecNo());
  // A visible key: found.
  EXPECT_EQ(1, w_.Seek(keys[i].first.c_str()));
  EXPECT_EQ(keys[i].second, w_.RecNo());
  // A text longer than the key: never "found".
  EXPECT_EQ(2, w_.Seek((keys[i].first + "XXXXXXX").c_str()));
  // Past every key, and every remaining record hidden: end of file.
  EXPECT_EQ(3, w_.Seek("ZZ"));
  EXPECT_EQ(1, w_.Eof());
  std::vector<bool> none(kRecords + 1, false);
  ASSERT_EQ(1, w_.SetFilter(HideUnlisted, &none));  // at end of file
  EXPECT_EQ(3, w_.Seek(first.c_str()));
  EXPECT_EQ(1, w_.Eof());
  // A numeric index sought by number.
  ASSERT_EQ(1, w_.SetFilter(nullptr));
  ASSERT_EQ(1, w_.SelectIdx(2));
  ASSERT_EQ(1, w_.Top());
  const double lowest = w_.ReadDouble(2);
  const int32_t lowest_rec = w_.RecNo();
  acc.assign(kRecords + 1, true);
  acc[static_cast<size_t>(lowest_rec)] = false;
  ASSERT_EQ(1, w_.SetFilter(HideUnlisted, &acc, 4));
  const int r = w_.Seek(lowest);
  EXPECT_NE(lowest_rec, w_.RecNo());
  EXPECT_EQ(w_.ReadDouble(2) == lowest ? 1 : 2, r);
  // The debug level shows the key found.
  MessageRecorder boxes;
  Wdbase::SetDebugLevel(1);
  w_.Seek(lowest);
  Wdbase::SetDebugLevel(0);
  ASSERT_EQ(1u, MessageRecorder::Boxes().size());
  EXPECT_EQ("key_len=6", MessageRecorder::Boxes()[0].caption);
  EXPECT_EQ(0u, MessageRecorder::Boxes()[0].text.find("key_expr=["));
}

TEST_F(FilterTest, RecallAllHonoursTheFilterOnlyForTheFirstRecord) {
  for (int more = w_.Top(); more; more = w_.Next()) ASSERT_EQ(1, w_.Delete());
  ASSERT_EQ(1, w_.Goto(5));
  ASSERT_EQ(1, w_.SetFilter(HideOdd, 4));  // 5 is hidden: to the top
  EXPECT_EQ(2, w_.RecNo());
  ASSERT_EQ(1, w_.Skip(2));
  EXPECT_EQ(6, w_.RecNo());
  ASSERT_EQ(1, w_.RecallAll());
  EXPECT_EQ(6, w_.RecNo());
  EXPECT_EQ(HideOdd, w_.GetFilter());
  ASSERT_EQ(1, w_.SetFilter(nullptr));
  ASSERT_EQ(1, w_.Goto(1));
  EXPECT_EQ(1, w_.Deleted());
  for (int32_t r = 2; r <= kRecords; ++r) {
    ASSERT_EQ(1, w_.Goto(r));
    ASSERT_EQ(0, w_.Deleted()) << r;
  }
}

TEST_F(FilterTest, TheFilterOutlivesCloseAndReopen) {
  ASSERT_EQ(1, w_.SetFilter(HideOdd, 8));
  ASSERT_EQ(1, w_.Bottom());
  EXPECT_EQ(kRecords, w_.RecNo());
  ASSERT_EQ(1, w_.Close());
  ASSERT_EQ(1, w_.Open());
  EXPECT_EQ(2, w_.RecNo());
  EXPECT_EQ(1, w_.Next());
  EXPECT_EQ(4, w_.RecNo());
  int size = 0;
  EXPECT_EQ(HideOdd, w_.GetFilter(&size));
  EXPECT_EQ(8, size);
}

}  // namespace
}  // namespace xbase32::testing
