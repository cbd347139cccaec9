// Wy_LongArray, Wy_IntArray, Wy_DoubleArray: growable arrays of 32-bit
// integers or doubles. Every operation answers 1 on success and 0 for a bad
// index or a failed allocation (the array is then unchanged). Sorting is
// stable, O(n log n), and puts NaN after every number in both directions.
// Nothing here throws.

#ifndef MIXTABLE_WY_ARRAYS_H_
#define MIXTABLE_WY_ARRAYS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mixtable/export.h"

template <typename T>
class Wy_Array {
 public:
  // Appends v, growing the buffer by at least 32 elements when it is full.
  int append(T v);
  // 0 <= pos < n(): inserts v at pos, shifting the rest up.
  int insert(int pos, T v);
  // Overwrites the element at i.
  int update(int i, T v);
  // Removes the element at i, shifting the tail down.
  int remove(int i);
  // The element at i, or 0 for an index out of range.
  T operator[](int i) const {
    return i >= 0 && static_cast<size_t>(i) < v_.size() ? v_[i] : T(0);
  }
  int sortascending();
  int sortdiscending();
  // Empties the array and frees its buffer.
  int clear();
  int n() const { return static_cast<int>(v_.size()); }

 private:
  bool Valid(int i) const {
    return i >= 0 && static_cast<size_t>(i) < v_.size();
  }
  std::vector<T> v_;
};

extern template class MIXTABLE_API Wy_Array<int32_t>;
extern template class MIXTABLE_API Wy_Array<double>;

class Wy_LongArray : public Wy_Array<int32_t> {};
class Wy_IntArray : public Wy_Array<int32_t> {};
class Wy_DoubleArray : public Wy_Array<double> {};

#endif  // MIXTABLE_WY_ARRAYS_H_
