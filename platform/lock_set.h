// The byte ranges one file handle holds locked. Ranges may overlap and nest
// (a record lock inside a whole-file lock); the set keeps each one as taken,
// so that releasing one range can tell which bytes stay covered by others.
// Internal to the platform layer.

#ifndef PLATFORM_LOCK_SET_H_
#define PLATFORM_LOCK_SET_H_

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform::internal {

class LockSet {
 public:
  using Range = std::pair<uint64_t, uint64_t>;  // offset, length (> 0)

  void Add(uint64_t offset, uint64_t length);
  // Removes one range taken with exactly this offset and length; answers
  // false when there is none.
  bool Remove(uint64_t offset, uint64_t length);
  void Clear() { ranges_.clear(); }
  bool empty() const { return ranges_.empty(); }
  size_t size() const { return ranges_.size(); }

  // The parts of [offset, offset+length) that no held range covers, in
  // ascending order.
  std::vector<Range> Uncovered(uint64_t offset, uint64_t length) const;
  // Whether the held ranges together cover [offset, offset+length).
  bool Covers(uint64_t offset, uint64_t length) const {
    return Uncovered(offset, length).empty();
  }

 private:
  std::vector<Range> ranges_;  // as taken, duplicates allowed
};

}  // namespace platform::internal

#endif  // PLATFORM_LOCK_SET_H_
