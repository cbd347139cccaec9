// Wdbase: the record filter (both callback forms), its cache, and the
// filtered moves that Top, Bottom, Skip and Seek hand over to while a
// filter is active.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "dbf_file.h"
#include "engine.h"
#include "engine_error.h"
#include "file_set.h"
#include "filter_access.h"
#include "filter_cache.h"
#include "ntx_file.h"
#include "platform/hooks.h"
#include "spf_filter.h"
#include "wdbase_access.h"
#include "wdbase_order.h"

using xbase32::DbfFile;
using xbase32::FilterCache;
using xbase32::Move;

namespace xbase32 {

// Largest cache a caller may ask for.
constexpr int kMaxFilterCache = 1 << 20;

int SpecialTop(Wdbase* w);
int SpecialBottom(Wdbase* w);
int SpecialSkip(Wdbase* w, int32_t n);
int SpecialSeek(Wdbase* w, const std::string& key);

namespace {

// The uncached filtered moves over the current order.
class RecordMoves final : public FilteredMoves {
 public:
  explicit RecordMoves(Wdbase* w) : w_(w), d_(WdbaseAccess::Data(w)), o_(w) {}

  bool Top() override { return Settle(o_.First(), false); }
  bool Bottom() override { return Settle(o_.Last(), true); }
  bool Next() override {
    if (d_->eof()) return false;
    return Settle(o_.Next(), false);
  }
  bool Prev() override {
    const bool was_eof = d_->eof();
    const int32_t start = d_->recno();
    Move m = o_.Prev();
    while (m == Move::kDone && WdbaseFilterAccess::Hides(w_)) m = o_.Prev();
    if (m == Move::kDone) return true;
    // Ran into the beginning: back where it started.
    if (was_eof || start <= 0) {
      d_->GoEof();
    } else {
      d_->Go(start);
    }
    d_->set_bof(true);
    return false;
  }
  bool Go(int32_t recno) override { return d_->Go(recno); }
  void GoEof() override { d_->GoEof(); }
  void SetBof() override { d_->set_bof(true); }
  bool Eof() const override { return d_->eof(); }
  int32_t RecNo() const override { return d_->recno(); }
  bool Accepted() const override {
    return !d_->eof() && d_->recno() > 0 && !WdbaseFilterAccess::Hides(w_);
  }

 private:
  // Steps on (backward when back) while the filter hides the record; end
  // of file when no accepted record is left.
  bool Settle(Move m, bool back) {
    while (m == Move::kDone && WdbaseFilterAccess::Hides(w_)) {
      m = back ? o_.Prev() : o_.Next();
    }
    if (m == Move::kDone) return true;
    d_->GoEof();
    return false;
  }

  Wdbase* w_;
  DbfFile* d_;
  Order o_;
};

// While the debug level is above 0 a filtered seek shows the key found.
void ShowSeekKey(NtxFile* ix, const std::string& key) {
  if (Config().debug_level <= 0) return;
  char caption[32];
  std::snprintf(caption, sizeof caption, "key_len=%d", ix->key_info().length);
  const std::string text = "key_expr=[" + key + "]";
  platform::ShowMessageBox(caption, text.c_str(), platform::kMbOk);
}

}  // namespace

int FilteredTop(Wdbase* w) {
  if (WdbaseFilterAccess::Special(w)) return SpecialTop(w);
  RecordMoves m(w);
  if (FilterCache* c = WdbaseFilterAccess::Cache(w)) return c->Top(&m);
  return m.Top() ? 1 : 0;
}

int FilteredBottom(Wdbase* w) {
  if (WdbaseFilterAccess::Special(w)) return SpecialBottom(w);
  RecordMoves m(w);
  if (FilterCache* c = WdbaseFilterAccess::Cache(w)) return c->Bottom(&m);
  return m.Bottom() ? 1 : 0;
}

int FilteredSkip(Wdbase* w, int32_t n) {
  if (WdbaseFilterAccess::Special(w)) return SpecialSkip(w, n);
  RecordMoves m(w);
  if (FilterCache* c = WdbaseFilterAccess::Cache(w)) {
    if (n == 1) return c->Next(&m);
    if (n == -1) return c->Prev(&m);
    return c->Skip(&m, n);
  }
  if (n > 0) {
    if (m.Eof()) return 0;
    for (int32_t k = 0; k < n; ++k) {
      if (!m.Next()) return 0;
    }
    return 1;
  }
  // Backward: a step that runs into the beginning stays on the last
  // accepted record passed (or where the skip started).
  for (int32_t k = 0; k > n; --k) {
    if (!m.Prev()) return 0;
  }
  return 1;
}

int FilteredSeek(Wdbase* w, NtxFile* ix, const std::string& key,
                 size_t sought_length) {
  DbfFile* d = WdbaseAccess::Data(w);
  if (WdbaseFilterAccess::Special(w)) {
    const int r = SpecialSeek(w, key);
    if (r == 1 || r == 2) {
      std::string k(static_cast<size_t>(ix->key_info().length), ' ');
      ix->KeyOf(d->record(), d->recno(), k.data());
      ShowSeekKey(ix, k);
    }
    return r;
  }
  int32_t recno = 0;
  const NtxFile::SeekResult r = ix->Seek(key, &recno);
  if (r == NtxFile::kSeekFailed) return 0;
  if (r == NtxFile::kEnd) {
    d->GoEof();
    return 3;
  }
  if (!d->Go(recno)) return 0;
  // On to the first accepted record, whose key decides the answer.
  RecordMoves m(w);
  if (WdbaseFilterAccess::Hides(w) && !m.Next()) return 3;
  std::string k(static_cast<size_t>(ix->key_info().length), ' ');
  ix->KeyOf(d->record(), d->recno(), k.data());
  ShowSeekKey(ix, k);
  if (ix->key_info().type == 'C' && sought_length > k.size()) return 2;
  const size_t n = std::min(key.size(), k.size());
  return std::memcmp(k.data(), key.data(), n) == 0 ? 1 : 2;
}

}  // namespace xbase32

int WdbaseFilterAccess::Install(Wdbase* w, Wdbase::FilterFunc plain,
                                Wdbase::FilterFuncWithData with_data,
                                void* user, int cache_size) {
  if (!w->Ready()) return 0;
  const bool any = plain != nullptr || with_data != nullptr;
  if (w->special_filter_ && any) return 1;
  if (cache_size > xbase32::kMaxFilterCache) {
    xbase32::ReportError(xbase32::kErrParameter, "filter cache size");
    return 0;
  }
  FilterCache* cache = nullptr;
  if (any && cache_size > 0) {
    cache = new (std::nothrow) FilterCache(cache_size);
    if (cache == nullptr) {
      xbase32::ReportError(xbase32::kErrMemory, "filter cache");
      return 0;
    }
  }
  delete w->filter_cache_;
  w->filter_cache_ = nullptr;
  w->filter_ = plain;
  w->filter_with_data_ = with_data;
  w->filter_user_ = with_data ? user : nullptr;
  if (!any) return 1;
  int result = 1;
  DbfFile* d = w->data_;
  xbase32::RecordMoves m(w);
  // Only a hidden current record moves the table; at end of file there is
  // none, and the table stays there.
  const bool at_eof = d->eof() || d->recno() <= 0;
  if (!at_eof && Hides(w) && !m.Top()) result = 0;
  if (cache) {
    w->filter_cache_ = cache;
    cache->Fill(&m);
  }
  return result;
}

int Wdbase::SetFilter(FilterFunc f, int cache_size) {
  return WdbaseFilterAccess::Install(this, f, nullptr, nullptr, cache_size);
}

int Wdbase::SetFilter(FilterFuncWithData f, void* user, int cache_size) {
  return WdbaseFilterAccess::Install(this, nullptr, f, user, cache_size);
}

Wdbase::FilterFunc Wdbase::GetFilter(int* cache_size) const {
  if (cache_size) *cache_size = filter_cache_ ? filter_cache_->size() : 0;
  return filter_;
}

Wdbase::FilterFuncWithData Wdbase::GetFilterWithData(void** user,
                                                     int* cache_size) const {
  if (user) *user = filter_user_;
  if (cache_size) *cache_size = filter_cache_ ? filter_cache_->size() : 0;
  return filter_with_data_;
}

int Wdbase::GetFilterCacheInfo(int* size, int* at_start, int* at_end,
                               int* current, const int32_t** slots) const {
  if (filter_cache_ == nullptr) return 0;
  if (size) *size = filter_cache_->size();
  if (at_start) *at_start = filter_cache_->at_start() ? 1 : 0;
  if (at_end) *at_end = filter_cache_->at_end() ? 1 : 0;
  if (current) *current = filter_cache_->current();
  if (slots) *slots = filter_cache_->slots();
  return 1;
}

int Wdbase::FillFilterCacheFromCurrentPosition() {
  if (!Ready() || special_filter_ || filter_cache_ == nullptr) return 0;
  if (!WdbaseFilterAccess::HasRecordFilter(this)) return 0;
  xbase32::RecordMoves m(this);
  filter_cache_->Fill(&m);
  return 1;
}

int Wdbase::AligneFilterCache() {
  if (!Ready()) return 0;
  if (special_filter_) return 1;
  if (filter_cache_ == nullptr || !WdbaseFilterAccess::HasRecordFilter(this)) {
    return 0;
  }
  xbase32::RecordMoves m(this);
  return filter_cache_->Align(&m) ? 1 : 0;
}
