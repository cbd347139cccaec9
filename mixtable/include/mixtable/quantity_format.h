// Numbers in formula texts: the one quantity formatter every writer of a
// quantity uses, the decimals a value needs, and the classic decimal grammar
// quantities and ids are read with.
//
// Reading and printing never depend on the process locale: the point is the
// decimal separator, always (a decimal comma would split a pair). No function
// throws; every text may be of any length.

#ifndef MIXTABLE_QUANTITY_FORMAT_H_
#define MIXTABLE_QUANTITY_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "mixtable/export.h"

// Formats value with `decimals` decimals (below 0 counts as 0, above 20 as
// 20), in exponent form when `exponent` is non-zero, then tidies the text:
// upper case; trailing zeros after the point removed, and the point too when
// nothing follows it; in exponent form the leading zeros of the exponent are
// removed and the exponent is cut away when no digit remains.
// 1.5 -> "1.5", 2.0 -> "2", 150 (exponent, 2) -> "1.5E+2",
// 2.5 (exponent, 3) -> "2.5". Infinite and NaN values give "INF", "-INF" and
// "NAN" (which read back as 0).
MIXTABLE_API std::string Wy_FormatQuantity(double value, int decimals,
                                           int exponent);

// The number of decimals, 0 to 7, needed to write x without remainder: the
// smallest i in 0..6 with x - floor(x * 10^i) / 10^i <= 2.220446e-16, else 7.
MIXTABLE_API int DecimalsNeeded(double x);

// Reads the longest leading number of the classic grammar (blanks skipped,
// sign, digits, point, digits, exponent) from text[0..len); "inf", "nan" and
// hexadecimal read as their leading numeric part ("0x1f" is 0). Nothing
// numeric gives 0. Too large a magnitude gives +-HUGE_VAL, too small +-0.
MIXTABLE_API double Wy_ReadDouble(const char* text, size_t len);

// Reads a decimal integer (blanks skipped, sign, digits) from text[0..len);
// a value outside the 32-bit range gives 0, nothing numeric gives 0.
MIXTABLE_API int32_t Wy_ReadId(const char* text, size_t len);

#endif  // MIXTABLE_QUANTITY_FORMAT_H_
