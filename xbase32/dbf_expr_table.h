// The expression language's view of an open data file: field descriptors,
// the current record buffer and position, and the other open data files by
// alias (the data file's base name, upper case, at most 10 characters).

#ifndef XBASE32_DBF_EXPR_TABLE_H_
#define XBASE32_DBF_EXPR_TABLE_H_

#include <string>

#include "expr/expr_table.h"

namespace xbase32 {

class DbfFile;

class DbfExprTable final : public ExprTable {
 public:
  // file must outlive this object (the data file owns it).
  explicit DbfExprTable(DbfFile* file);

  // The alias of the data file at path: base name, upper case, at most 10
  // characters.
  static std::string AliasOf(const std::string& path);
  const std::string& alias() const { return alias_; }

  // Makes rec (a full record, flag byte included, with record number recno)
  // the record the expressions see instead of the current one; null goes
  // back to the current record. Index keys are formed this way from the
  // stored image and the new buffer of a record write.
  void SetRecord(const char* rec, int32_t recno) {
    rec_ = rec;
    recno_ = recno;
  }

  int FieldNumber(const char* name) const override;
  bool Field(int k, ExprField* field) const override;
  int32_t RecordLength() const override;
  const char* RecordBytes() const override;
  int32_t RecNo() const override;
  int32_t RecCount() const override;
  int32_t MemoText(int k, char* buf, int32_t size) const override;
  const ExprTable* FindAlias(const char* alias) const override;

 private:
  DbfFile* file_;
  std::string alias_;
  const char* rec_ = nullptr;
  int32_t recno_ = 0;
};

}  // namespace xbase32

#endif  // XBASE32_DBF_EXPR_TABLE_H_
