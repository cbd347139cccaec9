// Ruler correction of formula texts.

#include "mixtable/yformula_ruler.h"

#include <charconv>
#include <cmath>
#include <new>
#include <vector>

namespace {

// printf's "%g": 6 significant digits, the shorter of fixed and exponent
// form, with a point whatever the locale.
std::string PrintG(double v) {
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  char buf[64];
  auto r =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

int Correct(yformula& f, const char* text, int32_t base_id, YRuler* ruler,
            bool divide, double factor) {
  if (!f.set(text)) return 0;
  try {
    std::vector<YFormulaPair> pairs;
    if (!f.parse(&pairs) || pairs.empty()) return 0;
    double base = 1.0, rule = 0.0;
    if (ruler != nullptr && ruler->Rule("BA", base_id, &rule)) base = rule;
    yformula out;
    for (const YFormulaPair& p : pairs) {
      double c = base;
      if (ruler != nullptr && ruler->Rule("CO", p.id, &rule)) c = rule * base;
      double q = p.quantity;
      if (!divide) {
        q *= c;
      } else if (c > 0) {
        q /= c;
      }
      q *= factor;
      if (!out.add(p.id, PrintG(q).c_str())) return 0;  // memory only
    }
    f = out;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

}  // namespace

std::string Wy_RulerKey(const char* kind, int32_t id) {
  std::string k = kind != nullptr ? std::string(kind).substr(0, 2) : "";
  k.insert(0, 2 - k.size(), ' ');
  std::string n = std::to_string(id);
  if (n.size() < 5) n.insert(0, 5 - n.size(), ' ');
  return k + n;
}

int Wy_SetAndRuler(yformula& f, const char* text, int32_t base_id,
                   YRuler* ruler, bool divide) {
  if (ruler == nullptr) {
    f.set(text);
    return 0;
  }
  return Correct(f, text, base_id, ruler, divide, 1.0);
}

int Wy_SetAndRulerEx(yformula& f, const char* text, int32_t base_id,
                     YRuler* ruler, bool divide, double factor) {
  if (factor == 0 || std::isnan(factor)) {
    f.set(text);
    return 0;
  }
  return Correct(f, text, base_id, base_id >= 1 ? ruler : nullptr, divide,
                 factor);
}
