// WY_UnitConversion: the kind arithmetic over lists of components.
//
// Every conversion goes through parts by volume: the source is normalised
// (an absolute source to fractions of its sum), taken to volume parts
// (pigment parts divided by the loading, weight parts by the specific
// weight), then to the target's relative kind (times the specific weight,
// and the loading for pigment parts), normalised again and finally scaled
// to the target. Two running copies are kept: A, normalised, gives the
// shares; B, raw, gives the converted amount of an absolute source.

#include "mixtable/wy_unit_conversion.h"

#include <cmath>
#include <vector>

#include "mixtable/mixtable.h"
#include "mixtable/ytable.h"

namespace {

bool ValidKind(int kind) {
  return kind >= WY_UNIT_PIGMENT && kind <= WY_UNIT_WEIGHT_SMALL;
}
bool Absolute(int kind) { return kind >= WY_UNIT_VOLUME; }

// The relative kind an absolute kind becomes: weights -> weight parts,
// volumes -> volume parts.
int RelativeKind(int kind) {
  if (kind == WY_UNIT_WEIGHT || kind == WY_UNIT_WEIGHT_SMALL)
    return WY_UNIT_WEIGHT_PARTS;
  if (kind == WY_UNIT_VOLUME || kind == WY_UNIT_VOLUME_SMALL)
    return WY_UNIT_VOLUME_PARTS;
  return kind;
}

// Size of an absolute kind's unit against kinds 3 and 5.
double UnitSize(int kind) {
  return kind == WY_UNIT_VOLUME_SMALL || kind == WY_UNIT_WEIGHT_SMALL ? 0.001
                                                                      : 1.0;
}

// Results keep 9 decimals.
double Round9(double v) { return std::floor(v * 1e9 + 0.5) * 1e-9; }

// One component of a conversion: its quantity and, where known, its
// specific weight and loading (negative: unknown).
struct Component {
  double q;
  double p;
  double load;
};

// The shares of the components after steps 1 to 4, before the absolute
// target's scale.
struct Shares {
  std::vector<double> result;  // normalised results
  double sum = 0.0;            // S: the source sum
  double sum_b = 0.0;          // the raw amounts converted
  bool scaled = false;         // absolute source, relative target, x > 0
};

bool Finite(double v) { return std::isfinite(v); }

// Steps 1 to 4. False for a zero or non-finite sum, an unknown or zero
// specific weight or loading that the conversion uses.
bool ComputeShares(const std::vector<Component>& parts, int from, int to,
                   double x, Shares* out) {
  const bool abs_from = Absolute(from);
  const int rel_from = RelativeKind(from);
  const int rel_to = RelativeKind(to);
  const bool need_load =
      rel_from == WY_UNIT_PIGMENT || rel_to == WY_UNIT_PIGMENT;
  const bool need_p =
      rel_from != WY_UNIT_VOLUME_PARTS || rel_to != WY_UNIT_VOLUME_PARTS;

  double s = 0.0;
  for (const Component& c : parts) s += c.q;
  if (!(s > 0.0) || !Finite(s)) return false;
  out->sum = s;
  out->scaled = abs_from && !Absolute(to) && x > 0.0 && Finite(x);

  std::vector<double> a(parts.size()), b(parts.size());
  double sum_a = 0.0, sum_b = 0.0;
  for (size_t i = 0; i < parts.size(); ++i) {
    const Component& c = parts[i];
    if (need_p && !(c.p > 0.0)) return false;
    if (need_load && !(c.load > 0.0)) return false;
    double ai = abs_from ? c.q / s : c.q;
    double bi = c.q;
    // Towards parts by volume.
    if (rel_from == WY_UNIT_PIGMENT) {
      ai /= c.load;
      bi /= c.load;
    }
    if (rel_from == WY_UNIT_PIGMENT || rel_from == WY_UNIT_WEIGHT_PARTS) {
      ai /= c.p;
      bi /= c.p;
    }
    // Towards the target's relative kind.
    if (rel_to == WY_UNIT_WEIGHT_PARTS || rel_to == WY_UNIT_PIGMENT) {
      ai *= c.p;
      bi *= c.p;
    }
    if (rel_to == WY_UNIT_PIGMENT) {
      ai *= c.load;
      bi *= c.load;
    }
    a[i] = ai;
    b[i] = bi;
    sum_a += ai;
    sum_b += bi;
  }
  if (!(sum_a > 0.0) || !Finite(sum_a) || !Finite(sum_b)) return false;
  out->sum_b = sum_b;
  const double scale = out->scaled ? s / x : abs_from ? 1.0 : s;
  out->result.resize(parts.size());
  for (size_t i = 0; i < parts.size(); ++i)
    out->result[i] = a[i] / sum_a * scale;
  return true;
}

// Rounds every value; false when one is not finite.
bool RoundAll(std::vector<double>* values) {
  for (double& v : *values) {
    v = Round9(v);
    if (!Finite(v)) return false;
  }
  return true;
}

bool ValidQuantity(double q) { return Finite(q) && q >= 0.0; }

double Lookup(const WY_UnitConversion::Map& map, int32_t id) {
  auto it = map.find(id);
  return it == map.end() ? -1.0 : it->second;
}

// Reads one table into the maps: SPEC_W into *spec_w, loading (when a map is
// given) into *loading, 1.0 into *unit_loading (when given).
bool ReadTable(CMixtable* tables, int table, WY_UnitConversion::Map* spec_w,
               WY_UnitConversion::Map* loading,
               WY_UnitConversion::Map* unit_loading) {
  Wdbase* db = tables->Handle(table);
  if (db == nullptr) return false;
  uint32_t state = 0;
  if (!tables->TmpOpen(db, &state)) {
    tables->TmpClose(db, &state);
    return false;
  }
  const bool has_load = loading != nullptr && db->FieldNo("LOADING") > 0;
  for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
    if (db->Deleted()) continue;
    const int32_t id = db->ReadLong("ID");
    const double w = db->ReadDouble("SPEC_W");
    (*spec_w)[id] = w > 0.0 && Finite(w) ? w * 0.001 : 0.0;
    if (loading != nullptr) {
      const double l = has_load ? db->ReadDouble("LOADING") : 0.0;
      (*loading)[id] = l > 0.0 && Finite(l) ? l * 0.01 : 0.0;
    }
    if (unit_loading != nullptr) (*unit_loading)[id] = 1.0;
  }
  tables->TmpClose(db, &state);
  return true;
}

constexpr size_t kBuckets = 17;

}  // namespace

WY_UnitConversion::WY_UnitConversion()
    : m_BasSpecW(kBuckets),
      m_CntSpecW(kBuckets),
      m_CntLoading(kBuckets),
      m_BasLoading(kBuckets) {}

WY_UnitConversion::~WY_UnitConversion() = default;

bool WY_UnitConversion::Initialize(CMixtable* tables) {
  m_BasSpecW.clear();
  m_CntSpecW.clear();
  m_CntLoading.clear();
  m_BasLoading.clear();
  m_pTables = tables;
  if (tables == nullptr) return false;
  Map bas_w(kBuckets), bas_l(kBuckets), cnt_w(kBuckets), cnt_l(kBuckets);
  if (!ReadTable(tables, Y_BASES, &bas_w, nullptr, &bas_l) ||
      !ReadTable(tables, Y_CNTS, &cnt_w, &cnt_l, nullptr))
    return false;
  m_BasSpecW.swap(bas_w);
  m_BasLoading.swap(bas_l);
  m_CntSpecW.swap(cnt_w);
  m_CntLoading.swap(cnt_l);
  return true;
}

double WY_UnitConversion::GetPS(bool base, int32_t id) const {
  const double p = Lookup(base ? m_BasSpecW : m_CntSpecW, id);
  return p > 0.0 ? p : 0.0;
}

bool WY_UnitConversion::Convert(const int32_t* ids, double* quantities, int n,
                                int from, int to, double& total, double x) {
  if (!ValidKind(from) || !ValidKind(to)) return false;
  if (n <= 0 || ids == nullptr || quantities == nullptr) return false;
  if (from == to) return true;
  std::vector<Component> parts(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    if (!ValidQuantity(quantities[i])) return false;
    parts[i] = {quantities[i], Lookup(m_CntSpecW, ids[i]),
                Lookup(m_CntLoading, ids[i])};
  }
  Shares sh;
  if (!ComputeShares(parts, from, to, x, &sh)) return false;
  double new_total = total;
  if (Absolute(to)) {
    double g;
    if (Absolute(from)) {
      g = sh.sum_b * UnitSize(from) / UnitSize(to);
    } else {
      if (!ValidQuantity(total)) return false;
      g = total;
    }
    for (double& v : sh.result) v *= g;
  } else if (Absolute(from)) {
    new_total = sh.scaled ? x : sh.sum_b;
  }
  if (!RoundAll(&sh.result)) return false;
  for (int i = 0; i < n; ++i) quantities[i] = sh.result[i];
  total = new_total;
  return true;
}

bool WY_UnitConversion::Convert(int32_t baseId, double* baseQuantity,
                                const int32_t* ids, double* quantities, int n,
                                int from, int to, double x) {
  if (!ValidKind(from) || !ValidKind(to)) return false;
  if (baseQuantity == nullptr || n < 0) return false;
  if (n > 0 && (ids == nullptr || quantities == nullptr)) return false;
  if (from == to) return true;
  if (Absolute(to) && !(x > 0.0 && Finite(x))) return false;
  std::vector<Component> parts(static_cast<size_t>(n) + 1);
  if (!ValidQuantity(*baseQuantity)) return false;
  parts[0] = {*baseQuantity, Lookup(m_BasSpecW, baseId),
              Lookup(m_BasLoading, baseId)};
  // The base must be known even where no specific weight is needed.
  if (parts[0].load < 0.0) return false;
  for (int i = 0; i < n; ++i) {
    if (!ValidQuantity(quantities[i])) return false;
    parts[i + 1] = {quantities[i], Lookup(m_CntSpecW, ids[i]),
                    Lookup(m_CntLoading, ids[i])};
  }
  Shares sh;
  if (!ComputeShares(parts, from, to, x, &sh)) return false;
  if (Absolute(to)) {
    const double base_share = sh.result[0];
    if (!(base_share > 0.0)) return false;
    for (double& v : sh.result) v = x * (v / base_share);
    sh.result[0] = x;
  }
  if (!RoundAll(&sh.result)) return false;
  *baseQuantity = sh.result[0];
  for (int i = 0; i < n; ++i) quantities[i] = sh.result[i + 1];
  return true;
}

double WY_UnitConversion::SingleConvert(const int32_t* ids,
                                        const double* quantities, int n,
                                        double factor, int from, int to) {
  if (from == to || !ValidKind(from) || !ValidKind(to) || !Absolute(from) ||
      !Absolute(to))
    return 0.0;
  if (n <= 0 || ids == nullptr || quantities == nullptr) return 0.0;
  if (!ValidQuantity(factor)) return 0.0;
  const bool weight_from = RelativeKind(from) == WY_UNIT_WEIGHT_PARTS;
  const bool weight_to = RelativeKind(to) == WY_UNIT_WEIGHT_PARTS;
  const double size = UnitSize(from) / UnitSize(to);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    if (!ValidQuantity(quantities[i])) return 0.0;
    double a = factor * quantities[i] * size;
    if (weight_from != weight_to) {
      const double p = Lookup(m_CntSpecW, ids[i]);
      if (!(p > 0.0)) continue;  // unknown or 0: adds nothing
      a = weight_to ? a * p : a / p;
    }
    sum += a;
  }
  return Finite(sum) ? sum : 0.0;
}
