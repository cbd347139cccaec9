// The special filter tests' table: NAME C(6), QTY N(6,1) with negative
// values, BORN D and the indexes byname (NAME), byqty (QTY), byborn (BORN)
// and bytwice (QTY*2, a computed number); the record values are kept in
// memory for the brute-force model of the visible sequence.

#ifndef XBASE32_SPF_FILTER_FIXTURE_H_
#define XBASE32_SPF_FILTER_FIXTURE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "filter_test_model.h"
#include "platform/env.h"
#include "test_util.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {

struct SpfRow {
  std::string name;  // blank-padded to 6
  double qty = 0;
  std::string born;  // CCYYMMDD
};

class SpecialFilterFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
    platform::SetLockRetryIntervalMs(5);
  }
  void TearDown() override { Wdbase::FlushSet(1); }

  bool Define(Wdbase* w) {
    const char* names[] = {"byname", "byqty", "byborn", "bytwice"};
    const char* exprs[] = {"NAME", "QTY", "BORN", "QTY*2"};
    return w->SetFiles(dir_.c_str(), "t", 4, names, exprs) == 1;
  }

  // Creates the table with n random records and opens it in w_.
  void Make(int n, unsigned seed = 5) {
    ASSERT_TRUE(Define(&w_));
    auto f = Fields(
        {Fld("NAME", 'C', 6), Fld("QTY", 'N', 6, 1), Fld("BORN", 'D', 8)});
    ASSERT_EQ(1, w_.CreateDb(f.data()));
    ASSERT_EQ(1, w_.Open());
    std::mt19937 rng(seed);
    rows_.assign(1, SpfRow());
    Wdbase::FlushSet(0);
    ASSERT_EQ(1, w_.Lock());
    for (int i = 1; i <= n; ++i) {
      SpfRow row;
      row.name = "N" + std::to_string(rng() % 40);
      row.qty = static_cast<double>(static_cast<int>(rng() % 400) - 200) / 10;
      row.born = Wdbase::MakeDate(2000 + static_cast<int>(rng() % 10),
                                  1 + static_cast<int>(rng() % 12),
                                  1 + static_cast<int>(rng() % 28));
      Append(row);
    }
    ASSERT_EQ(1, w_.Unlock());
    ASSERT_EQ(1, w_.Flush());
    Wdbase::FlushSet(1);
  }

  void Append(SpfRow row) {
    ASSERT_EQ(1, w_.AppendBlank());
    ASSERT_EQ(1, w_.WriteString(1, row.name.c_str()));
    ASSERT_EQ(1, w_.WriteDouble(2, row.qty));
    ASSERT_EQ(1, w_.WriteString(3, row.born.c_str()));
    row.name.resize(6, ' ');
    rows_.push_back(row);
  }

  // The visible records of order s (0..4) for a condition, in order.
  std::vector<int32_t> Visible(int s, bool inverted,
                               const std::function<bool(const SpfRow&)>& cond) {
    std::vector<int32_t> v;
    for (int32_t r = 1; r < static_cast<int32_t>(rows_.size()); ++r) {
      if (cond(rows_[static_cast<size_t>(r)])) v.push_back(r);
    }
    auto less = [&](int32_t a, int32_t b) {
      const SpfRow& x = rows_[static_cast<size_t>(a)];
      const SpfRow& y = rows_[static_cast<size_t>(b)];
      switch (s) {
        case 1:
          if (x.name != y.name) return x.name < y.name;
          break;
        case 2:
        case 4:
          if (x.qty != y.qty) return x.qty < y.qty;
          break;
        case 3:
          if (x.born != y.born) return x.born < y.born;
          break;
        default:
          break;
      }
      return a < b;
    };
    std::sort(v.begin(), v.end(), less);
    if (inverted) std::reverse(v.begin(), v.end());
    return v;
  }

  // The special index files in the table's directory.
  std::vector<std::string> SpfFiles() {
    std::vector<platform::DirEntry> e;
    platform::Env::Current()->ListDir(drives_.dir(), "SPF*.NTX", &e);
    std::vector<std::string> names;
    for (const auto& d : e) names.push_back(d.name);
    return names;
  }

  // The sequence Top..end of file, and Bottom..beginning reversed.
  std::vector<int32_t> Forward(Wdbase* w) {
    std::vector<int32_t> v;
    for (int more = w->Top(); more; more = w->Next()) v.push_back(w->RecNo());
    EXPECT_EQ(1, w->Eof());
    return v;
  }
  std::vector<int32_t> Backward(Wdbase* w) {
    std::vector<int32_t> v;
    for (int more = w->Bottom(); more; more = w->Previous()) {
      v.push_back(w->RecNo());
    }
    std::reverse(v.begin(), v.end());
    return v;
  }

  platform::ScopedTempDrives drives_;
  std::string dir_;
  Wdbase w_;
  std::vector<SpfRow> rows_;  // 1-based
};

}  // namespace xbase32::testing

#endif  // XBASE32_SPF_FILTER_FIXTURE_H_
