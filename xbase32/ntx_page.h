// In-memory forms of the NTX header page and of a node page, with their
// encoding and the checks applied when they are read (ntx_format.h has the
// byte layout).

#ifndef XBASE32_NTX_PAGE_H_
#define XBASE32_NTX_PAGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ntx_format.h"

namespace xbase32 {

struct NtxHeader {
  uint16_t signature = ntx::kSignature;
  uint16_t counter = 0;
  uint32_t root = 0;
  uint32_t free_page = 0;
  ntx::Geometry geo;
  int key_decimals = 0;
  std::string expr;    // as stored (at most 255 characters)
  std::string filter;  // empty when none
  bool unique = false;
  bool descending = false;
  // The raw words, written back as they were read.
  uint16_t unique_word = 0;
  uint16_t descending_word = 0;
};

// Reads the header page (kPageSize bytes). False when the header checks
// fail: signature 6 or 262, 0 < key length <= 338, item size = key
// length + 8, half page > 0, maximum keys = 2 x half page, and (so that
// pages can be read safely) the offset table and max + 1 slots fit a page.
bool DecodeHeader(const uint8_t* page, NtxHeader* h);
// Writes the header page: the first 22 bytes, the expression zero-padded to
// offset 277, the unique word, the descending word, the filter expression,
// zeros to the end of the page.
void EncodeHeader(const NtxHeader& h, uint8_t* page);
// Writes only the parts a change rewrites: the first 12 bytes, the unique
// word at 277 and the descending word at 280 (the rest of page is kept).
void EncodeHeaderChange(const NtxHeader& h, uint8_t* first12,
                        uint8_t* unique_word, uint8_t* descending_word);

// A node page. Arrays are sized for one key more than the maximum, which a
// page holds for a moment before it is split.
struct NtxPage {
  uint32_t offset = 0;
  int count = 0;
  std::vector<uint32_t> child;  // count + 1 used; all 0 in a leaf
  std::vector<uint32_t> recno;  // count used
  std::vector<char> keys;       // count x key length used
  int key_length = 0;

  void Init(const ntx::Geometry& g);  // empty leaf
  bool leaf() const { return child[0] == 0; }
  char* key(int i) { return keys.data() + static_cast<size_t>(i) * key_length; }
  const char* key(int i) const {
    return keys.data() + static_cast<size_t>(i) * key_length;
  }
  // Inserts key/recno at i; the child pointer right of the new key is
  // right_child (children i+1.. move right).
  void InsertAt(int i, const char* k, uint32_t r, uint32_t right_child);
  // Removes key i and the child right of it.
  void EraseAt(int i);
};

// Writes the page in logical order into the standard slots.
void EncodePage(const NtxPage& p, const ntx::Geometry& g, uint8_t* out);
// Reads a page found at offset. The checks: key count within the maximum,
// every used item inside the page, and in a branch page every child offset a
// multiple of the page size, after the header and before file_size. False
// with *fault set otherwise.
bool DecodePage(const uint8_t* in, const ntx::Geometry& g, uint32_t offset,
                uint64_t file_size, NtxPage* p, std::string* fault);

}  // namespace xbase32

#endif  // XBASE32_NTX_PAGE_H_
