// The staged entries against a model: random adds and removals (right and
// wrong keys, unknown records, records staged again after a removal; record
// numbers in ascending order and in any), then
// the merge order: by key, equal keys in the order of their last adding.

#include "ntx_staged_keys.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace xbase32 {
namespace {

TEST(NtxStagedKeys, RandomChangesAgainstAModel) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 rng(seed);
    NtxStagedKeys staged;
    staged.Reset(3);
    // record -> (key, time of its last adding)
    std::map<uint32_t, std::pair<std::string, int>> model;
    const uint32_t records = 50 + seed * 40;
    for (int step = 0; step < 4000; ++step) {
      // Every third seed: record numbers that never go down (appends, with
      // their key changes), otherwise any.
      const uint32_t r = seed % 3 == 0 ? 1 + static_cast<uint32_t>(step) / 3
                                       : 1 + rng() % records;
      const std::string key = "k" + std::to_string(rng() % 7) + " ";
      auto it = model.find(r);
      if (it == model.end()) {
        if (rng() % 3 != 0) {
          staged.Add(key.data(), r);
          model[r] = {key, step};
        } else {
          ASSERT_FALSE(staged.Remove(key.data(), r)) << seed << " " << step;
        }
      } else if (rng() % 2 == 0) {
        const bool same = it->second.first == key;
        ASSERT_EQ(same, staged.Remove(key.data(), r)) << seed << " " << step;
        if (same) model.erase(it);
      } else {
        ASSERT_TRUE(staged.Remove(it->second.first.data(), r));
        model.erase(it);
      }
      ASSERT_EQ(model.size(), staged.size());
    }
    std::vector<std::pair<std::pair<std::string, int>, uint32_t>> want;
    for (const auto& [r, e] : model) want.push_back({e, r});
    std::sort(want.begin(), want.end());
    const std::vector<uint32_t> order = staged.Sorted();
    ASSERT_EQ(want.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ(want[i].first.first, std::string(staged.key(order[i]), 3));
      EXPECT_EQ(want[i].second, staged.recno(order[i]));
    }
    EXPECT_GT(staged.bytes(), 0u);
    staged.Clear();
    EXPECT_TRUE(staged.empty());
  }
}

}  // namespace
}  // namespace xbase32
