// Day numbers: the engine's representation of dates in computations.
//
// A date "CCYYMMDD" maps to its Julian day number: 1721425 plus the count of
// days from 0001-01-01 up to and including the date, in the proleptic
// Gregorian calendar. So 0001-01-01 is 1721426 and 2000-01-01 is 2451545.
// Dates are stored in records as the 8 digits "CCYYMMDD"; 8 blanks are the
// empty date, whose day number is 0.

#ifndef XBASE32_EXPR_DAY_NUMBER_H_
#define XBASE32_EXPR_DAY_NUMBER_H_

#include <cstdint>

namespace xbase32 {

// Day number of 0001-01-01 and of 9999-12-31: the range of dates that have
// an 8-digit "CCYYMMDD" form.
constexpr int32_t kFirstDayNumber = 1721426;
constexpr int32_t kLastDayNumber = 5373484;

// Day number of the date's 8 bytes (not NUL-terminated; exactly 8 are read):
// 0 when all 8 bytes are blanks or NULs, -1 when they are not 8 digits
// forming a valid date from 0001-01-01 to 9999-12-31.
int32_t DateToDay(const char* ccyymmdd);

// Day number of year y, month m (1..12), day d; -1 when the date is invalid
// or outside 0001-01-01 .. 9999-12-31.
int32_t DayFromYmd(int y, int m, int d);

// Calendar date of a day number. Answers false (outputs untouched) when day
// is outside kFirstDayNumber .. kLastDayNumber.
bool YmdFromDay(int32_t day, int* y, int* m, int* d);

// Writes the 8 digits "CCYYMMDD" of day into out (no NUL is written). A day
// outside kFirstDayNumber .. kLastDayNumber (0, the empty date, included)
// writes 8 blanks and answers false.
bool DayToDate(int32_t day, char* out);

}  // namespace xbase32

#endif  // XBASE32_EXPR_DAY_NUMBER_H_
