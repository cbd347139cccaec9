#include "ntx_staged_keys.h"

#include <algorithm>
#include <cstring>

namespace xbase32 {

namespace {

// What one entry of the lookup costs besides its key and record number
// (node, bucket, allocator overhead).
constexpr size_t kLookupBytes = 48;

}  // namespace

void NtxStagedKeys::Reset(size_t key_length) {
  key_length_ = key_length;
  Clear();
}

void NtxStagedKeys::Clear() {
  keys_.clear();
  recnos_.clear();
  slot_of_.clear();
  live_ = 0;
}

size_t NtxStagedKeys::bytes() const {
  return keys_.size() + recnos_.size() * sizeof(uint32_t) +
         slot_of_.size() * kLookupBytes;
}

void NtxStagedKeys::Add(const char* key, uint32_t recno) {
  const uint32_t slot = static_cast<uint32_t>(recnos_.size());
  keys_.insert(keys_.end(), key, key + key_length_);
  recnos_.push_back(recno);
  slot_of_[recno] = slot;
  ++live_;
}

bool NtxStagedKeys::Remove(const char* key, uint32_t recno) {
  // The latest entry first: appends change the record just added.
  uint32_t slot = 0;
  if (!recnos_.empty() && recnos_.back() == recno) {
    slot = static_cast<uint32_t>(recnos_.size() - 1);
  } else {
    auto it = slot_of_.find(recno);
    if (it == slot_of_.end()) return false;
    slot = it->second;
  }
  if (recnos_[slot] != recno ||
      std::memcmp(this->key(slot), key, key_length_) != 0) {
    return false;
  }
  recnos_[slot] = 0;
  slot_of_.erase(recno);
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
