// CWy_QuantitySumConfrontation: the working rule, and the conversion of a
// batch quantity into the target's measure.

#include <algorithm>
#include <cmath>
#include <string>

#include "mixtable/wy_recycle_rule.h"
#include "mixtable/wy_util.h"

namespace {

// Below this a to-weight factor is no factor.
constexpr double kMinFactor = 0.00001;

// Latin-1 texts of the trace (0xE8 e-grave, 0xE0 a-grave, 0xF9 u-grave).
constexpr const char kIntroTarget[] =
    "\nIntroduzione dei dati per la formula Target: %s %s %s %s, con Nom_Q: "
    "%f\n";
constexpr const char kIntroCandidate[] =
    "e dei dati per la formula candidata: %s %s %s %s,  con Nom_Q: %f\n";
constexpr const char kCheck[] =
    "\nControllo se la formula candidata ha dei coloranti che non sono "
    "presenti nella formula target...\n ";
constexpr const char kDiscarded[] =
    "La formula da confrontare ha il colorante %d, che non \xe8 presente "
    "nella target, di conseguenza \xe8 SCARTATA\n";
constexpr const char kUsable[] =
    "Tutti i coloranti della formula candidata sono presenti nella formula "
    "target, la formula \xe8 UTILIZZABILE\n";
constexpr const char kRatios[] =
    "\nCalcolo delle percentuali del rapporto delle quantit\xe0 dei coloranti "
    "e dei componenti...\n";
constexpr const char kAboveOne[] =
    "Esiste almeno una percentuale superiore a 1, la pi\xf9 alta vale:";
constexpr const char kLessBatch[] =
    "Occorre una minore quantit\xe0 di batch per poter usare questa formula\n";
constexpr const char kThisQuantity[] = "Questa quantit\xe0 vale:";
constexpr const char kRepeat[] =
    "\nSi RIPETE il calcolo delle percentuali tenendo conto della nuova "
    "quantit\xe0 di batch considerata\n";
constexpr const char kColorantPct[] = "\nPercentuale di recupero coloranti:";
constexpr const char kBasePct[] = "Percentuale di recupero base:";
constexpr const char kBatchPct[] =
    "Percentuale della quantit\xe0 di batch che si utilizza:";
constexpr const char kAccepted[] =
    "La formula candidata \xe8 stata ACCETTATA\n";

bool SameFill(double a, double b) {
  return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(a));
}

bool HasBaseFormula(const Wy_Formula& f) { return !f.m_BaseFrm.empty(); }

void Intro(Wy_ResearchTrace* t, const char* format, const Wy_Formula& f,
           double q) {
  if (t == nullptr || !t->IsOpen()) return;
  std::string k1, k2, k3, comment;
  f.ClrTok(&k1, &k2, &k3, &comment);
  t->Printf(format, k1.c_str(), k2.c_str(), k3.c_str(), comment.c_str(), q);
}

}  // namespace

bool Wy_RecycleConvertQuantity(double& q, bool batchWeight, bool targetWeight,
                               double toWeightFactor) {
  if (batchWeight == targetWeight) return true;
  if (!std::isfinite(toWeightFactor) || toWeightFactor < kMinFactor)
    return false;
  q = targetWeight ? q * toWeightFactor : q / toWeightFactor;
  return std::isfinite(q);
}

bool CWy_QuantitySumConfrontation::ApplyWork(double& formulaPct,
                                             double& basePct,
                                             double& batchPct) {
  formulaPct = basePct = batchPct = 0;
  CWy_Batch batch;
  if (!m_Candidate.GetBatch(batch, m_BatchPosition)) {
    Wy_Trace("Research: stored formula %ld has no batch at position %d",
             static_cast<long>(m_Candidate.GetFrmInvID()), m_BatchPosition);
    return false;
  }
  return Confront(m_Candidate.GetFormula(), batch.GetQuantity(),
                  batch.GetWeightMode(), batch.GetToWeightConversionFactor(),
                  formulaPct, basePct, batchPct);
}

bool CWy_QuantitySumConfrontation::TargetBase(const Wy_Frm** base) {
  if (m_TargetBaseGeneration != TargetGeneration() ||
      m_TargetBaseNomQ != m_Target.m_CanNomQ ||
      m_TargetBaseWeight != m_Target.m_CanWeight) {
    m_TargetBaseGeneration = 0;
    if (!m_Target.GetBaseYFrm(m_TargetBase, nullptr, nullptr, nullptr))
      return false;
    m_TargetBaseGeneration = TargetGeneration();
    m_TargetBaseNomQ = m_Target.m_CanNomQ;
    m_TargetBaseWeight = m_Target.m_CanWeight;
  }
  *base = &m_TargetBase;
  return true;
}

bool CWy_QuantitySumConfrontation::ColorantCheck(const Wy_Formula& candidate,
                                                 bool withBases) {
  Wy_ResearchTrace* t = Trace();
  if (!BuildTable()) {
    Wy_Trace("Research: the colorant table of data set %u cannot be read",
             m_Target.GetDataId(nullptr));
    return false;
  }
  yformula text;
  text.set(m_Target.m_Frm);
  if (!AddToTable(text, true)) {
    Wy_Trace("Research: malformed target formula \"%s\"", text.get());
    return false;
  }
  text.set(candidate.m_Frm);
  if (!AddToTable(text, false)) {
    Wy_Trace("Research: malformed stored formula \"%s\"", text.get());
    return false;
  }
  if (withBases) {
    const Wy_Frm* targetBase = nullptr;
    if (!TargetBase(&targetBase) || !AddToTable(targetBase->m_Frm, true)) {
      Wy_Trace("Research: the base formula of the target cannot be expanded");
      return false;
    }
    Wy_Frm base;
    if (!candidate.GetBaseYFrm(base, nullptr, nullptr, nullptr) ||
        !AddToTable(base.m_Frm, false)) {
      Wy_Trace(
          "Research: the base formula of a stored formula cannot be "
          "expanded");
      return false;
    }
  }
  TraceTable();
  if (t != nullptr) t->Write(kCheck);
  for (const Wy_ConfrontationItem& item : m_Items) {
    if (item.InCandidate && !item.InTarget) {
      if (t != nullptr) t->Printf(kDiscarded, static_cast<int>(item.ID));
      return false;
    }
  }
  if (t != nullptr) t->Write(kUsable);
  return true;
}

bool CWy_QuantitySumConfrontation::Confront(const Wy_Formula& stored,
                                            double quantity, bool weight,
                                            double toWeightFactor,
                                            double& formulaPct, double& basePct,
                                            double& batchPct) {
  formulaPct = basePct = batchPct = 0;
  Wy_ResearchTrace* t = Trace();
  if (t != nullptr && !t->IsOpen()) t = nullptr;

  // 1. The same data set, compared by absolute ids.
  const uint32_t targetId = m_Target.GetDataId(nullptr);
  if (targetId == 0 ||
      AbsDataId(stored.GetDataId(nullptr)) != AbsDataId(targetId))
    return false;

  // 2. Weight flags.
  if ((m_Target.m_CanWeight != 0) != (m_Target.m_WeightMode != 0)) {
    Wy_Trace("Research: the target's can and units differ in weight mode");
    return false;
  }
  m_bWeight = m_Target.m_CanWeight != 0;
  m_TargetQuantity = m_Target.m_CanNomQ;
  if ((stored.m_WeightMode != 0) != m_bWeight) return false;
  const double target = m_TargetQuantity;
  if (!(target > 0) || !std::isfinite(target)) return false;

  // 3. Both formulas to their quantities.
  if ((m_Target.m_FrmNomQ != target ||
       (m_Target.m_FrmCanWeight != 0) != m_bWeight) &&
      !ResizeFormulaToCan(&m_Target, nullptr, target, m_bWeight))
    return false;
  if (!(quantity != 0) || !std::isfinite(quantity)) return false;
  double q0 = quantity * 1000;
  if (!Wy_RecycleConvertQuantity(q0, weight, m_bWeight, toWeightFactor)) {
    Wy_Trace(
        "Research: a batch of stored formula %ld has no usable "
        "to-weight factor",
        static_cast<long>(m_Candidate.GetFrmInvID()));
    return false;
  }
  if (!(q0 > 0)) return false;
  double q = q0;
  Wy_Formula candidate = stored;
  if (!ResizeFormulaToCan(&candidate, nullptr, q, m_bWeight)) return false;

  // 4. Introduction.
  Intro(t, kIntroTarget, m_Target, target);
  Intro(t, kIntroCandidate, candidate, q);

  // 5. Colorant check.
  const bool componentBase = HasBaseFormula(m_Target);
  const bool withBases = componentBase && HasBaseFormula(candidate);
  if (!ColorantCheck(candidate, withBases)) return false;

  // 6. Ratios.
  if (t != nullptr) t->Write(kRatios);
  double highest = ComputeRatios();
  TraceTable();

  // 7. Fit the batch to the target.
  if (componentBase) {
    if (highest > 1) {
      if (t != nullptr) {
        t->Value(kAboveOne, highest);
        t->Write(kLessBatch);
      }
      q /= highest;
      if (t != nullptr) t->Value(kThisQuantity, q);
      if (!ResizeFormulaToCan(&candidate, nullptr, q, m_bWeight)) return false;
      if (!ColorantCheck(candidate, withBases)) return false;
      if (t != nullptr) t->Write(kRepeat);
      highest = ComputeRatios();
      TraceTable();
    }
  } else {
    const double fillT = m_bWeight ? m_Target.m_Fill_W : m_Target.m_Fill_Q;
    const double fillC = m_bWeight ? candidate.m_Fill_W : candidate.m_Fill_Q;
    if (!(highest <= 1) || candidate.m_BasId != m_Target.m_BasId ||
        !SameFill(fillT, fillC))
      return false;
  }

  // 8. Percentages over the entries the target needs.
  double colorSum = 0, baseSum = 0;
  int colorN = 0, baseN = 0;
  for (size_t i = 0; i < m_Items.size(); ++i) {
    if (m_Items[i].TargetQuantity == 0) continue;
    if (m_Items[i].IsBaseComponent) {
      baseSum += m_Ratios[i];
      ++baseN;
    } else {
      colorSum += m_Ratios[i];
      ++colorN;
    }
  }
  const double colorPct = colorN > 0 ? colorSum / colorN : 0.0;
  const double basePctV =
      baseN > 0 && m_Target.m_BaseDispensable != 0 ? baseSum / baseN : 1.0;
  // The share of the batch's whole quantity that is poured.
  const double batchPctV = std::min(q, target) / q0;
  if (t != nullptr) {
    t->Value(kColorantPct, colorPct);
    t->Value(kBasePct, basePctV);
    t->Value(kBatchPct, batchPctV);
  }

  // 9. Verdict.
  if (!(colorPct > 0) || !(basePctV > 0) || !(batchPctV > 0) ||
      !std::isfinite(colorPct + basePctV + batchPctV))
    return false;
  if (t != nullptr) {
    t->Write(kAccepted);
    t->Write("\n" + std::string(78, '=') + "\n");
  }
  formulaPct = colorPct;
  basePct = basePctV;
  batchPct = batchPctV;
  return true;
}
