// Wy_Formula: the record exchange, resizing, base expansion and totals.
// Addition and subtraction are in wy_formula_add.cc.

#include "mixtable/wy_formula.h"

#include <cmath>
#include <new>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_unit_conversion.h"
#include "mixtable/wy_util.h"

namespace {

constexpr int kDecimals = 12;  // quantities passed between conversions

}  // namespace

int Wy_Formula::GetBaseAndCan(Wy_BaseAndCan& bc) const {
  bc.Clear();
  if (!m_Frm.empty() && m_CanNomQ > 0 && m_FrmCanWeight != m_CanWeight)
    return 0;
  bc.BasId = m_BasId;
  bc.BaseCode = m_BasName;
  bc.BaseDescr = m_BasName;
  bc.Fill_Q = m_Fill_Q;
  bc.Fill_W = m_Fill_W;
  bc.Fill_QC = m_Fill_QC;
  bc.Fill_WC = m_Fill_WC;
  bc.Spec_W = m_Spec_W;
  bc.BaseFrm = m_BaseFrm;
  bc.BaseWeightMode = m_BaseFrmWeight;
  bc.BaseFrmId = m_BaseFrmId;
  bc.BaseIsDispensable = m_BaseDispensable;
  bc.CanId = m_CanId;
  bc.CanDescr = m_CanName;
  bc.Nom_Q = m_CanNomQ;
  bc.CanWeight = m_CanWeight;
  return m_CanNomQ >= 0 ? 1 : 0;
}

namespace {

// The two refusals shared by SetBaseAndCan and SetYCan; traced.
bool CanRefused(const HFormula& f, double nomQ, int canWeight, int32_t canId) {
  if (f.m_Frm.empty()) return false;
  if (nomQ > 0 && f.m_FrmCanWeight != canWeight) {
    Wy_Trace("%s", Wy_Formula::kMismatchCanWeight);
    return true;
  }
  if ((f.m_Fill_QC > 0 || f.m_Fill_WC > 0) && canId > 0) {
    Wy_Trace("%s", Wy_Formula::kPrefilledCustomFill);
    return true;
  }
  return false;
}

}  // namespace

int Wy_Formula::SetBaseAndCan(const Wy_BaseAndCan& bc) {
  if (CanRefused(*this, bc.Nom_Q, bc.CanWeight, bc.CanId)) return 0;
  SetYBas(bc);
  m_CanId = bc.CanId;
  m_CanName = bc.CanDescr;
  m_CanNomQ = bc.Nom_Q;
  m_CanWeight = bc.CanWeight;
  return 1;
}

int Wy_Formula::SetYBas(const Wy_Base& b) {
  m_BasName = b.BaseDescr;
  m_BasId = b.BasId;
  m_Fill_Q = b.Fill_Q;
  m_Fill_W = b.Fill_W;
  m_Fill_QC = b.Fill_QC;
  m_Fill_WC = b.Fill_WC;
  m_Spec_W = b.Spec_W;
  m_BaseFrm = b.BaseFrm;
  m_BaseFrmWeight = b.BaseWeightMode;
  m_BaseFrmId = b.BaseFrmId;
  m_BaseDispensable = b.BaseIsDispensable;
  return 1;
}

int Wy_Formula::SetYCan(const Wy_Can& c) {
  if (CanRefused(*this, c.Nom_Q, c.CanWeight, c.CanId)) return 0;
  m_CanName = c.CanDescr;
  m_CanId = c.CanId;
  m_CanNomQ = c.Nom_Q;
  m_CanWeight = c.CanWeight;
  return 1;
}

int Wy_Formula::GetYFrm(Wy_Frm& frm, std::string* colourName) const {
  frm.Clear();
  frm.m_Frm.set(m_Frm.c_str());
  frm.m_SlaveId = m_SlaveId;
  frm.m_Nom_Q0 = m_FrmNomQ;
  frm.m_CanWeight0 = m_FrmCanWeight;
  Wy_Units u;
  u.m_bWeightMode = m_WeightMode;
  if (m_WeightMode != 0) {
    u.m_dUnit = m_WgUnit, u.m_dFraction = m_WgFraction;
    u.m_dFraction2 = m_WgFraction2;
  } else {
    u.m_dUnit = m_VlUnit, u.m_dFraction = m_VlFraction;
    u.m_dFraction2 = m_VlFraction2;
  }
  frm.m_Units = u;
  if (colourName != nullptr) *colourName = m_ClrName;
  return 1;
}

int Wy_Formula::SetYFrm(const Wy_Frm& frm, const char* colourName,
                        int32_t clrId) {
  const int r = SetFrm(frm.m_Frm.get(), frm.m_Nom_Q0, nullptr, clrId);
  m_FrmNomQ = frm.m_Nom_Q0;
  m_FrmCanWeight = frm.m_CanWeight0;
  if (colourName != nullptr) m_ClrName = colourName;
  return r;
}

int Wy_Formula::GetResizedFrm(Wy_Frm& frm) const {
  if (!GetYFrm(frm, nullptr)) {
    frm.Clear();
    return 0;
  }
  Wy_BaseAndCan bc;
  GetBaseAndCan(bc);
  return frm.resize(bc);
}

int Wy_Formula::GetResizedCnx(Wy_Frm& frm) const {
  size_t b = m_Cnx.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return 0;
  size_t e = m_Cnx.find_last_not_of(" \t\r\n");
  GetYFrm(frm, nullptr);
  if (!frm.m_Frm.set(m_Cnx.substr(b, e - b + 1))) return 0;
  Wy_BaseAndCan bc;
  GetBaseAndCan(bc);
  frm.resize(bc);
  return 1;
}

int Wy_Formula::GetBaseYFrm(Wy_Frm& frm, yformula* baseText, double* qty,
                            double* weight) const {
  frm.Clear();
  if (qty != nullptr) *qty = 0;
  if (weight != nullptr) *weight = 0;
  Wy_BaseAndCan bc;
  GetBaseAndCan(bc);
  if (bc.BaseFrm.empty()) return 0;
  GetYFrm(frm, nullptr);
  yformula base;
  base.set(bc.BaseFrm);
  if (baseText != nullptr) *baseText = base;
  auto fail = [&]() {
    frm.Clear();
    if (qty != nullptr) *qty = 0;
    if (weight != nullptr) *weight = 0;
    return 0;
  };
  try {
    std::vector<YFormulaPair> pairs;
    if (!base.parse(&pairs) || pairs.empty()) return fail();
    double q = 0, w = 0;
    bc.GetCurrentFillQuantity(&q, &w);
    if (qty != nullptr) *qty = q;
    if (weight != nullptr) *weight = w;
    if (!(q > 0)) return fail();
    CMixtableEx ts;
    ts.SetDataId(m_DataId);
    WY_UnitConversion uc;
    if (!uc.Initialize(&ts.Mixtable())) return fail();
    // The conversion takes the parts as fractions of 1.
    double parts = 0;
    for (const YFormulaPair& p : pairs) parts += p.quantity;
    if (!(parts > 0)) return fail();
    std::vector<int32_t> ids;
    std::vector<double> amounts;
    for (const YFormulaPair& p : pairs) {
      ids.push_back(p.id);
      amounts.push_back(p.quantity / parts);
    }
    const int n = static_cast<int>(ids.size());
    const int from =
        bc.BaseWeightMode ? WY_UNIT_WEIGHT_PARTS : WY_UNIT_VOLUME_PARTS;
    int kind = bc.BaseWeightMode ? WY_UNIT_WEIGHT : WY_UNIT_VOLUME;
    double total = bc.BaseWeightMode ? w : q;
    if (!uc.Convert(ids.data(), amounts.data(), n, from, kind, total, 0))
      return fail();
    double unit, fraction;
    if (m_WeightMode != 0) {
      if (kind == WY_UNIT_VOLUME &&
          !uc.Convert(ids.data(), amounts.data(), n, WY_UNIT_VOLUME,
                      WY_UNIT_WEIGHT, total, 0))
        return fail();
      unit = m_WgUnit, fraction = m_WgFraction;
    } else {
      if (kind == WY_UNIT_WEIGHT &&
          !uc.Convert(ids.data(), amounts.data(), n, WY_UNIT_WEIGHT,
                      WY_UNIT_VOLUME, total, 0))
        return fail();
      unit = m_VlUnit, fraction = m_VlFraction;
    }
    if (!(unit > 0)) return fail();
    std::vector<YFormulaPair> out;
    for (int i = 0; i < n; ++i)
      out.push_back({ids[i], amounts[i] * fraction / unit});
    std::string text;
    if (!yformula::Compose(out, kDecimals, 0, &text)) return fail();
    frm.m_Frm.set(text);
    frm.m_Nom_Q0 = q;
    frm.m_Units.m_dUnit = unit;
    frm.m_Units.m_dFraction = fraction;
    frm.m_Units.m_bWeightMode = m_WeightMode;
  } catch (const std::bad_alloc&) {
    return fail();
  }
  return 1;
}

double Wy_Formula::CalcolateTotalQuantity(CMixtable* tables, bool byWeight,
                                          bool colorantsOnly) const {
  Wy_BaseAndCan bc;
  GetBaseAndCan(bc);
  Wy_Frm v;
  GetYFrm(v, nullptr);
  const double unit = v.m_Units.m_dUnit, fraction = v.m_Units.m_dFraction;
  if (!(unit > 0) || !(fraction > 0)) return -1;
  yformula t = v.m_Frm;
  if (!v.IsEmpty()) {
    if (m_WeightMode != 0) {
      if (tables == nullptr ||
          !t.to_volume(tables, unit / fraction, kDecimals, 0))
        return -1;
    } else if (!t.resize(fraction, unit, kDecimals, 0)) {
      return -1;
    }
    if (byWeight &&
        (tables == nullptr || !t.to_weight(tables, 1.0, kDecimals, 0)))
      return -1;
  }
  double total = 0;
  try {
    std::vector<YFormulaPair> pairs;
    if (!t.parse(&pairs)) return -1;
    for (const YFormulaPair& p : pairs) total += p.quantity;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (!colorantsOnly) {
    double base = (bc.CanWeight ? bc.Fill_W : bc.Fill_Q) * bc.Nom_Q * 0.001;
    if (byWeight) base *= bc.Spec_W * 0.001;
    total += base;
  }
  return total;
}

int Wy_Formula::DummyFill() {
  Clear();
  m_PrdName = "Product";
  m_SpdName = "SubProduct";
  m_BasName = "Base ";
  m_ClrName = "Key N.1|Key N.2|Key N.3|-- Comment --";
  m_CanName = "Can size";
  return 0;
}

int ResizeFormulaToCan(Wy_Formula* formula, CMixtable* /*tables*/, double nomQ,
                       int byWeight) {
  if (formula == nullptr) return 0;
  Wy_Formula copy(*formula);
  Wy_BaseAndCan bc;
  copy.GetBaseAndCan(bc);
  bc.Nom_Q = nomQ;
  bc.CanWeight = byWeight;
  if (!copy.SetBaseAndCan(bc)) return 0;
  Wy_Frm v;
  if (!copy.GetResizedFrm(v)) return 0;
  copy.SetYFrm(v, nullptr, 0);
  *formula = copy;
  return 1;
}
