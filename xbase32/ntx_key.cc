#include "ntx_key.h"

#include <cmath>
#include <cstring>

#include "expr/day_number.h"
#include "expr/expr.h"
#include "expr/number_format.h"

namespace xbase32 {

bool KeyInfoOf(const Expr& e, KeyInfo* info) {
  KeyInfo k;
  k.length = e.key_length();
  k.decimals = 0;
  k.trim = e.uses_trim();
  switch (e.type()) {
    case 'C':
      k.type = 'C';
      break;
    case 'N':
    case 'n':
      k.type = 'N';
      k.decimals = e.key_decimals();
      break;
    case 'D':
    case 'd':
      k.type = 'D';
      break;
    default:
      return false;
  }
  if (k.length <= 0) return false;
  *info = k;
  return true;
}

bool NumericKey(double v, int len, int dec, char* out) {
  if (len <= 0) return true;
  const bool negative = v < 0;
  if (!FormatNumber(std::fabs(v), len, dec, out)) return false;
  bool zero = true;
  for (int i = 0; i < len; ++i) {
    if (out[i] == ' ') out[i] = '0';
    if (out[i] != '0' && out[i] != '.') zero = false;
  }
  // A negative number that rounds to zero keys as zero.
  if (negative && !zero) {
    for (int i = 0; i < len; ++i) {
      out[i] = static_cast<char>(92 - static_cast<unsigned char>(out[i]));
    }
  }
  return true;
}

void FormKey(const KeyInfo& info, char expr_type, const char* value,
             int value_length, char* out) {
  const int len = info.length;
  switch (info.type) {
    case 'N': {
      double v = 0;
      if (expr_type == 'n') {
        std::memcpy(&v, value, sizeof v);
      } else {
        v = ParseDouble(value, static_cast<size_t>(value_length));
      }
      NumericKey(v, len, info.decimals, out);
      return;
    }
    case 'D':
      if (expr_type == 'd') {
        double v = 0;
        std::memcpy(&v, value, sizeof v);
        char date[8];
        DayToDate(static_cast<int32_t>(v), date);
        std::memset(out, ' ', static_cast<size_t>(len));
        std::memcpy(out, date, static_cast<size_t>(len < 8 ? len : 8));
        return;
      }
      break;
    default:
      break;
  }
  const int n = value_length < len ? value_length : len;
  std::memcpy(out, value, static_cast<size_t>(n));
  std::memset(out + n, ' ', static_cast<size_t>(len - n));
  if (info.trim) {
    for (int i = len - 1; i >= 0 && out[i] == '\0'; --i) out[i] = ' ';
  }
}

bool SeekKeyFromText(const KeyInfo& info, const char* text, size_t n,
                     std::string* key) {
  const size_t len = static_cast<size_t>(info.length);
  switch (info.type) {
    case 'N':
      return SeekKeyFromNumber(info, ParseDouble(text, n), key);
    case 'D':
      key->assign(text, n < len ? n : len);
      key->resize(len, ' ');
      return true;
    default:
      key->assign(text, n < len ? n : len);
      return true;
  }
}

bool SeekKeyFromNumber(const KeyInfo& info, double v, std::string* key) {
  const size_t len = static_cast<size_t>(info.length);
  key->assign(len, ' ');
  if (info.type == 'D') {
    char date[8];
    DayToDate(static_cast<int32_t>(v), date);
    std::memcpy(key->data(), date, len < 8 ? len : 8);
    return true;
  }
  return NumericKey(v, info.length, info.decimals, key->data());
}

}  // namespace xbase32
