// Wdbase: navigation in natural order, honouring a record filter.

#include "dbf_file.h"
#include "engine_error.h"
#include "file_set.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;

bool Wdbase::Ready() const {
  xbase32::ClearError();
  return data_ != nullptr;
}

namespace {

// Moves from record n in direction dir (+1/-1) to the first record the
// filter accepts, n included. Answers false when none is left that way.
bool SeekAccepted(Wdbase* w, DbfFile* d, Wdbase::FilterFunc f, int32_t n,
                  int dir, int32_t count) {
  for (; n >= 1 && n <= count; n += dir) {
    if (!d->Go(n)) return false;
    if (f == nullptr || f(w) == 0) return true;
  }
  return false;
}

}  // namespace

int Wdbase::Top() {
  if (!Ready()) return 0;
  const int32_t count = data_->Count();
  if (count > 0 && SeekAccepted(this, data_, filter_, 1, +1, count)) return 1;
  data_->GoEof();
  return 0;
}

int Wdbase::Bottom() {
  if (!Ready()) return 0;
  const int32_t count = data_->Count();
  if (count > 0 && SeekAccepted(this, data_, filter_, count, -1, count)) {
    return 1;
  }
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
  if (n > 0) {
    if (data_->eof()) return 0;
    int32_t pos = data_->recno();
    for (int32_t i = 0; i < n; ++i) {
      int32_t next = pos + 1;
      if (next > count ||
          !SeekAccepted(this, data_, filter_, next, +1, count)) {
        data_->GoEof();
        return 0;
      }
      pos = data_->recno();
    }
    return 1;
  }
  // Backwards; from the end of file the count starts after the last record.
  int32_t pos = data_->eof() ? count + 1 : data_->recno();
  for (int32_t i = 0; i > n; --i) {
    int32_t prev = pos - 1;
    if (prev > count) prev = count;
    if (prev < 1 || !SeekAccepted(this, data_, filter_, prev, -1, count)) {
      // Stop on the first record with the beginning-of-file flag set.
      if (count == 0 || !SeekAccepted(this, data_, filter_, 1, +1, count)) {
        data_->GoEof();
      }
      data_->set_bof(true);
      return 0;
    }
    pos = data_->recno();
  }
  return 1;
}

int Wdbase::Goto(int32_t recno) {
  if (!Ready()) return 0;
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

int32_t Wdbase::GetPosition() {
  if (!Ready()) return 0;
  return RecNo();
}

int Wdbase::SetPosition(int32_t pos) { return Goto(pos); }

int32_t Wdbase::GetLastPosition() { return RecCount(); }

bool Wdbase::IsEmpty() { return !data_ || GetLastPosition() == 0; }

int Wdbase::SetFilter(FilterFunc f, int cache_size) {
  (void)cache_size;
  if (!Ready()) return 0;
  filter_ = f;
  if (f == nullptr) return 1;
  if (!data_->eof() && data_->recno() > 0 && f(this) == 0) return 1;
  return Top();
}

Wdbase::FilterFunc Wdbase::GetFilter() const { return filter_; }
