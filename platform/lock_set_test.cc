#include "platform/lock_set.h"

#include <gtest/gtest.h>

namespace platform::internal {
namespace {

using Ranges = std::vector<LockSet::Range>;

constexpr uint64_t kBase = 1000000000;  // where the engine's locks start

TEST(LockSetTest, UncoveredParts) {
  LockSet set;
  set.Add(10, 10);  // [10, 20)
  set.Add(15, 10);  // [15, 25)
  set.Add(40, 5);   // [40, 45)
  struct Case {
    uint64_t off, len;
    Ranges want;
  } cases[] = {
      {0, 5, {{0, 5}}},
      {10, 15, {}},
      {12, 3, {}},
      {5, 10, {{5, 5}}},
      {20, 30, {{25, 15}, {45, 5}}},
      {0, 100, {{0, 10}, {25, 15}, {45, 55}}},
      {45, 1, {{45, 1}}},
      {39, 1, {{39, 1}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(set.Uncovered(c.off, c.len), c.want) << c.off << "+" << c.len;
  }
}

TEST(LockSetTest, RecordInsideWholeFile) {
  LockSet set;
  set.Add(kBase, kBase);  // whole file
  set.Add(kBase + 7, 1);  // record 7
  ASSERT_TRUE(set.Remove(kBase + 7, 1));
  // Releasing the record gives back nothing: the whole file still covers it.
  EXPECT_TRUE(set.Uncovered(kBase + 7, 1).empty());
  EXPECT_TRUE(set.Covers(kBase, kBase));
  ASSERT_TRUE(set.Remove(kBase, kBase));
  EXPECT_EQ(set.Uncovered(kBase, kBase), Ranges({{kBase, kBase}}));
  EXPECT_TRUE(set.empty());
}

TEST(LockSetTest, RemoveNeedsTheExactRangeAndCountsDuplicates) {
  LockSet set;
  set.Add(5, 1);
  set.Add(5, 1);
  EXPECT_FALSE(set.Remove(5, 2));
  EXPECT_FALSE(set.Remove(4, 1));
  EXPECT_TRUE(set.Remove(5, 1));
  EXPECT_TRUE(set.Covers(5, 1));  // the second one still holds
  EXPECT_TRUE(set.Remove(5, 1));
  EXPECT_FALSE(set.Remove(5, 1));
  EXPECT_FALSE(set.Covers(5, 1));
}

TEST(LockSetTest, CoversAdjacentRangesTogether) {
  LockSet set;
  set.Add(0, 10);
  set.Add(10, 10);
  EXPECT_TRUE(set.Covers(5, 10));
  EXPECT_FALSE(set.Covers(5, 16));
}

}  // namespace
}  // namespace platform::internal
