// Text helpers of the inventory: reflectance curves and ids.

#include "inventory/inventory_text.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "mixtable/quantity_format.h"

namespace mixtable_inventory {

std::string FormatRefl(const double* values) {
  std::string out;
  char buf[64];
  for (int i = 0; i < kReflValues; ++i) {
    const auto r = std::to_chars(buf, buf + sizeof buf, values[i] * 100.0,
                                 std::chars_format::fixed, 3);
    out.append(buf, r.ec == std::errc() ? r.ptr : buf);
    out += ';';
  }
  return out;
}

void ParseRefl(const std::string& text, double* values) {
  for (int i = 0; i < kReflValues; ++i) values[i] = -1.0;
  size_t pos = 0;
  for (int i = 0; i < kReflValues && pos < text.size(); ++i) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    const char* p = text.data() + pos;
    const size_t n = end - pos;
    // Only a field holding a number (blanks around) counts; anything else
    // stays -1.
    size_t a = 0, b = n;
    while (a < b && (p[a] == ' ' || p[a] == '\t')) ++a;
    while (b > a && (p[b - 1] == ' ' || p[b - 1] == '\t')) --b;
    if (b > a) {
      double v = 0;
      const char* s = p + a;
      if (*s == '+') ++s;
      const auto r = std::from_chars(s, p + b, v);
      if (r.ec == std::errc() && r.ptr == p + b) values[i] = v * 0.01;
    }
    pos = end + 1;
  }
}

std::string IdText(int32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5ld", static_cast<long>(id));
  return buf;
}

int32_t ReadIdText(const char* text) {
  if (text == nullptr) return 0;
  return Wy_ReadId(text, std::strlen(text));
}

}  // namespace mixtable_inventory
