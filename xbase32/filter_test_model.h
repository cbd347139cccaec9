// The expected outcome of filtered moves, for the filter tests: the visible
// records in navigation order and a position among them (or end of file).

#ifndef XBASE32_FILTER_TEST_MODEL_H_
#define XBASE32_FILTER_TEST_MODEL_H_

#include <cstdint>
#include <vector>

namespace xbase32::testing {

struct FilterModel {
  std::vector<int32_t> vis;  // visible records in order
  int idx = -1;              // index into vis; -1 at end of file

  int Top() { return Set(vis.empty() ? -1 : 0); }
  int Bottom() {
    return Set(vis.empty() ? -1 : static_cast<int>(vis.size()) - 1);
  }
  // Forward past the last record: end of file. Backward past the first: on
  // the first, answer 0. From end of file the first backward step reaches
  // the last record.
  int Skip(int32_t n) {
    if (idx < 0) {
      if (n > 0 || vis.empty()) return 0;
      idx = static_cast<int>(vis.size()) - 1;
      if (++n == 0) return 1;
    }
    const int64_t t = static_cast<int64_t>(idx) + n;
    if (t >= static_cast<int64_t>(vis.size())) return Set(-1);
    if (t < 0) {
      idx = 0;
      return 0;
    }
    idx = static_cast<int>(t);
    return 1;
  }
  int Set(int i) {
    idx = i;
    return i >= 0 ? 1 : 0;
  }
  int32_t recno() const { return idx < 0 ? -1 : vis[static_cast<size_t>(idx)]; }
  // 1-based position of record r among the visible ones, 0 when hidden.
  int32_t PositionOf(int32_t r) const {
    for (size_t i = 0; i < vis.size(); ++i) {
      if (vis[i] == r) return static_cast<int32_t>(i) + 1;
    }
    return 0;
  }
};

}  // namespace xbase32::testing

#endif  // XBASE32_FILTER_TEST_MODEL_H_
