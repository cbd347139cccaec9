// The conversion table of a structure conversion: one value of a source
// field into a target field, and whether the value survives it.
//
// A value survives when it reads back as before: a text without its
// trailing blanks fits the target; a number stays equal (fewer decimals or
// an overflow lose it; a "*"-filled number holds none); a logical target
// from blank, 0, 1 or T/F/Y/N; a date target from blank or a valid
// CCYYMMDD; anything into a memo; a memo into anything else only when empty.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "maintenance/convert.h"

namespace mixtable {
namespace {

char Kind(char type) {
  if (type == 'F') return 'N';
  if (type == 'G') return 'M';
  return type;
}

bool Blank(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != ' ' && p[i] != '\0') return false;
  return true;
}

// Length of the text without trailing blanks (and NULs).
size_t TrimmedLen(const char* p, size_t n) {
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
  return n;
}

std::string Trim(const char* p, size_t n) {
  size_t b = 0;
  n = TrimmedLen(p, n);
  while (b < n && p[b] == ' ') ++b;
  return std::string(p + b, n - b);
}

void Fill(char* tp, int len, char c) {
  std::memset(tp, c, static_cast<size_t>(len));
}

// Left-aligned copy of up to len bytes; the rest blank.
void PutText(const char* p, size_t n, char* tp, int len) {
  Fill(tp, len, ' ');
  std::memcpy(tp, p, std::min(n, static_cast<size_t>(len)));
}

bool ValidDate(const char* p) {
  for (int i = 0; i < 8; ++i)
    if (!std::isdigit(static_cast<unsigned char>(p[i]))) return false;
  const int y = std::atoi(std::string(p, 4).c_str());
  const int m = std::atoi(std::string(p + 4, 2).c_str());
  const int d = std::atoi(std::string(p + 6, 2).c_str());
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d > kDays[m - 1]) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return !(m == 2 && d == 29 && !leap);
}

// The meaning of a logical-looking text: 1 true, 0 false, -1 none.
int Logical(const std::string& t) {
  if (t.empty()) return 0;
  if (t.size() != 1) return -1;
  switch (std::toupper(static_cast<unsigned char>(t[0]))) {
    case '1':
    case 'T':
    case 'Y':
      return 1;
    case '0':
    case 'F':
    case 'N':
      return 0;
    default:
      return -1;
  }
}

// A number text printed into a target of width and dec; false (filled with
// "*") when it does not fit.
bool PutNumber(const std::string& canon, const char* text, size_t n,
               const WDBASE_FIELD& t, char* tp) {
  char buf[400];
  int w;
  const bool integral = canon.find('.') == std::string::npos;
  if (t.dec == 0 && integral && canon.size() <= 19) {
    errno = 0;
    const long long v = std::strtoll(canon.c_str(), nullptr, 10);
    if (errno == ERANGE) return Fill(tp, t.len, '*'), false;
    w = std::snprintf(buf, sizeof buf, "%*lld", t.len, v);
  } else {
    const double v = std::strtod(std::string(text, n).c_str(), nullptr);
    if (t.dec == 0) {
      w = std::snprintf(buf, sizeof buf, "%*.0f", t.len,
                        v < 0 ? -std::floor(-v) : std::floor(v));
    } else {
      w = std::snprintf(buf, sizeof buf, "%*.*f", t.len, t.dec, v);
    }
  }
  if (w < 0 || w > t.len) return Fill(tp, t.len, '*'), false;
  std::memcpy(tp, buf, static_cast<size_t>(t.len));
  return true;
}

}  // namespace

std::string CanonicalNumber(const char* text, size_t n) {
  const std::string s = Trim(text, n);
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  std::string whole, frac;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
    whole += s[i++];
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
      frac += s[i++];
  }
  if (i != s.size() || (whole.empty() && frac.empty())) return std::string();
  whole.erase(0, whole.find_first_not_of('0'));
  if (whole.empty()) whole.assign(1, '0');
  frac.erase(frac.find_last_not_of('0') + 1);
  if (whole == "0" && frac.empty()) neg = false;
  std::string out = neg ? "-" + whole : whole;
  if (!frac.empty()) out += "." + frac;
  return out;
}

bool CellHasValue(const CellIn& in) {
  if (Kind(in.type) == 'M') return in.memo && !in.memo->empty();
  return !Blank(in.bytes, static_cast<size_t>(in.len));
}

bool ConvertCell(const CellIn& in, const WDBASE_FIELD& t, char* tp,
                 std::string* memo_out) {
  const char from = Kind(in.type);
  const size_t n = static_cast<size_t>(in.len);
  const char* sp = in.bytes;
  const bool has_value = CellHasValue(in);
  const std::string empty;
  const std::string& memo = in.memo ? *in.memo : empty;
  Fill(tp, t.len, ' ');
  if (memo_out) memo_out->clear();

  switch (Kind(t.type)) {
    case 'C':
      if (from == 'M') {
        PutText(memo.data(), memo.size(), tp, t.len);
        return memo.empty();
      }
      PutText(sp, n, tp, t.len);
      return TrimmedLen(sp, n) <= static_cast<size_t>(t.len);

    case 'D':
      if (from == 'D' || (from == 'C' && n >= 8)) {
        PutText(sp, n, tp, t.len);
        if (!has_value) return true;
        return TrimmedLen(sp, n) == 8 && ValidDate(sp);
      }
      return !has_value;

    case 'L': {
      if (!has_value) {
        tp[0] = 'F';
        return true;
      }
      if (from == 'L') {
        const int v = Logical(Trim(sp, n));
        tp[0] = v == 1 ? 'T' : 'F';
        return v >= 0 || sp[0] == '?';
      }
      if (from == 'C') {
        const std::string text = Trim(sp, n);
        const char c = sp[0];
        const std::string canon = CanonicalNumber(sp, n);
        if (c == '1' || c == 'T' || c == 'Y' || c == 't' || c == 'y') {
          tp[0] = 'T';
        } else {
          tp[0] = (!canon.empty() && canon != "0") ? 'T' : 'F';
        }
        const int v = Logical(text);
        return v >= 0 && (tp[0] == 'T') == (v == 1);
      }
      if (from == 'N') {
        const std::string text = Trim(sp, n);
        if (!text.empty() && text[0] == '*') {
          tp[0] = 'F';
          return true;  // holds no number
        }
        const std::string canon = CanonicalNumber(sp, n);
        tp[0] = (!canon.empty() && canon != "0") ? 'T' : 'F';
        return canon == "0" || canon == "1";
      }
      tp[0] = 'F';
      return false;  // a date or a memo text
    }

    case 'N': {
      if (!has_value) return true;  // blank stays blank
      if (from == 'N' || from == 'C') {
        const std::string text = Trim(sp, n);
        if (!text.empty() && text[0] == '*') {
          Fill(tp, t.len, '*');
          return from == 'N';  // a "*"-filled number holds none
        }
        const std::string canon = CanonicalNumber(sp, n);
        if (canon.empty()) {
          // Not a number: what a numeric reading makes of it.
          char num[64];
          std::snprintf(num, sizeof num, "%.*f", static_cast<int>(t.dec),
                        std::strtod(text.c_str(), nullptr));
          PutNumber(CanonicalNumber(num, std::strlen(num)), num,
                    std::strlen(num), t, tp);
          return false;
        }
        if (!PutNumber(canon, text.c_str(), text.size(), t, tp)) return false;
        return CanonicalNumber(tp, static_cast<size_t>(t.len)) == canon;
      }
      if (from == 'L') {
        const char c =
            static_cast<char>(std::toupper(static_cast<unsigned char>(sp[0])));
        tp[0] = (c == '1' || c == 'T' || c == 'Y') ? '1' : '0';
        return true;
      }
      return false;  // a date or a memo text
    }

    case 'M':
      if (memo_out) {
        if (from == 'M') {
          *memo_out = memo;
        } else {
          *memo_out =
              from == 'N' ? Trim(sp, n) : std::string(sp, TrimmedLen(sp, n));
        }
      }
      return true;

    default:
      PutText(sp, n, tp, t.len);
      return !has_value;
  }
}

std::string FieldLine(const char* tag, const char* name, char type, int len,
                      int dec) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-6.6s: %-10.10s %c %3d.%d", tag, name, type,
                len, dec);
  return buf;
}

std::string ChangeLine(const char* tag, const ConvSource& from,
                       const WDBASE_FIELD& to) {
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "%-6.6s: %-10.10s %c %3d.%d -> %-10.10s %c %3d.%d", tag,
                from.name.c_str(), from.type, from.len, from.dec, to.name,
                to.type, static_cast<int>(to.len), static_cast<int>(to.dec));
  return buf;
}

}  // namespace mixtable
