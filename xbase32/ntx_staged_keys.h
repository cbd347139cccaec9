// Entries added to an NTX index while its writer holds the index lock and
// not yet merged into the tree. Appends under a lock add a blank record's
// key and replace it a moment later; staged, the pair never reaches the
// tree, and the entries that stay are merged in key order (few pages
// touched, each once) or, into an empty tree, written bottom-up.
//
// The order of the merge is the order a sequence of single insertions
// would give: by key, equal keys in the order they were added (a key that
// is removed and added again counts as added last). One record has at most
// one staged entry (an index holds one key per record).
//
// Memory: bytes() estimates what the entries hold; the owner merges when
// it passes its budget. Not thread-safe; no failure modes (allocation
// failures throw, as everywhere in the engine's containers).

#ifndef XBASE32_NTX_STAGED_KEYS_H_
#define XBASE32_NTX_STAGED_KEYS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xbase32 {

class NtxStagedKeys {
 public:
  // Forgets every entry; keys from now on are key_length bytes.
  void Reset(size_t key_length);

  // Stages (key, recno); recno > 0 and not staged already.
  void Add(const char* key, uint32_t recno);
  // Takes back the staged entry (key, recno); false when it is not staged
  // (with that key).
  bool Remove(const char* key, uint32_t recno);

  bool empty() const { return live_ == 0; }
  size_t size() const { return live_; }
  // Memory the entries take (keys, record numbers, the lookup), estimated.
  size_t bytes() const;

  // Slots of the live entries in merge order (see above).
  std::vector<uint32_t> Sorted() const;
  const char* key(uint32_t slot) const {
    return keys_.data() + static_cast<size_t>(slot) * key_length_;
  }
  uint32_t recno(uint32_t slot) const { return recnos_[slot]; }

  // Forgets every entry (the key length stays).
  void Clear();

 private:
  // The lookup from record number to slot. While record numbers come in
  // ascending order (appends) a binary search over them; afterwards open
  // addressing with linear probing, whose cells hold a record number
  // (kEmpty, kGone) and its latest slot.
  static constexpr uint32_t kEmpty = 0;
  static constexpr uint32_t kGone = UINT32_MAX;
  struct Cell {
    uint32_t recno;
    uint32_t slot;
  };
  size_t Probe(uint32_t recno) const;  // its cell, or the empty cell ending
  void Grow();
  void Insert(uint32_t recno, uint32_t slot);  // into the cells

  size_t key_length_ = 0;
  std::vector<char> keys_;  // slot i at i x key length
  std::vector<uint32_t> recnos_;
  std::vector<bool> gone_;   // taken back
  bool ascending_ = true;    // recnos_ never went down: no cells
  std::vector<Cell> cells_;  // a power of two, at most 3/4 used
  size_t used_cells_ = 0;    // live and gone
  size_t live_ = 0;
};

}  // namespace xbase32

#endif  // XBASE32_NTX_STAGED_KEYS_H_
