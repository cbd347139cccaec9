// The record filter's cache against a model of the uncached moves: random
// move sequences over tables where no, every or some records are accepted,
// windows of several sizes, the window sliding at both ends, and moves
// inside the window not asking the filter.

#include "filter_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "filter_test_model.h"

namespace xbase32 {
namespace {

// A table of n records in natural order; accepted[r] says whether the
// filter accepts record r. Counts how often the filter is asked.
class FakeTable final : public FilteredMoves {
 public:
  explicit FakeTable(std::vector<bool> accepted)
      : acc_(std::move(accepted)), n_(static_cast<int32_t>(acc_.size()) - 1) {}

  bool Top() override { return Forward(1); }
  bool Bottom() override { return Backward(n_, false); }
  bool Next() override { return eof_ ? false : Forward(cur_ + 1); }
  bool Prev() override { return Backward(eof_ ? n_ : cur_ - 1, true); }
  bool Go(int32_t r) override {
    if (r < 1 || r > n_) return false;
    cur_ = r;
    eof_ = bof_ = false;
    return true;
  }
  void GoEof() override {
    cur_ = n_ + 1;
    eof_ = true;
  }
  void SetBof() override { bof_ = true; }
  bool Eof() const override { return eof_; }
  int32_t RecNo() const override { return cur_; }
  bool Accepted() const override {
    return !eof_ && cur_ >= 1 && cur_ <= n_ && Accepted(cur_);
  }

  bool bof() const { return bof_; }
  int asked() const { return asked_; }
  bool Accepted(int32_t r) const { return acc_[static_cast<size_t>(r)]; }

 private:
  bool Ask(int32_t r) {
    ++asked_;
    return Accepted(r);
  }
  bool Forward(int32_t from) {
    for (int32_t r = from; r <= n_; ++r) {
      if (Ask(r)) return Go(r);
    }
    GoEof();
    return false;
  }
  bool Backward(int32_t from, bool restore) {
    for (int32_t r = from; r >= 1; --r) {
      if (Ask(r)) return Go(r);
    }
    if (!restore) {
      GoEof();
      return false;
    }
    // Back where it started, beginning-of-file flag set.
    bof_ = true;
    return false;
  }

  std::vector<bool> acc_;
  int32_t n_;
  int32_t cur_ = 1;
  bool eof_ = false;
  bool bof_ = false;
  int asked_ = 0;
};

using Model = testing::FilterModel;

std::vector<bool> Pattern(int n, int kind, std::mt19937* rng) {
  std::vector<bool> acc(static_cast<size_t>(n) + 1, false);
  for (int r = 1; r <= n; ++r) {
    switch (kind) {
      case 0:
        acc[static_cast<size_t>(r)] = false;
        break;  // none
      case 1:
        acc[static_cast<size_t>(r)] = true;
        break;  // all
      case 2:
        acc[static_cast<size_t>(r)] = (*rng)() % 4 == 0;
        break;  // some
      case 3:
        acc[static_cast<size_t>(r)] = r == n / 2;
        break;  // one
      default:
        acc[static_cast<size_t>(r)] = (*rng)() % 10 != 0;
        break;  // most
    }
  }
  return acc;
}

// Filled slots hold consecutive accepted records; set flags are true.
void CheckWindow(const FilterCache& c, const Model& m) {
  std::vector<int32_t> filled;
  for (int i = 0; i < c.size(); ++i) {
    if (c.slots()[i] > 0) filled.push_back(c.slots()[i]);
  }
  if (filled.empty()) return;
  auto at = std::find(m.vis.begin(), m.vis.end(), filled[0]);
  ASSERT_NE(at, m.vis.end());
  for (size_t k = 0; k < filled.size(); ++k, ++at) {
    ASSERT_NE(at, m.vis.end());
    ASSERT_EQ(*at, filled[k]) << "window not consecutive";
  }
  if (c.at_start()) {
    EXPECT_EQ(filled.front(), m.vis.front());
  }
  if (c.at_end()) {
    EXPECT_EQ(filled.back(), m.vis.back());
  }
}

TEST(FilterCacheTest, RandomMovesFollowTheModel) {
  std::mt19937 rng(7);
  for (int size : {1, 2, 4, 6, 10, 16}) {
    for (int kind = 0; kind < 5; ++kind) {
      for (int n : {1, 7, 60}) {
        FakeTable t(Pattern(n, kind, &rng));
        Model m;
        for (int32_t r = 1; r <= n; ++r) {
          if (t.Accepted(r)) m.vis.push_back(r);
        }
        FilterCache c(size);
        ASSERT_EQ(0, c.size() % 2);
        ASSERT_GE(c.size(), 2);
        t.Top();
        m.Top();
        c.Fill(&t);
        for (int step = 0; step < 400; ++step) {
          const int op = static_cast<int>(rng() % 7);
          int got = 0, want = 0;
          switch (op) {
            case 0:
              got = c.Top(&t);
              want = m.Top();
              break;
            case 1:
              got = c.Bottom(&t);
              want = m.Bottom();
              break;
            case 2:
              got = c.Next(&t);
              want = m.Skip(1);
              break;
            case 3:
              got = c.Prev(&t);
              want = m.Skip(-1);
              break;
            case 4: {
              const int32_t k = static_cast<int32_t>(rng() % 41) - 20;
              if (k == 0) continue;
              if (!t.Eof() && t.RecNo() <= 0) continue;
              got = c.Skip(&t, k);
              want = m.Skip(k);
              break;
            }
            case 5:
              // The table moves behind the window's back (Goto).
              if (m.vis.empty()) continue;
              m.idx = static_cast<int>(rng() % m.vis.size());
              t.Go(m.recno());
              continue;
            default:
              c.Fill(&t);
              continue;
          }
          SCOPED_TRACE(::testing::Message()
                       << "size " << size << " kind " << kind << " n " << n
                       << " step " << step << " op " << op);
          ASSERT_EQ(want, got);
          if (m.idx < 0) {
            ASSERT_TRUE(t.Eof());
          } else {
            ASSERT_FALSE(t.Eof());
            ASSERT_EQ(m.recno(), t.RecNo());
          }
          CheckWindow(c, m);
        }
      }
    }
  }
}

TEST(FilterCacheTest, MovesInsideTheWindowDoNotAskTheFilter) {
  std::vector<bool> acc(101, false);
  for (int r = 1; r <= 100; r += 3) acc[static_cast<size_t>(r)] = true;
  FakeTable t(acc);
  FilterCache c(8);
  ASSERT_EQ(1, c.Top(&t));
  EXPECT_EQ(1, t.RecNo());
  EXPECT_TRUE(c.at_start());
  const int asked = t.asked();
  for (int i = 0; i < 7; ++i) ASSERT_EQ(1, c.Next(&t));
  EXPECT_EQ(22, t.RecNo());
  EXPECT_EQ(1, c.Skip(&t, -5));
  EXPECT_EQ(7, t.RecNo());
  EXPECT_EQ(1, c.Top(&t));  // at-start flag: the first slot directly
  EXPECT_EQ(asked, t.asked());
  // Off the last slot the window slides by half: the upper half becomes
  // the lower half.
  ASSERT_EQ(1, c.Skip(&t, 7));
  EXPECT_EQ(7, c.current());
  ASSERT_EQ(1, c.Next(&t));
  EXPECT_EQ(25, t.RecNo());
  EXPECT_EQ(4, c.current());
  EXPECT_EQ(13, c.slots()[0]);
  EXPECT_EQ(25, c.slots()[4]);
  EXPECT_EQ(34, c.slots()[7]);
  EXPECT_FALSE(c.at_start());
  // Off the first slot backward it slides the other way.
  ASSERT_EQ(1, c.Skip(&t, -4));
  EXPECT_EQ(13, t.RecNo());
  ASSERT_EQ(1, c.Prev(&t));
  EXPECT_EQ(10, t.RecNo());
  EXPECT_EQ(3, c.current());
  EXPECT_EQ(1, c.slots()[0]);
  EXPECT_EQ(13, c.slots()[4]);
  EXPECT_EQ(0, c.Skip(&t, -4));  // past the first match: stops on it
  EXPECT_EQ(1, t.RecNo());
  EXPECT_TRUE(t.bof());
  EXPECT_TRUE(c.at_start());
}

TEST(FilterCacheTest, EndsOfTheTable) {
  std::vector<bool> acc(11, false);
  acc[3] = acc[5] = acc[9] = true;
  FakeTable t(acc);
  FilterCache c(6);
  ASSERT_EQ(1, c.Bottom(&t));
  EXPECT_EQ(9, t.RecNo());
  EXPECT_TRUE(c.at_end());
  EXPECT_TRUE(c.at_start());  // the backward fill ran out
  EXPECT_EQ(-1, c.slots()[2]);
  EXPECT_EQ(3, c.slots()[3]);
  // Next from the last match: end of file; Previous from there: back.
  EXPECT_EQ(0, c.Next(&t));
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(1, c.Prev(&t));
  EXPECT_EQ(9, t.RecNo());
  // A backward skip past the first match stops on it with the flag set.
  EXPECT_EQ(0, c.Skip(&t, -5));
  EXPECT_EQ(3, t.RecNo());
  EXPECT_TRUE(t.bof());
  EXPECT_EQ(0, c.Prev(&t));
  EXPECT_EQ(3, t.RecNo());
  // Filling from end of file starts from the filtered bottom and puts the
  // table back at end of file.
  t.GoEof();
  c.Fill(&t);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(9, c.slots()[0]);
  EXPECT_TRUE(c.at_end());
  EXPECT_FALSE(c.at_start());
  // Align finds the current record and derives the flags.
  t.Go(9);
  EXPECT_TRUE(c.Align(&t));
  EXPECT_EQ(0, c.current());
  t.Go(5);
  EXPECT_FALSE(c.Align(&t));
}

TEST(FilterCacheTest, NothingAccepted) {
  FakeTable t(std::vector<bool>(6, false));
  FilterCache c(4);
  EXPECT_FALSE(t.Top());
  c.Fill(&t);
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(c.at_start());
  EXPECT_TRUE(c.at_end());
  EXPECT_EQ(0, c.Top(&t));
  EXPECT_EQ(0, c.Bottom(&t));
  EXPECT_EQ(0, c.Prev(&t));
  EXPECT_EQ(0, c.Skip(&t, -3));
  EXPECT_TRUE(t.Eof());
}

}  // namespace
}  // namespace xbase32
