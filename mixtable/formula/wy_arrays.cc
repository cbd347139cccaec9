#include "mixtable/wy_arrays.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr size_t kGrowth = 32;

template <typename T>
bool IsNan(T v) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::isnan(v);
  } else {
    (void)v;
    return false;
  }
}

}  // namespace

template <typename T>
int Wy_Array<T>::append(T v) {
  try {
    if (v_.size() == v_.capacity()) v_.reserve(v_.capacity() + kGrowth);
    v_.push_back(v);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

template <typename T>
int Wy_Array<T>::insert(int pos, T v) {
  if (!Valid(pos)) return 0;
  if (!append(v)) return 0;
  std::rotate(v_.begin() + pos, v_.end() - 1, v_.end());
  return 1;
}

template <typename T>
int Wy_Array<T>::update(int i, T v) {
  if (!Valid(i)) return 0;
  v_[i] = v;
  return 1;
}

template <typename T>
int Wy_Array<T>::remove(int i) {
  if (!Valid(i)) return 0;
  v_.erase(v_.begin() + i);
  return 1;
}

template <typename T>
int Wy_Array<T>::sortascending() {
  std::stable_sort(v_.begin(), v_.end(), [](T a, T b) {
    if (IsNan(a)) return false;
    if (IsNan(b)) return true;
    return a < b;
  });
  return 1;
}

template <typename T>
int Wy_Array<T>::sortdiscending() {
  std::stable_sort(v_.begin(), v_.end(), [](T a, T b) {
    if (IsNan(a)) return false;
    if (IsNan(b)) return true;
    return b < a;
  });
  return 1;
}

template <typename T>
int Wy_Array<T>::clear() {
  std::vector<T>().swap(v_);
  return 1;
}

template class Wy_Array<int32_t>;
template class Wy_Array<double>;
