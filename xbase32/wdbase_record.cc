// Wdbase: appending, the record flag byte, the raw record buffer, flushing
// and locking.

#include <cstring>

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine.h"
#include "engine_error.h"
#include "filter_access.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
namespace dbf = xbase32::dbf;

namespace {

bool OnRecord(const DbfFile* d) {
  return d != nullptr && !d->eof() && d->recno() > 0;
}

// Applies a new flag byte; the buffer counts as changed only when it does.
void SetFlag(DbfFile* d, uint8_t flag) {
  char* p = d->record();
  if (static_cast<uint8_t>(p[0]) != flag) {
    p[0] = static_cast<char>(flag);
    d->MarkChanged();
  }
}

uint8_t Flag(const DbfFile* d) { return static_cast<uint8_t>(d->record()[0]); }

bool IsDeleted(uint8_t flag) {
  return (flag & dbf::kFlagDeleted) == dbf::kFlagDeleted;
}

}  // namespace

void Wdbase::ReleaseLocks() {
  if (data_) data_->ReleaseLocks();
}

int Wdbase::AppendBlank() {
  if (!Ready()) return 0;
  if (!data_->AppendBlank()) {
    data_->ReleaseLocks();
    return 0;
  }
  if (xbase32::Config().auto_flush) return Flush();
  return data_->ReleaseLocks() ? 1 : 0;
}

int Wdbase::Delete() {
  if (!Ready() || !OnRecord(data_)) return 0;
  const uint8_t f = Flag(data_);
  if (!IsDeleted(f)) SetFlag(data_, f | dbf::kFlagDeleted);
  return 1;
}

int Wdbase::Recall() {
  if (!Ready() || !OnRecord(data_)) return 0;
  const uint8_t f = Flag(data_);
  if (IsDeleted(f)) SetFlag(data_, f & dbf::kFlagRecallMask);
  return 1;
}

int Wdbase::Deleted() const {
  if (!OnRecord(data_)) return 0;
  return IsDeleted(Flag(data_)) ? 1 : 0;
}

int Wdbase::Select() {
  if (!Ready() || !OnRecord(data_)) return 0;
  const uint8_t f = Flag(data_);
  if (!(f & dbf::kFlagSelectBit)) SetFlag(data_, f | dbf::kFlagSelectBit);
  return 1;
}

int Wdbase::Unselect() {
  if (!Ready() || !OnRecord(data_)) return 0;
  const uint8_t f = Flag(data_);
  if (f & dbf::kFlagSelectBit) {
    SetFlag(data_, static_cast<uint8_t>(f & ~dbf::kFlagSelectBit));
  }
  return 1;
}

int Wdbase::Selected() const {
  if (!OnRecord(data_)) return 0;
  return (Flag(data_) & dbf::kFlagSelectBit) ? 1 : 0;
}

namespace {

// Applies op to the first record (filters honoured) and every following one
// in the current order (filters not applied), then returns to the record
// that was current.
template <typename Op>
int ForAllFromTop(Wdbase* w, DbfFile* data, Op op) {
  if (!OnRecord(data)) return 0;
  const int32_t back = data->recno();
  if (!w->Top()) return 0;
  bool ok = true;
  xbase32::FiltersSuspended plain(w);
  do {
    ok = op() && ok;
  } while (w->Next());
  w->Goto(back);
  return ok ? 1 : 0;
}

}  // namespace

int Wdbase::RecallAll() {
  if (!Ready()) return 0;
  return ForAllFromTop(this, data_, [this] { return Recall(); });
}

int Wdbase::UnselectAll() {
  if (!Ready()) return 0;
  return ForAllFromTop(this, data_, [this] { return Unselect(); });
}

int Wdbase::RecordBufferLen() const {
  return data_ ? static_cast<int>(data_->record_length()) - 1 : 0;
}

char* Wdbase::RecordBufferPtr() {
  if (!data_) return nullptr;
  // The caller may change the buffer; a real change is written when the
  // record is left.
  data_->MarkChanged();
  return data_->record() + 1;
}

int Wdbase::RecordBufferWrite() {
  if (!Ready() || !OnRecord(data_)) return 0;
  if (!data_->WriteCurrent()) {
    data_->ReleaseLocks();
    return 0;
  }
  if (xbase32::Config().auto_flush) return Flush();
  return data_->ReleaseLocks() ? 1 : 0;
}

int Wdbase::Flush() {
  if (!Ready()) return 0;
  bool ok = data_->Sync();
  ok = data_->ReleaseLocks() && ok;
  return ok ? 1 : 0;
}

int Wdbase::FlushSet(int on) {
  const int old = xbase32::Config().auto_flush ? 1 : 0;
  xbase32::Config().auto_flush = on != 0;
  return old;
}

int Wdbase::FlushGet() { return xbase32::Config().auto_flush ? 1 : 0; }

int Wdbase::ReadFromFile(int on) {
  const int old = data_ ? (data_->read_from_file() ? 1 : 0)
                        : (read_from_file_ > 0 ? 1 : 0);
  if (on < 0) return old;
  read_from_file_ = on != 0 ? 1 : 0;
  if (data_) {
    data_->set_read_from_file(on != 0);  // its indexes follow it
  }
  return old;
}

int Wdbase::Lock() {
  if (!Ready()) return 0;
  if (!data_->WritePending()) return 0;
  // The special indexes first, then the whole file with the indexes.
  if (special_filter_ && !SpecialFilterLock()) return 0;
  if (!data_->LockFile(true)) {
    if (special_filter_) SpecialFilterUnlock();
    return 0;
  }
  user_lock_ = true;
  return 1;
}

int Wdbase::Unlock() {
  if (!Ready()) return 0;
  bool ok = data_->WritePending();
  if (special_filter_) ok = SpecialFilterUnlock() && ok;
  ok = data_->UnlockAll() && ok;
  user_lock_ = false;
  return ok ? 1 : 0;
}
