// Wdbase: the special filter's operations, and the moves and positions in
// the special order of the selected order.

#include <cstring>
#include <string>

#include "dbf_file.h"
#include "engine_error.h"
#include "file_set.h"
#include "filter_access.h"
#include "filter_cache.h"
#include "platform/codepage.h"
#include "spf_filter.h"
#include "wdbase_access.h"
#include "wdbase_order.h"

using xbase32::DbfFile;
using xbase32::Move;
using xbase32::SpecialFilter;

namespace xbase32 {
namespace {

// The special filter of w made current for the selected order *s; null
// when it cannot be. A failed build or refresh (say, another process grew
// the table past the limit) keeps the filter in force: the table stands at
// end of file with the failure pending, and every later move fails the
// same way until the caller ends the filter. Ending it silently would show
// every record to a caller that acts on the matching ones.
SpecialFilter* Use(Wdbase* w, int* s, bool positions) {
  *s = w->SelectedIdx();
  SpecialFilter* sf = WdbaseFilterAccess::Special(w);
  if (sf == nullptr) return nullptr;
  if (!sf->Has(*s) &&
      !WdbaseFilterAccess::BuildSelectedOrder(w, sf->condition(), false)) {
    WdbaseAccess::Data(w)->GoEof();
    return nullptr;
  }
  if (!sf->Refresh(*s, positions)) {
    WdbaseAccess::Data(w)->GoEof();
    return nullptr;
  }
  return sf;
}

}  // namespace

int SpecialTop(Wdbase* w) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, false);
  if (sf == nullptr) return 0;
  if (sf->First(s) == Move::kDone) return 1;
  WdbaseAccess::Data(w)->GoEof();
  return 0;
}

int SpecialBottom(Wdbase* w) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, false);
  if (sf == nullptr) return 0;
  if (sf->Last(s) == Move::kDone) return 1;
  WdbaseAccess::Data(w)->GoEof();
  return 0;
}

int SpecialSkip(Wdbase* w, int32_t n) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, false);
  if (sf == nullptr) return 0;
  DbfFile* d = WdbaseAccess::Data(w);
  if (n > 0) {
    if (d->eof()) return 0;
    for (int32_t k = 0; k < n; ++k) {
      if (sf->Next(s) != Move::kDone) {
        d->GoEof();
        return 0;
      }
    }
    return 1;
  }
  // Backward; from end of file the first step reaches the last match. A
  // skip that runs into the beginning stops on the first match.
  for (int32_t k = 0; k > n; --k) {
    const Move m = sf->Prev(s);
    if (m == Move::kDone) continue;
    if (m == Move::kNone) d->set_bof(true);
    return 0;
  }
  return 1;
}

int SpecialSeek(Wdbase* w, const std::string& key) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, false);
  return sf ? sf->Seek(s, key) : 0;
}

int SpecialGoto(Wdbase* w, int32_t recno) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, false);
  if (sf == nullptr) return 0;
  DbfFile* d = WdbaseAccess::Data(w);
  const int32_t count = d->Count();
  if (count < 0) return 0;
  if (recno > count) {
    d->GoEof();
    return 0;
  }
  const bool valid = recno > 0;
  if (!d->Go(valid ? recno : 1)) {
    d->GoEof();
    return 0;
  }
  // A record the condition leaves out is not visible.
  if (!sf->Matches(s)) {
    d->GoEof();
    return 0;
  }
  return valid ? 1 : 0;
}

int32_t SpecialGetPosition(Wdbase* w) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, true);
  return sf ? sf->Position(s) : 0;
}

int SpecialSetPosition(Wdbase* w, int32_t pos) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, true);
  return sf && sf->SetPosition(s, pos) ? 1 : 0;
}

int32_t SpecialGetLastPosition(Wdbase* w) {
  int s = 0;
  SpecialFilter* sf = Use(w, &s, true);
  return sf ? sf->LastPosition(s) : 0;
}

}  // namespace xbase32

bool WdbaseFilterAccess::QuitSpecial(Wdbase* w) {
  SpecialFilter* sf = w->special_filter_;
  if (sf == nullptr) return false;
  w->special_filter_ = nullptr;
  const bool removed = sf->RemoveAll();
  delete sf;
  return removed;
}

void WdbaseFilterAccess::OnClose(Wdbase* w) {
  QuitSpecial(w);
  if (w->filter_cache_) w->filter_cache_->Clear();
}

void WdbaseFilterAccess::OnDestroy(Wdbase* w) {
  QuitSpecial(w);
  delete w->filter_cache_;
  w->filter_cache_ = nullptr;
  w->filter_ = nullptr;
  w->filter_with_data_ = nullptr;
  w->filter_user_ = nullptr;
}

WdbaseFilterAccess::Saved WdbaseFilterAccess::Suspend(Wdbase* w) {
  Saved s{w->filter_, w->filter_with_data_, w->filter_user_, w->filter_cache_,
          w->special_filter_};
  w->filter_ = nullptr;
  w->filter_with_data_ = nullptr;
  w->filter_user_ = nullptr;
  w->filter_cache_ = nullptr;
  w->special_filter_ = nullptr;
  return s;
}

void WdbaseFilterAccess::Resume(Wdbase* w, const Saved& s) {
  w->filter_ = s.plain;
  w->filter_with_data_ = s.with_data;
  w->filter_user_ = s.user;
  w->filter_cache_ = s.cache;
  w->special_filter_ = s.special;
}

bool WdbaseFilterAccess::BuildSelectedOrder(Wdbase* w, const std::string& cond,
                                            bool inverted) {
  SpecialFilter::OrderKey order;
  order.number = w->def_->selected;
  if (order.number > 0) {
    order.expr = w->def_->idx_exprs[order.number - 1];
    order.index = xbase32::IndexOf(w, order.number);
  }
  // The condition is compared with the tables' texts.
  std::string oem = cond;
  if (w->mode_ == Wdbase_OEMtoChar_On) {
    platform::AnsiToOem(oem.data(), oem.size());
  }
  return w->special_filter_->Build(order, oem, inverted);
}

bool Wdbase::SpecialFilterInit(const char* cond, bool inverted, bool reset) {
  if (!Ready() || cond == nullptr || *cond == '\0') return false;
  const std::string given = cond;
  if (special_filter_ && (reset || special_filter_->condition() != given)) {
    WdbaseFilterAccess::QuitSpecial(this);
  }
  const bool fresh = special_filter_ == nullptr;
  if (fresh) {
    special_filter_ = new SpecialFilter(data_, def_->path);
    special_filter_->set_condition(given);
  }
  const int32_t back = data_->recno();
  const bool at_eof = data_->eof();
  if (!WdbaseFilterAccess::BuildSelectedOrder(this, given, inverted)) {
    // Any failure of an explicit build ends the whole special filter.
    WdbaseFilterAccess::QuitSpecial(this);
    return false;
  }
  // Back to the record that was current when it matches, else the first
  // match.
  if (!at_eof && back > 0 && back <= data_->Count() && data_->Go(back) &&
      special_filter_->Matches(def_->selected)) {
    return true;
  }
  xbase32::SpecialTop(this);
  return special_filter_ != nullptr;
}

bool Wdbase::SpecialFilterQuit() {
  xbase32::ClearError();
  return WdbaseFilterAccess::QuitSpecial(this);
}

bool Wdbase::SpecialFilterReinit(bool keep_existing) {
  if (!Ready() || special_filter_ == nullptr) return false;
  const int s = def_->selected;
  if (keep_existing && special_filter_->Has(s)) return true;
  const std::string cond = special_filter_->condition();
  return SpecialFilterInit(cond.c_str(), special_filter_->inverted(s), false);
}

bool Wdbase::SpecialFilterChangeOrder() {
  if (!Ready() || special_filter_ == nullptr) return false;
  const int s = def_->selected;
  const std::string cond = special_filter_->condition();
  return SpecialFilterInit(cond.c_str(), !special_filter_->inverted(s), false);
}

bool Wdbase::SpecialFilterIsEnabled() const {
  return special_filter_ != nullptr;
}

bool Wdbase::SpecialFilterIsInverted() const {
  return special_filter_ != nullptr &&
         special_filter_->inverted(def_->selected);
}

bool Wdbase::SpecialFilterGetExprData(char* cond, bool* inverted) const {
  return SpecialFilterGetExprData(cond, 256, inverted);
}

bool Wdbase::SpecialFilterGetExprData(char* cond, int size,
                                      bool* inverted) const {
  if (cond == nullptr || inverted == nullptr || size <= 0) return false;
  cond[0] = '\0';
  if (special_filter_ == nullptr) return false;
  const std::string& c = special_filter_->condition();
  if (c.size() + 1 > static_cast<size_t>(size)) return false;
  std::memcpy(cond, c.c_str(), c.size() + 1);
  *inverted = special_filter_->inverted(def_->selected);
  return true;
}

bool Wdbase::SpecialFilterRebuild() {
  if (!Ready() || special_filter_ == nullptr) return false;
  bool ok = special_filter_->RebuildAll();
  ok = Unlock() && ok;
  return ok;
}

bool Wdbase::SpecialFilterLock() {
  if (!Ready() || special_filter_ == nullptr) return false;
  return special_filter_->Lock();
}

bool Wdbase::SpecialFilterUnlock() {
  if (!Ready() || special_filter_ == nullptr) return false;
  return special_filter_->Unlock();
}
