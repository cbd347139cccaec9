// Numbers as fixed-width field text, the way numeric (N and F) fields hold
// them, and the readers that turn field text back into numbers.
//
// Layout written by FormatNumber for width w and d decimals (d > 0):
//
//   [blanks][-][integer digits].[d digits]      total exactly w bytes
//                              ^ position w - d - 1 (0-based)
//
// With d = 0 there is no point and the integer digits end the field. The
// integer part is right-aligned and blank-padded; a zero integer part is
// always written as "0"; the minus sign stands right before the first
// digit. A value whose sign and integer digits do not fit fills all w bytes
// with "*". Examples: 0.5 in (5,2) is " 0.50", -0.5 is "-0.50", 1234.5 in
// (5,1) is "*****", 0.5 in (3,2) and -0.05 in (3,1) are "***".

#ifndef XBASE32_EXPR_NUMBER_FORMAT_H_
#define XBASE32_EXPR_NUMBER_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace xbase32 {

// Most decimals a formatted number carries.
constexpr int kMaxDecimals = 15;
// Most bytes of field text read by ParseDouble and ParseInt32.
constexpr size_t kMaxDoubleText = 49;
constexpr size_t kMaxIntegerText = 127;

// Formats v into out[0, width) (no NUL is written). dec is capped at
// kMaxDecimals and at width - 1 (never below 0); v is rounded to the nearest
// value with that many decimals, halves away from zero. Answers false and
// fills out with "*" when v does not fit or is not finite. width <= 0
// writes nothing and answers true.
bool FormatNumber(double v, int width, int dec, char* out);

// Formats v into out[0, width) as right-aligned decimal digits with the
// minus sign before the first digit; "*" fill and false when v does not fit.
bool FormatInteger(int64_t v, int width, char* out);

// Reads the decimal number at the start of the n bytes at p (not
// NUL-terminated; at most kMaxDoubleText are looked at): leading white space
// is skipped, then an optional sign, digits, an optional point with digits
// and an optional exponent ("E" or "e", optional sign, digits). Reading stops
// at the first other byte; no digits at all read as 0.
double ParseDouble(const char* p, size_t n);

// Reads a decimal integer the same way (at most kMaxIntegerText bytes, no
// point, no exponent), saturated to the int32_t range.
int32_t ParseInt32(const char* p, size_t n);

}  // namespace xbase32

#endif  // XBASE32_EXPR_NUMBER_FORMAT_H_
