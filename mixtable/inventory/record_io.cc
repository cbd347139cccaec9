// Field access of the inventory records.

#include "inventory/record_io.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "mixtable/quantity_format.h"

namespace mixtable_inventory {

bool ReadText(const Wdbase& db, const char* field, std::string* out,
              bool ltrim) {
  out->clear();
  const int len = db.FieldLen(field);
  if (len <= 0) return false;
  std::vector<char> buf(static_cast<size_t>(len) + 1, '\0');
  if (!db.ReadString(field, buf.data(), len + 1, ltrim ? 1 : 0, 1))
    return false;
  *out = buf.data();
  return true;
}

std::string ReadOptionalText(const Wdbase& db, const char* field) {
  std::string text;
  if (db.FieldNo(field) > 0) ReadText(db, field, &text);
  return text;
}

int32_t ReadId(const Wdbase& db, const char* field) {
  if (db.FieldNo(field) <= 0) return 0;
  const char* raw = db.Read(field);
  return raw == nullptr ? 0 : Wy_ReadId(raw, std::strlen(raw));
}

uint32_t ReadUnsigned(const Wdbase& db, const char* field) {
  if (db.FieldNo(field) <= 0) return 0;
  const char* raw = db.Read(field);
  if (raw == nullptr) return 0;
  while (*raw == ' ') ++raw;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(raw, &end, 10);
  if (end == raw || v > 0xFFFFFFFFull) return 0;
  return static_cast<uint32_t>(v);
}

double ReadNumber(const Wdbase& db, const char* field) {
  if (db.FieldNo(field) <= 0) return 0.0;
  const char* raw = db.Read(field);
  return raw == nullptr ? 0.0 : Wy_ReadDouble(raw, std::strlen(raw));
}

bool ReadFlag(const Wdbase& db, const char* field) {
  return db.FieldNo(field) > 0 && db.ReadBool(field) != 0;
}

tm ReadDate(const Wdbase& db, const char* field) {
  tm t{};
  t.tm_mday = t.tm_mon = t.tm_year = -1;
  if (db.FieldNo(field) <= 0) return t;
  const char* raw = db.Read(field);
  if (raw == nullptr || std::strlen(raw) < 8) return t;
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (raw[i] < '0' || raw[i] > '9') return t;
    v[i] = raw[i] - '0';
  }
  const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  const int m = v[4] * 10 + v[5];
  const int d = v[6] * 10 + v[7];
  if (m < 1 || m > 12 || d < 1 || d > 31) return t;
  t.tm_year = y;
  t.tm_mon = m;
  t.tm_mday = d;
  return t;
}

bool WriteText(Wdbase& db, const char* field, const std::string& text) {
  return db.WriteString(field, text.empty() ? " " : text.c_str()) != 0;
}

bool WriteDate(Wdbase& db, const char* field, const tm& date) {
  if (date.tm_year < 1 || date.tm_year > 9999 || date.tm_mon < 1 ||
      date.tm_mon > 12 || date.tm_mday < 1 || date.tm_mday > 31)
    return db.WriteString(field, "        ") != 0;
  const char* text = Wdbase::MakeDate(date.tm_year, date.tm_mon, date.tm_mday);
  return text != nullptr && db.WriteString(field, text) != 0;
}

bool WriteFlag(Wdbase& db, const char* field, bool on) {
  return db.WriteString(field, on ? "T" : "F") != 0;
}

std::string AsStored(const std::string& text, int width) {
  std::string s = text.substr(0, width > 0 ? static_cast<size_t>(width) : 0);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace mixtable_inventory
