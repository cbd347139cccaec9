// Small helpers of the HFormula resolution sources (internal).

#ifndef MIXTABLE_FORMULA_HFORMULA_RESOLVE_UTIL_H_
#define MIXTABLE_FORMULA_HFORMULA_RESOLVE_UTIL_H_

#include <climits>
#include <cmath>
#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"

namespace hr {

// Characters of a description read from a product, sub-product, base or
// can record (long) and of a base or can read with a formula (short).
constexpr size_t kLongName = 127;
constexpr size_t kShortName = 63;
// Characters of a base formula read from a record.
constexpr size_t kBaseFrmText = 255;

// s trimmed of blanks, tabs, carriage returns and line feeds.
inline std::string Trim(const std::string& s) {
  auto space = [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
  };
  size_t b = 0, e = s.size();
  while (b < e && space(s[b])) ++b;
  while (e > b && space(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// DESCR of db's current record, at most max characters, trimmed.
inline std::string Descr(const Wdbase* db, size_t max) {
  return Trim(mixtable_fields::Text(db, "DESCR", max));
}

// Opens db in the set unless it is open; true when it is open after.
inline bool EnsureOpen(CMixtable* tables, Wdbase* db) {
  return db != nullptr && (db->IsOpen(0) || tables->Open(db));
}

// Closes one table of the set when it is open (the formula table with its
// ruler).
inline void Close(CMixtable* tables, int table) {
  Wdbase* db = tables->Handle(table);
  if (db != nullptr && db->IsOpen(0)) db->Close();
  if (table == Y_FRM) Close(tables, Y_RULER);
}

// A number of a table as an int: truncated, 0 when not finite or out of
// range.
inline int ToInt(double v) {
  if (!std::isfinite(v) || v < INT_MIN || v > INT_MAX) return 0;
  return static_cast<int>(v);
}

}  // namespace hr

#endif  // MIXTABLE_FORMULA_HFORMULA_RESOLVE_UTIL_H_
