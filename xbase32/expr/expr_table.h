// The view of a data file that the expression language needs: its field
// descriptors, the current record buffer and position, memo texts and the
// other open data files reachable by alias. The engine implements it for
// each open data file; tests implement it with tables held in memory.
//
// All methods are const and must not fail loudly: the evaluator calls them
// once per evaluated field and treats missing data as blanks.

#ifndef XBASE32_EXPR_EXPR_TABLE_H_
#define XBASE32_EXPR_EXPR_TABLE_H_

#include <cstdint>

namespace xbase32 {

// One field descriptor as the expression language sees it.
struct ExprField {
  char type = ' ';       // type letter as stored: C, N, F, D, L, M, G or other
  int32_t width = 0;     // bytes in the record
  int32_t decimals = 0;  // N and F only
  int32_t offset = 0;    // position in the record (the flag byte is 0)
};

class ExprTable {
 public:
  virtual ~ExprTable() = default;

  // Number (1..n) of the field with this upper-case name, or 0.
  virtual int FieldNumber(const char* name) const = 0;
  // Fills *field for field k (1..n); false for any other k.
  virtual bool Field(int k, ExprField* field) const = 0;
  // Length of a record, flag byte included.
  virtual int32_t RecordLength() const = 0;
  // The current record buffer (RecordLength() bytes, the flag byte at [0]),
  // or null when there is none. Valid until the table moves or changes.
  virtual const char* RecordBytes() const = 0;
  // Current record number and record count of the data file.
  virtual int32_t RecNo() const = 0;
  virtual int32_t RecCount() const = 0;
  // Copies at most size bytes of the memo text of field k on the current
  // record into buf; answers the number of bytes copied (0 without text).
  virtual int32_t MemoText(int k, char* buf, int32_t size) const = 0;
  // Another open data file by its alias (the data file's base name,
  // upper-cased, at most 10 characters), or null when none is open. The
  // answer is used only during the call that asked for it.
  virtual const ExprTable* FindAlias(const char* alias) const = 0;
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_TABLE_H_
