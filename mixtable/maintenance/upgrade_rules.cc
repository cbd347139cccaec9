// The value rules of the upgrade: BLEND_L/BLEND_S values and key fields.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "maintenance/upgrade.h"

namespace mixtable {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

// A trimmed text of an optional sign and 1..9 digits; *v its value.
bool PlainInteger(const std::string& t, long* v) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
  const size_t digits = t.size() - i;
  if (digits == 0 || digits > 9) return false;
  for (size_t k = i; k < t.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
  }
  *v = std::strtol(t.c_str(), nullptr, 10);
  return true;
}

}  // namespace

int NormaliseBlendValue(const std::string& value, std::string* out,
                        std::string* why) {
  std::vector<std::string> items(1);
  for (char c : value) {
    if (c == ',') {
      items.emplace_back();
    } else {
      items.back() += c;
    }
  }
  if (items.size() != 4) return 0;
  const std::string name = Trim(items[0]);
  long a = 0, b = 0;
  if (name.size() > 3) {
    if (why) *why = "item 1 longer than 3 characters";
    return -1;
  }
  if (!PlainInteger(Trim(items[1]), &a) || a < -99 || a > 999) {
    if (why) *why = "item 2 not an integer of at most 3 characters";
    return -1;
  }
  if (!PlainInteger(Trim(items[3]), &b) || b < -999 || b > 9999) {
    if (why) *why = "item 4 not an integer of at most 4 characters";
    return -1;
  }
  const std::string third = Trim(items[2]);
  // A NUL would end the text early: it counts as blank, as an empty item.
  const char c = third.empty() || third[0] == '\0' ? ' ' : third[0];
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-3.3s,%3d,%1c,%4d", name.c_str(),
                static_cast<int>(a), c, static_cast<int>(b));
  *out = buf;
  return 1;
}

int NormaliseKeyValue(const std::string& raw, std::string* out) {
  if (raw.find_first_not_of(' ') == std::string::npos) return 0;
  long v = 0;
  if (!PlainInteger(Trim(raw), &v)) return -1;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5ld", v);
  if (raw == buf) return 0;  // already in its form ("    0" too)
  *out = v == 0 ? std::string(raw.size(), ' ') : std::string(buf);
  return out->size() == raw.size() ? 1 : 0;  // a form that does not fit
}

bool IsKeyField(const char* name, char type, int len) {
  if (type != 'C' || len != 5 || name == nullptr) return false;
  std::string n(name);
  for (char& c : n) c = static_cast<char>(std::toupper((unsigned char)c));
  for (const char* k :
       {"ID", "PROD_KEY", "SUBP_KEY", "DOMIN", "CONTR", "SDOM1", "SDOM2"}) {
    if (n == k) return true;
  }
  if (n.size() >= 3 && n.compare(n.size() - 3, 3, "_ID") == 0) return true;
  return n.compare(0, 3, "ID_") == 0;
}

int64_t Percent(int64_t done, int64_t total) {
  if (total <= 0) return 0;
  int64_t p = done * 100 / total;
  return p < 0 ? 0 : (p > 100 ? 100 : p);
}

}  // namespace mixtable
