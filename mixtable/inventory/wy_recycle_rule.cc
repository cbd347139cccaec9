// CWy_RecycleRule: what every rule shares, the comparison table and its
// trace; CWy_ColorantConfrontation.

#include "mixtable/wy_recycle_rule.h"

#include <cmath>
#include <string>
#include <vector>

#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/ytable.h"

namespace {

// The table's separator: "+", 88 "-", "+".
const std::string& Separator() {
  static const std::string s = "+" + std::string(88, '-') + "+\n";
  return s;
}

// Latin-1 headings of the table (0xE0 is a-grave).
constexpr const char kHeading1[] =
    "| ID colorante | Quantit\xe0   | Quantit\xe0  | Rapporto | Componente  "
    "| Colorante | Colorante |\n";
constexpr const char kHeading2[] =
    "| o componente | per Target | Candidata | quantit\xe0 | per base    "
    "| Target    | Candidata |\n";
constexpr const char kRow[] =
    "| %12ld | %10.2f | %9.2f | %8.2f | %11ld | %9ld | %9ld |\n";

// Reads ID and FTYPE of every live CNTS record in natural order.
bool ReadCnts(uint32_t dataId, std::vector<std::pair<int32_t, bool>>* out) {
  out->clear();
  CMixtable tables;
  tables.SetDataId(dataId);
  Wdbase* db = tables.Handle(Y_CNTS);
  if (db == nullptr) return false;
  uint32_t state = 0;
  if (!tables.TmpOpen(db, &state)) {
    tables.TmpClose(db, &state);
    return false;
  }
  const bool hasType = db->FieldNo("FTYPE") > 0;
  for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
    if (db->Deleted()) continue;
    char type[8] = "";
    if (hasType) db->ReadString("FTYPE", type, sizeof type, 1, 1);
    const bool base = type[0] == 'B' || type[0] == 'b';
    out->emplace_back(db->ReadLong("ID"), base);
  }
  tables.TmpClose(db, &state);
  return true;
}

}  // namespace

bool CWy_RecycleRule::ApplyWork(double& formulaPct, double& basePct,
                                double& batchPct) {
  formulaPct = basePct = batchPct = 0;
  return false;
}

void CWy_RecycleRule::SetFormulaTarget(const Wy_Formula& target) {
  m_Target = target;
  ++m_TargetGeneration;
  m_bCntsRead = false;
  m_Cnts.clear();
  m_AbsIds.clear();
}

uint32_t CWy_RecycleRule::AbsDataId(uint32_t id) {
  for (const auto& [from, to] : m_AbsIds)
    if (from == id) return to;
  const uint32_t abs = Wy_GetAbsDataId(id);
  m_AbsIds.emplace_back(id, abs);
  return abs;
}

bool CWy_RecycleRule::BuildTable() {
  m_Items.clear();
  m_Ratios.clear();
  const uint32_t dataId = m_Target.GetDataId(nullptr);
  if (!m_bCntsRead || m_CntsDataId != dataId) {
    m_bCntsRead = false;
    if (!ReadCnts(dataId, &m_Cnts)) return false;
    m_CntsDataId = dataId;
    m_bCntsRead = true;
  }
  m_Items.reserve(m_Cnts.size());
  for (const auto& [id, base] : m_Cnts) {
    Wy_ConfrontationItem item;
    item.ID = id;
    item.IsBaseComponent = base;
    m_Items.push_back(item);
  }
  m_Ratios.assign(m_Items.size(), 0.0);
  return true;
}

bool CWy_RecycleRule::AddToTable(const yformula& text, bool asTarget) {
  std::vector<YFormulaPair> pairs;
  if (!text.parse(&pairs)) return false;
  for (const YFormulaPair& p : pairs) {
    Wy_ConfrontationItem* entry = nullptr;
    for (Wy_ConfrontationItem& item : m_Items) {
      if (item.ID == p.id) {
        entry = &item;
        break;
      }
    }
    if (entry == nullptr) {
      // A colorant CNTS does not list still takes part in the check.
      m_Items.push_back(Wy_ConfrontationItem{});
      m_Ratios.push_back(0.0);
      entry = &m_Items.back();
      entry->ID = p.id;
    }
    const double q = std::isfinite(p.quantity) ? p.quantity : 0.0;
    double& slot = asTarget ? entry->TargetQuantity : entry->CandidateQuantity;
    slot = entry->IsBaseComponent ? slot + q : q;
    (asTarget ? entry->InTarget : entry->InCandidate) = true;
  }
  return true;
}

double CWy_RecycleRule::ComputeRatios() {
  m_Ratios.assign(m_Items.size(), 0.0);
  double highest = 0.0;
  for (size_t i = 0; i < m_Items.size(); ++i) {
    const Wy_ConfrontationItem& item = m_Items[i];
    double r = 0.0;
    if (item.InTarget && item.TargetQuantity > 0) {
      r = item.CandidateQuantity / item.TargetQuantity;
      if (!std::isfinite(r)) r = 0.0;
    }
    m_Ratios[i] = r;
    if (i == 0 || r > highest) highest = r;
  }
  return highest;
}

void CWy_RecycleRule::TraceTable() {
  Wy_ResearchTrace* t = m_pTrace;
  if (t == nullptr || !t->IsOpen()) return;
  t->Write(Separator());
  t->Write(kHeading1);
  t->Write(kHeading2);
  t->Write(Separator());
  for (size_t i = 0; i < m_Items.size(); ++i) {
    const Wy_ConfrontationItem& item = m_Items[i];
    t->Printf(kRow, static_cast<long>(item.ID), item.TargetQuantity,
              item.CandidateQuantity, i < m_Ratios.size() ? m_Ratios[i] : 0.0,
              static_cast<long>(item.IsBaseComponent),
              static_cast<long>(item.InTarget),
              static_cast<long>(item.InCandidate));
  }
  t->Write(Separator());
}

bool CWy_ColorantConfrontation::ApplyWork(double& formulaPct, double& basePct,
                                          double& batchPct) {
  formulaPct = basePct = batchPct = 0;
  return ApplyColorQuantityConfrontation() != 0;
}
