// Byte layout of an NTX index file. Integers are
// little-endian; the file is a sequence of 1024-byte pages, page references
// are byte offsets from the start of the file (multiples of 1024).
//
// Header page (offset 0):
//   0    2   signature: 6 written; 6 or 262 accepted
//   2    2   change counter: last value seen + 1 on every change
//   4    4   offset of the root page
//   8    4   free-page offset: 0 on creation, carried unchanged
//   12   2   item size = key length + 8
//   14   2   key length, 1..338
//   16   2   key decimals (numeric keys)
//   18   2   maximum keys per page (= 2 x half page)
//   20   2   half page: minimum keys per page, > 0
//   22   256 key expression, NUL-terminated, zero-padded (at most 255 chars)
//   277  2   unique word: low byte = the expression's terminating zero,
//            high byte (offset 278) = unique flag
//   279  1   zero (the high byte of the unique word; see above)
//   280  2   descending flag
//   282  256 filter expression, NUL-terminated, empty when none
//   538  478 zero
//   1016 1   crash mark: 1 while some handle that has changed the tree
//            may still change it (set before its first page write, cleared
//            by the last such handle to close, ntx_mark.h), 2 when the index
//            was marked stale on purpose, else 0; a 1 no live handle
//            explains (a writer died) or a 2 makes Open rebuild the index
//   1017 7   zero
//
// Node page:
//   0    2               number of keys k
//   2    2 x (max + 1)   item offsets inside the page, in logical order
//   then (max + 1) x g   item slots, g = item size
// Item (g bytes): 4 child page offset (0 in a leaf), 4 record number, key.
// A page is a leaf when the child offset of its first item is 0. A branch
// page with k keys uses k + 1 items; item k holds only the child with the
// keys greater than all keys of the page.
//
// Geometry from the key length L: g = L + 8; m = floor(1020 / (g + 2)) - 1;
// half page h = floor(m / 2); maximum keys = 2h. The slots of an empty page
// start at 2 + 2 x (max + 1) and follow each other: slot i is at
// 2 + 2 x (max + 1) + g x i. Key length 10: g = 18, max 50, half 25, first
// item at 104.

#ifndef XBASE32_NTX_FORMAT_H_
#define XBASE32_NTX_FORMAT_H_

#include <cstdint>

#include "little_endian.h"

namespace xbase32::ntx {

constexpr uint32_t kPageSize = 1024;

constexpr uint16_t kSignature = 6;
constexpr uint16_t kSignatureAlt = 262;

// Header offsets.
constexpr int kOffSignature = 0;
constexpr int kOffCounter = 2;
constexpr int kOffRoot = 4;
constexpr int kOffFree = 8;
constexpr int kOffItemSize = 12;
constexpr int kOffKeyLength = 14;
constexpr int kOffKeyDecimals = 16;
constexpr int kOffMaxKeys = 18;
constexpr int kOffHalfPage = 20;
constexpr int kOffExpr = 22;
constexpr int kExprSize = 256;  // field size; at most 255 characters
constexpr int kMaxExprLength = 255;
constexpr int kOffUniqueWord = 277;
constexpr int kOffUnique = 278;
constexpr int kOffDescending = 280;
constexpr int kOffFilter = 282;
constexpr int kFilterSize = 256;
constexpr int kOffCrashMark = 1016;
// The part of the header read to detect another process's change.
constexpr int kHeaderProbe = 12;

// Key lengths.
constexpr int kMaxKeyLength = 338;        // longest key a header may declare
constexpr int kMaxCreateKeyLength = 330;  // longest key giving 2 keys a page

// Node page offsets.
constexpr int kOffKeyCount = 0;
constexpr int kOffItemTable = 2;
constexpr int kItemChild = 0;
constexpr int kItemRecno = 4;
constexpr int kItemKey = 8;

// Index lock: this byte range of the index file.
constexpr uint64_t kLockOffset = 1000000000ULL;
constexpr uint64_t kLockLength = 1000000000ULL;
// Mark holders: every handle that has set the crash mark holds this byte
// shared until it closes (after the index lock range).
constexpr uint64_t kMarkHolderOffset = kLockOffset + kLockLength;
constexpr uint64_t kMarkHolderLength = 1;

// Deepest tree the engine follows; deeper paths mean a cycle or a corrupt
// file. (A tree of 2^32 keys with 2 keys a page is 32 levels deep.)
constexpr int kMaxDepth = 40;

struct Geometry {
  int key_length = 0;
  int item_size = 0;
  int max_keys = 0;
  int half_page = 0;
};

// The geometry computed on creation from the key length.
inline Geometry GeometryFor(int key_length) {
  Geometry g;
  g.key_length = key_length;
  g.item_size = key_length + 8;
  const int m = 1020 / (g.item_size + 2) - 1;
  g.half_page = m / 2;
  g.max_keys = 2 * g.half_page;
  return g;
}

// Where item slot i of an empty page starts.
inline int SlotOffset(const Geometry& g, int i) {
  return kOffItemTable + 2 * (g.max_keys + 1) + g.item_size * i;
}

// Whether the (max + 1) slots and their offset table fit one page.
inline bool GeometryFits(const Geometry& g) {
  return g.max_keys >= 1 &&
         SlotOffset(g, g.max_keys + 1) <= static_cast<int>(kPageSize);
}

using xbase32::Get16;
using xbase32::Get32;
using xbase32::Put16;
using xbase32::Put32;

}  // namespace xbase32::ntx

#endif  // XBASE32_NTX_FORMAT_H_
