#include "ntx_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace xbase32 {

using namespace ntx;

bool DecodeHeader(const uint8_t* page, NtxHeader* h) {
  NtxHeader r;
  r.signature = Get16(page + kOffSignature);
  r.counter = Get16(page + kOffCounter);
  r.root = Get32(page + kOffRoot);
  r.free_page = Get32(page + kOffFree);
  r.geo.item_size = Get16(page + kOffItemSize);
  r.geo.key_length = Get16(page + kOffKeyLength);
  r.key_decimals = Get16(page + kOffKeyDecimals);
  r.geo.max_keys = Get16(page + kOffMaxKeys);
  r.geo.half_page = Get16(page + kOffHalfPage);
  if (r.signature != kSignature && r.signature != kSignatureAlt) return false;
  if (r.geo.key_length <= 0 || r.geo.key_length > kMaxKeyLength) return false;
  if (r.geo.item_size != r.geo.key_length + 8) return false;
  if (r.geo.half_page <= 0 || r.geo.max_keys != 2 * r.geo.half_page) {
    return false;
  }
  if (!GeometryFits(r.geo)) return false;
  const char* e = reinterpret_cast<const char*>(page + kOffExpr);
  r.expr.assign(e, strnlen(e, kMaxExprLength));
  r.unique_word = Get16(page + kOffUniqueWord);
  r.unique = page[kOffUnique] != 0;
  r.descending_word = Get16(page + kOffDescending);
  r.descending = r.descending_word != 0;
  const char* f = reinterpret_cast<const char*>(page + kOffFilter);
  r.filter.assign(f, strnlen(f, kFilterSize - 1));
  *h = r;
  return true;
}

void EncodeHeaderChange(const NtxHeader& h, uint8_t* first12,
                        uint8_t* unique_word, uint8_t* descending_word) {
  Put16(first12 + kOffSignature, h.signature);
  Put16(first12 + kOffCounter, h.counter);
  Put32(first12 + kOffRoot, h.root);
  Put32(first12 + kOffFree, h.free_page);
  Put16(unique_word, h.unique_word);
  Put16(descending_word, h.descending_word);
}

void EncodeHeader(const NtxHeader& h, uint8_t* page) {
  std::memset(page, 0, kPageSize);
  EncodeHeaderChange(h, page, page + kOffUniqueWord, page + kOffDescending);
  Put16(page + kOffItemSize, h.geo.item_size);
  Put16(page + kOffKeyLength, h.geo.key_length);
  Put16(page + kOffKeyDecimals, h.key_decimals);
  Put16(page + kOffMaxKeys, h.geo.max_keys);
  Put16(page + kOffHalfPage, h.geo.half_page);
  std::memcpy(page + kOffExpr, h.expr.data(),
              std::min<size_t>(h.expr.size(), kMaxExprLength));
  // The unique word's low byte is the expression's terminating zero.
  page[kOffUniqueWord] = 0;
  const size_t fl = std::min<size_t>(h.filter.size(), kFilterSize - 1);
  std::memcpy(page + kOffFilter, h.filter.data(), fl);
}

void NtxPage::Init(const Geometry& g) {
  offset = 0;
  count = 0;
  key_length = g.key_length;
  child.assign(static_cast<size_t>(g.max_keys) + 2, 0);
  recno.assign(static_cast<size_t>(g.max_keys) + 1, 0);
  keys.assign((static_cast<size_t>(g.max_keys) + 1) * g.key_length, 0);
}

void NtxPage::InsertAt(int i, const char* k, uint32_t r, uint32_t right_child) {
  const size_t L = static_cast<size_t>(key_length);
  std::memmove(key(i + 1), key(i), (count - i) * L);
  std::memcpy(key(i), k, L);
  std::memmove(&recno[i + 1], &recno[i], (count - i) * sizeof(uint32_t));
  recno[i] = r;
  std::memmove(&child[i + 2], &child[i + 1], (count - i) * sizeof(uint32_t));
  child[i + 1] = right_child;
  ++count;
}

void NtxPage::EraseAt(int i) {
  const size_t L = static_cast<size_t>(key_length);
  std::memmove(key(i), key(i + 1), (count - i - 1) * L);
  std::memmove(&recno[i], &recno[i + 1], (count - i - 1) * sizeof(uint32_t));
  std::memmove(&child[i + 1], &child[i + 2],
               (count - i - 1) * sizeof(uint32_t));
  --count;
  child[count + 1] = 0;
}

void EncodePage(const NtxPage& p, const Geometry& g, uint8_t* out) {
  std::memset(out, 0, kPageSize);
  Put16(out + kOffKeyCount, static_cast<uint32_t>(p.count));
  const size_t L = static_cast<size_t>(g.key_length);
  for (int i = 0; i <= g.max_keys; ++i) {
    const int slot = SlotOffset(g, i);
    Put16(out + kOffItemTable + 2 * i, static_cast<uint32_t>(slot));
    if (i <= p.count) Put32(out + slot + kItemChild, p.child[i]);
    if (i < p.count) {
      Put32(out + slot + kItemRecno, p.recno[i]);
      std::memcpy(out + slot + kItemKey, p.key(i), L);
    }
  }
}

bool DecodePage(const uint8_t* in, const Geometry& g, uint32_t offset,
                uint64_t file_size, NtxPage* p, std::string* fault) {
  char text[160];
  const int count = Get16(in + kOffKeyCount);
  if (count > g.max_keys) {
    std::snprintf(text, sizeof text,
                  "page %u holds %d keys, more than the maximum %d", offset,
                  count, g.max_keys);
    *fault = text;
    return false;
  }
  p->Init(g);
  p->offset = offset;
  p->count = count;
  const size_t L = static_cast<size_t>(g.key_length);
  for (int i = 0; i <= count; ++i) {
    const int at = Get16(in + kOffItemTable + 2 * i);
    if (at < kOffItemTable || at + g.item_size > static_cast<int>(kPageSize)) {
      std::snprintf(text, sizeof text,
                    "page %u: item %d lies outside the page (offset %d)",
                    offset, i, at);
      *fault = text;
      return false;
    }
    p->child[i] = Get32(in + at + kItemChild);
    if (i < count) {
      p->recno[i] = Get32(in + at + kItemRecno);
      std::memcpy(p->key(i), in + at + kItemKey, L);
    }
  }
  if (p->child[0] == 0) {
    for (int i = 1; i <= count; ++i) p->child[i] = 0;
    return true;
  }
  for (int i = 0; i <= count; ++i) {
    const uint32_t c = p->child[i];
    if (c == 0 || c % kPageSize != 0 || c >= file_size) {
      std::snprintf(text, sizeof text,
                    "page %u: child %d at offset %u is outside the file",
                    offset, i, c);
      *fault = text;
      return false;
    }
  }
  return true;
}

}  // namespace xbase32
