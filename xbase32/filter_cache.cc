#include "filter_cache.h"

#include <algorithm>

namespace xbase32 {

FilterCache::FilterCache(int size) {
  int n = size < 2 ? 2 : size;
  if (n % 2 != 0) ++n;
  slots_.assign(static_cast<size_t>(n), -1);
}

void FilterCache::Clear() {
  std::fill(slots_.begin(), slots_.end(), -1);
  current_ = 0;
  at_start_ = false;
  at_end_ = false;
}

int FilterCache::FirstFilled() const {
  for (int i = 0; i < size(); ++i) {
    if (Filled(i)) return i;
  }
  return -1;
}

int FilterCache::LastFilled() const {
  for (int i = size() - 1; i >= 0; --i) {
    if (Filled(i)) return i;
  }
  return -1;
}

bool FilterCache::Locate(int32_t recno) {
  if (recno <= 0) return false;
  if (At(current_) == recno) return true;
  for (int i = 0; i < size(); ++i) {
    if (At(i) == recno) {
      current_ = i;
      return true;
    }
  }
  return false;
}

bool FilterCache::GoSlot(FilteredMoves* m, int i) {
  if (i < 0 || !Filled(i) || !m->Go(At(i))) return false;
  current_ = i;
  return true;
}

int FilterCache::FillForward(FilteredMoves* m, int from) {
  slots_[static_cast<size_t>(from)] = m->RecNo();
  int i = from + 1;
  while (i < size() && m->Next()) slots_[static_cast<size_t>(i++)] = m->RecNo();
  return i;
}

int FilterCache::FillBackward(FilteredMoves* m, int from) {
  slots_[static_cast<size_t>(from)] = m->RecNo();
  int i = from - 1;
  while (i >= 0 && m->Prev()) slots_[static_cast<size_t>(i--)] = m->RecNo();
  return i;
}

void FilterCache::FillAround(FilteredMoves* m, int at) {
  const int32_t r = m->RecNo();
  Clear();
  // The window holds accepted records only: around a hidden record (a
  // backward move from it that found nothing) it stays empty.
  if (!m->Accepted()) return;
  at_start_ = FillBackward(m, at) >= 0;
  m->Go(r);
  at_end_ = FillForward(m, at) < size();
  m->Go(r);
  current_ = at;
}

void FilterCache::Fill(FilteredMoves* m) {
  Clear();
  const bool was_eof = m->Eof() || m->RecNo() <= 0;
  if (was_eof && !m->Bottom()) {
    at_start_ = at_end_ = true;
    m->GoEof();
    return;
  }
  if (!m->Accepted()) return;  // on a hidden record: filled by later moves
  const int32_t r = m->RecNo();
  const int end = FillForward(m, 0);
  if (end < size()) {
    at_end_ = true;  // the fill ran out of records
  } else {
    m->Go(At(size() - 1));
    at_end_ = !m->Next();
  }
  m->Go(r);
  at_start_ = !m->Prev();
  if (was_eof) {
    m->GoEof();
  } else {
    m->Go(r);
  }
  current_ = 0;
}

bool FilterCache::Align(FilteredMoves* m) {
  if (m->Eof()) return false;
  const int32_t r = m->RecNo();
  if (!Locate(r)) return false;
  GoSlot(m, FirstFilled());
  at_start_ = !m->Prev();
  GoSlot(m, LastFilled());
  at_end_ = !m->Next();
  m->Go(r);
  Locate(r);
  return true;
}

int FilterCache::Top(FilteredMoves* m) {
  const int f = FirstFilled();
  if (at_start_ && f >= 0) return GoSlot(m, f) ? 1 : 0;
  if (at_start_ && at_end_ && f < 0) {
    m->GoEof();
    return 0;
  }
  if (!m->Top()) {
    Clear();
    at_start_ = at_end_ = true;
    return 0;
  }
  const int32_t r = m->RecNo();
  Clear();
  at_end_ = FillForward(m, 0) < size();
  at_start_ = true;
  m->Go(r);
  current_ = 0;
  return 1;
}

int FilterCache::Bottom(FilteredMoves* m) {
  const int l = LastFilled();
  if (at_end_ && l >= 0) return GoSlot(m, l) ? 1 : 0;
  if (at_start_ && at_end_ && l < 0) {
    m->GoEof();
    return 0;
  }
  if (!m->Bottom()) {
    Clear();
    at_start_ = at_end_ = true;
    return 0;
  }
  const int32_t r = m->RecNo();
  Clear();
  at_start_ = FillBackward(m, size() - 1) >= 0;
  at_end_ = true;
  m->Go(r);
  current_ = size() - 1;
  return 1;
}

int FilterCache::Next(FilteredMoves* m) {
  if (m->Eof()) return 0;
  if (!Locate(m->RecNo())) {
    // The table moved away from the window: an uncached move, then a new
    // window around the record reached.
    if (!m->Next()) return 0;
    FillAround(m, half());
    return 1;
  }
  const int i = current_ + 1;
  if (i < size()) {
    if (Filled(i)) return GoSlot(m, i) ? 1 : 0;
    at_end_ = true;
    m->GoEof();
    return 0;
  }
  // Off the last slot: the upper half becomes the lower half and the upper
  // half is filled forward from the new record.
  if (!m->Next()) {
    at_end_ = true;
    return 0;
  }
  const int32_t r = m->RecNo();
  const int h = half();
  std::copy(slots_.begin() + h, slots_.end(), slots_.begin());
  std::fill(slots_.begin() + h, slots_.end(), -1);
  at_end_ = FillForward(m, h) < size();
  at_start_ = false;
  m->Go(r);
  current_ = h;
  return 1;
}

int FilterCache::Prev(FilteredMoves* m) {
  if (m->Eof()) {
    // The last accepted record: the window's last slot when the window
    // reaches the end, else a filtered bottom.
    if (Bottom(m)) return 1;
    m->SetBof();
    return 0;
  }
  if (!Locate(m->RecNo())) {
    if (!m->Prev()) return 0;
    FillAround(m, half() - 1);
    return 1;
  }
  const int i = current_ - 1;
  if (i >= 0) {
    if (Filled(i)) return GoSlot(m, i) ? 1 : 0;
    at_start_ = true;
    m->SetBof();
    return 0;
  }
  // Off the first slot: the lower half becomes the upper half and the lower
  // half is filled backward from the new record.
  if (!m->Prev()) {
    at_start_ = true;
    return 0;
  }
  const int32_t r = m->RecNo();
  const int h = half();
  std::copy_backward(slots_.begin(), slots_.begin() + h, slots_.end());
  std::fill(slots_.begin(), slots_.begin() + h, -1);
  at_start_ = FillBackward(m, h - 1) >= 0;
  at_end_ = false;
  m->Go(r);
  current_ = h - 1;
  return 1;
}

int FilterCache::Skip(FilteredMoves* m, int32_t n) {
  if (n == 0) return m->Eof() ? 0 : 1;
  if (m->Eof()) {
    if (n > 0) return 0;
    if (!Prev(m)) return 0;
    if (++n == 0) return 1;
  }
  if (!Locate(m->RecNo())) {
    // Away from the window: uncached moves, then a new window.
    if (n > 0) {
      for (int32_t k = 0; k < n; ++k) {
        if (!m->Next()) return 0;
      }
      FillAround(m, half());
      return 1;
    }
    for (int32_t k = 0; k > n; --k) {
      if (!m->Prev()) {
        FillAround(m, half() - 1);
        m->SetBof();
        return 0;
      }
    }
    FillAround(m, half() - 1);
    return 1;
  }
  const int64_t t = static_cast<int64_t>(current_) + n;
  if (t >= 0 && t < size()) {
    if (Filled(static_cast<int>(t))) {
      return GoSlot(m, static_cast<int>(t)) ? 1 : 0;
    }
    if (n > 0) {
      at_end_ = true;
      m->GoEof();
      return 0;
    }
    // Nothing before the first filled slot: stop on it.
    GoSlot(m, FirstFilled());
    at_start_ = true;
    m->SetBof();
    return 0;
  }
  if (t >= size()) {
    if (at_end_ || !Filled(size() - 1)) {
      at_end_ = true;
      m->GoEof();
      return 0;
    }
    GoSlot(m, size() - 1);
    for (int64_t k = t - (size() - 1); k > 0; --k) {
      if (!m->Next()) return 0;
    }
    FillAround(m, half());
    return 1;
  }
  if (at_start_ || !Filled(0)) {
    GoSlot(m, FirstFilled());
    at_start_ = true;
    m->SetBof();
    return 0;
  }
  GoSlot(m, 0);
  for (int64_t k = -t; k > 0; --k) {
    if (!m->Prev()) {
      // Back on the first accepted record.
      FillAround(m, half() - 1);
      m->SetBof();
      return 0;
    }
  }
  FillAround(m, half() - 1);
  return 1;
}

}  // namespace xbase32
