#include "ntx_staged_keys.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace xbase32 {

namespace {

size_t Hash(uint32_t recno) {
  const uint64_t h = static_cast<uint64_t>(recno) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h >> 32);
}

}  // namespace

void NtxStagedKeys::Reset(size_t key_length) {
  key_length_ = key_length;
  Clear();
}

void NtxStagedKeys::Clear() {
  keys_.clear();
  recnos_.clear();
  gone_.clear();
  ascending_ = true;
  cells_.clear();
  used_cells_ = 0;
  live_ = 0;
}

size_t NtxStagedKeys::bytes() const {
  return keys_.capacity() + recnos_.capacity() * sizeof(uint32_t) +
         gone_.capacity() / 8 + cells_.size() * sizeof(Cell);
}

size_t NtxStagedKeys::Probe(uint32_t recno) const {
  const size_t mask = cells_.size() - 1;
  for (size_t i = Hash(recno) & mask;; i = (i + 1) & mask) {
    if (cells_[i].recno == recno || cells_[i].recno == kEmpty) return i;
  }
}

void NtxStagedKeys::Grow() {
  std::vector<Cell> old;
  old.swap(cells_);
  size_t n = 64;
  while (n < 2 * (live_ + 1)) n *= 2;
  cells_.assign(n, Cell{kEmpty, 0});
  used_cells_ = 0;
  for (const Cell& c : old) {
    if (c.recno == kEmpty || c.recno == kGone) continue;
    cells_[Probe(c.recno)] = c;
    ++used_cells_;
  }
}

void NtxStagedKeys::Insert(uint32_t recno, uint32_t slot) {
  // Linear probing over integers stays short up to three quarters full.
  if (4 * (used_cells_ + 1) > 3 * cells_.size()) Grow();
  // Into the record's cell, else the first cell a removal left on the way,
  // else the empty cell that ends the probe.
  const size_t mask = cells_.size() - 1;
  size_t at = SIZE_MAX;
  size_t i = Hash(recno) & mask;
  for (;; i = (i + 1) & mask) {
    const uint32_t r = cells_[i].recno;
    if (r == recno || r == kEmpty) break;
    if (r == kGone && at == SIZE_MAX) at = i;
  }
  if (cells_[i].recno == recno) {
    at = i;
  } else if (at == SIZE_MAX) {
    at = i;
    ++used_cells_;
  }
  cells_[at] = Cell{recno, slot};
}

void NtxStagedKeys::Add(const char* key, uint32_t recno) {
  const uint32_t slot = static_cast<uint32_t>(recnos_.size());
  if (ascending_ && slot > 0 && recno < recnos_.back()) {
    // From now on through the cells (later slots replace earlier ones).
    ascending_ = false;
    for (uint32_t i = 0; i < slot; ++i) {
      if (!gone_[i]) Insert(recnos_[i], i);
    }
  }
  keys_.insert(keys_.end(), key, key + key_length_);
  recnos_.push_back(recno);
  gone_.push_back(false);
  if (!ascending_) Insert(recno, slot);
  ++live_;
}

bool NtxStagedKeys::Remove(const char* key, uint32_t recno) {
  if (live_ == 0 || recno == kEmpty || recno == kGone) return false;
  uint32_t slot = 0;
  Cell* cell = nullptr;
  if (ascending_) {
    // The latest slot of the record.
    auto it = std::upper_bound(recnos_.begin(), recnos_.end(), recno);
    if (it == recnos_.begin()) return false;
    slot = static_cast<uint32_t>(it - recnos_.begin() - 1);
    if (recnos_[slot] != recno) return false;
  } else {
    cell = &cells_[Probe(recno)];
    if (cell->recno != recno) return false;
    slot = cell->slot;
  }
  if (gone_[slot] || std::memcmp(this->key(slot), key, key_length_) != 0) {
    return false;
  }
  gone_[slot] = true;
  if (cell != nullptr) {
    // A cell before an empty one ends no probe: it becomes empty itself.
    const size_t at = static_cast<size_t>(cell - cells_.data());
    if (cells_[(at + 1) & (cells_.size() - 1)].recno == kEmpty) {
      cell->recno = kEmpty;
      --used_cells_;
    } else {
      cell->recno = kGone;
    }
  }
  if (--live_ == 0) Clear();
  return true;
}

std::vector<uint32_t> NtxStagedKeys::Sorted() const {
  std::vector<uint32_t> order;
  order.reserve(live_);
  for (uint32_t i = 0; i < recnos_.size(); ++i) {
    if (!gone_[i]) order.push_back(i);
  }
  const size_t n = key_length_;
  // Stable: equal keys keep the order they were added in.
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return std::memcmp(key(a), key(b), n) < 0;
  });
  return order;
}

}  // namespace xbase32
