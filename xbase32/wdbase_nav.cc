// Wdbase: navigation in the current order (natural or index order). The
// order primitives (xbase32::Order) know nothing of filters; while a record
// filter or a special filter is active the moves hand over to the filtered
// moves (wdbase_filter.cc, wdbase_spf.cc).

#include "dbf_file.h"
#include "engine_error.h"
#include "file_set.h"
#include "filter_access.h"
#include "ntx_file.h"
#include "wdbase_access.h"
#include "wdbase_order.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::Move;
using xbase32::NtxFile;

namespace xbase32 {

NtxFile* IndexOf(const Wdbase* w, int k) {
  const FileSet* def = WdbaseAccess::Def(w);
  if (def == nullptr || k < 1 || k > def->count) return nullptr;
  return static_cast<NtxFile*>(def->idx_handles[k - 1]);
}

NtxFile* SelectedIndex(const Wdbase* w) {
  const FileSet* def = WdbaseAccess::Def(w);
  return def ? IndexOf(w, def->selected) : nullptr;
}

Order::Order(Wdbase* w) : d_(WdbaseAccess::Data(w)), ix_(SelectedIndex(w)) {}

Move Order::Go(int32_t recno) {
  if (recno < 0) return Move::kError;
  if (recno == 0) return Move::kNone;
  return d_->Go(recno) ? Move::kDone : Move::kError;
}

// The index cursor follows the data file's current record (which may have
// been moved by Goto, or changed its key).
bool Order::SyncIndex() {
  if (!d_->WritePending()) return false;
  if (d_->recno() > 0 && !d_->eof()) ix_->SyncTo(d_->recno(), d_->record());
  return true;
}

Move Order::First() {
  if (ix_) return d_->WritePending() ? Go(ix_->First()) : Move::kError;
  const int32_t count = d_->Count();
  if (count < 0) return Move::kError;
  return count == 0 ? Move::kNone : Go(1);
}

Move Order::Last() {
  if (ix_) return d_->WritePending() ? Go(ix_->Last()) : Move::kError;
  const int32_t count = d_->Count();
  if (count < 0) return Move::kError;
  return count == 0 ? Move::kNone : Go(count);
}

Move Order::Next() {
  if (d_->eof()) return Move::kNone;
  if (ix_) return SyncIndex() ? Go(ix_->Next()) : Move::kError;
  const int32_t count = d_->Count();
  if (count < 0) return Move::kError;
  const int32_t n = d_->recno() + 1;
  return n > count ? Move::kNone : Go(n);
}

Move Order::Prev() {
  if (d_->eof()) return Last();
  if (ix_) return SyncIndex() ? Go(ix_->Prev()) : Move::kError;
  const int32_t count = d_->Count();
  if (count < 0) return Move::kError;
  int32_t n = d_->recno() - 1;
  if (n > count) n = count;
  return n < 1 ? Move::kNone : Go(n);
}

}  // namespace xbase32

bool Wdbase::Ready() const {
  xbase32::ClearError();
  return data_ != nullptr;
}

int Wdbase::Top() {
  if (!Ready()) return 0;
  if (xbase32::FiltersActive(this)) return xbase32::FilteredTop(this);
  xbase32::Order o(this);
  if (o.First() == Move::kDone) return 1;
  data_->GoEof();
  return 0;
}

int Wdbase::Bottom() {
  if (!Ready()) return 0;
  if (xbase32::FiltersActive(this)) return xbase32::FilteredBottom(this);
  xbase32::Order o(this);
  if (o.Last() == Move::kDone) return 1;
  data_->GoEof();
  return 0;
}

int Wdbase::Next() { return Skip(1); }

int Wdbase::Previous() { return Skip(-1); }

int Wdbase::Skip(int32_t n) {
  if (!Ready()) return 0;
  const int32_t count = data_->Count();
  if (count < 0) return 0;
  if (!data_->eof() && data_->recno() <= 0) return 0;
  if (n == 0) {
    if (data_->eof()) return 0;
    return data_->Go(data_->recno()) ? 1 : 0;
  }
  if (xbase32::FiltersActive(this)) return xbase32::FilteredSkip(this, n);
  xbase32::Order o(this);
  if (n > 0) {
    if (data_->eof()) return 0;
    for (int32_t i = 0; i < n; ++i) {
      if (o.Next() != Move::kDone) {
        data_->GoEof();
        return 0;
      }
    }
    return 1;
  }
  // Backwards; from the end of file the count starts after the last record.
  for (int32_t i = 0; i > n; --i) {
    if (o.Prev() != Move::kDone) {
      // Stop on the first record with the beginning-of-file flag set.
      if (o.First() != Move::kDone) data_->GoEof();
      data_->set_bof(true);
      return 0;
    }
  }
  return 1;
}

int Wdbase::Goto(int32_t recno) {
  if (!Ready()) return 0;
  if (special_filter_) return xbase32::SpecialGoto(this, recno);
  const int32_t count = data_->Count();
  if (count < 0) return 0;
  if (recno > count) {
    data_->GoEof();
    return 0;
  }
  if (recno <= 0) {
    if (count == 0 || !data_->Go(1)) data_->GoEof();
    return 0;
  }
  return data_->Go(recno) ? 1 : 0;
}

int Wdbase::Eof() const { return data_ ? (data_->eof() ? 1 : 0) : 1; }

int Wdbase::Bof() const { return data_ ? (data_->bof() ? 1 : 0) : 0; }

int32_t Wdbase::RecNo() const { return data_ ? data_->recno() : -1; }

int32_t Wdbase::RecCount() const {
  if (!data_) return -1;
  return data_->Count();
}

int32_t Wdbase::GetPosition() const {
  if (!Ready()) return 0;
  // The special filter may rebuild its index (a cache of the condition's
  // answers) to answer; the table itself does not change.
  if (special_filter_) {
    return xbase32::SpecialGetPosition(const_cast<Wdbase*>(this));
  }
  NtxFile* ix = xbase32::SelectedIndex(this);
  if (ix == nullptr) return RecNo();
  // The position in index order, walking from the first key.
  const int32_t cur = data_->recno();
  if (data_->eof() || cur <= 0 || !data_->WritePending()) return 0;
  int32_t pos = 0;
  for (int32_t r = ix->First(); r > 0; r = ix->Next()) {
    ++pos;
    if (r == cur) return pos;
  }
  return 0;
}

int Wdbase::SetPosition(int32_t pos) {
  if (special_filter_ && Ready()) {
    return xbase32::SpecialSetPosition(this, pos);
  }
  NtxFile* ix = data_ ? xbase32::SelectedIndex(this) : nullptr;
  if (ix == nullptr) return Goto(pos);
  if (!Ready() || pos <= 0 || !data_->WritePending()) return 0;
  // Walks from the first key; the data file moves only when the pos-th key
  // exists.
  int32_t r = ix->First();
  for (int32_t i = 1; r > 0 && i < pos; ++i) r = ix->Next();
  if (r <= 0) return 0;
  return data_->Go(r) ? 1 : 0;
}

int32_t Wdbase::GetLastPosition() const {
  if (special_filter_ && Ready()) {
    return xbase32::SpecialGetLastPosition(const_cast<Wdbase*>(this));
  }
  return RecCount();
}

bool Wdbase::IsEmpty() const { return !data_ || GetLastPosition() == 0; }
