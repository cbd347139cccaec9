// The special filter: moves, seek and positions in the special order.
// Navigation stops at the first high-value key (a non-matching record), so
// it needs no limit; positions use the limit and the samples.

#include <algorithm>
#include <cstring>

#include "dbf_file.h"
#include "ntx_file.h"
#include "spf_filter.h"
#include "spf_index.h"

namespace xbase32 {

bool SpecialFilter::IsHigh(const Slot* sl, const char* key) const {
  return key != nullptr &&
         std::memcmp(key, sl->high.data(), sl->high.size()) == 0;
}

std::string SpecialFilter::KeyOfCurrent(Slot* sl) {
  std::string key(sl->high.size(), ' ');
  sl->index->KeyOf(data_->record(), data_->recno(), key.data());
  return key;
}

Move SpecialFilter::Go(int32_t recno) {
  return data_->Go(recno) ? Move::kDone : Move::kError;
}

Move SpecialFilter::First(int s) {
  Slot* sl = slot(s);
  const int32_t r = sl->index->First();
  if (r < 0) return Move::kError;
  if (r == 0 || IsHigh(sl, sl->index->cursor_key())) return Move::kNone;
  return Go(r);
}

Move SpecialFilter::Last(int s) {
  Slot* sl = slot(s);
  int32_t r = 0;
  // The entry before the first high-value key, or the last entry when
  // every record matches.
  const NtxFile::SeekResult res = sl->index->Seek(sl->high, &r);
  if (res == NtxFile::kSeekFailed) return Move::kError;
  r = res == NtxFile::kEnd ? sl->index->Last() : sl->index->Prev();
  if (r < 0) return Move::kError;
  if (r == 0 || IsHigh(sl, sl->index->cursor_key())) return Move::kNone;
  return Go(r);
}

Move SpecialFilter::Next(int s) {
  Slot* sl = slot(s);
  if (data_->eof() || data_->recno() <= 0) return Move::kNone;
  if (!data_->WritePending()) return Move::kError;
  sl->index->SyncTo(data_->recno(), data_->record());
  const int32_t r = sl->index->Next();
  if (r < 0) return Move::kError;
  if (r == 0 || IsHigh(sl, sl->index->cursor_key())) return Move::kNone;
  return Go(r);
}

Move SpecialFilter::Prev(int s) {
  Slot* sl = slot(s);
  if (data_->eof()) return Last(s);
  if (data_->recno() <= 0) return Move::kNone;
  if (!data_->WritePending()) return Move::kError;
  sl->index->SyncTo(data_->recno(), data_->record());
  const int32_t r = sl->index->Prev();
  if (r < 0) return Move::kError;
  if (r == 0) return Move::kNone;
  // From a record that stopped matching: the last match.
  if (IsHigh(sl, sl->index->cursor_key())) return Last(s);
  return Go(r);
}

bool SpecialFilter::Matches(int s) {
  Slot* sl = slot(s);
  if (data_->eof() || data_->recno() <= 0) return false;
  if (!data_->WritePending()) return false;
  return !IsHigh(sl, KeyOfCurrent(sl).data());
}

int SpecialFilter::Seek(int s, const std::string& key) {
  Slot* sl = slot(s);
  std::string k = key;
  if (sl->descend) {
    // The special key of an inverted order is DESCEND of the order's key.
    for (char& c : k) {
      c = static_cast<char>(static_cast<uint8_t>(0u - static_cast<uint8_t>(c)));
    }
  }
  int32_t r = 0;
  const NtxFile::SeekResult res = sl->index->Seek(k, &r);
  if (res == NtxFile::kSeekFailed) return 0;
  if (res == NtxFile::kEnd || IsHigh(sl, sl->index->cursor_key())) {
    data_->GoEof();
    return 3;
  }
  if (!data_->Go(r)) return 0;
  return res == NtxFile::kFound ? 1 : 2;
}

int32_t SpecialFilter::limit(int s) const {
  const Slot* sl = slot(s);
  return sl ? sl->limit : kSpfNoMatch;
}

const std::vector<SpfSample>& SpecialFilter::samples(int s) const {
  static const std::vector<SpfSample> kNone;
  const Slot* sl = slot(s);
  return sl ? sl->samples : kNone;
}

int32_t SpecialFilter::StartAt(Slot* sl, const std::string* key,
                               int32_t position, int32_t* pos) {
  const std::vector<SpfSample>& v = sl->samples;
  const size_t n = sl->high.size();
  // The first sample after the key (or position); the one before it is
  // where counting starts.
  auto after = key ? std::upper_bound(
                         v.begin(), v.end(), *key,
                         [n](const std::string& k, const SpfSample& smp) {
                           return std::memcmp(k.data(), smp.key.data(), n) < 0;
                         })
                   : std::upper_bound(v.begin(), v.end(), position,
                                      [](int32_t p, const SpfSample& smp) {
                                        return p < smp.position;
                                      });
  if (after != v.begin()) {
    const SpfSample& from = *(after - 1);
    int32_t r = 0;
    if (sl->index->Seek(from.key, &r) == NtxFile::kFound && r == from.recno) {
      *pos = from.position;
      return r;
    }
  }
  *pos = 1;
  return sl->index->First();
}

int32_t SpecialFilter::Position(int s) {
  Slot* sl = slot(s);
  if (sl->limit == kSpfNoMatch) return 0;
  if (data_->eof()) {
    return sl->limit == kSpfAllMatch ? data_->Count() + 1 : sl->limit;
  }
  const int32_t recno = data_->recno();
  if (recno <= 0) return 0;
  const std::string key = KeyOfCurrent(sl);
  if (IsHigh(sl, key.data())) return 0;
  int32_t pos = 0;
  int32_t r = StartAt(sl, &key, 0, &pos);
  while (r > 0 && r != recno) {
    const char* k = sl->index->cursor_key();
    if (k == nullptr || std::memcmp(k, key.data(), key.size()) > 0) return 0;
    r = sl->index->Next();
    ++pos;
  }
  return r == recno ? pos : 0;
}

bool SpecialFilter::SetPosition(int s, int32_t pos) {
  Slot* sl = slot(s);
  if (pos < 1 || sl->limit == kSpfNoMatch) return false;
  if (sl->limit == kSpfAllMatch ? pos > data_->Count() : pos >= sl->limit) {
    return false;
  }
  int32_t at = 0;
  int32_t r = StartAt(sl, nullptr, pos, &at);
  while (r > 0 && at < pos) {
    r = sl->index->Next();
    ++at;
  }
  if (r <= 0 || IsHigh(sl, sl->index->cursor_key())) return false;
  return data_->Go(r);
}

int32_t SpecialFilter::LastPosition(int s) {
  const Slot* sl = slot(s);
  if (sl->limit == kSpfNoMatch) return 0;
  if (sl->limit == kSpfAllMatch) return data_->Count();
  return sl->limit - 1;
}

}  // namespace xbase32
