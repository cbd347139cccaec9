#include "expr/number_format.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xbase32 {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
         c == '\f';
}

// Significant decimal digits a double is trusted with.
constexpr int kSignificantDigits = 15;

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                             1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                             1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20};

// The 15 significant digits of a (0 < a, or a == 0) and the decimal exponent
// of the first, without the library's conversion: a is scaled by an exact
// power of ten into [1e14, 1e15) and rounded to an integer. Answers false
// outside 1e-5 <= a < 1e15, where the caller converts with the library.
bool SignificantDigits(double a, char* mant, int* exp10) {
  if (a == 0) {
    std::memset(mant, '0', kSignificantDigits);
    *exp10 = 0;
    return true;
  }
  if (!(a >= 1e-5 && a < 1e15)) return false;
  int e = 0;  // decimal exponent of the first significant digit
  if (a >= 1) {
    while (e < 14 && a >= kPow10[e + 1]) e++;
  } else {
    e = -1;
    while (e > -6 && a * kPow10[-e] < 1) e--;
  }
  // 14 - e is 0 .. 19: the power of ten is exact. The product is split
  // into its rounded value and the exact remainder, so that q is the exact
  // product rounded to the nearest integer, ties to even, as the library
  // conversion rounds.
  const double p = kPow10[14 - e];
  const double scaled = a * p;
  const double rest = std::fma(a, p, -scaled);  // exact: a * p - scaled
  const double whole = std::floor(scaled);
  const double d0 = scaled - whole;  // exact, in [0, 1)
  // |rest| is below 1/16 here, so only d0 near one half needs the
  // remainder; (d0 - 0.5) is exact there and the sign of a rounded sum is
  // the sign of the exact sum.
  uint64_t q = static_cast<uint64_t>(whole);
  if (d0 >= 0.75) {
    q++;
  } else if (d0 >= 0.25) {
    const double t = (d0 - 0.5) + rest;
    if (t > 0 || (t == 0 && (q & 1) != 0)) q++;
  }
  if (q == 1000000000000000ull) {  // 9.99...95 rounded up to 10^15
    q /= 10;
    e++;
  }
  // A product that left [1e14, 1e15) goes to the library conversion.
  if (q < 100000000000000ull || q >= 1000000000000000ull) return false;
  for (int i = kSignificantDigits - 1; i >= 0; i--) {
    mant[i] = static_cast<char>('0' + q % 10);
    q /= 10;
  }
  *exp10 = e;
  return true;
}

void FillStars(char* out, int width) {
  if (width > 0) std::memset(out, '*', static_cast<size_t>(width));
}

}  // namespace

bool FormatNumber(double v, int width, int dec, char* out) {
  if (width <= 0) return true;
  if (!std::isfinite(v)) {
    FillStars(out, width);
    return false;
  }
  int d = dec < 0 ? 0 : dec;
  if (d > kMaxDecimals) d = kMaxDecimals;
  if (d > width - 1) d = width - 1;

  // Round the decimal form of v, not its binary value: with 15 significant
  // digits, 2.675 reads as 2.67500000000000 (its binary value lies just
  // below), so halves round away from zero as written.
  char mant[kSignificantDigits];
  int m = kSignificantDigits;
  int exp10;
  if (!SignificantDigits(std::fabs(v), mant, &exp10)) {
    char sci[32];
    std::snprintf(sci, sizeof(sci), "%.*e", kSignificantDigits - 1,
                  std::fabs(v));
    m = 0;
    const char* p = sci;
    for (; *p != 'e'; p++) {
      if (IsDigit(*p)) mant[m++] = *p;
    }
    exp10 = std::atoi(p + 1);
  }
  // The integer R with v = R / 10^d: the significant digits down to the
  // 10^-d place, rounded half up on the next digit.
  const int keep = exp10 + 1 + d;  // significant digits that are kept
  char r[DBL_MAX_10_EXP + kMaxDecimals + 8];
  int r_len = 0;
  if (keep < 0) {
    r[r_len++] = '0';
  } else {
    const int from_mant = keep < m ? keep : m;
    std::memcpy(r, mant, static_cast<size_t>(from_mant));
    r_len = from_mant;
    for (int i = from_mant; i < keep; i++) r[r_len++] = '0';
    if (keep < m && mant[keep] >= '5') {
      int i = r_len - 1;
      while (i >= 0 && r[i] == '9') r[i--] = '0';
      if (i >= 0) {
        r[i]++;
      } else {
        std::memmove(r + 1, r, static_cast<size_t>(r_len));
        r[0] = '1';
        r_len++;
      }
    }
    if (r_len == 0) r[r_len++] = '0';
  }
  // At least d + 1 digits, so that the integer part has a digit.
  if (r_len < d + 1) {
    const int pad = d + 1 - r_len;
    std::memmove(r + pad, r, static_cast<size_t>(r_len));
    std::memset(r, '0', static_cast<size_t>(pad));
    r_len = d + 1;
  }
  int first = 0;  // skip leading zeros of the integer part, keep one
  while (first < r_len - d - 1 && r[first] == '0') first++;
  const char* digits = r + first;
  const int int_len = r_len - first - d;
  bool all_zero = true;
  for (int i = first; i < r_len; i++) {
    if (r[i] != '0') all_zero = false;
  }
  const bool sign = std::signbit(v) && !all_zero;

  // A zero integer part is written as "0" before the point: it needs its
  // room like any other digit ("-0.1" does not fit 3 bytes: "***").
  const int int_room = d > 0 ? width - d - 1 : width;
  const int needed = int_len + (sign ? 1 : 0);
  if (needed > int_room) {
    FillStars(out, width);
    return false;
  }
  const int shown = int_len;
  const int lead = int_room - shown - (sign ? 1 : 0);
  std::memset(out, ' ', static_cast<size_t>(lead));
  char* o = out + lead;
  if (sign) *o++ = '-';
  std::memcpy(o, digits + (int_len - shown), static_cast<size_t>(shown));
  o += shown;
  if (d > 0) {
    *o++ = '.';
    std::memcpy(o, digits + int_len, static_cast<size_t>(d));
  }
  return true;
}

bool FormatInteger(int64_t v, int width, char* out) {
  if (width <= 0) return true;
  char digits[24];
  int n = 0;
  // Work on the negative side so that INT64_MIN has a magnitude.
  int64_t t = v < 0 ? v : -v;
  do {
    digits[n++] = static_cast<char>('0' - t % 10);
    t /= 10;
  } while (t != 0);
  const int needed = n + (v < 0 ? 1 : 0);
  if (needed > width) {
    FillStars(out, width);
    return false;
  }
  std::memset(out, ' ', static_cast<size_t>(width - needed));
  char* p = out + (width - needed);
  if (v < 0) *p++ = '-';
  while (n > 0) *p++ = digits[--n];
  return true;
}

double ParseDouble(const char* p, size_t n) {
  if (n > kMaxDoubleText) n = kMaxDoubleText;
  size_t i = 0;
  while (i < n && IsSpace(p[i])) i++;
  const size_t start = i;
  bool negative = false;
  if (i < n && (p[i] == '+' || p[i] == '-')) negative = p[i++] == '-';
  // Field text usually has few digits and no exponent: then the digits as an
  // integer divided by a power of ten is exact and correctly rounded (both
  // operands are exact doubles), and the library conversion is not needed.
  uint64_t mantissa = 0;
  size_t fraction_digits = 0;
  size_t mantissa_digits = 0;
  while (i < n && IsDigit(p[i])) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(p[i++] - '0');
    mantissa_digits++;
  }
  if (i < n && p[i] == '.') {
    i++;
    while (i < n && IsDigit(p[i])) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(p[i++] - '0');
      mantissa_digits++;
      fraction_digits++;
    }
  }
  if (mantissa_digits == 0) return 0.0;
  bool exponent = false;
  if (i < n && (p[i] == 'e' || p[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (p[j] == '+' || p[j] == '-')) j++;
    if (j < n && IsDigit(p[j])) {
      exponent = true;
      i = j;
      while (i < n && IsDigit(p[i])) i++;
    }
  }
  static constexpr double kPow10[] = {
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (!exponent && mantissa_digits <= 15) {
    const double v = static_cast<double>(mantissa) / kPow10[fraction_digits];
    return negative ? -v : v;
  }
  // The accepted characters form one run; the library converts a copy of
  // it, so that it never sees forms this reader does not accept
  // (hexadecimal, "inf", "nan").
  char text[kMaxDoubleText + 1];
  std::memcpy(text, p + start, i - start);
  text[i - start] = '\0';
  return std::strtod(text, nullptr);
}

int32_t ParseInt32(const char* p, size_t n) {
  if (n > kMaxIntegerText) n = kMaxIntegerText;
  size_t i = 0;
  while (i < n && IsSpace(p[i])) i++;
  bool negative = false;
  if (i < n && (p[i] == '+' || p[i] == '-')) negative = p[i++] == '-';
  int64_t v = 0;
  while (i < n && IsDigit(p[i])) {
    if (v <= INT32_MAX) v = v * 10 + (p[i] - '0');  // saturates below
    i++;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace xbase32
