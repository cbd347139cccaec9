#include "expr/date_picture.h"

#include <cstring>

namespace xbase32 {

namespace {

const char* const kMonthNames[12] = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

bool IsPictureLetter(char c) {
  return c == 'C' || c == 'Y' || c == 'M' || c == 'D';
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

size_t RunLength(const char* p) {
  size_t k = 1;
  while (p[k] == p[0]) k++;
  return k;
}

// Writes the last k characters of src[0, len) into out, blank-padded on the
// left when k > len.
void LastChars(const char* src, size_t len, size_t k, char* out) {
  for (size_t j = 0; j < k; j++) {
    const size_t from_end = k - j;  // 1-based distance from the end
    out[j] = from_end <= len ? src[len - from_end] : ' ';
  }
}

// Fills dst[0, len) right-aligned with the last characters of src[0, k),
// "0" on the left when k < len.
void FillRight(char* dst, size_t len, const char* src, size_t k) {
  for (size_t j = 0; j < len; j++) {
    const size_t from_end = len - j;
    dst[j] = from_end <= k ? src[k - from_end] : '0';
  }
}

}  // namespace

void FormatDatePicture(const char* date, const char* picture, char* out) {
  const char* p = picture;
  while (*p != '\0') {
    if (!IsPictureLetter(*p)) {
      *out++ = *p++;
      continue;
    }
    const size_t k = RunLength(p);
    switch (*p) {
      case 'C':
        LastChars(date, 2, k, out);
        break;
      case 'Y':
        LastChars(date, 4, k, out);
        break;
      case 'D':
        LastChars(date + 6, 2, k, out);
        break;
      default:  // 'M'
        if (k < 3) {
          LastChars(date + 4, 2, k, out);
        } else {
          std::memset(out, ' ', k);
          const int m = (date[4] - '0') * 10 + (date[5] - '0');
          if (date[4] >= '0' && date[4] <= '9' && date[5] >= '0' &&
              date[5] <= '9' && m >= 1 && m <= 12) {
            const size_t len = std::strlen(kMonthNames[m - 1]);
            std::memcpy(out, kMonthNames[m - 1], len < k ? len : k);
          }
        }
        break;
    }
    out += k;
    p += k;
  }
}

void ParseDatePicture(const char* text, size_t n, const char* picture,
                      char* date) {
  char cc[2] = {'1', '9'}, yy[2] = {'0', '1'}, mm[2] = {'0', '1'},
       dd[2] = {'0', '1'};
  bool any = false;
  const size_t plen = std::strlen(picture);
  size_t i = 0;
  while (i < plen) {
    const char letter = picture[i];
    if (!IsPictureLetter(letter)) {
      i++;
      continue;
    }
    const size_t k = RunLength(picture + i);
    // The text under the run, as far as the text reaches.
    const size_t have = i >= n ? 0 : (n - i < k ? n - i : k);
    char part[64];
    size_t got = 0;
    bool blank = true;
    for (size_t j = 0; j < have && got < sizeof(part); j++) {
      const char c = text[i + j];
      if (c != ' ' && c != '\0') blank = false;
      part[got++] = c == ' ' || c == '\0' ? '0' : c;
    }
    if (!blank) any = true;
    if (got > 0) {
      switch (letter) {
        case 'C':
          FillRight(cc, 2, part, got);
          break;
        case 'Y':
          if (k >= 4) {
            char whole[4];
            FillRight(whole, 4, part, got);
            std::memcpy(cc, whole, 2);
            std::memcpy(yy, whole + 2, 2);
          } else {
            FillRight(yy, 2, part, got);
          }
          break;
        case 'D':
          FillRight(dd, 2, part, got);
          break;
        default:  // 'M'
          if (k < 3) {
            FillRight(mm, 2, part, got);
          } else if (!blank) {
            // The name as written, without blanks around it.
            const char* s = text + i;
            size_t len = have;
            while (len > 0 && (*s == ' ' || *s == '\0')) {
              s++;
              len--;
            }
            while (len > 0 && (s[len - 1] == ' ' || s[len - 1] == '\0')) len--;
            mm[0] = mm[1] = '0';
            for (int m = 0; m < 12; m++) {
              const char* name = kMonthNames[m];
              bool match = len <= std::strlen(name);
              for (size_t j = 0; j < len && match; j++) {
                match = Upper(s[j]) == Upper(name[j]);
              }
              if (match) {
                mm[0] = static_cast<char>('0' + (m + 1) / 10);
                mm[1] = static_cast<char>('0' + (m + 1) % 10);
                break;
              }
            }
          }
          break;
      }
    }
    i += k;
  }
  if (!any) {
    std::memset(date, ' ', 8);
    return;
  }
  std::memcpy(date, cc, 2);
  std::memcpy(date + 2, yy, 2);
  std::memcpy(date + 4, mm, 2);
  std::memcpy(date + 6, dd, 2);
}

}  // namespace xbase32
