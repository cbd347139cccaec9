// Table lookups shared by the resolution and the freezing of formulas
// (internal to the library): the name lookup of products, sub-products and
// bases, the colour-key text of a formula or archive record, the
// reflectance of a formula, and a guard that closes the tables a piece of
// code opened on every path out of it.
//
// None of these throws. Null tables answer "not found".

#ifndef MIXTABLE_FORMULA_HFORMULA_LOOKUP_H_
#define MIXTABLE_FORMULA_HFORMULA_LOOKUP_H_

#include <cstdint>
#include <string>

#include "xbase32/wdbase.h"

class CMixtable;

namespace hformula_internal {

// Values of a reflectance curve: 400, 420, ... 700 nm.
constexpr int kReflValues = 16;
// Characters of each colour key read from the record.
constexpr size_t kColorKeyWidth = 63;
// Characters of the archive's reflectance text that are read.
constexpr size_t kReflTextWidth = 255;

// Looks name up in db (open; its selected index is put back, the position
// is not): the live records are scanned in natural order and the trimmed
// DESCR, then the trimmed CODE, is compared with the trimmed name over the
// whole length without regard to case. A field gives a match when every
// record that matches carries the same ID (variants of one record count
// once); the first field that gives one wins. Then db stands on the first
// matching record and its ID is answered. 0 (position unspecified) when no
// field gives a unique match, for an empty name, a null or closed table.
int32_t LookupByName(Wdbase* db, const char* name);

// Whether a and b are equal ignoring the case of their letters.
bool EqualNoCase(const std::string& a, const std::string& b);

// The colour-key text of db's current record: KEY1, KEY2, KEY3 and COMMENT,
// each read with at most kColorKeyWidth characters, trimmed of blanks,
// tabs, carriage returns and line feeds, and each followed by '|' ("||||"
// for four empty keys or a table without them). "" when db is not on a
// record.
std::string ColorKeyText(const Wdbase* db);

// Reflectance of formula frm_id from refl (the formula reflectance table,
// open): its first index is searched with "%5ld" of the id; when found,
// rfl[i] = R_400 + 20 i (only the fields the table has; the others 0) ×
// 0.01 and the answer is 1. Not found, a null or closed table, id <= 0: 0
// and rfl untouched. The table's selected index is put back; it stands on
// the record found.
int ReadReflFromTable(Wdbase* refl, int32_t frm_id, double* rfl);

// Reflectance from the text of a record's FRM_REFL field (at most
// kReflTextWidth characters): up to kReflValues numbers separated by ';',
// each × 0.01; the remaining values 0. 1 when the record has the field
// (rfl filled), 0 (rfl untouched) when it has not or is not on a record.
int ReadReflFromText(const Wdbase* rec, double* rfl);
// The same from a text; answers the number of values read.
int ParseReflText(const std::string& text, double* rfl);

// Closes every table of a table set when it goes out of scope. Null table
// sets are allowed.
class CloseAllOnExit {
 public:
  explicit CloseAllOnExit(CMixtable* tables) : tables_(tables) {}
  CloseAllOnExit(const CloseAllOnExit&) = delete;
  CloseAllOnExit& operator=(const CloseAllOnExit&) = delete;
  ~CloseAllOnExit();

 private:
  CMixtable* tables_;
};

// Closes one table of a set when it goes out of scope, unless Release()
// was called (for a table the caller wants to keep open).
class CloseOnExit {
 public:
  CloseOnExit(CMixtable* tables, int table) : tables_(tables), table_(table) {}
  CloseOnExit(const CloseOnExit&) = delete;
  CloseOnExit& operator=(const CloseOnExit&) = delete;
  ~CloseOnExit();
  void Release() { tables_ = nullptr; }

 private:
  CMixtable* tables_;
  int table_;
};

}  // namespace hformula_internal

#endif  // MIXTABLE_FORMULA_HFORMULA_LOOKUP_H_
