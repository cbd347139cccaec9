// Wdbase: the memo texts of the current record (M and G fields).

#include <algorithm>
#include <cstring>
#include <string>

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine.h"
#include "engine_error.h"
#include "memo_file.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::FieldDesc;
using xbase32::MemoFile;

namespace {

// The memo field k of the current record, or null when the table is closed,
// no record is current, k is invalid or the field is no memo field.
const FieldDesc* MemoField(DbfFile* d, int k) {
  if (d == nullptr || k < 1 || k > d->field_count()) return nullptr;
  if (d->eof() || d->recno() <= 0) return nullptr;
  const FieldDesc& f = d->field(k);
  if (!xbase32::dbf::IsMemoType(f.type)) return nullptr;
  return &f;
}

// Loads the text of field f into the field's buffer; empty when the record
// has no text, the table no memo file, or on read errors.
std::string* LoadText(DbfFile* d, int k, const FieldDesc& f) {
  std::string* text = d->memo_text(k);
  text->clear();
  if (!d->has_memo()) return text;
  const uint32_t block =
      xbase32::MemoFieldBlock(d->record() + f.offset, f.width);
  MemoFile(d->memo_file()).ReadText(block, text);
  return text;
}

}  // namespace

uint32_t Wdbase::MemoLen(int k) const {
  if (!Ready()) return 0;
  const FieldDesc* f = MemoField(data_, k);
  if (!f) return 0;
  return static_cast<uint32_t>(LoadText(data_, k, *f)->size());
}
uint32_t Wdbase::MemoLen(const char* field) const {
  return MemoLen(FieldByName(field));
}

const char* Wdbase::MemoPtr(int k) const {
  if (!Ready()) return nullptr;
  const FieldDesc* f = MemoField(data_, k);
  if (!f) return nullptr;
  return LoadText(data_, k, *f)->c_str();
}
const char* Wdbase::MemoPtr(const char* field) const {
  return MemoPtr(FieldByName(field));
}

uint32_t Wdbase::MemoRead(int k, char* buf, unsigned size) const {
  if (buf != nullptr && size > 0) buf[0] = '\0';
  if (!Ready()) return 0;
  const FieldDesc* f = MemoField(data_, k);
  if (!f) return 0;
  const std::string* text = LoadText(data_, k, *f);
  if (buf != nullptr && size > 0) {
    const size_t n = std::min<size_t>(text->size(), size);
    std::memcpy(buf, text->data(), n);
    if (n < size) buf[n] = '\0';
  }
  return static_cast<uint32_t>(text->size());
}
uint32_t Wdbase::MemoRead(const char* field, char* buf, unsigned size) const {
  if (buf != nullptr && size > 0) buf[0] = '\0';
  return MemoRead(FieldByName(field), buf, size);
}

int Wdbase::MemoWrite(int k, const char* text, unsigned len) {
  if (!Ready()) return 0;
  const FieldDesc* f = MemoField(data_, k);
  if (!f || (text == nullptr && len > 0)) return 0;
  char* field = data_->record() + f->offset;
  if (len == 0) {
    xbase32::SetMemoFieldBlock(field, f->width, 0, false);
    return AfterWrite();
  }
  if (!data_->has_memo()) {
    xbase32::ReportError(xbase32::kErrOpen, "Memo File", data_->path().c_str());
    return 0;
  }
  // A text never holds the end mark: it would cut the text short.
  if (std::memchr(text, xbase32::kMemoEnd, len) != nullptr) {
    xbase32::ReportError(xbase32::kErrParameter, "Memo text holds 0x1A");
    return 0;
  }
  // Blocks are allocated under the append lock, so that two processes are
  // never given the same blocks.
  if (!data_->LockAppendForMemo()) {
    ReleaseLocks();
    return 0;
  }
  // A buffer read before another handle's pack or zap names blocks that
  // may belong to another record now: nothing is written.
  if (!data_->CheckGeneration()) {
    ReleaseLocks();
    return 0;
  }
  const uint32_t old_block = xbase32::MemoFieldBlock(field, f->width);
  uint32_t block = 0;
  if (!MemoFile(data_->memo_file()).Store(old_block, text, len, &block)) {
    ReleaseLocks();
    return 0;
  }
  if (!xbase32::SetMemoFieldBlock(field, f->width, block, false)) {
    xbase32::ReportError(xbase32::kErrWrite, data_->path().c_str(),
                         "Memo Field too Narrow");
    ReleaseLocks();
    return 0;
  }
  if (xbase32::Config().auto_flush) return AfterWrite();
  data_->MarkChanged();
  return data_->ReleaseLocks() ? 1 : 0;
}
int Wdbase::MemoWrite(const char* field, const char* text, unsigned len) {
  return MemoWrite(FieldByName(field), text, len);
}
