#include "platform/lock_set.h"

#include <algorithm>

namespace platform::internal {

void LockSet::Add(uint64_t offset, uint64_t length) {
  ranges_.emplace_back(offset, length);
}

bool LockSet::Remove(uint64_t offset, uint64_t length) {
  auto it = std::find(ranges_.begin(), ranges_.end(), Range(offset, length));
  if (it == ranges_.end()) return false;
  ranges_.erase(it);
  return true;
}

std::vector<LockSet::Range> LockSet::Uncovered(uint64_t offset,
                                               uint64_t length) const {
  const uint64_t end = offset + length;
  // Held intervals [start, stop) that overlap the query, by start.
  std::vector<Range> hits;
  for (const Range& r : ranges_) {
    uint64_t s = r.first, e = r.first + r.second;
    if (s < end && e > offset) hits.emplace_back(s, e);
  }
  std::sort(hits.begin(), hits.end());
  std::vector<Range> gaps;
  uint64_t pos = offset;
  for (const Range& h : hits) {
    if (h.first > pos) gaps.emplace_back(pos, h.first - pos);
    if (h.second > pos) pos = h.second;
    if (pos >= end) break;
  }
  if (pos < end) gaps.emplace_back(pos, end - pos);
  return gaps;
}

}  // namespace platform::internal
