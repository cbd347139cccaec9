#include "expr/day_number.h"

#include <cstring>

namespace xbase32 {

namespace {

// Julian day number of 1970-01-01, the origin of the civil-day arithmetic
// below.
constexpr int32_t kJulian19700101 = 2440588;

// Days from 1970-01-01 to y-m-d (proleptic Gregorian), for any valid date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;  // [0, 399]
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;  // [0, 146096]
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

int32_t DayFromYmd(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) {
    return -1;
  }
  return static_cast<int32_t>(DaysFromCivil(y, m, d) + kJulian19700101);
}

int32_t DateToDay(const char* s) {
  bool blank = true;
  for (int i = 0; i < 8; i++) {
    if (s[i] != ' ' && s[i] != '\0') blank = false;
  }
  if (blank) return 0;
  int v[8];
  for (int i = 0; i < 8; i++) {
    if (s[i] < '0' || s[i] > '9') return -1;
    v[i] = s[i] - '0';
  }
  const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  const int m = v[4] * 10 + v[5];
  const int d = v[6] * 10 + v[7];
  return DayFromYmd(y, m, d);
}

bool YmdFromDay(int32_t day, int* y, int* m, int* d) {
  if (day < kFirstDayNumber || day > kLastDayNumber) return false;
  CivilFromDays(static_cast<int64_t>(day) - kJulian19700101, y, m, d);
  return true;
}

bool DayToDate(int32_t day, char* out) {
  int y, m, d;
  if (!YmdFromDay(day, &y, &m, &d)) {
    std::memset(out, ' ', 8);
    return false;
  }
  const int parts[3][2] = {{y, 4}, {m, 2}, {d, 2}};
  char* p = out;
  for (const auto& part : parts) {
    int v = part[0];
    for (int i = part[1] - 1; i >= 0; i--) {
      p[i] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    p += part[1];
  }
  return true;
}

}  // namespace xbase32
