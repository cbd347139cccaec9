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
  cells_.clear();
  used_cells_ = 0;
  live_ = 0;
}

size_t NtxStagedKeys::bytes() const {
  return keys_.capacity() + recnos_.capacity() * sizeof(uint32_t) +
         cells_.size() * sizeof(Cell);
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

void NtxStagedKeys::Add(const char* key, uint32_t recno) {
  const uint32_t slot = static_cast<uint32_t>(recnos_.size());
  keys_.insert(keys_.end(), key, key + key_length_);
  recnos_.push_back(recno);
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
  ++live_;
}

bool NtxStagedKeys::Remove(const char* key, uint32_t recno) {
  if (live_ == 0 || recno == kEmpty || recno == kGone) return false;
  Cell& c = cells_[Probe(recno)];
  if (c.recno != recno) return false;
  const uint32_t slot = c.slot;
  if (recnos_[slot] != recno ||
      std::memcmp(this->key(slot), key, key_length_) != 0) {
    return false;
  }
  recnos_[slot] = 0;
  // A cell before an empty one ends no probe: it becomes empty itself.
  const size_t at = static_cast<size_t>(&c - cells_.data());
  if (cells_[(at + 1) & (cells_.size() - 1)].recno == kEmpty) {
    c.recno = kEmpty;
    --used_cells_;
  } else {
    c.recno = kGone;
  }
  --live_;
  if (live_ == 0) Clear();
  return true;
}

std::vector<uint32_t> NtxStagedKeys::Sorted() const {
  std::vector<uint32_t> order;
  order.reserve(live_);
  for (uint32_t i = 0; i < recnos_.size(); ++i) {
    if (recnos_[i] != 0) order.push_back(i);
  }
  const size_t n = key_length_;
  // Stable: equal keys keep the order they were added in.
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return std::memcmp(key(a), key(b), n) < 0;
  });
  return order;
}

}  // namespace xbase32
