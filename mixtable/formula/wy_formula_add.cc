// Wy_Formula::SumAformula and SubtractAformula: another formula's colorants
// brought into this formula's can and units and added or subtracted, and the
// bases combined (component by component for bases made of components, by
// the can sizes otherwise). All or nothing: the work is done on a copy that
// replaces this formula only when every step succeeded.

#include <cstdio>
#include <new>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_unit_conversion.h"

namespace {

constexpr int kDecimals = 12;
constexpr double kRest = 0.0001;  // what a subtraction may leave below zero

bool HasBaseFormula(const Wy_BaseAndCan& bc) {
  return bc.BaseFrmId > 0 || !bc.BaseFrm.empty();
}

// The formula's colorants as plain volume (unit / fraction applied, weights
// converted with the specific weights of its data set).
bool ToPlainVolume(const Wy_Formula& f, yformula* text) {
  Wy_Frm v;
  f.GetYFrm(v, nullptr);
  *text = v.m_Frm;
  if (v.IsEmpty()) return true;
  const double unit = v.m_Units.m_dUnit, fraction = v.m_Units.m_dFraction;
  if (!(unit > 0) || !(fraction > 0)) return false;
  if (f.m_WeightMode != 0) {
    CMixtableEx ts;
    ts.SetDataId(f.m_DataId);
    return text->to_volume(&ts.Mixtable(), unit / fraction, kDecimals, 0) != 0;
  }
  return text->resize(fraction, unit, kDecimals, 0) != 0;
}

// Plain volume into the formula's units.
bool FromPlainVolume(const Wy_Formula& f, yformula* text) {
  if (text->get()[0] == '\0') return true;
  double unit, fraction;
  if (f.m_WeightMode != 0) {
    unit = f.m_WgUnit, fraction = f.m_WgFraction;
    CMixtableEx ts;
    ts.SetDataId(f.m_DataId);
    if (!text->to_weight(&ts.Mixtable(), 1.0, kDecimals, 0)) return false;
  } else {
    unit = f.m_VlUnit, fraction = f.m_VlFraction;
  }
  if (!(unit > 0) || !(fraction > 0)) return false;
  return text->resize(unit, fraction, kDecimals, 0) != 0;
}

// The base formula as absolute volumes for the base and can. The fill of
// the can's kind times Nom_Q / 1000 is the base's volume for a can by weight
// too (the fill quantity, the resize between can kinds and the new fill
// below, 1000 x V / Nom_Q, all read it so); weighting it by the specific
// weight as well put some thousand times the base into a can by weight and
// skewed the merged parts when the two specific weights differ.
bool BaseVolumes(WY_UnitConversion& uc, const Wy_BaseAndCan& bc,
                 std::vector<YFormulaPair>* out) {
  yformula t;
  if (!t.set(bc.BaseFrm) || !t.parse(out) || out->empty()) return false;
  if (!(bc.Nom_Q > 0)) return false;
  double total = (bc.CanWeight ? bc.Fill_W : bc.Fill_Q) * bc.Nom_Q * 0.001;
  // The conversion takes the parts as fractions of 1.
  double parts = 0;
  for (const YFormulaPair& p : *out) parts += p.quantity;
  if (!(parts > 0)) return false;
  std::vector<int32_t> ids;
  std::vector<double> q;
  for (YFormulaPair& p : *out) p.quantity /= parts;
  for (const YFormulaPair& p : *out)
    ids.push_back(p.id), q.push_back(p.quantity);
  const int from =
      bc.BaseWeightMode ? WY_UNIT_WEIGHT_PARTS : WY_UNIT_VOLUME_PARTS;
  if (!uc.Convert(ids.data(), q.data(), static_cast<int>(q.size()), from,
                  WY_UNIT_VOLUME, total, 0))
    return false;
  for (size_t i = 0; i < out->size(); ++i) (*out)[i].quantity = q[i];
  return true;
}

// Merges the other base formula into nb (bases made of components).
bool MergeBaseFormulas(const Wy_Formula& self, const Wy_BaseAndCan& mine,
                       const Wy_BaseAndCan& theirs, bool add,
                       Wy_BaseAndCan* nb) {
  CMixtableEx ts;
  ts.SetDataId(self.m_DataId);
  WY_UnitConversion uc;
  if (!uc.Initialize(&ts.Mixtable())) return false;
  std::vector<YFormulaPair> a, b;
  if (!BaseVolumes(uc, mine, &a) || !BaseVolumes(uc, theirs, &b)) return false;
  for (const YFormulaPair& p : b) {
    bool found = false;
    for (YFormulaPair& m : a) {
      if (m.id == p.id) {
        m.quantity += add ? p.quantity : -p.quantity;
        found = true;
        break;
      }
    }
    if (!found) a.push_back({p.id, add ? p.quantity : -p.quantity});
  }
  std::vector<int32_t> ids;
  std::vector<double> q;
  double volume = 0;
  for (const YFormulaPair& p : a) {
    if (!(p.quantity > 0)) continue;
    ids.push_back(p.id), q.push_back(p.quantity);
    volume += p.quantity;
  }
  if (ids.empty() || !(mine.Nom_Q > 0)) return false;
  const bool weight_parts = mine.BaseWeightMode != 0;
  double total = 0;
  if (!uc.Convert(
          ids.data(), q.data(), static_cast<int>(q.size()), WY_UNIT_VOLUME,
          weight_parts ? WY_UNIT_WEIGHT_PARTS : WY_UNIT_VOLUME_PARTS, total, 0))
    return false;
  double sum = 0;
  std::string text;
  for (size_t i = 0; i < ids.size(); ++i) {
    const double ps = uc.GetPS(false, ids[i]);
    if (!(ps > 0)) return false;
    sum += weight_parts ? q[i] / ps : q[i] * ps;
    char buf[96];
    snprintf(buf, sizeof buf, "%d,%f,", static_cast<int>(ids[i]), q[i]);
    text += buf;
  }
  if (!(sum > 0)) return false;
  nb->Spec_W = weight_parts ? 1000.0 / sum : 1000.0 * sum;
  nb->BaseFrm = text;
  nb->BasId = 0;
  nb->BaseCode.clear();
  nb->BaseDescr.clear();
  nb->BaseFrmId = 0;
  const double fill = 1000.0 * volume / mine.Nom_Q;
  if (mine.CanWeight) {
    nb->Fill_W = fill, nb->Fill_Q = 0;
  } else {
    nb->Fill_Q = fill, nb->Fill_W = 0;
  }
  return true;
}

}  // namespace

bool Wy_Formula::SumAformula(const Wy_Formula& other, bool resize) {
  return AddOrSubAFormula(other, resize, true);
}

bool Wy_Formula::SubtractAformula(const Wy_Formula& other, bool resize) {
  return AddOrSubAFormula(other, resize, false);
}

bool Wy_Formula::AddOrSubAFormula(const Wy_Formula& other, bool resize,
                                  bool add) {
  try {
    Wy_Formula self(*this);
    Wy_Formula copy(other);
    Wy_BaseAndCan mine;
    if (!self.GetBaseAndCan(mine)) return false;
    if (resize) {
      Wy_Can can = mine;
      if (!copy.SetYCan(can)) return false;
      Wy_Frm r;
      if (!copy.GetResizedFrm(r)) return false;
      copy.m_Frm = r.m_Frm.get();
      copy.m_FrmNomQ = r.m_Nom_Q0;
      copy.m_FrmCanWeight = r.m_CanWeight0;
    }
    yformula converted;
    if (!ToPlainVolume(copy, &converted) || !FromPlainVolume(self, &converted))
      return false;

    Wy_BaseAndCan theirs;
    if (!copy.GetBaseAndCan(theirs)) return false;
    const bool mine_has = HasBaseFormula(mine);
    if (mine_has != HasBaseFormula(theirs)) return false;
    if (!mine_has && mine.BasId != theirs.BasId) return false;

    // Colorants.
    Wy_Frm sum, part;
    self.GetYFrm(sum, nullptr);
    self.GetYFrm(part, nullptr);
    part.m_Frm = converted;
    if (!add) {  // nothing may fall below zero
      std::vector<YFormulaPair> have, take;
      if (!sum.m_Frm.parse(&have) || !part.m_Frm.parse(&take)) return false;
      for (const YFormulaPair& p : take) {
        double left = -p.quantity;
        for (const YFormulaPair& h : have)
          if (h.id == p.id) left += h.quantity;
        if (left < -kRest) return false;
      }
    }
    if (add) {
      sum += part;
    } else {
      sum -= part;
    }
    const double nomQ = self.m_FrmNomQ;
    const int canWeight = self.m_FrmCanWeight;
    self.SetFrm(sum.m_Frm.get(), nomQ, nullptr, 0);
    self.m_FrmNomQ = nomQ;
    self.m_FrmCanWeight = canWeight;

    // Bases.
    Wy_BaseAndCan nb = mine;
    if (mine_has) {
      if (!MergeBaseFormulas(self, mine, theirs, add, &nb)) return false;
    } else {
      if (!(mine.Nom_Q > 0) || !(theirs.Nom_Q > 0)) return false;
      const double ratio = theirs.Nom_Q / mine.Nom_Q;
      const double g = add ? 1 + ratio : 1 - ratio;
      if (g < 0) return false;
      if (mine.CanWeight) {
        nb.Fill_W *= g;
        nb.Fill_WC = nb.Fill_W;
      } else {
        nb.Fill_Q *= g;
        nb.Fill_QC = nb.Fill_Q;
      }
    }
    // The can is unchanged, so only the base is stored (a custom fill set
    // by an earlier sum must not refuse the formula's own can).
    self.SetYBas(nb);
    *this = self;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}
