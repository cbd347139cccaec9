// Shared pieces of the archive and history code: field writing helpers,
// the reflectance text, today's date and the data set's version number.
// Internal to the tables library.

#ifndef MIXTABLE_FORMULA_HFORMULA_HISTORY_IMPL_H_
#define MIXTABLE_FORMULA_HFORMULA_HISTORY_IMPL_H_

#include <cstdint>
#include <string>

#include "xbase32/wdbase.h"

namespace hformula_impl {

// Writes "%5ld" of v (ids of both tables).
int WriteId(Wdbase* db, const char* field, int32_t v);
// Writes "%10lu" of v (DATAID of both tables).
int WriteDataId(Wdbase* db, const char* field, uint32_t v);
// Writes a logical field: "T" for v != 0, else "F".
int WriteFlag(Wdbase* db, const char* field, int v);

// FRM_REFL text of a curve of 16 fractions: "%.3lf;" of each value x 100.
// Empty when no value is >= 0 (sixteen "-100.000;" would not fit) or when
// the text would be longer than width.
std::string FormatRefl(const double* rfl, int width);
// The curve of a FRM_REFL text: at most 16 ';'-separated items, each x
// 0.01; a missing or unreadable item (not a finite number) is -1. An empty
// text gives sixteen -1.
void ParseRefl(const char* text, double* rfl);

// Today's date as the tables store it ("CCYYMMDD") and the time
// "%02d:%02d:%02d", both of the local wall clock.
std::string Today();
std::string NowTime();

// The version number of data set id: the version that begins the first line
// of its FVERS.DAT, as Wy_FVersDescr splits it ("12.50 Test" gives 12.5); 0
// when the file or the line is missing, the line begins with no version (a
// number later in the description is not one), or the id names no data
// directory.
double DataVersion(uint32_t id);

// Restores the process-wide auto-flush switch (and flushes db when given
// and open) on every path.
class AutoFlushOff {
 public:
  explicit AutoFlushOff(Wdbase* db);
  ~AutoFlushOff();
  AutoFlushOff(const AutoFlushOff&) = delete;
  AutoFlushOff& operator=(const AutoFlushOff&) = delete;

 private:
  Wdbase* db_;
  int old_;
};

}  // namespace hformula_impl

#endif  // MIXTABLE_FORMULA_HFORMULA_HISTORY_IMPL_H_
