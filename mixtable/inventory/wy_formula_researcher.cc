// CWy_FormulaResearcher and CWy_RecycleBatch.

#include "mixtable/wy_formula_researcher.h"

#include <cmath>
#include <string>

#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

constexpr const char kTraceName[] = "research.log";

// dir + name with the separator dir uses (a host directory takes "/").
std::string InDir(std::string dir, const char* name) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/')
    dir += dir.front() == '/' ? '/' : '\\';
  return dir + name;
}

}  // namespace

bool CWy_RecycleBatch::SetRelatedFormula(const CWy_FormulaInv& formula) {
  m_Related = formula;
  return ResizeFormulaToCan(&m_Related.GetFormula(), nullptr, m_QuantityPerCan,
                            GetWeightMode() ? 1 : 0) != 0;
}

CWy_FormulaResearcher::CWy_FormulaResearcher() = default;
CWy_FormulaResearcher::CWy_FormulaResearcher(const char* dir)
    : CWy_StorageManager(dir) {}
CWy_FormulaResearcher::~CWy_FormulaResearcher() = default;

bool CWy_FormulaResearcher::SetFormulaTarget(const Wy_Formula& target) {
  m_Target = target;
  return true;
}

bool CWy_FormulaResearcher::GetFormulaTarget(Wy_Formula& target) const {
  target = m_Target;
  return true;
}

bool CWy_FormulaResearcher::InsertRule(CWy_RecycleRule* rule) {
  if (rule == nullptr) {
    Wy_Trace("Research: a null rule is not inserted");
    return false;
  }
  const size_t before = m_Rules.size();
  m_Rules.push_back(rule);
  return m_Rules.size() == before + 1;
}

bool CWy_FormulaResearcher::GetRecycleBatch(CWy_RecycleBatch& batch,
                                            int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= m_Results.size()) return false;
  batch = m_Results[static_cast<size_t>(index)];
  return true;
}

bool CWy_FormulaResearcher::GetRecycleBatchByAbsID(CWy_RecycleBatch& batch,
                                                   int32_t absId) const {
  if (absId <= 0) return false;
  for (const CWy_RecycleBatch& r : m_Results) {
    if (r.GetBatchAbsID() == absId) {
      batch = r;
      return true;
    }
  }
  return false;
}

bool CWy_FormulaResearcher::SetRecycleBatchByAbsID(
    const CWy_RecycleBatch& batch, int32_t absId) {
  if (absId <= 0) return false;
  for (CWy_RecycleBatch& r : m_Results) {
    if (r.GetBatchAbsID() == absId) {
      r = batch;
      return true;
    }
  }
  return false;
}

bool CWy_FormulaResearcher::DeleteRecycleBatch(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= m_Results.size()) return false;
  m_Results.erase(m_Results.begin() + index);
  return true;
}

void CWy_FormulaResearcher::SetTraceFile(const std::string& path) {
  m_bTraceFileSet = true;
  m_TraceFile = path;
}

std::string CWy_FormulaResearcher::GetTraceFile() const {
  if (m_bTraceFileSet) return m_TraceFile;
  platform::Env* env = platform::Env::Current();
  std::string value;
  if (env->GetEnv("KALVO_RESEARCH_TRACE", &value)) return value;
  if (env->GetEnv("KALVO_LOGDIR", &value) && !value.empty())
    return InDir(value, kTraceName);
  std::string local;
  Wy_LocalPath(local);
  return InDir(local, kTraceName);
}

bool CWy_FormulaResearcher::PrepareTarget(Wy_Formula& target, double& total,
                                          bool& weight) {
  target = m_Target;
  const uint32_t dataId = target.GetDataId(nullptr);
  if (dataId == 0) {
    Wy_Trace("Research: the target formula has no data set");
    return false;
  }
  CMixtable tables;
  tables.SetDataId(dataId);
  if (tables.GetDataDir().empty() || !target.Defrieze(&tables)) {
    Wy_Trace("Research: the target formula cannot be resolved in data set %u",
             dataId);
    return false;
  }
  Wy_BaseAndCan bc;
  target.GetBaseAndCan(bc);
  if (target.m_BasId > 0) {
    Wy_Base base;
    if (base.Set(target.m_BasId, &tables)) {
      base.Fill_QC = bc.Fill_QC;
      base.Fill_WC = bc.Fill_WC;
      static_cast<Wy_Base&>(bc) = base;
    }
  }
  if (target.m_CanId > 0) {
    Wy_Can can;
    if (can.Set(target.m_CanId, &tables)) static_cast<Wy_Can&>(bc) = can;
  }
  tables.CloseAll();
  if (bc.BasId <= 0 && bc.BaseFrm.empty()) {
    Wy_Trace("Research: the target formula has no base");
    return false;
  }
  if (!(bc.Nom_Q > 0) || !std::isfinite(bc.Nom_Q)) {
    Wy_Trace("Research: the target formula has no can");
    return false;
  }
  if (!target.SetBaseAndCan(bc)) {
    Wy_Trace("Research: the target formula refuses its own base and can");
    return false;
  }
  total = std::trunc(m_NumberOfCans * bc.Nom_Q);
  weight = bc.CanWeight != 0;
  if (!(total > 0) ||
      !ResizeFormulaToCan(&target, nullptr, total, weight ? 1 : 0)) {
    Wy_Trace("Research: the target formula cannot be resized to %.0f", total);
    return false;
  }
  return true;
}

int32_t CWy_FormulaResearcher::ApplyRules(int32_t batchAbsId) {
  m_Results.clear();
  if (m_Rules.empty()) {
    Wy_Trace("Research: no rule to apply");
    return 0;
  }
  if (m_NumberOfCans <= 0) {
    Wy_Trace("Research: %d cans", m_NumberOfCans);
    return 0;
  }
  Wy_Formula target;
  double total = 0;
  bool weight = false;
  if (!PrepareTarget(target, total, weight)) return 0;
  const std::string traceFile = GetTraceFile();
  for (CWy_RecycleRule* rule : m_Rules) {
    // Every pass starts afresh: an emptied trace, an empty list.
    m_Trace.Close();
    if (!traceFile.empty() && !m_Trace.Open(traceFile))
      Wy_Trace("Research: the trace file %s cannot be written; no trace",
               traceFile.c_str());
    rule->SetTrace(m_Trace.IsOpen() ? &m_Trace : nullptr);
    rule->SetFormulaTarget(target);
    rule->SetTargetQuantity(total);
    rule->SetWeightFlag(weight);
    m_Results.clear();
    const bool ok = RunRule(rule, batchAbsId, weight);
    rule->SetTrace(nullptr);
    m_Trace.Close();
    if (!ok) return 0;
  }
  return static_cast<int32_t>(m_Results.size());
}

bool CWy_FormulaResearcher::RunRule(CWy_RecycleRule* rule, int32_t batchAbsId,
                                    bool weight) {
  bool matched = false;
  if (batchAbsId > 0) {
    // Straight to the formula that holds the batch.
    if (!SeekBatch(batchAbsId)) return true;
    CWy_FormulaInv owner;
    if (!GetFormulaOfCurrentBatch(owner) || !SeekFormula(owner.GetFrmInvID()) ||
        IsCurrentFormulaDeleted())
      return true;
    if (!GetCurrentFormula(m_WorkFormula, true)) {
      Wy_Trace("Research: stored formula %ld cannot be read",
               static_cast<long>(owner.GetFrmInvID()));
      return false;
    }
    return TryFormula(rule, batchAbsId, weight, &matched);
  }
  if (!Begin()) return true;  // an empty inventory
  while (!IsEof()) {
    if (!IsCurrentFormulaDeleted()) {
      if (!GetCurrentFormula(m_WorkFormula, true)) {
        Wy_Trace("Research: a stored formula cannot be read");
        return false;
      }
      if (!TryFormula(rule, 0, weight, &matched)) return false;
    }
    if (!GoNext()) break;
  }
  return true;
}

bool CWy_FormulaResearcher::TryFormula(CWy_RecycleRule* rule,
                                       int32_t batchAbsId, bool weight,
                                       bool* matched) {
  const int n = m_WorkFormula.GetNumberOfBatches();
  if (n == 0) return true;
  rule->SetCandidate(m_WorkFormula);
  for (int pos = 0; pos < n; ++pos) {
    if (!m_WorkFormula.GetBatch(m_WorkBatch, pos)) continue;
    if (batchAbsId > 0 && m_WorkBatch.GetBatchAbsID() != batchAbsId) continue;
    *matched = true;
    rule->SetBatchPosition(pos);
    double formulaPct = 0, basePct = 0, batchPct = 0;
    if (!rule->ApplyWork(formulaPct, basePct, batchPct)) continue;
    CWy_RecycleBatch result(m_WorkBatch);
    double q = m_WorkBatch.GetQuantity() * 1000;
    if (m_WorkBatch.GetWeightMode() != weight) {
      if (!Wy_RecycleConvertQuantity(
              q, m_WorkBatch.GetWeightMode(), weight,
              m_WorkBatch.GetToWeightConversionFactor())) {
        Wy_Trace("Research: batch %ld has no usable to-weight factor",
                 static_cast<long>(m_WorkBatch.GetBatchAbsID()));
        return false;
      }
      result.SetWeightMode(weight);
      result.SetQuantity(q * 0.001);
    }
    result.SetRecycleFormulaPercentage(formulaPct);
    result.SetRecycleBasePercentage(basePct);
    result.SetRecycleBatchPercentage(batchPct);
    result.SetQuantityPerCan(q * batchPct / m_NumberOfCans);
    result.SetRelatedFormula(m_WorkFormula);
    m_Results.push_back(result);
  }
  return true;
}
