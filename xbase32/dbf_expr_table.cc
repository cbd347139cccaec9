#include "dbf_expr_table.h"

#include <cctype>

#include "dbf_file.h"
#include "engine.h"
#include "wdbase_access.h"

namespace xbase32 {

DbfExprTable::DbfExprTable(DbfFile* file)
    : file_(file), alias_(AliasOf(file->path())) {}

std::string DbfExprTable::AliasOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  base = base.substr(0, base.find('.'));
  if (base.size() > 10) base.resize(10);
  for (char& c : base) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return base;
}

int DbfExprTable::FieldNumber(const char* name) const {
  return name ? file_->FindField(name) : 0;
}

bool DbfExprTable::Field(int k, ExprField* field) const {
  if (k < 1 || k > file_->field_count()) return false;
  const FieldDesc& f = file_->field(k);
  field->type = f.type;
  field->width = f.width;
  field->decimals = f.dec;
  field->offset = f.offset;
  return true;
}

int32_t DbfExprTable::RecordLength() const {
  return static_cast<int32_t>(file_->record_length());
}

const char* DbfExprTable::RecordBytes() const {
  return rec_ ? rec_ : file_->record();
}

int32_t DbfExprTable::RecNo() const { return rec_ ? recno_ : file_->recno(); }

int32_t DbfExprTable::RecCount() const { return file_->Count(); }

int32_t DbfExprTable::MemoText(int k, char* buf, int32_t size) const {
  return file_->ReadMemoText(k, buf, size);
}

const ExprTable* DbfExprTable::FindAlias(const char* alias) const {
  if (alias == nullptr) return nullptr;
  for (Wdbase* w = FirstObject(); w; w = NextObject(w)) {
    DbfFile* d = WdbaseAccess::Data(w);
    if (d && d->expr_table()->alias() == alias) return d->expr_table();
  }
  return nullptr;
}

}  // namespace xbase32
