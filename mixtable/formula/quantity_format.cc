// The quantity formatter and the classic number grammar of formula texts.

#include "mixtable/quantity_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// printf-style text of value with d decimals, fixed or exponent form
// ("1.50e+02"), independent of the locale and of any buffer size.
std::string PrintNumber(double value, int d, bool exponent) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  std::string out(64, '\0');
  auto fmt =
      exponent ? std::chars_format::scientific : std::chars_format::fixed;
  for (;;) {
    auto r = std::to_chars(out.data(), out.data() + out.size(), value, fmt, d);
    if (r.ec == std::errc()) {
      out.resize(r.ptr - out.data());
      return out;
    }
    out.resize(out.size() * 2);  // 1e300 with 20 decimals needs ~330 bytes
  }
}

}  // namespace

std::string Wy_FormatQuantity(double value, int decimals, int exponent) {
  int d = decimals < 0 ? 0 : (decimals > 20 ? 20 : decimals);
  std::string s = PrintNumber(value, d, exponent != 0);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  size_t point = s.find('.');
  if (point != std::string::npos) {
    size_t end = point + 1;
    while (end < s.size() && IsDigit(s[end])) ++end;
    size_t keep = end;
    while (keep > point + 1 && s[keep - 1] == '0') --keep;
    if (keep == point + 1) keep = point;  // a bare point goes too
    s.erase(keep, end - keep);
  }
  if (exponent) {
    size_t e = s.find('E');
    if (e != std::string::npos) {
      size_t digits = e + 1;
      if (digits < s.size() && (s[digits] == '+' || s[digits] == '-')) ++digits;
      size_t first = digits;
      while (first < s.size() && s[first] == '0') ++first;
      s.erase(digits, first - digits);
      if (digits >= s.size()) s.erase(e);
    }
  }
  return s;
}

int DecimalsNeeded(double x) {
  double scale = 1.0;
  for (int i = 0; i < 7; ++i) {
    if (x - std::floor(x * scale) / scale <= 2.220446e-16) return i;
    scale *= 10.0;
  }
  return 7;
}

double Wy_ReadDouble(const char* text, size_t len) {
  if (text == nullptr) return 0.0;
  size_t i = 0;
  while (i < len && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < len && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  size_t start = i;  // from_chars takes no '+' sign: parse from the digits
  size_t int_digits = 0, frac_digits = 0, lead_zeros = 0;
  bool nonzero = false;
  while (i < len && IsDigit(text[i])) {
    if (text[i] != '0') nonzero = true;
    if (!nonzero) ++lead_zeros;
    ++i, ++int_digits;
  }
  size_t frac_zeros = 0;
  if (i < len && text[i] == '.') {
    ++i;
    while (i < len && IsDigit(text[i])) {
      if (!nonzero && text[i] == '0') ++frac_zeros;
      if (text[i] != '0') nonzero = true;
      ++i, ++frac_digits;
    }
  }
  if (int_digits + frac_digits == 0) return 0.0;
  long long exp10 = 0;
  if (i < len && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool eneg = false;
    if (j < len && (text[j] == '+' || text[j] == '-')) eneg = text[j++] == '-';
    if (j < len && IsDigit(text[j])) {
      while (j < len && IsDigit(text[j])) {
        if (exp10 < 100000) exp10 = exp10 * 10 + (text[j] - '0');
        ++j;
      }
      if (eneg) exp10 = -exp10;
      i = j;
    }
  }
  double value = 0.0;
  auto r = std::from_chars(text + start, text + i, value,
                           std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Decimal position of the first significant digit decides the side.
    long long magnitude =
        int_digits > lead_zeros
            ? static_cast<long long>(int_digits - lead_zeros) + exp10
            : exp10 - static_cast<long long>(frac_zeros);
    value = (nonzero && magnitude > 0) ? HUGE_VAL : 0.0;
  } else if (r.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

int32_t Wy_ReadId(const char* text, size_t len) {
  if (text == nullptr) return 0;
  size_t i = 0;
  while (i < len && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < len && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long v = 0;
  bool out_of_range = false;
  for (; i < len && IsDigit(text[i]); ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) {
      out_of_range = true;
      v = 2147483648LL;
    }
  }
  if (negative) v = -v;
  if (out_of_range || v > std::numeric_limits<int32_t>::max() ||
      v < std::numeric_limits<int32_t>::min()) {
    return 0;
  }
  return static_cast<int32_t>(v);
}
